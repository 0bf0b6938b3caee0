// Runs the package build on a work directory without any window and prints
// its wall time, the time of each phase, the peak memory of this process
// (the tools it runs excluded) and the longest stall of the main thread's
// event loop while the build runs on a worker thread under a job, its
// progress and output queued to the main thread as the progress window gets
// them:
//   bench_package_build WORK_DIR OUTPUT_DIR [COMPRESSION [LEVEL]] [--lint]
// prints "ms=<milliseconds> maxrss_kb=<kilobytes> stall_ms=<milliseconds>
// success=<0|1>" and then " <phase>=<milliseconds>" for every phase. The
// phases of the staging pass (walk, copy, hash) run on a pool of threads:
// their times are summed over the threads.
#include "common/job.h"
#include "package/debbuild/buildphases.h"
#include "package/debbuild/debbuild.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments();
    const bool lint = arguments.removeAll(QStringLiteral("--lint")) > 0;
    if (arguments.size() < 3 || arguments.size() > 5) {
        QTextStream(stderr) << "usage: bench_package_build WORK_DIR OUTPUT_DIR [COMPRESSION [LEVEL]] [--lint]\n";
        return 2;
    }
    Compression compression;
    compression.name = arguments.value(3, compression.name);
    compression.level = arguments.value(4, QStringLiteral("-1")).toInt();
    Job job;
    int lastPercent = -1;
    job.onProgress = [&](int percent) {
        QMetaObject::invokeMethod(
            &app, [&lastPercent, percent] { lastPercent = percent; }, Qt::QueuedConnection);
    };
    job.onOutput = [&](const QByteArray &chunk) {
        QMetaObject::invokeMethod(
            &app, [chunk] { Q_UNUSED(chunk) }, Qt::QueuedConnection);
    };

    Result result;
    QElapsedTimer timer;
    timer.start();
    resetPhaseTimes();
    std::unique_ptr<QThread> worker(QThread::create([&] {
        const JobScope scope(&job);
        result = buildPackage(arguments.at(1), arguments.at(2), lint, compression);
    }));
    QObject::connect(worker.get(), &QThread::finished, &app, &QCoreApplication::quit);

    // A tick every 10 ms; the longest gap between two is the longest stall.
    QElapsedTimer sinceTick;
    qint64 stall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { stall = qMax(stall, sinceTick.restart()); });
    ticker.start(10);
    sinceTick.start();
    worker->start();
    app.exec();
    worker->wait();
    const qint64 elapsed = timer.elapsed();

    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    QTextStream out(stdout);
    out << "ms=" << elapsed << " maxrss_kb=" << usage.ru_maxrss << " stall_ms=" << stall
        << " success=" << (result.success ? 1 : 0);
    for (int phase = 0; phase < int(BuildPhase::Count); ++phase)
        out << ' ' << phaseName(BuildPhase(phase)) << '=' << phaseNanoseconds(BuildPhase(phase)) / 1000000;
    out << '\n';
    if (!result.success)
        QTextStream(stderr) << result.message << '\n';
    return result.success ? 0 : 1;
}
