#pragma once

#include "app/profilestore.h"
#include "common/job.h"
#include "common/result.h"
#include "exebuild/exebuild.h"

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

// One call of bexlor-build, as read from its arguments. Operands are stored
// under the option they stand for, so "deb W O" and
// "deb --work-dir W --output-dir O" read the same.
struct CommandLine
{
    QString command; // exe, deb, docs, md5sums, size, icons, access, service, repo; empty for the program itself
    QMap<QString, QString> values; // option name (with "--") to its value
    bool help = false;
    bool quiet = false; // --quiet: no progress
    QSet<QString> flags; // the options without a value that were given (--save, --lint, --replace, --bytecode, …)
    QStringList moreOperands; // the operands after the last one with an option (repo's packages)
    QString usageError; // what is wrong with the arguments; empty when they are usable
};

// Reads the arguments that follow the program name.
CommandLine parseCommandLine(const QStringList &arguments);

// The help text of the program (command empty) or of one subcommand.
QString helpText(const QString &command);

// The fields of the executable build: the arguments win over the profile.
// A script given on the command line brings its own directory and
// executable name, as the window's script picker does; the profile's are used
// only with the profile's script. The architecture is --host-arch's or the
// profile's (none: this machine's); the runtime is the profile's position in
// the runtimes installed for it, or the first one; the output directory is the current one when
// neither gives one; --bytecode or the profile's Bytecode asks for bytecode.
// An optimisation that is neither size nor speed is refused.
Result executableBuild(const CommandLine &line, const Profile &profile, ExecutableBuild *build);

// Does what the command line asks and reports it; the access list goes to
// standard output.
Result runCommand(const CommandLine &line);

// What bexlor-build writes on standard error when the work reaches step,
// the phase it last wrote being shownPhase: on a terminal the step's line,
// drawn over the one before and cut to width; elsewhere, so that a log stays
// readable, a line of its own for each new phase ("Сборка модулей, всего 17"
// for a phase over items) and nothing else.
QByteArray progressOutput(const JobStep &step, const QString &shownPhase, bool terminal, int width);

// Writes all of bytes to standard output. A write that fails (output closed,
// a full disk, a reader gone: SIGPIPE is ignored, so that is EPIPE) is a
// failure that says why.
Result writeStandardOutput(const QByteArray &bytes);

// What bexlor-build prints on standard error once the work is over, and its
// exit code: 0 done, 1 failed or done with a check that found errors. A work cancelled by an interrupt, TERM or HUP
// removed what it made: 1 and the cancel note, whatever its own result says.
struct Outcome
{
    QString text;
    int exitCode = 0;
};
Outcome outcome(const Result &result, bool cancelled);
