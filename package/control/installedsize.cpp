#include "package/control/installedsize.h"

#include "common/filesystem.h"
#include "package/control/packedfiles.h"
#include "package/control/paragraph.h"
#include "package/control/relations.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <functional>

namespace {

const QByteArray installedSizeField = QByteArrayLiteral("Installed-Size");

} // namespace

qint64 installedSizeKiB(const QString &workDir)
{
    InstalledSizeCount count;
    walkTree(workDir, [&](int fd, const QByteArray &relative, unsigned char) {
        if (leftOutOfPackage(relative))
            return Visit::Skip;
        struct stat status;
        if (::fstatat(fd, lastName(relative).constData(), &status, AT_SYMLINK_NOFOLLOW) != 0)
            return Visit::Skip;
        count.add(status);
        return Visit::Descend;
    });
    return count.kib();
}

bool hasInstalledSizeLine(const QByteArray &text)
{
    for (const QByteArray &line : text.split('\n')) {
        if (sameFieldName(controlFieldName(line), installedSizeField))
            return true;
    }
    return false;
}

QByteArray withInstalledSize(const QByteArray &text, qint64 sizeKiB)
{
    const QByteArray sizeLine = "Installed-Size: " + QByteArray::number(sizeKiB) + '\n';
    QByteArray result;
    result.reserve(text.size() + sizeLine.size());
    int start = 0;
    while (start < text.size()) {
        const int newline = text.indexOf('\n', start);
        const int end = newline < 0 ? text.size() : newline + 1;
        const QByteArray line = text.mid(start, end - start);
        result += sameFieldName(controlFieldName(line), installedSizeField) ? sizeLine : line;
        start = end;
    }
    return result;
}

QByteArray withInstalledSizeSet(const QByteArray &control, qint64 sizeKiB)
{
    // dpkg-deb refuses a last line without its line break, which the editor
    // does not add.
    if (hasInstalledSizeLine(control)) {
        const QByteArray text = withInstalledSize(control, sizeKiB);
        return text.endsWith('\n') ? text : text + '\n';
    }
    QByteArray text = control;
    while (!text.isEmpty() && isControlSpace(text.back()))
        text.chop(1);
    return text + "\nInstalled-Size: " + QByteArray::number(sizeKiB) + '\n';
}

namespace {

// Rewrites the control file at path with the text change gives for its
// text, unless that is the same; nothing but a regular file is read (a FIFO
// would block the read for ever). The text change gives goes to *updated
// when that is given.
Result rewriteControl(const QString &path, const std::function<QByteArray(const QByteArray &)> &change,
                      QByteArray *updated = nullptr)
{
    QByteArray text;
    const Result read = readRegularFile(path, &text);
    if (read.failed())
        return read;
    const QByteArray changed = change(text);
    if (updated)
        *updated = changed;
    return changed == text ? Result::done() : writeFileAtomically(path, changed);
}

} // namespace

Result refreshInstalledSize(const QString &workDir)
{
    return rewriteControl(workDir + QStringLiteral("/DEBIAN/control"), [&](const QByteArray &text) {
        return hasInstalledSizeLine(text) ? withInstalledSize(text, installedSizeKiB(workDir)) : text;
    });
}

Result setInstalledSize(const QString &path, qint64 sizeKiB, QByteArray *control)
{
    return rewriteControl(
        path, [&](const QByteArray &text) { return withInstalledSizeSet(text, sizeKiB); }, control);
}
