#pragma once

// Every tool runs below a watchdog: a process of the program's own, forked
// where QProcess sets up the tool's process, that forks the tool and stays
// its parent and the parent of everything the tool leaves behind (it is a
// subreaper), daemons that start a session of their own included, such as
// fakeroot's faked-sysv. It ends that whole tree, TERM first and KILL 2 s
// later, when the tool has exited, when it receives TERM (a cancel) and when
// the program is gone (the lifeline hangs up, even after a SIGKILL); then
// it exits with the tool's own status. QProcess takes it for the tool.

// The pipe the program holds while it lives; its write end stays in the
// program alone.
struct Lifeline
{
    int readEnd = -1;
    int writeEnd = -1;
};

// The program's lifeline, made on the first call (-1 ends if it could not be).
Lifeline programLifeline();

// How long the watchdog gives the tree between TERM and KILL.
constexpr int watchdogTermGraceMs = 2000;

// For the child QProcess forks, before it execs the tool: returns in a new
// process, the tool's, and never returns in the watchdog. Only
// async-signal-safe calls: the program may run other threads.
void startWatchdog(const Lifeline &lifeline);
