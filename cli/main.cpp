// bexlor-build: the jobs of the window's buttons for shells, scripts and CI,
// where there is no display. The core does the work; this only reads the
// arguments and reports.
#include "cli/commands.h"
#include "common/job.h"
#include "common/namebytes.h"

#include <QCoreApplication>

#include <QMutex>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

namespace {

Job *signalled = nullptr;

// An interrupt or a termination cancels the work like the window's cancel
// button: the tool's process group is ended and the partial results go,
// instead of a tool left running and a staging copy left in /tmp. Setting
// the job's atomic flag is all a signal handler may do here.
extern "C" void cancelOnSignal(int)
{
    if (signalled)
        signalled->cancel();
}

void cancelOnSignals(Job *job)
{
    signalled = job;
    struct sigaction action = {};
    action.sa_handler = cancelOnSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

// A standard stream that is closed keeps its number taken by /dev/null
// opened for reading only: no file the program opens later can take the
// number and receive the output, and a write to it fails as it should.
void holdClosedStandardStreams()
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int held = ::open("/dev/null", O_RDONLY);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
}

void writeError(const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

// The work's progress on standard error, from whichever thread reports it:
// on a terminal one line drawn again at each step and cleared before the
// tools' output and the final message, elsewhere a line per phase.
class Progress
{
public:
    Progress()
        : m_terminal(::isatty(STDERR_FILENO) == 1)
    { }

    void step(const JobStep &step)
    {
        const QMutexLocker locker(&m_mutex);
        winsize size = {};
        const int width = ::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
        const QByteArray bytes = progressOutput(step, m_phase, m_terminal, width);
        m_phase = step.phase;
        m_drawn = m_terminal;
        writeError(bytes);
    }

    // Writes bytes where the line was.
    void write(const QByteArray &bytes)
    {
        const QMutexLocker locker(&m_mutex);
        if (m_drawn)
            writeError("\r\033[K");
        m_drawn = false;
        writeError(bytes);
    }

private:
    QMutex m_mutex;
    const bool m_terminal;
    bool m_drawn = false;
    QString m_phase;
};

void printError(const QString &text)
{
    if (text.isEmpty())
        return;
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char **argv)
{
    holdClosedStandardStreams();
    // Output that cannot be written is an error like any other: a reader
    // that has gone makes write fail with EPIPE instead of killing the
    // program before it has reported (or saved) anything.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication application(argc, argv);
    keepStrayBytesInNames();
    const CommandLine line = parseCommandLine(application.arguments().mid(1));
    if (!line.usageError.isEmpty()) {
        printError(QStringLiteral("bexlor-build: %1\nСправка: bexlor-build --help").arg(line.usageError));
        return 2;
    }
    if (line.help) {
        const Result printed = writeStandardOutput(helpText(line.command).toUtf8());
        if (printed.failed())
            printError(printed.message);
        return printed.failed() ? 1 : 0;
    }

    // The tools speak on stderr while they run, as the window's log shows them, and so does the progress.
    Job job;
    Progress progress;
    job.onOutput = [&progress](const QByteArray &chunk) { progress.write(chunk); };
    if (!line.quiet)
        job.onStep = [&progress](const JobStep &step) { progress.step(step); };
    const JobScope scope(&job);
    cancelOnSignals(&job);
    const Result result = runCommand(line);
    const Outcome done = outcome(result, job.cancelled());
    progress.write(QByteArray());
    printError(done.text);
    return done.exitCode;
}
