#include "package/repo/repository.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "package/control/controlcheck.h"
#include "package/control/paragraph.h"
#include "package/control/relations.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>

namespace {

std::atomic<int> operationLimit{0};

// Counts the changes a publication makes on disk, so that a test can stop
// it after any one of them. Once stopped, no later step runs.
class DiskSteps
{
public:
    bool next()
    {
        const int limit = operationLimit;
        return limit == 0 || ++m_done <= limit;
    }
    static Result stopped() { return Result::failure(QStringLiteral("Публикация остановлена (проверка)")); }

private:
    int m_done = 0;
};

// The suites of the directory being published, as their links show them.
struct Suite
{
    QString container; // DIR for a flat suite, DIR/dists otherwise
    QString name;
    QString generation; // what the link points to
    QList<RepositoryEntry> entries;
};

QString containerOf(const RepositoryLayout &layout)
{
    return layout.flat ? layout.directory : layout.directory + QStringLiteral("/dists");
}

QString linkTarget(const QString &path)
{
    char target[PATH_MAX];
    const ssize_t size = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return size > 0 ? QFile::decodeName(QByteArray(target, int(size))) : QString();
}

// The entries of every Packages index below a suite's indexes, each once.
Result readSuiteEntries(const QString &indexes, QList<RepositoryEntry> *entries)
{
    QStringList files;
    walkTree(indexes, [&](int, const QByteArray &relative, unsigned char type) {
        if (type == DT_REG && lastName(relative) == "Packages")
            files << indexes + QLatin1Char('/') + QFile::decodeName(relative);
        return Visit::Descend;
    });
    QSet<QByteArray> seen;
    for (const QString &file : files) {
        QByteArray text;
        const Result read = readRegularFile(file, &text);
        if (read.failed())
            return read;
        for (const RepositoryEntry &entry : readPackagesIndex(text)) {
            if (!seen.contains(entry.filename)) {
                seen << entry.filename;
                entries->append(entry);
            }
        }
    }
    return Result::done();
}

// Whether name, in a container of suites, is a publication's leftover: a
// directory of indexes no link points to, or a link not yet swapped in.
bool isLeftover(const QString &name, const QString &container, const QList<Suite> &suites)
{
    const bool link = name.endsWith(QLatin1String(".new"));
    const QString generation = link ? name.chopped(4) : name;
    const int tag = generation.lastIndexOf(QLatin1String(".bexlor-"));
    if (tag < 1 || !isGenerationName(generation.mid(1, tag - 1), generation))
        return false;
    if (link)
        return true;
    return std::none_of(suites.begin(), suites.end(), [&](const Suite &suite) {
        return suite.container == container && suite.generation == generation;
    });
}

QStringList leftovers(const QString &directory, const QList<Suite> &suites)
{
    QStringList found;
    for (const QString &container : {directory, directory + QStringLiteral("/dists")}) {
        for (const QString &name : directoryEntries(container)) {
            if (isLeftover(name, container, suites))
                found << container + QLatin1Char('/') + name;
        }
    }
    return found;
}

// Reads the suites of directory. A directory that holds another tool's
// repository (a suite that is no link of ours, a pool no publication of
// ours made) is refused: its files are not this program's to remove.
Result readSuites(const QString &directory, QList<Suite> *suites)
{
    const QString dists = directory + QStringLiteral("/dists");
    for (const QString &container : {directory, dists}) {
        for (const QString &name : directoryEntries(container)) {
            const QString path = container + QLatin1Char('/') + name;
            const QString target = linkTarget(path);
            if (isGenerationName(name, target)) {
                Suite suite{container, name, target, {}};
                const Result read = readSuiteEntries(container + QLatin1Char('/') + target, &suite.entries);
                if (read.failed())
                    return read;
                suites->append(suite);
            } else if (container == dists && !name.startsWith(QLatin1Char('.'))) {
                return Result::failure(QStringLiteral("%1 - не набор, опубликованный этой программой: репозиторий "
                                                      "другой программы она не меняет")
                                           .arg(path));
            }
        }
    }
    if (suites->isEmpty() && entryExists(directory + QStringLiteral("/pool")) && leftovers(directory, {}).isEmpty())
        return Result::failure(QStringLiteral("В %1 уже есть каталог pool, но нет наборов этой программы: "
                                              "репозиторий другой программы она не меняет")
                                   .arg(directory));
    return Result::done();
}

// Removes what no suite needs: pool files no suite lists (with the
// directories that leaves empty), then directories of indexes and links
// that no suite's link is. Pool files go first: a pool that holds files
// always has a suite or a directory of indexes beside it, which tells it
// from another program's.
Result removeUnneeded(const QString &directory, const QList<Suite> &suites, DiskSteps &steps)
{
    QSet<QByteArray> listed;
    for (const Suite &suite : suites) {
        for (const RepositoryEntry &entry : suite.entries)
            listed << entry.filename;
    }
    const QString pool = directory + QStringLiteral("/pool");
    QStringList files, directories;
    walkTree(pool, [&](int, const QByteArray &relative, unsigned char type) {
        const QString path = pool + QLatin1Char('/') + QFile::decodeName(relative);
        if (type == DT_DIR)
            directories.prepend(path);
        else if (!listed.contains("pool/" + relative))
            files << path;
        return Visit::Descend;
    });
    directories << pool;
    for (const QString &file : files) {
        if (!steps.next())
            return DiskSteps::stopped();
        if (::unlink(QFile::encodeName(file).constData()) != 0 && errno != ENOENT)
            return Result::failure(QStringLiteral("Не удалось удалить %1: %2").arg(file, systemError(errno)));
    }
    for (const QString &emptied : directories) {
        if (!QDir(emptied).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            continue;
        if (!steps.next())
            return DiskSteps::stopped();
        ::rmdir(QFile::encodeName(emptied).constData());
    }
    for (const QString &left : leftovers(directory, suites)) {
        if (!steps.next())
            return DiskSteps::stopped();
        const Result removed = removeTree(left);
        if (removed.failed())
            return removed;
    }
    return Result::done();
}

// Holds the directory's lock (flock) for its lifetime: one publication at a time.
class DirectoryLock
{
public:
    explicit DirectoryLock(const QString &directory)
        : m_fd(::open(QFile::encodeName(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        m_held = m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) == 0;
    }
    ~DirectoryLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    DirectoryLock(const DirectoryLock &) = delete;
    DirectoryLock &operator=(const DirectoryLock &) = delete;
    bool held() const { return m_held; }

private:
    int m_fd;
    bool m_held = false;
};

// Reads what the pool needs of a package file: its fields, its SHA256 and
// the name it gets in the pool.
Result readPackageFile(const QString &file, const QString &component, RepositoryEntry *entry)
{
    const Result regular = checkRegularFile(file);
    if (regular.failed())
        return regular;
    const ProcessResult fields = runQuery(QStringLiteral("dpkg-deb"),
                                          {QStringLiteral("--field"), operandPath(file), QStringLiteral("Package"),
                                           QStringLiteral("Version"), QStringLiteral("Architecture")});
    if (!fields.succeeded())
        return Result::failure(QStringLiteral("%1 - не пакет deb: %2").arg(file, fields.failureText().trimmed()));
    const ControlParagraph control = parseControl(fields.standardOutput.toUtf8());
    entry->package = control.raw(QStringLiteral("Package"));
    entry->version = control.raw(QStringLiteral("Version"));
    entry->architecture = control.raw(QStringLiteral("Architecture"));
    DebianVersion version;
    static const QRegularExpression architecture(QStringLiteral("^[a-z0-9][a-z0-9-]*$"));
    if (!isValidPackageName(QString::fromUtf8(entry->package)) || entry->package.toLower() != entry->package
        || parseDebianVersion(entry->version, &version).failed() || entry->version.contains('/')
        || !architecture.match(QString::fromUtf8(entry->architecture)).hasMatch()) {
        return Result::failure(QStringLiteral("В пакете %1 поля Package, Version и Architecture не годятся для имени "
                                              "файла в репозитории")
                                   .arg(file));
    }
    QFile bytes(file);
    QCryptographicHash sha256(QCryptographicHash::Sha256);
    if (!bytes.open(QIODevice::ReadOnly) || !sha256.addData(&bytes))
        return Result::failure(QStringLiteral("Не удалось прочитать файл %1: %2").arg(file, bytes.errorString()));
    entry->sha256 = sha256.result().toHex();
    entry->component = component.toUtf8();
    entry->filename = poolFilename(entry->component, entry->package, entry->version, entry->architecture);
    return Result::done();
}

// Forces every file and directory below root, and root, to the disk.
Result syncTree(const QString &root)
{
    int error = 0;
    const auto sync = [&error](int directoryFd, const char *name) {
        const int fd = ::openat(directoryFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0)
            error = errno;
        if (fd >= 0)
            ::close(fd);
    };
    walkTree(root, [&](int directoryFd, const QByteArray &relative, unsigned char type) {
        if (type == DT_REG || type == DT_DIR)
            sync(directoryFd, lastName(relative).constData());
        return Visit::Descend;
    });
    sync(AT_FDCWD, QFile::encodeName(root).constData());
    if (error != 0)
        return Result::failure(QStringLiteral("Не удалось записать %1 на диск: %2").arg(root, systemError(error)));
    return Result::done();
}

// The suite's indexes written into generation (a path below directory) by
// apt-ftparchive: Packages, .gz and .xz for every component and
// architecture, then Release.
Result writeIndexes(const QString &directory, const QString &generation, const RepositoryLayout &layout,
                    const QList<RepositoryEntry> &entries, int validDays)
{
    // apt-ftparchive's configuration names files relative to the
    // directory, which it runs in: no path of the user's needs quoting.
    const PrivateDirectory scratch(directory);
    if (scratch.made().failed())
        return scratch.made();
    const QString scratchName = lastComponent(scratch.path());
    const QString relative = generation.mid(directory.size() + 1);
    const QStringList components = suiteComponents(entries, layout.component);
    const QStringList architectures = indexArchitectures(entries);
    // A flat suite has one index of everything; otherwise every component
    // has one per architecture.
    QList<QPair<QString, QByteArray>> indexes;
    if (layout.flat)
        indexes.append({relative, indexFileList(entries, QString(), QString())});
    for (const QString &component : layout.flat ? QStringList() : components) {
        for (const QString &architecture : architectures) {
            indexes.append({relative + QLatin1Char('/') + component + QStringLiteral("/binary-") + architecture,
                            indexFileList(entries, component, architecture)});
        }
    }
    QByteArray config = "Dir { ArchiveDir \".\"; };\nDefault { Packages::Compress \". gzip xz\"; FileMode 0644; };\n";
    for (int i = 0; i < indexes.size(); ++i) {
        const QString list = scratchName + QStringLiteral("/list-") + QString::number(i);
        const Result made = makePath(directory + QLatin1Char('/') + indexes.at(i).first, 0755);
        const Result written = made.failed()
                                   ? made
                                   : writeFileAtomically(directory + QLatin1Char('/') + list, indexes.at(i).second);
        if (written.failed())
            return written;
        config += QStringLiteral("BinDirectory \"index-%1\" { Packages \"%2/Packages\"; FileList \"%3\"; };\n")
                      .arg(QString::number(i), indexes.at(i).first, list)
                      .toUtf8();
    }
    const QString configPath = scratch.path() + QStringLiteral("/apt-ftparchive.conf");
    const Result configured = writeFileAtomically(configPath, config);
    if (configured.failed())
        return configured;
    const ProcessResult generated = runProcess(QStringLiteral("apt-ftparchive"),
                                               {QStringLiteral("generate"), configPath}, directory);
    if (!generated.succeeded())
        return Result::failure(QStringLiteral("apt-ftparchive не составил индексы: %1").arg(generated.failureText()));

    QStringList arguments;
    const auto option = [&arguments](const QString &field, const QString &value) {
        arguments << QStringLiteral("-o") << QStringLiteral("APT::FTPArchive::Release::%1=%2").arg(field, value);
    };
    option(QStringLiteral("Suite"), layout.suite);
    option(QStringLiteral("Codename"), layout.suite);
    if (!layout.flat) {
        option(QStringLiteral("Components"), components.join(QLatin1Char(' ')));
        option(QStringLiteral("Architectures"), architectures.join(QLatin1Char(' ')));
    }
    if (validDays > 0)
        option(QStringLiteral("ValidTime"), QString::number(qint64(validDays) * 86400));
    const ProcessResult release = runQuery(QStringLiteral("apt-ftparchive"),
                                           arguments + QStringList{QStringLiteral("release"), generation});
    if (!release.succeeded())
        return Result::failure(QStringLiteral("apt-ftparchive не составил Release: %1").arg(release.failureText()));
    return writeFileAtomically(generation + QStringLiteral("/Release"), release.standardOutput.toUtf8(), 0644);
}

// Makes the directory of a suite's new indexes beside its link, readable
// by all as a web server needs: ".SUITE.bexlor-XXXXXX".
Result makeGeneration(const QString &container, const QString &suite, QString *generation)
{
    const Result made = makePath(container, 0755);
    if (made.failed())
        return made;
    QByteArray pattern = QFile::encodeName(container + QStringLiteral("/.") + suite + QStringLiteral(".bexlor-XXXXXX"));
    if (!::mkdtemp(pattern.data()) || ::chmod(pattern.constData(), 0755) != 0)
        return Result::failure(
            QStringLiteral("Не удалось создать каталог индексов в %1: %2").arg(container, systemError(errno)));
    *generation = QFile::decodeName(pattern);
    return Result::done();
}

// Points the suite's link at generation with one rename().
Result swapLink(const QString &link, const QString &generation, DiskSteps &steps)
{
    const QString name = lastComponent(generation);
    const QByteArray temporary = QFile::encodeName(generation + QStringLiteral(".new"));
    if (!steps.next())
        return DiskSteps::stopped();
    if (::symlink(QFile::encodeName(name).constData(), temporary.constData()) != 0)
        return Result::failure(
            QStringLiteral("Не удалось создать ссылку %1: %2").arg(QFile::decodeName(temporary), systemError(errno)));
    if (!steps.next())
        return DiskSteps::stopped();
    if (::rename(temporary.constData(), QFile::encodeName(link).constData()) != 0)
        return Result::failure(QStringLiteral("Не удалось заменить ссылку %1: %2").arg(link, systemError(errno)));
    return syncTree(QFileInfo(link).path()).failed()
               ? Result::failure(QStringLiteral("Не удалось записать %1 на диск").arg(link))
               : Result::done();
}

// The repository's name for the files users keep of it: the directory's
// name in the characters apt's file names allow.
QString sourcesName(const RepositoryLayout &layout)
{
    QString name = packageName(layout.directory);
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9._-]+")), QStringLiteral("-"));
    name.remove(QRegularExpression(QStringLiteral("^[.-]+|-+$")));
    return name.isEmpty() ? QStringLiteral("repository") : name;
}

// A package file to add, and what the pool needs of it.
struct PackageFile
{
    RepositoryEntry entry;
    QString path;
};

// What a publication does to its suite.
struct SuiteChange
{
    QList<RepositoryEntry> entries; // the suite afterwards
    QList<RepositoryEntry> added, unchanged, removed;
};

bool listedIn(const QList<RepositoryEntry> &list, const RepositoryEntry &entry)
{
    return std::any_of(list.begin(), list.end(),
                       [&entry](const RepositoryEntry &other) { return other.filename == entry.filename; });
}

// The suite with the files added (refusing a name that would stand for two
// files) and what remove and keep take out.
Result planChange(const Suite &suite, const QList<Suite> &suites, const QList<PackageFile> &files,
                  const RepositoryRequest &request, SuiteChange *change)
{
    change->entries = suite.entries;
    QList<RepositoryEntry> everywhere, added;
    for (const Suite &each : suites)
        everywhere << each.entries;
    for (const PackageFile &file : files) {
        bool isNew = false;
        const Result fits = addEntry(&change->entries, everywhere, file.entry, &isNew);
        if (fits.failed())
            return fits;
        (isNew ? added : change->unchanged) << file.entry;
    }
    QList<RepositoryEntry> removed;
    if (!request.remove.isEmpty()) {
        const Result taken = removeEntries(&change->entries, request.remove, &removed);
        if (taken.failed())
            return taken;
    }
    if (request.keep > 0)
        keepNewest(&change->entries, request.keep, &removed);
    // What keep takes out of the packages just added was never in the suite.
    for (const RepositoryEntry &entry : added) {
        if (listedIn(change->entries, entry))
            change->added << entry;
    }
    for (const RepositoryEntry &entry : removed) {
        if (listedIn(suite.entries, entry))
            change->removed << entry;
    }
    return Result::done();
}

// Writes the new packages to the pool and the suite's indexes to a new
// directory, signs them and swaps the suite's link to it, the last step
// claimed from a cancel. The new directory goes to *generation.
Result publishSuite(const RepositoryRequest &request, const RepositoryLayout &layout, const QList<PackageFile> &files,
                    const SuiteChange &change, const QString &fingerprint, DiskSteps &steps, QString *generation)
{
    if (!steps.next())
        return DiskSteps::stopped();
    Result made = makeGeneration(containerOf(layout), layout.suite, generation);
    for (const PackageFile &file : files) {
        const QString target = layout.directory + QLatin1Char('/') + QString::fromUtf8(file.entry.filename);
        if (made.failed() || !listedIn(change.added, file.entry) || entryExists(target))
            continue;
        if (!steps.next())
            return DiskSteps::stopped();
        made = makePath(QFileInfo(target).path(), 0755);
        if (made.success)
            made = copyFileAtomically(file.path, target, 0644);
    }
    if (made.failed())
        return made;
    if (!steps.next())
        return DiskSteps::stopped();
    made = writeIndexes(layout.directory, *generation, layout, change.entries, request.validDays);
    if (made.success && !request.signing.key.isEmpty()) {
        if (!steps.next())
            return DiskSteps::stopped();
        made = signRelease(request.signing, fingerprint, *generation);
    }
    if (made.success)
        made = syncTree(*generation);
    if (made.success && !commitJob())
        made = Result::failure(cancelledText());
    return made.failed() ? made : swapLink(suiteLinkPath(layout), *generation, steps);
}

} // namespace

Result publishRepository(const RepositoryRequest &request, QString *sources)
{
    RepositoryLayout layout = request.layout;
    const Result checked = checkLayout(layout);
    if (checked.failed())
        return checked;
    layout.directory = QDir::cleanPath(QDir(layout.directory).absolutePath());
    if (request.keep < 0)
        return Result::failure(QStringLiteral("Число хранимых версий не может быть отрицательным"));
    // The key and the packages first: nothing changes for a key that cannot sign.
    QString fingerprint;
    const bool signing = !request.signing.key.isEmpty();
    if (!request.exportKey.isEmpty() && !signing)
        return Result::failure(QStringLiteral("Открытый ключ выгружается только вместе с подписью: укажите ключ "
                                              "подписи"));
    // Users of this machine (a file: URI) find the public key where it was
    // exported to; users elsewhere keep it in /etc/apt/keyrings.
    const QString exported = request.exportKey.isEmpty() ? QString() : QFileInfo(request.exportKey).absoluteFilePath();
    const QString signedBy = request.url.isEmpty() && !exported.isEmpty()
                                 ? exported
                                 : QStringLiteral("/etc/apt/keyrings/")
                                       + (exported.isEmpty() ? sourcesName(layout) + QStringLiteral(".gpg")
                                                             : QFileInfo(exported).fileName());
    // apt reads blanks in Signed-By as the separators of a list.
    if (signing && signedBy.contains(QRegularExpression(QStringLiteral("\\s"))))
        return Result::failure(QStringLiteral("Путь к открытому ключу не может содержать пробелы: apt не прочтёт "
                                              "его в Signed-By (%1)")
                                   .arg(signedBy));
    if (signing) {
        const Result found = findSigningKey(request.signing, &fingerprint);
        if (found.failed())
            return found;
    }
    QList<PackageFile> files;
    for (const QString &file : request.packages) {
        PackageFile read{{}, file};
        const Result fields = readPackageFile(file, layout.component, &read.entry);
        if (fields.failed())
            return fields;
        files << read;
    }

    DiskSteps steps;
    const QString directory = layout.directory;
    if (!QFileInfo(directory).isDir()) {
        if (!steps.next())
            return DiskSteps::stopped();
        const Result made = makePath(directory, 0755);
        if (made.failed())
            return made;
    }
    const DirectoryLock lock(directory);
    if (!lock.held())
        return Result::failure(QStringLiteral("Репозиторий %1 сейчас обновляет другая публикация (или каталог не "
                                              "открывается): повторите позже")
                                   .arg(directory));
    QList<Suite> suites;
    Result state = readSuites(directory, &suites);
    if (state.success)
        state = removeUnneeded(directory, suites, steps);
    if (state.failed())
        return state;
    const QString link = suiteLinkPath(layout);
    auto ours = std::find_if(suites.begin(), suites.end(), [&](const Suite &suite) {
        return suite.container == containerOf(layout) && suite.name == layout.suite;
    });
    if (ours == suites.end()) {
        if (entryExists(link))
            return Result::failure(QStringLiteral("%1 уже есть, и это не набор этой программы").arg(link));
        suites.append(Suite{containerOf(layout), layout.suite, QString(), {}});
        ours = suites.end() - 1;
    }
    SuiteChange change;
    const Result planned = planChange(*ours, suites, files, request, &change);
    if (planned.failed())
        return planned;

    const bool changing = files.isEmpty() || !change.added.isEmpty() || !change.removed.isEmpty();
    const QString entry = sourcesEntry(
        layout, suiteComponents(change.entries, layout.component),
        request.url.isEmpty() ? QUrl::fromLocalFile(directory).toString(QUrl::FullyEncoded) : request.url,
        signing || (!changing && entryExists(link + QStringLiteral("/InRelease"))) ? signedBy : QString());
    QString message = QStringLiteral("Репозиторий %1, набор %2").arg(directory, layout.suite)
                      + (changing ? QStringLiteral(":") : QStringLiteral(" не изменился:"));
    if (changing) {
        const QList<Suite> before = suites;
        QString generation;
        const Result published = publishSuite(request, layout, files, change, fingerprint, steps, &generation);
        if (published.failed()) {
            if (published.message == DiskSteps::stopped().message)
                return published;
            // What the failed or cancelled publication made goes: the repository is as it was.
            const Result cleaned = removeUnneeded(directory, before, steps);
            return cleaned.failed() && cleaned.message != DiskSteps::stopped().message
                       ? Result::failure(published.message + QLatin1Char('\n') + cleaned.message)
                       : published;
        }
        ours->generation = lastComponent(generation);
        ours->entries = change.entries;
        const Result cleaned = removeUnneeded(directory, suites, steps);
        if (cleaned.failed())
            return cleaned;
        if (!change.added.isEmpty())
            message += QStringLiteral("\nдобавлены:\n") + entryLines(change.added);
        if (!change.removed.isEmpty())
            message += QStringLiteral("\nудалены:\n") + entryLines(change.removed);
        message += signing ? QStringLiteral("\nподписан ключом %1 (%2)").arg(request.signing.key, fingerprint)
                           : QStringLiteral("\nне подписан: apt примет его, только если в записи источника есть "
                                            "«Trusted: yes»");
    }
    if (!change.unchanged.isEmpty())
        message += QStringLiteral("\nуже были в репозитории:\n") + entryLines(change.unchanged);
    if (!exported.isEmpty()) {
        if (!steps.next())
            return DiskSteps::stopped();
        const Result written = exportPublicKey(request.signing, fingerprint, exported);
        if (written.failed())
            return Result::failure(message + QStringLiteral("\n\n") + written.message);
        message += QStringLiteral("\nоткрытый ключ записан в %1").arg(exported);
    }
    *sources = entry;
    return Result::done(
        message
        + QStringLiteral("\n\nЗапись источника для /etc/apt/sources.list.d/%1.sources").arg(sourcesName(layout)));
}

Result withPublication(const Result &build, const Result &published, const QString &sources)
{
    if (published.success) {
        Result both = build;
        both.message += QStringLiteral("\n\n") + published.message + QStringLiteral(":\n") + sources;
        return both;
    }
    return Result::failure(build.message + QStringLiteral("\n\nПакет собран, но не добавлен в репозиторий:\n")
                               + published.message,
                           build.details);
}

void setFileOperationLimitForTesting(int operations)
{
    operationLimit = operations;
}
