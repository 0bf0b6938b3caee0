#include "package/docs/templates.h"

#include "package/docs/licences.h"

#include <QRegularExpression>

#include <pwd.h>
#include <unistd.h>

namespace {

// The shortcut template's comment is the synopsis placeholder with a capital letter.
const QString synopsisPlaceholder = QStringLiteral("короткое описание программы");
const QString descriptionPlaceholder = QStringLiteral("что программа делает и кому она пригодится.");

} // namespace

QString packageNameFrom(const QString &k)
{
    static const QRegularExpression disallowed(QStringLiteral("[^a-z0-9+.-]"));
    static const QRegularExpression leading(QStringLiteral("^[^a-z0-9]+"));
    return k.toLower().remove(disallowed).remove(leading);
}

QString signerFrom(const QString &debFullName, const QString &debEmail)
{
    if (!debFullName.trimmed().isEmpty() && !debEmail.trimmed().isEmpty())
        return debFullName.trimmed() + QStringLiteral(" <") + debEmail.trimmed() + QLatin1Char('>');
    static const QRegularExpression nameAndAddress(QStringLiteral("^\\s*(\\S[^<>]*\\S)\\s*<([^<>\\s]+)>\\s*$"));
    const QRegularExpressionMatch named = nameAndAddress.match(debEmail);
    return named.hasMatch() ? named.captured(1) + QStringLiteral(" <") + named.captured(2) + QLatin1Char('>')
                            : QString();
}

QString maintainerFrom(const QString &debFullName, const QString &debEmail, const QString &accountName,
                       const QString &login)
{
    const QString signer = signerFrom(debFullName, debEmail);
    if (!signer.isEmpty())
        return signer;
    const QString name = accountName.trimmed().isEmpty() ? login : accountName.trimmed();
    return name + QStringLiteral(" <") + login + QStringLiteral("@example.org>");
}

QString controlTemplate(const QString &k, const QString &architecture, const QString &maintainer)
{
    return QStringLiteral("Package: ") + packageNameFrom(k)
           + QStringLiteral("\n"
                            "Version: 1.0-1\n"
                            "Section: utils\n"
                            "Priority: optional\n"
                            "Architecture: ")
           + architecture + QStringLiteral("\nMaintainer: ") + maintainer + QStringLiteral("\nDescription: ")
           + synopsisPlaceholder
           + QStringLiteral("\n"
                            " Подробное описание ")
           + packageNameFrom(k) + QStringLiteral(":\n ") + descriptionPlaceholder + QLatin1Char('\n');
}

QString copyrightTemplate(const QString &package, const QString &maintainer, int year, const QString &licence)
{
    return QStringLiteral("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
                          "Upstream-Name: %1\n"
                          "Upstream-Contact: %2\n"
                          "\n"
                          "Files: *\n"
                          "Copyright: %3 %2\n"
                          "License: %4\n"
                          "\n"
                          "License: %4\n")
               .arg(package, maintainer)
               .arg(year)
               .arg(debianLicenceName(licence))
           + licenceParagraphText(licence);
}

QString changelogPlaceholder()
{
    return QStringLiteral("Опишите изменения этой версии.");
}

QStringList templatePlaceholders()
{
    return QStringList{synopsisPlaceholder, descriptionPlaceholder, changelogPlaceholder()} + licencePlaceholders();
}

QString maintainerScriptTemplate(const QString &script)
{
    static const QList<QPair<QString, QString>> purposes = {
        {QStringLiteral("preinst"), QStringLiteral("выполняется перед распаковкой файлов пакета "
                                                   "(установка и обновление)")},
        {QStringLiteral("postinst"), QStringLiteral("выполняется после распаковки файлов пакета: "
                                                    "настройка после установки или обновления")},
        {QStringLiteral("prerm"), QStringLiteral("выполняется перед удалением файлов пакета "
                                                 "(удаление и обновление)")},
        {QStringLiteral("postrm"), QStringLiteral("выполняется после удаления файлов пакета: "
                                                  "уборка после удаления или полной очистки (purge)")},
        {QStringLiteral("config"), QStringLiteral("задаёт вопросы debconf перед настройкой пакета")}};
    for (const auto &purpose : purposes) {
        if (purpose.first == script)
            return QStringLiteral("#!/bin/sh\nset -e\n\n# %1 %2.\n\nexit 0\n").arg(script, purpose.second);
    }
    return QString();
}

QString userMaintainer()
{
    QString accountName;
    QString login;
    if (const passwd *account = ::getpwuid(::getuid())) {
        accountName = QString::fromLocal8Bit(account->pw_gecos).section(QLatin1Char(','), 0, 0);
        login = QString::fromLocal8Bit(account->pw_name);
    }
    return maintainerFrom(qEnvironmentVariable("DEBFULLNAME"), qEnvironmentVariable("DEBEMAIL"), accountName, login);
}

QString environmentSigner()
{
    return signerFrom(qEnvironmentVariable("DEBFULLNAME"), qEnvironmentVariable("DEBEMAIL"));
}
