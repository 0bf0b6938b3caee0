#include "package/docs/manpage.h"

#include "common/job.h"
#include "common/filesystem.h"
#include "common/privatedir.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <signal.h>
#include <sys/stat.h>

namespace {

const int helpTimeoutMs = 2000;

// The program directories and the sections their pages go to.
const QList<QPair<QString, int>> &programDirectories()
{
    static const QList<QPair<QString, int>> directories = {
        {QStringLiteral("usr/bin"), 1}, {QStringLiteral("usr/games"), 6}, {QStringLiteral("usr/sbin"), 8}};
    return directories;
}

// Whether usr/share/man holds a page of name other than the one at own.
bool hasOtherPage(const QString &workDir, const QString &name, const QString &own)
{
    const QString man = workDir + QStringLiteral("/usr/share/man");
    for (const QString &section : QDir(man).entryList({QStringLiteral("man*")}, QDir::Dirs)) {
        for (const QString &page : QDir(man + QLatin1Char('/') + section).entryList({name + QStringLiteral(".*")})) {
            const QString relative = QStringLiteral("usr/share/man/") + section + QLatin1Char('/') + page;
            if (relative != own && page.mid(name.size() + 1, 1).contains(QRegularExpression(QStringLiteral("[0-9]"))))
                return true;
        }
    }
    return false;
}

// A macro argument in double quotes.
QString quoted(const QString &text)
{
    return QLatin1Char('"') + roffText(text).replace(QLatin1Char('"'), QStringLiteral("\\(dq")) + QLatin1Char('"');
}

} // namespace

QList<ProgramPage> programPages(const QString &workDir)
{
    QList<ProgramPage> pages;
    for (const auto &directory : programDirectories()) {
        QList<EntryName> entries = directoryEntryNames(workDir + QLatin1Char('/') + directory.first);
        std::sort(entries.begin(), entries.end(),
                  [](const EntryName &a, const EntryName &b) { return a.bytes < b.bytes; });
        for (const EntryName &entry : qAsConst(entries)) {
            const QString executable = directory.first + QLatin1Char('/') + entry.text;
            struct stat status;
            if (!entry.showable
                || ::lstat(QFile::encodeName(workDir + QLatin1Char('/') + executable).constData(), &status) != 0
                || !(S_ISREG(status.st_mode) || S_ISLNK(status.st_mode)))
                continue;
            const QString section = QString::number(directory.second);
            const QString page = QStringLiteral("usr/share/man/man%1/%2.%1.gz").arg(section, entry.text);
            if (!hasOtherPage(workDir, entry.text, page))
                pages << ProgramPage{entry.text, executable, page, directory.second};
        }
    }
    return pages;
}

QString roffText(const QString &text)
{
    static const QRegularExpression terminalEscape(QStringLiteral("\\x1b\\[[0-9;?]*[ -/]*[@-~]"));
    static const QRegularExpression control(QStringLiteral("[\\x00-\\x08\\x0a-\\x1f\\x7f]"));
    QString line = text;
    line.remove(terminalEscape).remove(control);
    line.replace(QLatin1Char('\\'), QStringLiteral("\\e")).replace(QLatin1Char('-'), QStringLiteral("\\-"));
    if (line.startsWith(QLatin1Char('.')) || line.startsWith(QLatin1Char('\'')))
        line.prepend(QStringLiteral("\\&"));
    return line;
}

QByteArray manPageText(const ProgramPage &program, const DocsFields &fields, const QString &help, const QDate &date)
{
    QStringList lines;
    lines << QStringLiteral(".TH %1 %2 %3 %4")
                 .arg(quoted(program.program.toUpper()), quoted(QString::number(program.section)),
                      quoted(date.toString(Qt::ISODate)), quoted(fields.package + QLatin1Char(' ') + fields.version));
    lines << QStringLiteral(".SH NAME")
          << roffText(program.program + QStringLiteral(" - ")
                      + (fields.synopsis.isEmpty() ? fields.package : fields.synopsis));
    lines << QStringLiteral(".SH SYNOPSIS") << QStringLiteral(".B ") + quoted(program.program)
          << QStringLiteral("[\\fIПАРАМЕТРЫ\\fR]");
    lines << QStringLiteral(".SH DESCRIPTION");
    const QString description = fields.description.isEmpty() ? fields.synopsis : fields.description;
    for (const QString &line : description.split(QLatin1Char('\n')))
        lines << (line.trimmed().isEmpty() ? QStringLiteral(".PP") : roffText(line.trimmed()));
    if (!help.trimmed().isEmpty()) {
        lines << QStringLiteral(".SH OPTIONS") << QStringLiteral(".nf");
        QStringList helpLines = help.split(QLatin1Char('\n'));
        while (!helpLines.isEmpty() && helpLines.last().trimmed().isEmpty())
            helpLines.removeLast();
        for (const QString &line : qAsConst(helpLines))
            lines << roffText(line);
        lines << QStringLiteral(".fi");
    }
    lines << QStringLiteral(".SH AUTHOR") << roffText(fields.maintainer);
    return lines.join(QLatin1Char('\n')).toUtf8() + '\n';
}

QString helpOutput(const QString &executable)
{
    PrivateDirectory directory;
    if (directory.made().failed())
        return QString();
    GroupProcess process;
    process.setWorkingDirectory(directory.path());
    process.setEnvironment({QStringLiteral("HOME=") + directory.path()});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProgram(executable);
    process.setArguments({QStringLiteral("--help")});
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return QString();
    if (!process.waitForFinished(helpTimeoutMs)) {
        // The watchdog ends the program's whole tree on TERM.
        ::kill(pid_t(process.processId()), SIGTERM);
        process.waitForFinished(-1);
        return QString();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}
