#include "package/docs/docsfields.h"

#include "common/filesystem.h"
#include "package/control/controlcheck.h"
#include "package/control/relations.h"
#include "package/docs/templates.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace {

// The fields go verbatim into one-line places: the changelog's heading and
// signature, the copyright's Upstream fields.
Result checkDocsFields(const DocsFields &fields)
{
    const QList<QPair<QString, QString>> used = {{QStringLiteral("Package"), fields.package},
                                                 {QStringLiteral("Version"), fields.version},
                                                 {QStringLiteral("Maintainer"), fields.maintainer}};
    for (const auto &field : used) {
        if (field.second.isEmpty())
            return Result::failure(QStringLiteral("В файле DEBIAN/control нет поля «%1»: без него документы пакета "
                                                  "не составить")
                                       .arg(field.first));
    }
    for (const auto &field : used + QList<QPair<QString, QString>>{{QStringLiteral("Homepage"), fields.homepage}}) {
        if (field.second.contains(QLatin1Char('\n')))
            return Result::failure(QStringLiteral("Поле «%1» в файле DEBIAN/control занимает несколько строк, а в "
                                                  "документы пакета оно вставляется одной строкой")
                                       .arg(field.first));
    }
    if (!isValidPackageName(fields.package))
        return Result::failure(
            QStringLiteral("Имя пакета «%1» в файле DEBIAN/control недопустимо").arg(fields.package));
    DebianVersion version;
    if (parseDebianVersion(fields.version.toUtf8(), &version).failed())
        return Result::failure(QStringLiteral("Поле «Version» в файле DEBIAN/control недопустимо: «%1» не является "
                                              "версией Debian")
                                   .arg(fields.version));
    static const QRegularExpression nameAndAddress(QStringLiteral("^[^<>\\n]*\\S <[^<>\\s]+>$"));
    if (!nameAndAddress.match(fields.maintainer).hasMatch())
        return Result::failure(QStringLiteral("Поле «Maintainer» в файле DEBIAN/control недопустимо: нужен вид "
                                              "«Имя <адрес>», а не «%1»")
                                   .arg(fields.maintainer));
    if (!nameAndAddress.match(fields.signer).hasMatch())
        return Result::failure(QStringLiteral("Подпись новой записи changelog из переменных DEBFULLNAME и DEBEMAIL "
                                              "недопустима: нужен вид «Имя <адрес>», а не «%1»")
                                   .arg(fields.signer));
    return Result::done();
}

} // namespace

Result docsFieldsFrom(const QByteArray &controlText, DocsFields *fields, const QString &signer)
{
    const ControlParagraph paragraph = parseControl(controlText);
    // dpkg keeps the name in lower case, and so does the directory.
    fields->package = paragraph.value(QStringLiteral("Package")).trimmed().toLower();
    fields->version = paragraph.value(QStringLiteral("Version")).trimmed();
    fields->maintainer = paragraph.value(QStringLiteral("Maintainer")).trimmed();
    fields->homepage = paragraph.value(QStringLiteral("Homepage")).trimmed();
    const QString description = paragraph.value(QStringLiteral("Description"));
    fields->synopsis = description.section(QLatin1Char('\n'), 0, 0).trimmed();
    QStringList lines = description.section(QLatin1Char('\n'), 1).split(QLatin1Char('\n'));
    lines.replaceInStrings(QRegularExpression(QStringLiteral("^\\.$")), QString());
    fields->description = lines.join(QLatin1Char('\n')).trimmed();
    fields->signer = signer.isEmpty() ? fields->maintainer : signer;
    return checkDocsFields(*fields);
}

Result readDocsFields(const QString &workDir, DocsFields *fields)
{
    const QString path = workDir + QStringLiteral("/DEBIAN/control");
    if (!QFileInfo::exists(path))
        return Result::failure(QStringLiteral("Файл DEBIAN/control не найден: документы пакета составляются "
                                              "по нему"));
    QByteArray control;
    const Result read = readRegularFile(path, &control);
    return read.failed() ? read : docsFieldsFrom(control, fields, environmentSigner());
}

QString docDirectory(const QString &workDir, const QString &package)
{
    return workDir + QStringLiteral("/usr/share/doc/") + package;
}
