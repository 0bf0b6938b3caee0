#include "common/watchdog.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <initializer_list>

// Everything below but programLifeline runs in the forked child of a process
// that may have other threads: raw system calls only, no allocation, no Qt.
namespace {

// How long the watchdog waits after KILL for what the kernel has not let go
// of yet, before it gives up and exits.
const long long killGraceMs = 3000;

volatile sig_atomic_t stopAsked = 0;

extern "C" void askToStop(int)
{
    stopAsked = 1;
}

// Only there so that a child's end interrupts ppoll.
extern "C" void childChanged(int) { }

long long monotonicMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

// The parent of pid as /proc/PID/stat gives it, or 0 once pid is gone.
pid_t parentOf(pid_t pid)
{
    char path[32] = "/proc/";
    char digits[16];
    int count = 0;
    for (; pid > 0; pid /= 10)
        digits[count++] = char('0' + pid % 10);
    char *end = path + 6;
    while (count > 0)
        *end++ = digits[--count];
    for (const char c : "/stat")
        *end++ = c;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    char text[256];
    const ssize_t size = ::read(fd, text, sizeof text);
    ::close(fd);
    // "pid (name) state ppid …": the name may hold blanks and ")".
    ssize_t at = size - 1;
    while (at > 0 && text[at] != ')')
        --at;
    if (at <= 0)
        return 0;
    at += 4;
    pid_t parent = 0;
    for (; at < size && text[at] >= '0' && text[at] <= '9'; ++at)
        parent = parent * 10 + (text[at] - '0');
    return parent;
}

// Sends signal to every process below this one, found by following each
// process's parents back to this one.
void signalDescendants(int signal)
{
    const pid_t self = ::getpid();
    const int proc = ::open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (proc < 0)
        return;
    alignas(dirent64) char entries[4096];
    ssize_t size;
    while ((size = ::getdents64(proc, entries, sizeof entries)) > 0) {
        for (ssize_t at = 0; at < size;) {
            const auto *entry = reinterpret_cast<const dirent64 *>(entries + at);
            at += entry->d_reclen;
            pid_t pid = 0;
            const char *digit = entry->d_name;
            for (; *digit >= '0' && *digit <= '9'; ++digit)
                pid = pid * 10 + (*digit - '0');
            if (*digit != '\0' || pid <= 1 || pid == self)
                continue;
            pid_t above = pid;
            for (int depth = 0; above > 1 && depth < 64; ++depth) {
                above = parentOf(above);
                if (above == self) {
                    ::kill(pid, signal);
                    break;
                }
            }
        }
    }
    ::close(proc);
}

// Ends this process as the tool ended: its exit code, or its fatal signal,
// so that QProcess sees a crash as a crash.
[[noreturn]] void endAsTool(bool ended, int status)
{
    if (ended && WIFEXITED(status))
        ::_exit(WEXITSTATUS(status));
    const int signal = ended && WIFSIGNALED(status) ? WTERMSIG(status) : SIGKILL;
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    struct sigaction fatal = {};
    fatal.sa_handler = SIG_DFL;
    ::sigaction(signal, &fatal, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    ::sigprocmask(SIG_UNBLOCK, &only, nullptr);
    ::kill(::getpid(), signal);
    ::_exit(128 + signal);
}

// Keeps the descriptors the watchdog needs: /dev/null on 0, 1 and 2 (so the
// tool's pipes close when the tool closes them) and the lifeline on 3.
// Everything else of the program's goes, QProcess's start-up pipe above all,
// which must close with the tool's exec. Returns the lifeline or -1.
int keepOnlyLifeline(int lifeline)
{
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) {
        if (null < 0 || ::dup2(null, fd) < 0)
            ::close(fd);
    }
    const int kept = lifeline < 0 ? -1 : ::dup2(lifeline, 3);
    const unsigned first = kept < 0 ? 3 : 4;
    if (::close_range(first, UINT_MAX, 0) != 0) {
        // Kernels before 5.9 and some container filters refuse close_range.
        rlimit open{};
        ::getrlimit(RLIMIT_NOFILE, &open);
        for (rlim_t fd = first; fd < open.rlim_cur && fd < 1048576; ++fd)
            ::close(int(fd));
    }
    return kept;
}

[[noreturn]] void watch(pid_t tool, int lifeline)
{
    struct sigaction stop = {};
    stop.sa_handler = askToStop;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &stop, nullptr);
    struct sigaction child = {};
    child.sa_handler = childChanged;
    child.sa_flags = SA_NOCLDSTOP;
    ::sigaction(SIGCHLD, &child, nullptr);
    // The signals stay blocked but inside ppoll, so none slips in between
    // a look at the children and the wait.
    sigset_t duringWait;
    sigemptyset(&duringWait);

    bool toolEnded = false;
    int toolStatus = 0;
    long long termAt = -1, killAt = -1;
    pollfd program{lifeline, POLLIN, 0};
    for (;;) {
        int status = 0;
        pid_t ended;
        while ((ended = ::waitpid(-1, &status, WNOHANG)) > 0) {
            if (ended == tool) {
                toolEnded = true;
                toolStatus = status;
            }
        }
        if (ended < 0 && errno == ECHILD) // nothing of the tree is left
            endAsTool(toolEnded, toolStatus);
        const long long now = monotonicMs();
        if (termAt < 0) {
            if (toolEnded || stopAsked || program.revents != 0) {
                signalDescendants(SIGTERM);
                termAt = now;
            }
        } else if (now - termAt >= watchdogTermGraceMs) {
            // Again and again: a process may still fork while it is killed.
            signalDescendants(SIGKILL);
            if (killAt < 0)
                killAt = now;
            else if (now - killAt >= killGraceMs)
                endAsTool(toolEnded, toolStatus);
        }
        program.fd = termAt < 0 ? lifeline : -1;
        program.revents = 0;
        const timespec tick{0, 100 * 1000 * 1000};
        ::ppoll(&program, 1, termAt < 0 ? nullptr : &tick, &duringWait);
    }
}

} // namespace

Lifeline programLifeline()
{
    static const Lifeline lifeline = [] {
        int ends[2];
        Lifeline made;
        if (::pipe2(ends, O_CLOEXEC) == 0)
            made = {ends[0], ends[1]};
        return made;
    }();
    return lifeline;
}

void startWatchdog(const Lifeline &lifeline)
{
    ::setpgid(0, 0);
    if (lifeline.writeEnd >= 0)
        ::close(lifeline.writeEnd);
    sigset_t watched, previous;
    sigemptyset(&watched);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD})
        sigaddset(&watched, signal);
    ::sigprocmask(SIG_BLOCK, &watched, &previous);
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t tool = ::_Fork();
    if (tool <= 0) {
        // The tool's process; or no watchdog could be had, and the tool
        // runs here alone, in its group, as a plain child of the program.
        if (tool < 0)
            ::prctl(PR_SET_CHILD_SUBREAPER, 0);
        ::sigprocmask(SIG_SETMASK, &previous, nullptr);
        return;
    }
    ::prctl(PR_SET_NAME, "bexlor-watchdog");
    watch(tool, keepOnlyLifeline(lifeline.readEnd));
}
