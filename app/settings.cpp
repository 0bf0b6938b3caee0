#include "app/settings.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QTextCodec>

#include <memory>

namespace {

std::unique_ptr<QSettings> &store()
{
    static std::unique_ptr<QSettings> opened;
    return opened;
}

} // namespace

QSettings &settings()
{
    std::unique_ptr<QSettings> &opened = store();
    if (!opened) {
        opened = std::make_unique<QSettings>(settingsFilePath(), QSettings::IniFormat);
        opened->setIniCodec(QTextCodec::codecForName("UTF-8"));
    }
    return *opened;
}

void reopenSettings()
{
    store().reset();
}

Result checkSettingsFile()
{
    const Result home = requireHome();
    if (home.failed())
        return home;
    return entryExists(settingsFilePath()) ? checkRegularFile(settingsFilePath()) : Result::done();
}

void removeStaleSettingsLock()
{
    QLockFile lock(settingsFilePath() + QStringLiteral(".lock"));
    // By the owner's process alone, never by the lock's age: a long save of
    // another instance keeps its lock.
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        lock.unlock();
}
