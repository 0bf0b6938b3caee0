#include "package/docs/gzipfiles.h"

#include "common/filesystem.h"
#include "common/privatedir.h"
#include "common/processrunner.h"

namespace {

// Runs gzip with arguments on a file that holds input, in a private
// directory, and reads the file gzip leaves (named output).
Result throughGzip(const QString &input, const QString &output, const QStringList &arguments, const QByteArray &bytes,
                   QByteArray *result)
{
    PrivateDirectory directory;
    if (directory.made().failed())
        return directory.made();
    const QString path = directory.path() + QLatin1Char('/');
    const Result written = writeFileAtomically(path + input, bytes);
    if (written.failed())
        return written;
    const ProcessResult gzip = runProcess(QStringLiteral("gzip"), arguments + QStringList{path + input});
    if (!gzip.succeeded())
        return Result::failure(QStringLiteral("gzip: ") + gzip.failureText().replace(path, QString()));
    return readRegularFile(path + output, result);
}

} // namespace

Result gzipCompressed(const QByteArray &plain, QByteArray *compressed)
{
    return throughGzip(QStringLiteral("document"), QStringLiteral("document.gz"), {QStringLiteral("-9n")}, plain,
                       compressed);
}

Result gzipDecompressed(const QByteArray &compressed, QByteArray *plain)
{
    return throughGzip(QStringLiteral("document.gz"), QStringLiteral("document"), {QStringLiteral("-d")}, compressed,
                       plain);
}
