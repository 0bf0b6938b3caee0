#include "exebuild/modulebuild.h"

#include "common/filesystem.h"
#include "common/job.h"
#include "common/paths.h"
#include "common/processrunner.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

const QString compileError = QStringLiteral("Ошибка при сборке бинарного файла:\n");

namespace {

const QString unexpectedError = QStringLiteral("Непредвиденная ошибка:\n");

// Writes a file of the private directory, which goes with the build: it
// needs no sync to the disk, as a file the user keeps does.
Result writeScratch(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(data) == data.size() && file.flush())
        return Result::done();
    return Result::failure(QStringLiteral("Не удалось записать файл %1: %2").arg(path, file.errorString()));
}

BuiltModule failed(const Result &result)
{
    BuiltModule built;
    built.result = result;
    return built;
}

BuiltModule failedTool(const QString &prefix, const ProcessResult &run)
{
    if (jobCancelled())
        return failed(Result::failure(cancelledText()));
    return failed(Result::failure((run.started ? prefix : unexpectedError) + run.failureText()));
}

// Compiles c into object with the target's gcc and keeps the object under
// key (if any).
BuiltModule compile(const ModuleSetup &setup, const QString &c, const QString &object, const QStringList &defines,
                    const QString &key, QStringList warnings)
{
    if (jobCancelled())
        return failed(Result::failure(cancelledText()));
    const ProcessResult run = runProcess(
        setup.compiler,
        setup.compileFlags + defines + QStringList{QStringLiteral("-c"), operandPath(c), QStringLiteral("-o"), object},
        QString(), setup.environment);
    if (!run.succeeded())
        return failedTool(compileError, run);
    const Result kept = key.isEmpty() ? Result::done() : setup.cache.storeFile(key, QStringLiteral(".o"), object);
    BuiltModule built;
    built.object = object;
    built.result = Result::doneWith(warnings << run.warnings() << kept.warnings);
    if (kept.failed())
        built.result = kept;
    return built;
}

// Everything an object is made from besides its own source, in one place:
// what a new way of building changes goes here.
QList<QByteArray> keyParts(const ModuleSetup &setup, const QByteArray &kind)
{
    // The first part names how this program patches and renames a module:
    // change it with either, so that no older object is used.
    QList<QByteArray> parts{"bexlor-module-2", kind};
    parts << setup.versions;
    // A directory's map changes no object, whatever the directory: the
    // same module built anywhere is one entry.
    for (const QString &flag : setup.compileFlags) {
        if (!flag.contains(QLatin1String("-prefix-map=")))
            parts << flag.toUtf8();
    }
    for (const QString &directive : translationDirectives())
        parts << directive.toUtf8();
    return parts;
}

// The module as bytecode: the runtime's compile of it, in a C array.
BuiltModule asBytecode(const ModuleSetup &setup, const ModuleTask &task, const QString &reason, QStringList warnings)
{
    QByteArray code;
    const Result read = readRegularFile(task.module.bytecodeFile, &code);
    if (read.failed())
        return failed(read);
    BuiltModule built = compileSource(setup, cName(QStringLiteral("code_"), task.module.name),
                                      bytecodeSource(task.module.name, code));
    built.linkage = Linkage::Bytecode;
    built.bytecodeReason = reason;
    built.result.warnings = warnings + built.result.warnings;
    return built;
}

} // namespace

bool optimisationNamed(const QString &name, Optimisation *optimisation)
{
    for (const Optimisation known : {Optimisation::Size, Optimisation::Speed}) {
        if (name == optimisationName(known)) {
            *optimisation = known;
            return true;
        }
    }
    return false;
}

QString optimisationName(Optimisation optimisation)
{
    return optimisation == Optimisation::Speed ? QStringLiteral("speed") : QStringLiteral("size");
}

namespace {

// Debian's hardening flags stay either way. For speed, -O3 and calls into
// the runtime library through the GOT without the PLT's jump (-fno-plt):
// each was measured a few percent faster than dpkg-buildflags' -O2 on
// bench/exe_speed.sh. Most of a built program's time is spent in the runtime
// library, where no flag of the build reaches.
QStringList optimisationFlags(Optimisation optimisation)
{
    if (optimisation == Optimisation::Size)
        return {QStringLiteral("-Os")};
    return {QStringLiteral("-O3"), QStringLiteral("-fno-plt")};
}

} // namespace

QStringList compileFlags(const RuntimeFlags &runtime, const BuildFlags &flags, Optimisation optimisation)
{
    return optimisationFlags(optimisation) + flags.cflags + flags.cppflags + runtime.compile;
}

QStringList linkArguments(const BuildFlags &flags, Optimisation optimisation, const QStringList &objects,
                          const QString &output, const RuntimeFlags &runtime)
{
    return optimisationFlags(optimisation) + flags.cflags + flags.ldflags + QStringList{QStringLiteral("-o"), output}
           + objects + runtime.link;
}

QStringList translationDirectives()
{
    return {
        // Annotations stay what they are to the interpreter: typed ones
        // would change what a function accepts.
        QStringLiteral("annotation_typing=False"),
        // A function of one parameter or none takes it by keyword too, as
        // `callback(**params)` calls it. Cython 0.29 makes such functions
        // METH_O and METH_NOARGS C functions, which refuse keywords; Cython 3
        // does not.
        QStringLiteral("always_allow_keywords=True"),
        // Functions are function objects with __defaults__, __kwdefaults__,
        // __wrapped__ and a signature that bind as methods on a class, as
        // Cython 3 makes them by default and Cython 0.29 for .py files only.
        QStringLiteral("binding=True"),
    };
}

QStringList translationArguments(const QString &moduleName, const QString &input, const QString &output)
{
    QStringList arguments{QStringLiteral("-3")};
    for (const QString &directive : translationDirectives())
        arguments << QStringLiteral("-X") << directive;
    arguments << QStringLiteral("--module-name") << moduleName;
    if (!output.isEmpty())
        arguments << QStringLiteral("-o") << operandPath(output);
    return arguments << operandPath(input);
}

QByteArray patchTranslation(const QByteArray &c)
{
    return QByteArray(c).replace("return __Pyx_PyObject_GetIndex(obj, key);", "return PyObject_GetItem(obj, key);");
}

QStringList renamingDefines(const QByteArray &c, const QString &moduleName)
{
    static const QRegularExpression init(QStringLiteral("\\n__Pyx_PyMODINIT_FUNC (PyInitU?_\\w+)\\(void\\)\\n"));
    static const QRegularExpression flag(QStringLiteral("\\nint (__pyx_module_is_main_\\w+) = 0;"));
    const QString text = QString::fromUtf8(c);
    const QString initName = init.match(text).captured(1), flagName = flag.match(text).captured(1);
    if (initName.isEmpty() || flagName.isEmpty())
        return {};
    return {QStringLiteral("-D%1=%2").arg(initName, initFunctionName(moduleName)),
            QStringLiteral("-D%1=%2").arg(flagName, mainFlagName(moduleName))};
}

QString refusalReason(const QString &translatorOutput)
{
    static const QRegularExpression located(QStringLiteral("^\\S.*:\\d+:\\d+: .*$"),
                                            QRegularExpression::MultilineOption);
    QString reason;
    for (QRegularExpressionMatchIterator lines = located.globalMatch(translatorOutput); lines.hasNext();)
        reason = lines.next().captured(0);
    return reason.isEmpty() ? translatorOutput.trimmed().section(QLatin1Char('\n'), -1) : reason;
}

BuiltModule buildModule(const ModuleSetup &setup, const ModuleTask &task)
{
    if (!task.bytecodeReason.isEmpty())
        return asBytecode(setup, task, task.bytecodeReason, {});
    const bool main = !task.workingCopy.isEmpty();
    QByteArray source;
    const Result read = readRegularFile(main ? task.workingCopy : setup.scriptDirectory + task.module.path, &source);
    if (read.failed())
        return failed(read);

    const QString key = cacheKey(keyParts(setup, "module")
                                 << task.module.name.toUtf8() << lastComponent(task.workingCopy).toUtf8() << source);
    const QString stem = cName(QStringLiteral("module_"), task.module.name);
    const QString object = setup.workDirectory + QLatin1Char('/') + stem + QStringLiteral(".o");
    QByteArray c;
    bool found = false;
    Result cached = setup.cache.fetch(key, QStringLiteral(".o"), object, &found);
    QStringList warnings = cached.warnings;
    if (found && main) {
        cached = setup.cache.load(key, QStringLiteral(".c"), &c, &found);
        warnings << cached.warnings;
        found = found && writeFileAtomically(task.cFile, c).success;
    }
    if (cached.failed())
        return failed(cached);
    if (found) {
        BuiltModule built;
        built.object = object;
        built.result = Result::doneWith(warnings);
        return built;
    }
    cached = setup.cache.load(key, QStringLiteral(".refused"), &c, &found);
    warnings << cached.warnings;
    if (found)
        return asBytecode(setup, task, QString::fromUtf8(c), warnings);

    const QString sources = setup.workDirectory + QStringLiteral("/src");
    const QString cFile = main ? task.cFile : sources + QLatin1Char('/') + stem + QStringLiteral(".c");
    if (!main) {
        const QString copy = sources + QLatin1Char('/') + task.module.path;
        const Result copied = runSteps(
            {[&] { return makePath(QFileInfo(copy).path(), 0700); }, [&] { return writeScratch(copy, source); }});
        if (copied.failed())
            return failed(copied);
    }
    if (jobCancelled())
        return failed(Result::failure(cancelledText()));
    // The translator runs where its input lies, on a relative name: given an
    // absolute path with letters outside Latin-1 it fails on the C file's
    // comments in any locale.
    const ProcessResult translation =
        main ? runProcess(QStringLiteral("cython3"),
                          translationArguments(QStringLiteral("__main__"), lastComponent(task.workingCopy), QString()),
                          setup.scriptDirectory, setup.environment)
             : runProcess(QStringLiteral("cython3"),
                          translationArguments(task.module.name, task.module.path, stem + QStringLiteral(".c")),
                          sources, setup.environment);
    if (!translation.started || jobCancelled())
        return failedTool(QString(), translation);
    if (!translation.succeeded()) {
        // Its C file says only that it failed.
        QFile::remove(cFile);
        const QString reason = refusalReason(translation.standardError);
        const Result kept = setup.cache.store(key, QStringLiteral(".refused"), reason.toUtf8());
        return asBytecode(setup, task, reason, warnings << kept.warnings);
    }
    Result patched = readRegularFile(cFile, &c);
    c = patchTranslation(c);
    if (patched.success)
        patched = main ? writeFileAtomically(cFile, c) : writeScratch(cFile, c);
    const QStringList defines = renamingDefines(c, task.module.name);
    if (patched.success && defines.isEmpty())
        patched = Result::failure(compileError
                                  + QStringLiteral("в файле %1 нет функции инициализации модуля").arg(cFile));
    if (patched.failed())
        return failed(patched);
    warnings << translation.warnings();
    // The script is translated where the user can edit it: an object made
    // from bytes other than those under the key must not be kept.
    QByteArray translated = source;
    if (main && readRegularFile(task.workingCopy, &translated).success && translated == source)
        warnings << setup.cache.store(key, QStringLiteral(".c"), c).warnings;
    return compile(setup, cFile, object, defines, translated == source ? key : QString(), warnings);
}

BuiltModule compileSource(const ModuleSetup &setup, const QString &stem, const QByteArray &source)
{
    const QString key = cacheKey(keyParts(setup, "source") << source);
    const QString object = setup.workDirectory + QLatin1Char('/') + stem + QStringLiteral(".o");
    bool found = false;
    const Result cached = setup.cache.fetch(key, QStringLiteral(".o"), object, &found);
    if (cached.failed() || found) {
        BuiltModule built;
        built.object = object;
        built.result = cached;
        return built;
    }
    const QString c = setup.workDirectory + QLatin1Char('/') + stem + QStringLiteral(".c");
    const Result written = writeScratch(c, source);
    if (written.failed())
        return failed(written);
    return compile(setup, c, object, {}, key, cached.warnings);
}
