// Drives the package metadata functions for bench/debian_tools.sh:
//   bench_debian_tools generate DIR       fills DIR with the benchmark tree
//   bench_debian_tools checksums DIR OUT  writes the md5sums lines of DIR to OUT
//   bench_debian_tools size DIR           prints the installed size of DIR in KiB
// The last two take RUNS (default 5) from the environment and print the
// fastest run in milliseconds on standard error, process start left out.
#include "package/control/checksums.h"
#include "package/control/installedsize.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>

#include <cstdio>
#include <functional>

namespace {

// About 5,000 files and 200 MB in 50 directories of 100 files, sizes spread
// from a few bytes to 160 KB, plus a DEBIAN directory that the functions skip.
int generate(const QString &root)
{
    QRandomGenerator random(20261206);
    qint64 total = 0;
    for (int d = 0; d < 50; ++d) {
        const QString dir = root + QStringLiteral("/usr/share/pkg/part%1").arg(d);
        if (!QDir().mkpath(dir))
            return 1;
        for (int f = 0; f < 100; ++f) {
            const int size = int(random.bounded(64 * 1024)) * ((f % 4) + 1) / 2 + 1;
            QByteArray data(size, Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32 *>(data.data()), size / 4);
            QFile file(dir + QStringLiteral("/file%1.dat").arg(f));
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != size)
                return 1;
            total += size;
        }
    }
    QDir().mkpath(root + QStringLiteral("/DEBIAN"));
    QFile control(root + QStringLiteral("/DEBIAN/control"));
    if (!control.open(QIODevice::WriteOnly))
        return 1;
    control.write("Package: bench\nInstalled-Size: 0\n");
    std::printf("%lld bytes in 5000 files\n", static_cast<long long>(total));
    return 0;
}

qint64 fastest(const std::function<void()> &run)
{
    const int runs = qMax(1, qEnvironmentVariableIntValue("RUNS"));
    qint64 best = -1;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        run();
        const qint64 elapsed = timer.nsecsElapsed();
        if (best < 0 || elapsed < best)
            best = elapsed;
    }
    return best;
}

void printMilliseconds(qint64 nanoseconds)
{
    std::fprintf(stderr, "%.3f\n", double(nanoseconds) / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == QLatin1String("generate"))
        return generate(args.at(2));
    if (args.size() == 4 && args.at(1) == QLatin1String("checksums")) {
        ChecksumList list;
        printMilliseconds(fastest([&] { list = checksumLines(args.at(2)); }));
        QFile out(args.at(3));
        if (!out.open(QIODevice::WriteOnly) || out.write(list.content) != list.content.size())
            return 1;
        return list.unlistable.isEmpty() && list.unreadable.isEmpty() ? 0 : 1;
    }
    if (args.size() == 3 && args.at(1) == QLatin1String("size")) {
        qint64 size = 0;
        printMilliseconds(fastest([&] { size = installedSizeKiB(args.at(2)); }));
        std::printf("%lld\n", static_cast<long long>(size));
        return 0;
    }
    std::fprintf(stderr, "usage: %s generate DIR | checksums DIR OUT | size DIR\n", argv[0]);
    return 2;
}
