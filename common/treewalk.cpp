#include "common/treewalk.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

// Walks the directory open as fd; takes ownership of fd.
void walkDirectory(int fd, const QByteArray &prefix,
                   const std::function<Visit(int, const QByteArray &, unsigned char)> &visit)
{
    DIR *dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return;
    }
    while (const dirent *entry = ::readdir(dir)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        unsigned char type = entry->d_type;
        if (type == DT_UNKNOWN) {
            struct stat status;
            if (::fstatat(::dirfd(dir), name, &status, AT_SYMLINK_NOFOLLOW) == 0)
                type = IFTODT(status.st_mode);
        }
        const QByteArray relative = prefix + name;
        if (visit(::dirfd(dir), relative, type) != Visit::Descend || type != DT_DIR)
            continue;
        const int child = ::openat(::dirfd(dir), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0)
            walkDirectory(child, relative + '/', visit);
    }
    ::closedir(dir);
}

} // namespace

void walkTree(const QString &root, const std::function<Visit(int, const QByteArray &, unsigned char)> &visit)
{
    const int fd = ::open(QFile::encodeName(root).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0)
        walkDirectory(fd, QByteArray(), visit);
}

QByteArray lastName(const QByteArray &relative)
{
    return relative.mid(relative.lastIndexOf('/') + 1);
}

QString displayName(const QByteArray &relative)
{
    return QFile::decodeName(relative).replace(QLatin1Char('\n'), QStringLiteral("\\n"));
}
