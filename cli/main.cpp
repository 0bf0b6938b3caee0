// bexlor-build: the jobs of the window's buttons for shells, scripts and CI,
// where there is no display. The core does the work; this only reads the
// arguments and reports.
#include "cli/commands.h"
#include "common/job.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

namespace {

void printError(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    if (!text.endsWith(QLatin1Char('\n')))
        std::fputc('\n', stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const CommandLine line = parseCommandLine(application.arguments().mid(1));
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    if (!line.usageError.isEmpty()) {
        printError(QStringLiteral("bexlor-build: %1\nСправка: bexlor-build --help").arg(line.usageError));
        return 2;
    }
    if (line.help) {
        out << helpText(line.command);
        return 0;
    }

    // The tools speak on stderr while they run, as the window's log shows them.
    Job job;
    job.onOutput = [](const QByteArray &chunk) {
        std::fwrite(chunk.constData(), 1, size_t(chunk.size()), stderr);
        std::fflush(stderr);
    };
    const JobScope scope(&job);
    const Result result = runCommand(line, out);
    if (!result.message.isEmpty())
        printError(result.message);
    return result.failed() ? 1 : 0;
}
