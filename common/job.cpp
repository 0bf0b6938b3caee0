#include "common/job.h"

#include <QElapsedTimer>

#include <signal.h>
#include <unistd.h>

namespace {
thread_local Job *currentJob = nullptr;
thread_local bool quietOutput = false;
} // namespace

void Job::cancel()
{
    int running = Running;
    m_state.compare_exchange_strong(running, Cancelled);
}

bool Job::commit()
{
    int running = Running;
    return m_state.compare_exchange_strong(running, Committed) || running == Committed;
}

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

bool commitJob()
{
    return !currentJob || currentJob->commit();
}

void reportJobProgress(qint64 done, qint64 total)
{
    if (currentJob)
        currentJob->reportProgress(done, total);
}

void reportJobStep(const JobStep &step)
{
    if (currentJob && currentJob->onStep)
        currentJob->onStep(step);
}

QString stepText(const JobStep &step)
{
    if (step.total == 0)
        return step.phase;
    const QString count = QStringLiteral("%1: %2 из %3").arg(step.phase).arg(step.done).arg(step.total);
    return step.item.isEmpty() ? count : count + QStringLiteral(" — ") + step.item;
}

QString cancelledText()
{
    return QStringLiteral("Отменено пользователем");
}

GroupProcess::GroupProcess()
    : m_lifeline(programLifeline())
{ }

void GroupProcess::setupChildProcess()
{
    startWatchdog(m_lifeline);
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
    const pid_t watchdog = pid_t(process.processId());
    qint64 passedOutput = 0, passedError = 0;
    QElapsedTimer sinceCancel;
    while (!process.waitForFinished(50) && process.state() != QProcess::NotRunning) {
        forwardNew(process, QProcess::StandardOutput, &passedOutput, job);
        forwardNew(process, QProcess::StandardError, &passedError, job);
        if (!job->cancelled())
            continue;
        if (!sinceCancel.isValid()) {
            ::kill(watchdog, SIGTERM);
            sinceCancel.start();
        } else if (sinceCancel.hasExpired(2 * watchdogTermGraceMs + 1000)) {
            ::kill(-watchdog, SIGKILL);
        }
    }
    forwardNew(process, QProcess::StandardOutput, &passedOutput, job);
    forwardNew(process, QProcess::StandardError, &passedError, job);
    process.setReadChannel(QProcess::StandardOutput);
}
