#include "package/docs/packagedocs.h"

#include "common/buildtime.h"
#include "common/filesystem.h"
#include "common/paths.h"
#include "package/docs/appstream.h"
#include "package/docs/changelog.h"
#include "package/docs/gzipfiles.h"
#include "package/docs/licences.h"
#include "package/docs/templates.h"

#include <QFileInfo>

namespace {

const QString docsError = QStringLiteral("Не удалось создать документы пакета:\n");

QString copyrightPath(const QString &workDir, const QString &package)
{
    return docDirectory(workDir, package) + QStringLiteral("/copyright");
}

QString overridePath(const QString &workDir, const QString &package)
{
    return workDir + QStringLiteral("/usr/share/lintian/overrides/") + package;
}

// One document to write: where, and its bytes.
struct Document
{
    QString path;
    QByteArray bytes;
};

// The documents other than the changelog, made in memory.
class DocsMaker
{
public:
    DocsMaker(const QString &workDir, const DocsPlan &plan, const DocsAnswers &answers, const QDateTime &time)
        : m_workDir(workDir)
        , m_plan(plan)
        , m_answers(answers)
        , m_time(time)
    { }

    Result make(QList<Document> *documents, QStringList *notes) const
    {
        const DocsFields &fields = m_plan.fields;
        const QString copyright = copyrightPath(m_workDir, fields.package);
        QByteArray copyrightText; // the copyright file written here, if any
        if (wanted(copyright)) {
            copyrightText =
                copyrightTemplate(fields.package, fields.maintainer, m_time.date().year(), m_answers.licence).toUtf8();
            *documents << Document{copyright, copyrightText};
            if (m_answers.licence == otherLicence())
                *notes << QStringLiteral("Впишите лицензию в файл copyright вместо заготовки «%1».")
                              .arg(licencePlaceholders().first());
        }
        const QString override = overridePath(m_workDir, fields.package);
        if (wanted(override))
            *documents << Document{override, lintianOverrideText(fields)};
        for (const ProgramPage &page : m_plan.pages) {
            const QString path = m_workDir + QLatin1Char('/') + page.page;
            if (!wanted(path))
                continue;
            QByteArray compressed;
            const QString executable = m_workDir + QLatin1Char('/') + page.executable;
            const bool runnable = !QFileInfo(executable).isSymLink() && QFileInfo(executable).isExecutable();
            const Result made = gzipCompressed(
                manPageText(page, fields, runnable ? helpOutput(executable) : QString(), m_time.date()), &compressed);
            if (made.failed())
                return made;
            *documents << Document{path, compressed};
        }
        return makeMetainfo(copyrightText, documents, notes);
    }

private:
    bool wanted(const QString &path) const { return m_answers.replace || !entryExists(path); }

    Result makeMetainfo(const QByteArray &written, QList<Document> *documents, QStringList *notes) const
    {
        if (m_plan.shortcut.isEmpty())
            return Result::done();
        MetainfoSource source;
        // An id the user gave wins over the one made from the homepage.
        source.id = m_answers.appStreamId.isEmpty() ? m_plan.appStreamId : m_answers.appStreamId;
        const QString path = metainfoPath(m_workDir, source.id);
        if (source.id.isEmpty() || !wanted(path))
            return Result::done();
        source.shortcut = m_plan.shortcut;
        QByteArray shortcut;
        const Result read = readRegularFile(applicationsDirectory(m_workDir) + QLatin1Char('/') + source.shortcut,
                                            &shortcut);
        if (read.failed())
            return read;
        source.names = readShortcutNames(shortcut);
        // The licence comes from the copyright file written here, else from
        // the one that stays: one that cannot be read (a FIFO, a link that
        // leads nowhere) fails the step, as the shortcut does, rather than
        // pass for a file without a licence.
        QByteArray copyright = written;
        if (copyright.isEmpty()) {
            const Result readCopyright = readRegularFile(copyrightPath(m_workDir, m_plan.fields.package), &copyright);
            if (readCopyright.failed())
                return readCopyright;
        }
        const QString licence = filesLicence(copyright);
        source.licence = spdxExpression(licence);
        if (licence.isEmpty())
            *notes << QStringLiteral("В файле copyright нет лицензии файлов пакета (Files: *, License): в метаданных "
                                     "AppStream её нет.");
        else if (source.licence.isEmpty())
            *notes << QStringLiteral("Лицензию «%1» из файла copyright не удалось назвать по SPDX: в метаданных "
                                     "AppStream её нет.")
                          .arg(licence);
        // AppStream 1.0 (Debian 13) fails metainfo without one, and lintian reports that.
        if (m_plan.fields.homepage.isEmpty())
            *notes << QStringLiteral("В DEBIAN/control нет поля Homepage: в метаданных AppStream нет домашней "
                                     "страницы, без которой их не принимают appstreamcli 1.0 и lintian Debian 13.");
        source.date = m_time.date();
        *documents << Document{path, metainfoText(source, m_plan.fields)};
        return Result::done();
    }

    const QString m_workDir;
    const DocsPlan &m_plan;
    const DocsAnswers &m_answers;
    const QDateTime m_time;
};

// The changelog, if it changes; the note on what to fill in.
Result makeChangelog(const QString &workDir, const DocsFields &fields, const QDateTime &time,
                     QList<Document> *documents, QStringList *notes)
{
    const QString path = changelogPath(workDir, fields.package, fields.version);
    QByteArray existing;
    if (entryExists(path)) {
        const Result read = readChangelog(path, &existing);
        if (read.failed())
            return read;
    }
    ChangelogUpdate update;
    Result step = updateChangelog(existing, fields, time, &update);
    if (step.failed() || !update.changed)
        return step;
    step = checkChangelog(update.text);
    QByteArray compressed;
    if (step.success)
        step = gzipCompressed(update.text, &compressed);
    if (step.failed())
        return step;
    *documents << Document{path, compressed};
    if (!existing.isEmpty())
        *notes << QStringLiteral("В %1 добавлена запись версии %2: замените в ней строку «%3».")
                      .arg(path, fields.version, changelogPlaceholder());
    return Result::done();
}

} // namespace

QByteArray lintianOverrideText(const DocsFields &fields)
{
    return "# The package is not uploaded to Debian: there is no ITP bug to close.\n" + fields.package.toUtf8()
           + ": initial-upload-closes-no-bugs\n";
}

Result planPackageDocs(const QString &workDir, DocsPlan *plan)
{
    const Result read = readDocsFields(workDir, &plan->fields);
    if (read.failed())
        return read;
    const QString package = plan->fields.package;
    plan->copyrightExists = entryExists(copyrightPath(workDir, package));
    plan->pages = programPages(workDir);
    plan->shortcut = launchedShortcut(workDir, package);
    if (plan->copyrightExists)
        plan->existing << copyrightPath(workDir, package);
    if (entryExists(overridePath(workDir, package)))
        plan->existing << overridePath(workDir, package);
    for (const ProgramPage &page : qAsConst(plan->pages)) {
        if (entryExists(workDir + QLatin1Char('/') + page.page))
            plan->existing << workDir + QLatin1Char('/') + page.page;
    }
    if (plan->shortcut.isEmpty())
        return Result::done();
    plan->appStreamId = appStreamIdFor(plan->shortcut.chopped(8), plan->fields.homepage, package);
    const QStringList metainfo =
        directoryEntries(workDir + QStringLiteral("/usr/share/metainfo")).filter(QStringLiteral(".xml"));
    const QString own = plan->appStreamId + QStringLiteral(".metainfo.xml");
    if (!plan->appStreamId.isEmpty() && metainfo.contains(own))
        plan->existing << metainfoPath(workDir, plan->appStreamId);
    else if (!metainfo.isEmpty())
        plan->shortcut.clear(); // the package has metainfo of its own
    return Result::done();
}

bool needsLicence(const DocsPlan &plan, bool replace)
{
    return replace || !plan.copyrightExists;
}

bool needsAppStreamId(const DocsPlan &plan)
{
    return !plan.shortcut.isEmpty() && plan.appStreamId.isEmpty();
}

Result checkDocsAnswers(const DocsPlan &plan, const DocsAnswers &answers, bool options)
{
    if (needsLicence(plan, answers.replace) && !licenceChoices().contains(answers.licence)) {
        const QString choices = licenceChoices().join(QStringLiteral(", "));
        return Result::failure(answers.licence.isEmpty()
                                   ? QStringLiteral("Для файла copyright нужна лицензия%1: %2")
                                         .arg(options ? QStringLiteral(" (--licence)") : QString(), choices)
                                   : QStringLiteral("Лицензии «%1» нет в списке: %2").arg(answers.licence, choices));
    }
    if (needsAppStreamId(plan) && !isReverseDnsId(answers.appStreamId))
        return Result::failure(
            answers.appStreamId.isEmpty()
                ? QStringLiteral("Для метаданных AppStream нужен идентификатор%1: в DEBIAN/control нет поля "
                                 "Homepage, а имя ярлыка %2 не в обратной записи домена (например, org.example.tool)")
                      .arg(options ? QStringLiteral(" (--appstream-id)") : QString(), plan.shortcut)
                : QStringLiteral("Идентификатор AppStream «%1» не в обратной записи домена: нужно не меньше трёх "
                                 "частей через точку из латинских букв, цифр, «_» и «-», например org.example.tool")
                      .arg(answers.appStreamId));
    return Result::done();
}

Result writePackageDocs(const QString &workDir, const DocsPlan &plan, const DocsAnswers &answers)
{
    QList<Document> documents;
    QStringList notes;
    QDateTime time;
    const Result made = runSteps({[&] { return checkDocsAnswers(plan, answers, false); },
                                  [&] { return sourceDateTime(&time); },
                                  [&] { return makeChangelog(workDir, plan.fields, time, &documents, &notes); },
                                  [&] { return DocsMaker(workDir, plan, answers, time).make(&documents, &notes); }});
    if (made.failed())
        return Result::failure(docsError + made.message);
    QStringList written;
    for (const Document &document : qAsConst(documents)) {
        // A linked usr or usr/share would carry the documents out of the work directory.
        const QString directory = document.path.left(document.path.lastIndexOf(QLatin1Char('/')));
        Result step = refuseLinksBelow(workDir, directory.mid(workDir.size()));
        if (step.success)
            step = makePath(directory, 0755);
        if (step.success)
            step = writeFileAtomically(document.path, document.bytes);
        if (step.failed())
            return Result::failure(docsError + step.message);
        written << document.path;
    }
    const QString list = written.isEmpty()
                             ? QStringLiteral("Документы пакета уже есть, ни один не изменён.")
                             : QStringLiteral("Документы пакета созданы:\n") + written.join(QLatin1Char('\n'));
    return Result::done(notes.isEmpty() ? list : list + QStringLiteral("\n\n") + notes.join(QLatin1Char('\n')));
}
