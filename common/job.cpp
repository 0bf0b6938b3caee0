#include "common/job.h"

#include <QElapsedTimer>

#include <signal.h>
#include <unistd.h>

namespace {
thread_local Job *currentJob = nullptr;
thread_local bool quietOutput = false;
} // namespace

void Job::reportOutput(const QByteArray &chunk)
{
    if (onOutput && !chunk.isEmpty() && !quietOutput)
        onOutput(chunk);
}

void Job::reportProgress(qint64 done, qint64 total)
{
    if (total > 0)
        report(int(qBound<qint64>(0, done * 100 / total, 100)));
}

void Job::reportBusy()
{
    report(-1);
}

void Job::report(int percent)
{
    // Hashing threads report at once; each change reaches the window once.
    if (m_percent.exchange(percent) != percent && onProgress)
        onProgress(percent);
}

Job *Job::current()
{
    return currentJob;
}

JobScope::JobScope(Job *job)
    : m_previous(currentJob)
{
    currentJob = job;
}

JobScope::~JobScope()
{
    currentJob = m_previous;
}

QuietOutput::QuietOutput()
    : m_previous(quietOutput)
{
    quietOutput = true;
}

QuietOutput::~QuietOutput()
{
    quietOutput = m_previous;
}

bool jobCancelled()
{
    return currentJob && currentJob->cancelled();
}

void reportJobProgress(qint64 done, qint64 total)
{
    if (currentJob)
        currentJob->reportProgress(done, total);
}

QString cancelledText()
{
    return QStringLiteral("Отменено пользователем");
}

void GroupProcess::setupChildProcess()
{
    ::setpgid(0, 0);
}

namespace {

// Passes on what the pipe holds beyond what was passed already.
void forwardNew(QProcess &process, QProcess::ProcessChannel channel, qint64 *passed, Job *job)
{
    process.setReadChannel(channel);
    const qint64 available = process.bytesAvailable();
    if (available <= *passed)
        return;
    job->reportOutput(process.peek(available).mid(int(*passed)));
    *passed = available;
}

} // namespace

void waitForTool(GroupProcess &process)
{
    Job *job = currentJob;
    if (!job) {
        process.waitForFinished(-1);
        return;
    }
    job->reportBusy();
    const pid_t group = pid_t(process.processId());
    qint64 passedOutput = 0, passedError = 0;
    QElapsedTimer sinceTerm;
    while (!process.waitForFinished(50) && process.state() != QProcess::NotRunning) {
        forwardNew(process, QProcess::StandardOutput, &passedOutput, job);
        forwardNew(process, QProcess::StandardError, &passedError, job);
        if (!job->cancelled())
            continue;
        if (!sinceTerm.isValid()) {
            ::kill(-group, SIGTERM);
            sinceTerm.start();
        } else if (sinceTerm.hasExpired(2000)) {
            ::kill(-group, SIGKILL);
        }
    }
    forwardNew(process, QProcess::StandardOutput, &passedOutput, job);
    forwardNew(process, QProcess::StandardError, &passedError, job);
    process.setReadChannel(QProcess::StandardOutput);
    if (!job->cancelled())
        return;
    // What the tool started may outlive it and ignore TERM: the rest of the
    // group gets its 2 s too, then KILL.
    if (!sinceTerm.isValid()) {
        ::kill(-group, SIGTERM);
        sinceTerm.start();
    }
    while (::kill(-group, 0) == 0 && !sinceTerm.hasExpired(2000))
        ::usleep(20 * 1000);
    ::kill(-group, SIGKILL);
}
