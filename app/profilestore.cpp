#include "app/profilestore.h"

#include "app/settings.h"
#include "common/filesystem.h"
#include "common/paths.h"
#include "common/privatedir.h"
#include "package/debbuild/lint.h"

#include <QFile>
#include <QSettings>

#include <array>
#include <variant>

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

// The keys of a profile, in the order they are saved, each with its field.
using ProfileMember = std::variant<QString Profile::*, int Profile::*, bool Profile::*>;
struct ProfileKey
{
    const char *key;
    ProfileMember member;
};

const std::array<ProfileKey, 21> &profileKeys()
{
    static const std::array<ProfileKey, 21> keys{{
        {"ProjectDir", &Profile::projectDir},
        {"Py", &Profile::py},
        {"OutputC", &Profile::outputC},
        {"BinaryDir", &Profile::binaryDir},
        {"Binary", &Profile::binary},
        {"Source", &Profile::source},
        {"ProjectDirDeb", &Profile::projectDirDeb},
        {"DebDir", &Profile::debDir},
        {"Lint", &Profile::lint},
        {"Compression", &Profile::compression},
        {"CompressionLevel", &Profile::compressionLevel},
        {"Bytecode", &Profile::bytecode},
        {"CheckReproducible", &Profile::checkReproducible},
        {"RepoDir", &Profile::repoDir},
        {"Repo", &Profile::repo},
        {"SigningKey", &Profile::signingKey},
        {"CheckReproducibleExe", &Profile::checkReproducibleExe},
        {"Optimise", &Profile::optimise},
        {"Architecture", &Profile::architecture},
        {"Include", &Profile::include},
        {"Exclude", &Profile::exclude},
    }};
    return keys;
}

// Writes the keys into the store's current group.
void writeProfile(QSettings &store, const Profile &profile)
{
    for (const ProfileKey &key : profileKeys())
        std::visit([&](auto member) { store.setValue(QLatin1String(key.key), profile.*member); }, key.member);
}

// Reads the keys from the store's current group: a missing key, or a
// hand-edited number that is no number, keeps the field's default; Lint's
// is on when lintian is installed.
Profile readProfile(const QSettings &store)
{
    Profile profile;
    profile.lint = lintianInstalled();
    for (const ProfileKey &key : profileKeys()) {
        const QVariant value = store.value(QLatin1String(key.key));
        if (!value.isValid())
            continue;
        if (auto text = std::get_if<QString Profile::*>(&key.member)) {
            profile.*(*text) = value.toString();
        } else if (auto whole = std::get_if<int Profile::*>(&key.member)) {
            bool number = false;
            const int read = value.toInt(&number);
            if (number)
                profile.*(*whole) = read;
        } else {
            profile.*std::get<bool Profile::*>(key.member) = value.toBool();
        }
    }
    return profile;
}

bool sameProfile(const Profile &a, const Profile &b)
{
    for (const ProfileKey &key : profileKeys()) {
        if (!std::visit([&](auto member) { return a.*member == b.*member; }, key.member))
            return false;
    }
    return true;
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
    if (scratch.made().failed() || copyFileAtomically(settingsFilePath(), copy).failed())
        return false;
    QSettings disk(copy, QSettings::IniFormat);
    disk.setIniCodec("UTF-8");
    disk.beginGroup(name);
    return sameProfile(readProfile(disk), profile);
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
    writeProfile(store, profile);
    store.endGroup();
    const QString path = settingsFilePath();
    // A missing file has nothing to restore.
    QByteArray before;
    readRegularFile(path, &before);
    removeSettingsLeftovers();
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
    const Profile profile = readProfile(store);
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
