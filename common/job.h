#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

#include <QProcess>

// The long work of a window (a build, a checksum refresh, the icon set) runs
// on a worker thread under a Job. The core reaches the job of its thread
// without any parameter: it reports tools' output and progress through it
// and stops early when the user has cancelled, removing what it made.
class Job
{
public:
    // Called on the working thread, or on a thread of the hashing pool.
    std::function<void(const QByteArray &chunk)> onOutput;
    // Percent done, or -1 while the share is not known (a tool runs).
    std::function<void(int percent)> onProgress;

    void cancel() { m_cancelled = true; }
    bool cancelled() const { return m_cancelled; }

    void reportOutput(const QByteArray &chunk);
    // Reports done of total as a percent, only when the percent changes.
    void reportProgress(qint64 done, qint64 total);
    void reportBusy();

    // The job of the calling thread, or nullptr.
    static Job *current();

private:
    void report(int percent);

    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_percent{-2};
};

// Makes job the current job of the calling thread for the scope's lifetime.
class JobScope
{
public:
    explicit JobScope(Job *job);
    ~JobScope();
    JobScope(const JobScope &) = delete;
    JobScope &operator=(const JobScope &) = delete;

private:
    Job *m_previous;
};

// Keeps what the tools of the calling thread print from the job for its
// lifetime, for tools that only answer a question (a version, a file's
// package): their answer is no news for the user's log. A cancel still
// reaches them.
class QuietOutput
{
public:
    QuietOutput();
    ~QuietOutput();
    QuietOutput(const QuietOutput &) = delete;
    QuietOutput &operator=(const QuietOutput &) = delete;

private:
    bool m_previous;
};

// True when the current thread works under a job that was cancelled.
bool jobCancelled();
// Reports through the current thread's job, if any.
void reportJobProgress(qint64 done, qint64 total);
// The text of a work that stopped because the user cancelled it.
QString cancelledText();

// Runs a tool in its own process group, so that cancelling ends the tool
// together with everything it started.
class GroupProcess : public QProcess
{
public:
    using QProcess::QProcess;

protected:
    void setupChildProcess() override;
};

// Waits for a started process to end, passing its output to the current job
// as it arrives (the pipes are only looked at, not drained). When the job is
// cancelled, the process group gets TERM and, 2 s later, KILL.
void waitForTool(GroupProcess &process);
