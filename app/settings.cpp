#include "app/settings.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
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

void removeSettingsLeftovers()
{
    QLockFile lock(settingsFilePath() + QStringLiteral(".lock"));
    // By the owner's process alone, never by the lock's age: a long save of
    // another instance keeps its lock.
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return;
    // Qt names its temporary with six random letters, each upper or lower
    // case: a name of one case alone may be the user's own (".backup"), and
    // stays.
    const QFileInfo store(settingsFilePath());
    const QRegularExpression temporary(
        QRegularExpression::anchoredPattern(QRegularExpression::escape(store.fileName())
                                            + QStringLiteral("\\.(?=[a-zA-Z]*[a-z])(?=[a-zA-Z]*[A-Z])[a-zA-Z]{6}")));
    const QDir directory = store.dir();
    for (const QString &name : directory.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (temporary.match(name).hasMatch())
            QFile::remove(directory.filePath(name));
    }
    lock.unlock();
}
