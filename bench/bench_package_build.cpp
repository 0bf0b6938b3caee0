// Runs the package build on a work directory without any window and prints
// its wall time and the peak memory of this process:
//   bench_package_build WORK_DIR OUTPUT_DIR
// prints "ms=<milliseconds> maxrss_kb=<kilobytes> success=<0|1>".
#include "package/debbuild.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>

#include <sys/resource.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3) {
        QTextStream(stderr) << "usage: bench_package_build WORK_DIR OUTPUT_DIR\n";
        return 2;
    }
    QElapsedTimer timer;
    timer.start();
    const Result result = buildPackage(arguments.at(1), arguments.at(2));
    const qint64 elapsed = timer.elapsed();
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    QTextStream out(stdout);
    out << "ms=" << elapsed << " maxrss_kb=" << usage.ru_maxrss << " success=" << (result.success ? 1 : 0) << '\n';
    if (!result.success)
        QTextStream(stderr) << result.message << '\n';
    return result.success ? 0 : 1;
}
