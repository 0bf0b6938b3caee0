#include "exebuild/exebuild.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"
#include "common/privatedir.h"
#include "common/processrunner.h"
#include "common/reproducibility.h"
#include "common/wording.h"
#include "exebuild/datafiles.h"
#include "exebuild/elfsections.h"
#include "exebuild/importscan.h"
#include "exebuild/modulebuild.h"
#include "exebuild/objectcache.h"
#include "exebuild/programsource.h"
#include "exebuild/pythondeps.h"
#include "exebuild/scriptnames.h"
#include "exebuild/shipready.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent>

#include <algorithm>
#include <atomic>
#include <numeric>
#include <optional>

#include <unistd.h>

Result checkRuntime(const QString &runtime, const QStringList &installed, const BuildTarget &target)
{
    if (installed.isEmpty() && !target.cross)
        return Result::failure(QStringLiteral("Не найдено ни одной среды Python: для архитектуры этой машины нет "
                                              "программы python3.X-config. Установите пакет python3-dev."));
    if (installed.isEmpty())
        return Result::failure(QStringLiteral("Не найдено ни одной среды Python для архитектуры %1: нет программы "
                                              "%2. Установите пакет libpython3-dev:%1.")
                                   .arg(target.architecture, runtimeConfigName(target.triplet, "python3.X")));
    if (!installed.contains(runtime))
        return Result::failure(QStringLiteral("Среды Python «%1» нет среди установленных%2: %3")
                                   .arg(runtime, target.cross ? QStringLiteral(" для ") + target.architecture : "",
                                        installed.join(QStringLiteral(", "))));
    if (target.cross && toolPath(target.compiler()).isEmpty())
        return Result::failure(QStringLiteral("Для сборки под %1 нужен компилятор %2: установите пакет gcc-%3.")
                                   .arg(target.architecture, target.compiler(), target.gnuType));
    if (target.cross && toolPath(runtime).isEmpty())
        return Result::failure(QStringLiteral("Для сборки под %1 нужен и интерпретатор %2 этой машины: он находит "
                                              "модули программы. Установите пакет %2.")
                                   .arg(target.architecture, runtime));
    return Result::done();
}

Result reportBuild(const BuildReport &report)
{
    QStringList lines{QStringLiteral("Исполняемый файл: ") + report.executable};
    if (!report.controlLines.isEmpty())
        lines << QStringLiteral("Строки для DEBIAN/control:") << report.controlLines;
    if (!report.dataRefusal.isEmpty())
        lines << report.dataRefusal;
    else if (report.dataPlaced && !report.dataFiles.isEmpty())
        lines << QStringLiteral("Файлы данных (%1) скопированы в %2; список — в подробностях.")
                     .arg(report.dataFiles.size())
                     .arg(report.dataDirectory);
    else if (report.dataPlaced)
        lines << QStringLiteral("Каталог данных программы: %1 (файлов данных рядом со скриптом нет).")
                     .arg(report.dataDirectory);
    else
        lines << QStringLiteral("Файлы данных программа читает из каталога %1; сборка копирует их туда, только когда "
                                "каталог бинарного файла оканчивается на usr/bin, usr/sbin, usr/games или .local/bin.")
                     .arg(report.dataDirectory);
    if (!report.carried.isEmpty())
        lines << QStringLiteral("Модули пакетов %1, которые программа не импортирует явно, но может загрузить по "
                                "имени: %2; список — в подробностях.")
                     .arg(report.carriedWith.join(QStringLiteral(", ")))
                     .arg(report.carried.size());
    if (!report.extensions.isEmpty())
        lines << QStringLiteral("Модули расширений программа загружает из каталога данных: %1.")
                     .arg(report.extensions.join(QStringLiteral(", ")));
    if (!report.wholeBytecode.isEmpty())
        lines << QStringLiteral("Вся программа в байт-коде Python: ") + report.wholeBytecode;
    else if (!report.bytecode.isEmpty())
        lines << QStringLiteral("В байт-коде Python, без перевода в C: ") + report.bytecode.join(QStringLiteral("; "));

    QStringList warnings;
    for (const QString &missing : report.missing)
        warnings << QStringLiteral("Не найден модуль ") + missing;
    for (const QString &excluded : report.excluded)
        warnings << QStringLiteral("Исключён из сборки модуль, который импортирует программа: ") + excluded;
    for (const QString &leftOut : report.leftOut)
        warnings << QStringLiteral("Не взят в сборку модуль ") + leftOut;
    warnings << report.notes << report.toolWarnings;
    warnings.removeAll(QString());
    Result done = Result::done(QStringLiteral("Команда сборки завершена.\n\n") + lines.join(QLatin1Char('\n'))
                               + warningsSection(warnings.join(QLatin1Char('\n'))));
    QStringList details;
    if (!report.carried.isEmpty())
        details << QStringLiteral("Модули, взятые с пакетами:\n") + report.carried.join(QLatin1Char('\n'));
    if (report.dataPlaced && !report.dataFiles.isEmpty()) {
        QStringList files;
        for (const QByteArray &file : report.dataFiles)
            files << displayName(file);
        details << QStringLiteral("Файлы данных в %1:\n").arg(report.dataDirectory) + files.join(QLatin1Char('\n'));
    }
    done.details = details.join(QStringLiteral("\n\n"));
    return done;
}

namespace {

Result cancelled()
{
    return Result::failure(cancelledText());
}

// A regular file holding exactly the script: the working copy of a build
// that was killed before it could remove it. A file that cannot be read is
// no such copy.
bool leftoverCopy(const QString &script, const QString &workingCopy)
{
    const QFileInfo existing(workingCopy);
    QByteArray copy, original;
    return existing.isFile() && !existing.isSymLink() && existing.size() == QFileInfo(script).size()
           && readRegularFile(workingCopy, &copy).success && readRegularFile(script, &original).success
           && copy == original;
}

// Copies the script to the working copy with its permission bits. Any other
// file already standing there belongs to the user (my_tool.py beside
// my-tool.py) and would be overwritten now and deleted after the build, so
// it is refused.
Result makeWorkingCopy(const QString &script, const QString &workingCopy)
{
    if (leftoverCopy(script, workingCopy))
        QFile::remove(workingCopy);
    if (entryExists(workingCopy))
        return Result::failure(QStringLiteral("Файл %1 уже существует: сборка удалила бы его. "
                                              "Переименуйте этот файл и повторите сборку.")
                                   .arg(workingCopy));
    QFile source(script);
    if (!source.copy(workingCopy))
        return Result::failure(
            QStringLiteral("Не удалось создать рабочую копию %1: %2").arg(workingCopy, source.errorString()));
    return Result::done();
}

// A file the build writes, as it stood before: a cancelled build removes it
// if the tools created or rewrote it, half-written as it may be.
class BuildOutput
{
public:
    explicit BuildOutput(const QString &path)
        : m_path(path)
        , m_before(QFileInfo(path).lastModified())
    { }
    void removeIfWritten() const
    {
        const QFileInfo now(m_path);
        if (now.isFile() && now.lastModified() != m_before)
            QFile::remove(m_path);
    }

private:
    QString m_path;
    QDateTime m_before;
};

// What a tool says its version is: part of every cache key.
QByteArray toolVersion(const QString &tool)
{
    return runQuery(tool, {QStringLiteral("--version")}).warnings().trimmed().toUtf8();
}

// The modules to build, and which go in as bytecode: all of them when the
// user asks or when the program asks what compiled code answers otherwise
// (its call stack, the type of its functions), else those the translator
// gets wrong.
QList<ModuleTask> moduleTasks(const ProgramScan &scan, const QString &wholeReason, const ScriptNames &names)
{
    QList<ModuleTask> tasks;
    for (const ProgramModule &module : scan.modules) {
        if (module.kind != ProgramModule::Kind::Source)
            continue;
        ModuleTask task;
        task.module = module;
        task.bytecodeReason = wholeReason.isEmpty() ? module.reasons.join(QStringLiteral(", ")) : wholeReason;
        if (module.name == QLatin1String("__main__")) {
            task.workingCopy = names.workingCopy;
            task.cFile = names.cFile;
        }
        tasks << task;
    }
    return tasks;
}

const QString modulesPhase = QStringLiteral("Сборка модулей");

// Builds every task on a pool of one thread a core, the largest sources
// first so that no core waits long at the end, each under the calling
// thread's job so that a cancel reaches the tools and each start is
// reported; meanwhile meanwhile() runs here. After the first failure the
// tasks not yet started are skipped.
QList<BuiltModule> buildOnEveryCore(const ModuleSetup &setup, const QList<ModuleTask> &tasks,
                                    const std::function<void()> &meanwhile)
{
    Job *job = Job::current();
    QThreadPool pool;
    pool.setMaxThreadCount(QThread::idealThreadCount());
    std::atomic<bool> stop{false};
    std::atomic<int> done{0};
    QVector<int> order(tasks.size());
    std::iota(order.begin(), order.end(), 0);
    QVector<qint64> size(tasks.size());
    for (int index = 0; index < tasks.size(); ++index)
        size[index] = QFileInfo(setup.scriptDirectory + tasks.at(index).module.path).size();
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return size[a] > size[b]; });
    QVector<QFuture<BuiltModule>> running(tasks.size());
    for (const int index : qAsConst(order)) {
        running[index] = QtConcurrent::run(&pool, [&, index] {
            const JobScope scope(job);
            BuiltModule built;
            built.result = Result::failure(QString());
            if (!stop && !jobCancelled()) {
                reportJobStep({modulesPhase, done, int(tasks.size()), tasks.at(index).module.name});
                built = buildModule(setup, tasks.at(index));
            }
            if (built.result.failed())
                stop = true;
            reportJobProgress(++done, tasks.size() + 1);
            return built;
        });
    }
    meanwhile();
    QList<BuiltModule> built;
    for (QFuture<BuiltModule> &future : running)
        built << future.result();
    return built;
}

QString missingText(const MissingImport &missing)
{
    if (missing.file.isEmpty())
        return missing.name + QStringLiteral(" (добавлен вручную)");
    return QStringLiteral("%1: %2, строка %3%4%5")
        .arg(missing.name, missing.file, QString::number(missing.line),
             missing.guarded ? QStringLiteral(" (импорт в try … except ImportError)") : QString(),
             missing.carried ? QStringLiteral(" (в модуле, взятом с пакетом)") : QString());
}

// The packages of the program that carried modules come with: the nearest
// module above each that the program imports.
QStringList carryingPackages(const QList<ProgramModule> &modules)
{
    QSet<QString> imported;
    for (const ProgramModule &module : modules) {
        if (!module.carried)
            imported << module.name;
    }
    QStringList packages;
    for (const ProgramModule &module : modules) {
        for (QString above = module.name.section(QLatin1Char('.'), 0, -2); module.carried && !above.isEmpty();
             above = above.section(QLatin1Char('.'), 0, -2)) {
            if (imported.contains(above)) {
                if (!packages.contains(above))
                    packages << above;
                break;
            }
        }
    }
    return packages;
}

// One build in a private directory: everything but the script's C file and
// the executable is made there.
class Assembly
{
public:
    Assembly(const ExecutableBuild &build, const BuildTarget &target, const ScriptNames &names, const QString &work)
        : m_build(build)
        , m_target(target)
        , m_names(names)
        , m_work(work)
    { }

    Result run()
    {
        return runSteps({[this] { return scan(); }, [this] { return prepare(); }, [this] { return buildModules(); },
                         [this] { return link(); }, [this] { return placeData(); }, [this] { return place(); }});
    }

    BuildReport report;

private:
    Result scan()
    {
        reportJobStep({QStringLiteral("Поиск импортов"), 0, 0, QString()});
        const QString directory = m_work + QStringLiteral("/scan");
        const Result made = makePath(directory, 0700);
        if (made.failed())
            return made;
        // Both lists were checked before the build began.
        QStringList include, exclude;
        moduleNames(m_build.include, &include);
        moduleNames(m_build.exclude, &exclude);
        const Result scanned = scanProgram(m_build.runtime, m_build.script, directory, include, exclude, &m_scan);
        report.toolWarnings << scanned.warnings;
        if (scanned.failed() || !m_target.cross)
            return scanned;
        // The extension modules below the script are this machine's code,
        // which the other architecture cannot load.
        QStringList extensions;
        for (const ProgramModule &module : qAsConst(m_scan.modules)) {
            if (module.kind == ProgramModule::Kind::Extension)
                extensions << module.path;
        }
        if (!extensions.isEmpty())
            return Result::failure(QStringLiteral("Модули расширения собраны для этой машины, а не для %1: %2")
                                       .arg(m_target.architecture, extensions.join(QStringLiteral(", "))));
        return scanned;
    }

    Result prepare()
    {
        if (jobCancelled())
            return cancelled();
        const Result read = runSteps({[this] { return readBuildFlags(&m_flags, m_target.dpkgEnvironment()); },
                                      [this] { return runtimeFlags(m_target, m_build.runtime, &m_runtime); }});
        if (read.failed())
            return Result::failure(compileError + read.message);
        m_whole = m_build.bytecode ? QStringLiteral("так выбрано в настройках сборки.")
                  : m_scan.whole.isEmpty()
                      ? QString()
                      : QStringLiteral("%1 — стек вызовов или тип функций и генераторов у скомпилированного кода "
                                       "не такие, как у интерпретатора.")
                            .arg(m_scan.whole);
        m_setup.scriptDirectory = m_names.directory.isEmpty() ? QStringLiteral("./") : m_names.directory;
        m_setup.workDirectory = m_work;
        m_setup.compiler = m_target.compiler();
        m_setup.environment = QStringList{QStringLiteral("TMPDIR=") + m_work};
        m_setup.compileFlags = compileFlags(m_runtime, m_flags, m_build.optimisation);
        // The objects name no directory of this build: the private one is
        // new every time, and the script's may be anywhere. Of the maps
        // that match, gcc takes the last.
        for (const QString &directory : {m_work, QDir(m_setup.scriptDirectory).absolutePath()})
            m_setup.compileFlags << QStringLiteral("-ffile-prefix-map=%1=.").arg(directory);
        // The compiler's version names its target too, and an object of one
        // architecture never serves another.
        m_setup.versions = {m_scan.runtimeVersion.toUtf8(), toolVersion(m_setup.compiler), m_target.triplet.toUtf8()};
        if (m_whole.isEmpty())
            m_setup.versions << toolVersion(QStringLiteral("cython3"));
        m_setup.cache = ObjectCache(m_build.checkBuild ? QString() : objectCacheDirectory());
        m_setup.cache.prune();
        report.toolWarnings << m_setup.cache.warnings();
        return Result::done();
    }

    Result buildModules()
    {
        const QList<ModuleTask> tasks = moduleTasks(m_scan, m_whole, m_names);
        const QList<BuiltModule> built = buildOnEveryCore(m_setup, tasks, [this] {
            m_dependencies = findDependencies(runtimeLibrary(m_setup.compiler, m_build.runtime), m_scan.outside);
        });
        if (jobCancelled())
            return cancelled();
        reportJobStep({modulesPhase, int(tasks.size()), int(tasks.size()), QString()});
        for (const BuiltModule &module : built) {
            if (module.result.failed() && !module.result.message.isEmpty())
                return module.result;
        }
        for (int index = 0; index < tasks.size(); ++index) {
            const ProgramModule &module = tasks.at(index).module;
            m_objects << built.at(index).object;
            m_linked << LinkedModule{module.name, module.path, module.package, built.at(index).linkage};
            report.toolWarnings << built.at(index).result.warnings;
            if (built.at(index).linkage == Linkage::Bytecode && m_whole.isEmpty())
                report.bytecode << module.name + QStringLiteral(" — ") + built.at(index).bytecodeReason;
        }
        for (const ProgramModule &module : qAsConst(m_scan.modules)) {
            if (module.kind == ProgramModule::Kind::Source)
                continue;
            const bool extension = module.kind == ProgramModule::Kind::Extension;
            m_linked << LinkedModule{module.name, module.path, module.package,
                                     extension ? Linkage::Extension : Linkage::Namespace};
            if (extension)
                report.extensions << module.path;
        }
        return Result::done();
    }

    Result link()
    {
        reportJobStep({QStringLiteral("Компоновка"), 0, 0, QString()});
        const BuiltModule entry = compileSource(m_setup, QStringLiteral("program"),
                                                programSource(m_linked, dependencyNote(m_dependencies)));
        if (entry.result.failed())
            return entry.result;
        m_linkedFile = m_work + QStringLiteral("/program");
        if (jobCancelled())
            return cancelled();
        const ProcessResult linked = runProcess(m_setup.compiler,
                                                linkArguments(m_flags, m_build.optimisation,
                                                              m_objects + QStringList{entry.object}, m_linkedFile,
                                                              m_runtime),
                                                QString(), m_setup.environment);
        if (!linked.succeeded())
            return Result::failure(jobCancelled() ? cancelledText() : compileError + linked.failureText());
        report.toolWarnings << entry.result.warnings << linked.warnings();
        const ProcessResult strip = runProcess(m_target.strip(), stripArguments(m_linkedFile), QString(),
                                               m_setup.environment);
        if (!strip.succeeded())
            return Result::failure(jobCancelled() ? cancelledText() : compileError + strip.failureText());
        // The same entries the package build will want in Depends for this file.
        report.toolWarnings
            << sharedLibraryDepends({m_linkedFile}, &m_dependencies.libraries, m_target.architecture).warnings;
        return jobCancelled() ? cancelled() : Result::done();
    }

    Result placeData()
    {
        const QString outputDir = QFileInfo(m_build.binaryDir + QLatin1Char('/')).canonicalFilePath();
        if (outputDir.isEmpty())
            return Result::failure(QStringLiteral("Каталог для бинарного файла %1 не найден").arg(m_build.binaryDir));
        m_executable = outputDir + QLatin1Char('/') + m_build.binaryName;
        report.executable = m_executable;
        report.dataDirectory = dataDirectoryFor(m_executable);
        report.dataPlaced = placesData(outputDir);
        // From here the build writes the user's files: a cancel that comes
        // later is refused.
        if (m_build.checkBuild ? jobCancelled() : !commitJob())
            return cancelled();
        if (!report.dataPlaced)
            return Result::done();
        reportJobStep({QStringLiteral("Копирование файлов данных"), 0, 0, QString()});
        const QString home = QFileInfo(qEnvironmentVariable("HOME")).canonicalFilePath();
        const QString scriptDir = QFileInfo(m_setup.scriptDirectory).canonicalFilePath();
        if (scriptDir == home || scriptDir == QLatin1String("/")) {
            report.dataRefusal = QStringLiteral("Файлы данных не скопированы в %1: скрипт лежит прямо в %2, и данными "
                                                "программы стало бы всё содержимое этого каталога.")
                                     .arg(report.dataDirectory, scriptDir);
            return Result::done();
        }
        report.dataFiles = dataFiles(scriptDir, {m_executable, outputDir, report.dataDirectory});
        const Result copied = copyDataFiles(scriptDir, &report.dataFiles, m_executable);
        report.notes << copied.warnings;
        return copied;
    }

    Result place()
    {
        const Result written = copyFileAtomically(m_linkedFile, m_executable);
        if (written.failed())
            return written;
        report.controlLines = controlLines(m_dependencies);
        for (const MissingImport &missing : qAsConst(m_scan.missing))
            report.missing << missingText(missing);
        for (const MissingImport &excluded : qAsConst(m_scan.excluded))
            report.excluded << missingText(excluded);
        for (const MissingImport &left : qAsConst(m_scan.leftOut))
            report.leftOut << QStringLiteral("%1 (%2, строка %3: %4): среда Python не может его скомпилировать.")
                                  .arg(left.name, left.file, QString::number(left.line), left.reason);
        for (const ProgramModule &module : qAsConst(m_scan.modules)) {
            if (module.carried && module.kind != ProgramModule::Kind::Namespace)
                report.carried << module.name;
        }
        report.carriedWith = carryingPackages(m_scan.modules);
        report.wholeBytecode = m_whole;
        report.notes << m_dependencies.warnings;
        return Result::done();
    }

    const ExecutableBuild &m_build;
    const BuildTarget &m_target;
    const ScriptNames &m_names;
    const QString m_work;
    ProgramScan m_scan;
    BuildFlags m_flags;
    RuntimeFlags m_runtime;
    QString m_whole;
    ModuleSetup m_setup;
    PythonDependencies m_dependencies;
    QStringList m_objects;
    QList<LinkedModule> m_linked;
    QString m_linkedFile, m_executable;
};

// Builds the program as the second build of a check, in scratch: from a copy
// of the script's directory, under VariedConditions (described in
// *conditions), with no object from the cache. The executable is *second.
Result checkBuild(const ExecutableBuild &build, const ScriptNames &names, const PrivateDirectory &scratch,
                  QString *second, QString *conditions)
{
    const QString source = QDir(names.directory.isEmpty() ? QStringLiteral(".") : names.directory).absolutePath();
    const QString copy = scratch.path() + QStringLiteral("/copy/") + lastComponent(source);
    const QString output = scratch.path() + QStringLiteral("/output");
    const Result made = runSteps({[&] { return scratch.made(); },
                                  [&] { return makePath(QFileInfo(copy).path(), 0700); },
                                  [&] { return makePath(output, 0700); }});
    if (made.failed())
        return made;
    const ProcessResult copied = runProcess(
        QStringLiteral("cp"),
        {QStringLiteral("-PR"), QStringLiteral("--preserve=mode,timestamps,links"), operandPath(source), copy});
    if (!copied.succeeded())
        return Result::failure(QStringLiteral("Не удалось скопировать каталог скрипта: ") + copied.failureText());
    ExecutableBuild varied = build;
    varied.projectDir = copy;
    varied.script = copy + QLatin1Char('/') + lastComponent(build.script);
    varied.binaryDir = output;
    varied.checkReproducible = false;
    varied.checkBuild = true;
    const VariedConditions conditionsOfCheck;
    *conditions = conditionsOfCheck.description() + QStringLiteral(", без кэша сборки");
    *second = output + QLatin1Char('/') + build.binaryName;
    const Result built = buildExecutable(varied);
    if (built.failed() && !jobCancelled())
        return Result::failure(QStringLiteral("Проверка воспроизводимости: вторая сборка не удалась: ")
                               + built.message);
    return built;
}

} // namespace

Result moduleNames(const QString &text, QStringList *names)
{
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    static const QRegularExpression dotted(QStringLiteral("^[^./\\\\]+(\\.[^./\\\\]+)*$"));
    names->clear();
    for (const QString &name : text.split(separators, Qt::SkipEmptyParts)) {
        if (!dotted.match(name).hasMatch())
            return Result::failure(
                QStringLiteral("«%1» — не имя модуля: имена пишутся, как в import, например app.plugins").arg(name));
        *names << name;
    }
    return Result::done();
}

Result buildExecutable(const ExecutableBuild &build)
{
    const ScriptNames names = scriptNames(build.script);
    if (build.projectDir.isEmpty() || names.name.isEmpty())
        return Result::failure(QStringLiteral("Необходимо выбрать каталог и файл .py"));
    if (build.binaryName.isEmpty())
        return Result::failure(QStringLiteral("Необходимо ввести имя бинарного файла"));

    QStringList modules;
    BuildTarget target;
    const Result checked = runSteps(
        {[&] { return buildTarget(build.architecture, &target); },
         [&] { return checkRuntime(build.runtime, installedRuntimes(target.triplet), target); },
         [&] { return moduleNames(build.include, &modules); }, [&] { return moduleNames(build.exclude, &modules); },
         [&] { return checkRegularFile(build.script); }});
    if (checked.failed())
        return checked;
    // Checked before the compile, whose warnings would bury the message.
    const QString outputDir = build.binaryDir + QLatin1Char('/');
    if (!QFileInfo(outputDir).isDir() || ::access(QFile::encodeName(outputDir).constData(), W_OK) != 0)
        return Result::failure(
            QStringLiteral("Каталог для бинарного файла %1 не найден или недоступен для записи").arg(build.binaryDir));

    // The check's build comes first: until the executable is in place, a
    // cancel stops both.
    std::optional<PrivateDirectory> scratch;
    QString second, conditions;
    if (build.checkReproducible) {
        const Result checked = checkBuild(build, names, scratch.emplace(), &second, &conditions);
        if (checked.failed())
            return checked;
    }
    PrivateDirectory work;
    if (work.made().failed())
        return work.made();
    const bool copied = names.workingCopy != build.script;
    if (copied) {
        const Result made = makeWorkingCopy(build.script, names.workingCopy);
        if (made.failed())
            return made;
    }
    const BuildOutput cFile(names.cFile);
    Assembly assembly(build, target, names, work.path());
    const Result assembled = assembly.run();
    if (assembled.failed() && jobCancelled())
        cFile.removeIfWritten();
    if (copied)
        QFile::remove(names.workingCopy);
    if (assembled.failed())
        return assembled;
    const Result built = reportBuild(assembly.report);
    if (!build.checkReproducible)
        return built;
    const Result compared = compareBuilds(assembly.report.executable, second, conditions, [&](qint64 offset) {
        return elfPlaceOf(assembly.report.executable, offset);
    });
    // The executable is in place either way; a check not done fails the build with a message that says so.
    if (compared.failed())
        return Result::failure(
            QStringLiteral("Исполняемый файл %1 собран, но проверка воспроизводимости не выполнена: %2\n\n")
                .arg(assembly.report.executable, compared.message)
            + built.message);
    return withCheckReport(built, compared);
}
