#include "package/packagedocs.h"

#include "common/filetree.h"
#include "common/paths.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "common/textfiles.h"
#include "package/controlcheck.h"
#include "package/relations.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

namespace {

const QString docsError = QStringLiteral("Не удалось создать документы пакета:\n");

// changelog.Debian compressed by gzip -9n, which leaves out the name and
// time so that the same text always gives the same bytes. dpkg-parsechangelog
// reads it first: a changelog it would warn about is never written.
Result checkedChangelog(const QByteArray &text, QByteArray *compressed)
{
    PrivateDirectory directory;
    if (directory.made().failed())
        return directory.made();
    const QString plain = directory.path() + QStringLiteral("/changelog.Debian");
    const Result written = writeFileAtomically(plain, text);
    if (written.failed())
        return written;
    const ProcessResult parsed = runProcess(QStringLiteral("dpkg-parsechangelog"), {QStringLiteral("-l"), plain});
    if (!parsed.succeeded() || !parsed.standardError.isEmpty()) {
        return Result::failure(QStringLiteral("dpkg-parsechangelog не принимает changelog, составленный по "
                                              "DEBIAN/control:\n")
                               + QString(parsed.failureText()).replace(plain, QStringLiteral("changelog.Debian")));
    }
    const ProcessResult gzip = runProcess(QStringLiteral("gzip"), {QStringLiteral("-9n"), plain});
    if (!gzip.succeeded())
        return Result::failure(QStringLiteral("gzip: ") + gzip.failureText());
    QFile file(plain + QStringLiteral(".gz"));
    if (!file.open(QIODevice::ReadOnly))
        return Result::failure(file.errorString());
    *compressed = file.readAll();
    return Result::done();
}

// The fields go verbatim into one-line places: the changelog's heading and
// signature, the copyright's Upstream fields.
Result checkDocsFields(const DocsFields &fields)
{
    const QList<QPair<QString, QString>> used = {{QStringLiteral("Package"), fields.package},
                                                 {QStringLiteral("Version"), fields.version},
                                                 {QStringLiteral("Maintainer"), fields.maintainer}};
    for (const auto &field : used) {
        if (field.second.isEmpty())
            return Result::failure(QStringLiteral("В файле DEBIAN/control нет поля «%1»: без него документы пакета "
                                                  "не составить")
                                       .arg(field.first));
        if (field.second.contains(QLatin1Char('\n')))
            return Result::failure(QStringLiteral("Поле «%1» в файле DEBIAN/control занимает несколько строк, а в "
                                                  "документы пакета оно вставляется одной строкой")
                                       .arg(field.first));
    }
    if (!isValidPackageName(fields.package))
        return Result::failure(
            QStringLiteral("Имя пакета «%1» в файле DEBIAN/control недопустимо").arg(fields.package));
    DebianVersion version;
    if (parseDebianVersion(fields.version.toUtf8(), &version).failed())
        return Result::failure(QStringLiteral("Поле «Version» в файле DEBIAN/control недопустимо: «%1» не является "
                                              "версией Debian")
                                   .arg(fields.version));
    static const QRegularExpression nameAndAddress(QStringLiteral("^[^<>]*\\S <[^<>\\s]+>$"));
    if (!nameAndAddress.match(fields.maintainer).hasMatch())
        return Result::failure(QStringLiteral("Поле «Maintainer» в файле DEBIAN/control недопустимо: нужен вид "
                                              "«Имя <адрес>», а не «%1»")
                                   .arg(fields.maintainer));
    return Result::done();
}

} // namespace

Result docsFieldsFrom(const QByteArray &controlText, DocsFields *fields)
{
    const ControlParagraph paragraph = parseControl(controlText);
    // dpkg keeps the name in lower case, and so does the directory.
    fields->package = paragraph.value(QStringLiteral("Package")).trimmed().toLower();
    fields->version = paragraph.value(QStringLiteral("Version")).trimmed();
    fields->maintainer = paragraph.value(QStringLiteral("Maintainer")).trimmed();
    return checkDocsFields(*fields);
}

QString rfc2822Date(const QDateTime &time)
{
    const int offset = time.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
                             .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
    return QLocale::c().toString(time, QStringLiteral("ddd, dd MMM yyyy HH:mm:ss ")) + zone;
}

QByteArray copyrightText(const DocsFields &fields, int year)
{
    return QStringLiteral("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
                          "Upstream-Name: %1\n"
                          "Upstream-Contact: %2\n"
                          "\n"
                          "Files: *\n"
                          "Copyright: %3 %2\n"
                          "License: GPL-3+\n"
                          "\n"
                          "License: GPL-3+\n"
                          " This program is free software: you can redistribute it and/or modify\n"
                          " it under the terms of the GNU General Public License as published by\n"
                          " the Free Software Foundation, either version 3 of the License, or\n"
                          " (at your option) any later version.\n"
                          " .\n"
                          " This program is distributed in the hope that it will be useful,\n"
                          " but WITHOUT ANY WARRANTY; without even the implied warranty of\n"
                          " MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.  See the\n"
                          " GNU General Public License for more details.\n"
                          " .\n"
                          " On Debian systems, the complete text of the GNU General Public\n"
                          " License version 3 can be found in \"/usr/share/common-licenses/GPL-3\".\n")
        .arg(fields.package, fields.maintainer)
        .arg(year)
        .toUtf8();
}

QByteArray changelogText(const DocsFields &fields, const QDateTime &time)
{
    return QStringLiteral("%1 (%2) unstable; urgency=medium\n\n  * Первый выпуск.\n\n -- %3  %4\n")
        .arg(fields.package, fields.version, fields.maintainer, rfc2822Date(time))
        .toUtf8();
}

QByteArray lintianOverrideText(const DocsFields &fields)
{
    return "# The package is not uploaded to Debian: there is no ITP bug to close.\n" + fields.package.toUtf8()
           + ": initial-upload-closes-no-bugs\n";
}

QStringList docsPaths(const QString &workDir, const DocsFields &fields)
{
    const QString doc = workDir + QStringLiteral("/usr/share/doc/") + fields.package;
    return {doc + QStringLiteral("/copyright"), doc + QStringLiteral("/changelog.Debian.gz"),
            workDir + QStringLiteral("/usr/share/lintian/overrides/") + fields.package};
}

Result readDocsFields(const QString &workDir, DocsFields *fields)
{
    const QString path = workDir + QStringLiteral("/DEBIAN/control");
    if (!QFileInfo::exists(path))
        return Result::failure(QStringLiteral("Файл DEBIAN/control не найден: документы пакета составляются "
                                              "по нему"));
    QByteArray control;
    const Result read = readRegularFile(path, &control);
    return read.failed() ? read : docsFieldsFrom(control, fields);
}

Result writePackageDocs(const QString &workDir, const DocsFields &fields, const QDateTime &time)
{
    QByteArray changelog;
    const Result compressed = checkedChangelog(changelogText(fields, time), &changelog);
    if (compressed.failed())
        return Result::failure(docsError + compressed.message);
    const QStringList paths = docsPaths(workDir, fields);
    const QList<QByteArray> contents = {copyrightText(fields, time.date().year()), changelog,
                                        lintianOverrideText(fields)};
    for (int i = 0; i < paths.size(); ++i) {
        // A linked usr or usr/share would carry the documents out of the work directory.
        const QString directory = paths.at(i).left(paths.at(i).lastIndexOf(QLatin1Char('/')));
        Result step = refuseLinksBelow(workDir, directory.mid(workDir.size()));
        if (step.success)
            step = makePath(directory, 0755);
        if (step.success)
            step = writeFileAtomically(paths.at(i), contents.at(i));
        if (step.failed())
            return Result::failure(docsError + step.message);
    }
    return Result::done(QStringLiteral("Документы пакета созданы:\n") + paths.join(QLatin1Char('\n'))
                        + QStringLiteral("\n\nПроверьте лицензию в файле copyright."));
}
