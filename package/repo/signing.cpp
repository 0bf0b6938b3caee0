#include "package/repo/signing.h"

#include "common/filesystem.h"
#include "common/privatedir.h"
#include "common/processrunner.h"

#include <QStringList>

namespace {

// gpg without questions, in the keyring the user chose.
QStringList gpgArguments(const SigningKey &key, const QStringList &arguments)
{
    QStringList all{QStringLiteral("--batch"), QStringLiteral("--no-tty")};
    if (!key.gnupgHome.isEmpty())
        all << QStringLiteral("--homedir") << key.gnupgHome;
    return all + arguments;
}

QString keyring(const SigningKey &key)
{
    return key.gnupgHome.isEmpty() ? QStringLiteral("связке ключей пользователя")
                                   : QStringLiteral("связке ключей %1").arg(key.gnupgHome);
}

} // namespace

Result findSigningKey(const SigningKey &key, QString *fingerprint)
{
    if (key.key.isEmpty())
        return Result::failure(QStringLiteral("Не указан ключ подписи"));
    const ProcessResult listed = runQuery(
        QStringLiteral("gpg"),
        gpgArguments(key, {QStringLiteral("--with-colons"), QStringLiteral("--fixed-list-mode"),
                           QStringLiteral("--list-secret-keys"), QStringLiteral("--"), key.key}));
    if (!listed.started)
        return Result::failure(listed.failureText());
    // The fields of "sec": validity 2nd, the key's usable capabilities 12th
    // (an upper-case S: it can sign); its fingerprint follows on "fpr".
    QList<QStringList> keys;
    QStringList fingerprints;
    for (const QString &line : listed.standardOutput.split(QLatin1Char('\n'))) {
        const QStringList fields = line.split(QLatin1Char(':'));
        if (fields.first() == QLatin1String("sec"))
            keys << fields;
        else if (fields.first() == QLatin1String("fpr") && fields.size() > 9 && fingerprints.size() < keys.size())
            fingerprints << fields.at(9);
    }
    if (keys.isEmpty() || !listed.succeeded())
        return Result::failure(
            QStringLiteral("Ключ подписи «%1» не найден среди секретных ключей в %2").arg(key.key, keyring(key)));
    if (keys.size() > 1 || fingerprints.size() != 1)
        return Result::failure(QStringLiteral("Ключ подписи «%1» подходит к нескольким ключам в %2: укажите его "
                                              "отпечаток")
                                   .arg(key.key, keyring(key)));
    const QStringList &fields = keys.first();
    const QString validity = fields.value(1);
    if (validity == QLatin1String("e") || validity == QLatin1String("r")
        || !fields.value(11).contains(QLatin1Char('S'))) {
        const QString why = validity == QLatin1String("e") ? QStringLiteral("срок его действия истёк")
                            : validity == QLatin1String("r") ? QStringLiteral("он отозван")
                                                             : QStringLiteral("он не годится для подписи");
        return Result::failure(
            QStringLiteral("Ключом «%1» (%2) подписать нельзя: %3").arg(key.key, fingerprints.first(), why));
    }
    *fingerprint = fingerprints.first();
    return Result::done();
}

Result signRelease(const SigningKey &key, const QString &fingerprint, const QString &directory)
{
    const QString release = directory + QStringLiteral("/Release");
    const QList<QPair<QString, QStringList>> signatures = {
        {QStringLiteral("InRelease"), {QStringLiteral("--clearsign")}},
        {QStringLiteral("Release.gpg"), {QStringLiteral("--detach-sign"), QStringLiteral("--armor")}}};
    for (const auto &signature : signatures) {
        const ProcessResult signed_ = runProcess(
            QStringLiteral("gpg"),
            gpgArguments(key, QStringList{QStringLiteral("--yes"), QStringLiteral("--local-user"), fingerprint,
                                          QStringLiteral("--digest-algo"), QStringLiteral("SHA512"),
                                          QStringLiteral("--output"), directory + QLatin1Char('/') + signature.first}
                                  + signature.second + QStringList{QStringLiteral("--"), release}));
        if (!signed_.succeeded())
            return Result::failure(QStringLiteral("Не удалось подписать Release ключом «%1» (%2): %3")
                                       .arg(key.key, fingerprint, signed_.failureText().trimmed()));
    }
    return Result::done();
}

Result exportPublicKey(const SigningKey &key, const QString &fingerprint, const QString &path)
{
    // gpg writes its output in place; the keyring reaches path whole or not at all.
    const PrivateDirectory scratch;
    if (scratch.made().failed())
        return scratch.made();
    const QString exported = scratch.path() + QStringLiteral("/key.gpg");
    const ProcessResult run = runQuery(
        QStringLiteral("gpg"), gpgArguments(key, {QStringLiteral("--export-options"), QStringLiteral("export-minimal"),
                                                  QStringLiteral("--output"), exported, QStringLiteral("--export"),
                                                  QStringLiteral("--"), fingerprint}));
    QByteArray bytes;
    if (!run.succeeded() || readRegularFile(exported, &bytes).failed() || bytes.isEmpty())
        return Result::failure(QStringLiteral("Не удалось выгрузить открытый ключ «%1» (%2): %3")
                                   .arg(key.key, fingerprint, run.failureText().trimmed()));
    return writeFileAtomically(path, bytes, 0644);
}
