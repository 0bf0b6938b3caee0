#include "app/profilestore.h"

#include "app/settings.h"
#include "package/lint.h"

#include <QSettings>

namespace {

// "/" nests a group in the INI store and "\" is how it writes a nested one,
// so a name holding either would not load back as the profile it names.
bool storableProfileName(const QString &name)
{
    return !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\'));
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
