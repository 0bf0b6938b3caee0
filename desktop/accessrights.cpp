#include "desktop/accessrights.h"

#include "common/paths.h"

#include <QDirIterator>
#include <QFile>

#include <sys/stat.h>

QString accessRightsPath(const QString &packageName)
{
    return dataDirectoryPath() + QLatin1Char('/') + packageName;
}

QString accessRightsText(const QString &workDir)
{
    QString text;
    // FollowSymlinks descends into linked directories once each, so a link
    // loop ends the descent instead of running forever.
    QDirIterator entries(workDir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories | QDirIterator::FollowSymlinks);
    while (entries.hasNext()) {
        const QString path = entries.next();
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        const QString relative = path.mid(workDir.size());
        if (relative.contains(QLatin1Char('\n')))
            continue;
        text += relative + QStringLiteral(": ")
                + QStringLiteral("%1").arg(status.st_mode & 0777, 3, 8, QLatin1Char('0'))
                + QLatin1Char('\n');
    }
    return text;
}
