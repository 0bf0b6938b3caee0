#pragma once

#include "common/watchdog.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

#include <QProcess>

// Where a long work stands: its phase and, in a phase over many items (the
// modules of a program), how many are done of how many and the one now
// worked on.
struct JobStep
{
    QString phase;
    int done = 0;
    int total = 0; // 0: the phase has no items
    QString item;
};

// The step as one line: "Сборка модулей: 3 из 17 — app.util".
QString stepText(const JobStep &step);

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
    // The step the work has reached; called on any thread of the work.
    std::function<void(const JobStep &step)> onStep;

    // Asks the work to stop. Safe in a signal handler. Refused once the work
    // has committed.
    void cancel();
    bool cancelled() const { return m_state == Cancelled; }
    // Claims the work's last step (the one that makes its result the
    // user's, like moving a package into place): from here on a cancel is
    // refused, so that a cancel the user sees accepted always removed
    // everything. False when the cancel came first; the work must then stop.
    bool commit();

    void reportOutput(const QByteArray &chunk);
    // Reports done of total as a percent, only when the percent changes.
    void reportProgress(qint64 done, qint64 total);
    void reportBusy();

    // The job of the calling thread, or nullptr.
    static Job *current();

private:
    void report(int percent);

    enum State { Running, Cancelled, Committed };
    std::atomic<int> m_state{Running};
    static_assert(std::atomic<int>::is_always_lock_free, "cancel() runs in signal handlers");
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
// Commits the current thread's job (see Job::commit); true without a job.
bool commitJob();
// Reports through the current thread's job, if any.
void reportJobProgress(qint64 done, qint64 total);
void reportJobStep(const JobStep &step);
// The text of a work that stopped because the user cancelled it.
QString cancelledText();

// Runs a tool in a process group of its own below a watchdog
// (common/watchdog.h), which ends the tool together with everything it
// started, daemons included, when the tool exits, when it is cancelled and
// when the program dies. processId() is the watchdog's.
class GroupProcess : public QProcess
{
public:
    GroupProcess();

protected:
    void setupChildProcess() override;

private:
    Lifeline m_lifeline;
};

// Waits for a started process to end, passing its output to the current job
// as it arrives (the pipes are only looked at, not drained). When the job is
// cancelled, the watchdog gets TERM and ends the tree, TERM first and KILL
// 2 s later; should it not answer, its group gets KILL.
void waitForTool(GroupProcess &process);
