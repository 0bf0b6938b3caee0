#include "exebuild/datafiles.h"

#include "common/filesystem.h"
#include "common/paths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <set>
#include <utility>

QString dataDirectoryFor(const QString &executable)
{
    const QFileInfo file(executable);
    const QFileInfo directory(file.path());
    const QString parent = directory.path();
    const QString share = parent == QLatin1String("/") ? QStringLiteral("/share/") : parent + QStringLiteral("/share/");
    if (directory.fileName() == QLatin1String("games") && QFileInfo(parent).fileName() == QLatin1String("usr"))
        return share + QStringLiteral("games/") + file.fileName();
    return share + file.fileName();
}

bool placesData(const QString &outputDir)
{
    const QString real = QFileInfo(outputDir).canonicalFilePath();
    for (const char *end : {"/usr/bin", "/usr/sbin", "/usr/games", "/.local/bin"}) {
        if (real.endsWith(QLatin1String(end)))
            return true;
    }
    return false;
}

QList<QByteArray> dataFiles(const QString &scriptDir, const QStringList &skipped)
{
    std::set<std::pair<dev_t, ino_t>> left;
    for (const QString &path : skipped) {
        struct stat status;
        if (::stat(QFile::encodeName(path).constData(), &status) == 0)
            left.insert({status.st_dev, status.st_ino});
    }
    QList<QByteArray> files;
    walkTree(scriptDir, [&](int directory, const QByteArray &relative, unsigned char type) {
        const QByteArray name = lastName(relative);
        struct stat status;
        if (name.startsWith('.') || name == "__pycache__"
            || ::fstatat(directory, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0
            || left.count({status.st_dev, status.st_ino}) != 0)
            return Visit::Skip;
        if (type == DT_DIR) {
            const bool other = ::fstatat(directory, (name + "/pyvenv.cfg").constData(), &status, 0) == 0
                               || ::fstatat(directory, (name + "/DEBIAN").constData(), &status, 0) == 0;
            return other ? Visit::Skip : Visit::Descend;
        }
        static const QList<QByteArray> code{".py", ".pyw", ".pyc", ".pyo", ".pyi", ".c", ".o"};
        const int dot = name.lastIndexOf('.');
        if (type == DT_REG && (dot < 0 || !code.contains(name.mid(dot))))
            files << relative;
        return Visit::Skip;
    });
    return files;
}

Result copyDataFiles(const QString &scriptDir, QList<QByteArray> *files, const QString &executable)
{
    const QString dataDir = dataDirectoryFor(executable);
    // The data directory lies below root, so a target is root and the way below it.
    const QString root = QFileInfo(QFileInfo(executable).path()).path();
    QStringList warnings;
    QList<QByteArray> copied;
    for (const QByteArray &file : qAsConst(*files)) {
        const QString relative = QFile::decodeName(file);
        if (QFile::encodeName(relative) != file) {
            warnings << QStringLiteral("Файл данных %1 не скопирован: его имя не в UTF-8").arg(displayName(file));
            continue;
        }
        const QString source = scriptDir + QLatin1Char('/') + relative;
        const QString target = dataDir + QLatin1Char('/') + relative;
        const Result made = runSteps({
            [&] { return refuseLinksBelow(root, target.mid(root.size())); },
            [&] { return makePath(QFileInfo(target).path(), 0755); },
            [&] { return copyFileAtomically(source, target); },
        });
        if (made.failed())
            return made;
        copied << file;
    }
    *files = copied;
    return Result::doneWith(warnings);
}
