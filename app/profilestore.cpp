#include "app/profilestore.h"

#include "app/settings.h"
#include "common/paths.h"
#include "common/privatedir.h"
#include "common/textfiles.h"
#include "package/lint.h"

#include <QFile>
#include <QSettings>

namespace {

// "/" nests a group in the INI store and "\" is how it writes a nested one,
// so a name holding either would not load back as the profile it names.
bool storableProfileName(const QString &name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
}

// The INI store writes every spelling of "general" as its own [%General]
// section and reads it back as "General": only that one spelling survives.
bool generalAlias(const QString &name)
{
    return name != QLatin1String("General") && name.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0;
}

// Why the store could not be written: the file's own complaint when it
// cannot even be opened, otherwise a write that did not reach the disk.
QString writeFailureReason(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::Append))
        return file.errorString();
    return QStringLiteral("файл записан не полностью (нет места на диске?)");
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The profile as the bytes on disk hold it. The store can believe a write
// done that a full disk cut short (its save file drops the error of the
// final flush), and a second store object on the same path would only share
// the first one's memory, so the bytes are read through a private copy.
bool storedOnDisk(const QString &name, const Profile &profile)
{
    // A private directory, so that a kill meanwhile leaves nothing behind for good.
    const PrivateDirectory scratch;
    const QString copy = scratch.path() + QStringLiteral("/settings.ini");
    if (scratch.path().isEmpty() || writeFileAtomically(copy, fileBytes(settingsFilePath())).failed())
        return false;
    QSettings disk(copy, QSettings::IniFormat);
    disk.setIniCodec("UTF-8");
    disk.beginGroup(name);
    const auto text = [&disk](const char *key) { return disk.value(QLatin1String(key)).toString(); };
    return text("ProjectDir") == profile.projectDir && text("Py") == profile.py && text("OutputC") == profile.outputC
           && text("BinaryDir") == profile.binaryDir && text("Binary") == profile.binary
           && disk.value(QStringLiteral("Source")).toInt() == profile.source
           && text("ProjectDirDeb") == profile.projectDirDeb && text("DebDir") == profile.debDir
           && disk.value(QStringLiteral("Lint")).toBool() == profile.lint;
}

} // namespace

QStringList profileNames()
{
    return settings().childGroups();
}

Result saveProfile(const QString &name, const Profile &profile)
{
    if (!storableProfileName(name))
        return Result::failure(QStringLiteral("Имя настроек не может содержать символы «/» и «\\»: %1").arg(name));
    if (generalAlias(name))
        return Result::failure(QStringLiteral("Имя настроек %1 файл настроек не отличает от General: "
                                              "выберите другое имя")
                                   .arg(name));
    QSettings &store = settings();
    store.beginGroup(name);
    store.setValue(QStringLiteral("ProjectDir"), profile.projectDir);
    store.setValue(QStringLiteral("Py"), profile.py);
    store.setValue(QStringLiteral("OutputC"), profile.outputC);
    store.setValue(QStringLiteral("BinaryDir"), profile.binaryDir);
    store.setValue(QStringLiteral("Binary"), profile.binary);
    store.setValue(QStringLiteral("Source"), profile.source);
    store.setValue(QStringLiteral("ProjectDirDeb"), profile.projectDirDeb);
    store.setValue(QStringLiteral("DebDir"), profile.debDir);
    store.setValue(QStringLiteral("Lint"), profile.lint);
    store.endGroup();
    const QString path = settingsFilePath();
    const QByteArray before = fileBytes(path);
    store.sync();
    if (store.status() != QSettings::NoError || !storedOnDisk(name, profile)) {
        QString message =
            QStringLiteral("Не удалось сохранить настройки в файл %1: %2").arg(path, writeFailureReason(path));
        reopenSettings();
        // What a cut-short write replaced goes back.
        if (!before.isEmpty()) {
            const Result restored = writeFileAtomically(path, before);
            if (restored.failed())
                message += QLatin1Char('\n') + restored.message;
        }
        return Result::failure(message);
    }
    return Result::done(QStringLiteral("Настройки сохранены"));
}

Profile loadProfile(const QString &name)
{
    QSettings &store = settings();
    store.beginGroup(name);
    const auto text = [&store](const char *key) { return store.value(QLatin1String(key)).toString(); };
    Profile profile;
    profile.projectDir = text("ProjectDir");
    profile.py = text("Py");
    profile.outputC = text("OutputC");
    profile.binaryDir = text("BinaryDir");
    profile.binary = text("Binary");
    profile.source = store.value(QStringLiteral("Source"), 0).toInt();
    profile.projectDirDeb = text("ProjectDirDeb");
    profile.debDir = text("DebDir");
    profile.lint = store.value(QStringLiteral("Lint"), lintianInstalled()).toBool();
    store.endGroup();
    return profile;
}

Result removeProfile(const QString &name)
{
    if (name.isEmpty())
        return Result::failure(QStringLiteral("Не выбраны настройки для удаления"));
    settings().remove(name);
    return Result::done();
}
