// Python programs built through the window with the real cython3, gcc and runtime, run with their sources moved away
// from a directory full of impostor modules, against what the runtime's own interpreter prints; a cancel and the cache;
// then the rules the build decides by, called directly.
#include "app/ui/bexlorwindow.h"
#include "common/filesystem.h"
#include "common/job.h"
#include "common/processrunner.h"
#include "exebuild/buildtarget.h"
#include "exebuild/datafiles.h"
#include "exebuild/exebuild.h"
#include "exebuild/importscan.h"
#include "exebuild/objectcache.h"
#include "exebuild/programsource.h"
#include "exebuild/pythondeps.h"
#include "exebuild/scriptnames.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtConcurrent>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Files of a program: "=== path" lines, each followed by the file's text; the script comes first.
QString writeProgram(const QString &directory, const QString &files)
{
    for (const QString &file : files.split("=== ", Qt::SkipEmptyParts))
        writeFile(directory + '/' + file.section('\n', 0, 0), file.section('\n', 1).toUtf8());
    return directory + '/' + files.section('\n', 0, 0).mid(4);
}

// The C files and objects below a directory.
QStringList cAndObjects(const QString &directory)
{
    QStringList found;
    for (QDirIterator it(directory, {"*.c", "*.o"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
         it.hasNext();)
        found << it.next().mid(directory.size() + 1);
    return found;
}

const QString storage = "=== storage.py\nimport sqlite3\ndef save(words):\n    db = sqlite3.connect(':memory:')\n"
                        "    db.execute('create table w (t text)')\n"
                        "    db.executemany('insert into w values (?)', [(w,) for w in words])\n"
                        "    return [r[0] for r in db.execute('select t from w order by t')], __name__\n";
const QString withStorage = "=== main.py\nimport argparse, json, pathlib, sqlite3, storage\n"
                            "parser = argparse.ArgumentParser()\nparser.add_argument('words', nargs='*')\n"
                            "words = parser.parse_args().words\nprint(storage.save(words), json.dumps(words))\n"
                            + storage;

} // namespace

class ExeBuildTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;
    QTemporaryDir root;
    QString temporary;

    ExecutableBuild fields(const QString &script, const QString &output)
    {
        ExecutableBuild build;
        build.runtime = systemRuntime(), build.projectDir = QFileInfo(script).path(), build.script = script;
        build.binaryDir = output, build.binaryName = "tool";
        return build;
    }

private slots:
    // Every build's private directory goes where the test can see that it went.
    void initTestCase()
    {
        temporary = root.path() + "/tmp";
        QVERIFY(QDir().mkpath(temporary));
        qputenv("TMPDIR", QFile::encodeName(temporary));
    }
    void init() { clearToolsForTesting(); }
    void cleanup() { QCOMPARE(entries(temporary), QStringList()); }
    // QTemporaryDir cannot remove a name that is not UTF-8.
    void cleanupTestCase() { QVERIFY(removeTree(root.path()).success); }

    void programs_data()
    {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QStringList>("copies"); // from the system, into the program's directory
        QTest::addColumn<QString>("output"); // below the row's directory; usr/bin places the data
        QTest::addColumn<bool>("bytecode"); // the check box
        QTest::addColumn<QStringList>("box"); // patterns the box's text holds ("!": does not)
        const QString done =
            "^information: Выполнено! / Команда сборки завершена\\.\n\nИсполняемый файл: .*/my tool \\$x$";
        const QString dist = "/usr/lib/python3/dist-packages/";
        const QString depends = "^Depends: libc6 \\(>= [^)]+\\), lib" + QRegularExpression::escape(systemRuntime())
                                + " \\(>= [^)]+\\)";
        // The warnings' heading only with warnings under it.
        const QStringList compiled{done, depends + '$', "!байт-код", "!Предупреждения"};

        QTest::newRow("one file") << "=== my-tool.py\nimport sys\nprint('привет', 7/2, sys.argv[1:], __name__)\n"
                                  << QStringList() << "bin" << false << compiled;
        QTest::newRow("sibling module") << withStorage << QStringList() << "bin" << false << compiled;
        QTest::newRow("package, relative and nested imports, same last names")
            << "=== main.py\nimport pkg.sub.deep, a.util, b.util\nfrom pkg import helper\n"
               "print(pkg.sub.deep.value, helper.X, a.util.who(), b.util.who(), pkg.sub.deep.__name__)\n"
               "=== pkg/__init__.py\nfrom . import helper\n=== pkg/helper.py\nX = 'helper'\n"
               "=== pkg/sub/__init__.py\n=== pkg/sub/deep.py\nfrom ..helper import X\nfrom .. import helper\n"
               "value = X + '/deep', helper.__name__\n"
               "=== a/__init__.py\n=== a/util.py\ndef who():\n    return 'a', __name__\n"
               "=== b/__init__.py\n=== b/util.py\ndef who():\n    return 'b', __name__\n"
            << QStringList() << "bin" << false << compiled;
        QTest::newRow("module guarded by __name__")
            << "=== main.py\nimport helper\nprint('main', __name__, helper.__name__)\n"
               "=== helper.py\nprint('helper', __name__)\nif __name__ == '__main__':\n    print('wrong')\n"
            << QStringList() << "bin" << false << compiled;
        QTest::newRow("data read through __file__")
            << "=== main.py\nimport pathlib, json, storage\n"
               "here = pathlib.Path(__file__).parent\nprint(json.loads((here / 'default_config.json').read_text()))\n"
               "print((here / 'sub' / 'заметка.txt').read_text(), storage.save(['b', 'a']))\n"
               "import pkgutil\nprint(pkgutil.get_data('storage', 'default_config.json'))\n"
               "=== default_config.json\n{\"цвет\": \"синий\"}\n=== sub/заметка.txt\nтекст\n=== .hidden/x.txt\nx\n"
                   + storage
            << QStringList() << "work/usr/bin" << false
            << QStringList{done, "^Файлы данных \\(2\\) скопированы в .*/work/usr/share/my tool \\$x; "};
        QTest::newRow("guarded import of a missing module")
            << "=== main.py\ntry:\n    import nosuch_module\nexcept ImportError:\n    nosuch_module = None\n"
               "print(nosuch_module)\n"
            << QStringList() << "bin" << false
            << QStringList{
                   done,
                   "\n\nПредупреждения при сборке:\nНе найден модуль nosuch_module: main\\.py, строка 2 \\(импорт в try … except "
                   "ImportError\\)$"};
        QTest::newRow("import yaml, guarded six")
            << "=== main.py\nimport yaml\ntry:\n    import six\nexcept ImportError:\n    six = None\n"
               "print(yaml.safe_load('a: [1, {b: ё}]'))\n"
            << QStringList() << "bin" << false
            << QStringList{done, depends + ", python3-yaml$", "^Recommends: python3-six$"};
        QTest::newRow("generics and annotations, compiled")
            << "=== main.py\nimport typing as t\ndef f(x: t.IO[bytes], n: int) -> list[int]:\n    return [n]\n"
               "print(f(None, 2.5), t.get_type_hints(f), dict[str, int], tuple[int, ...])\n"
            << QStringList() << "bin" << false << compiled;
        QTest::newRow("what the translator cannot do, as bytecode")
            << "=== main.py\nimport dataclasses, shapes, matching\n@dataclasses.dataclass\nclass P:\n    x: int\n"
               "    y: list = dataclasses.field(default_factory=list)\nprint(P(1), shapes.area(shapes.Sq(2)))\n"
               "=== shapes.py\nfrom __future__ import annotations\nclass Sq:\n    def __init__(self, s: int):\n"
               "        self.s = s\ndef area(q: Sq) -> int:\n    return q.s ** 2\n"
               "=== matching.py\nn = 3\nmatch n:\n    case 3:\n        print('three')\n"
            << QStringList() << "bin" << false
            << QStringList{done, "^В байт-коде Python, без перевода в C: __main__ — аннотация поля класса x "
                                 "\\(строка 4\\), .*; shapes — from __future__ import annotations \\(строка 1\\); "
                                 "matching — matching\\.py:2:\\d+: Syntax error"};
        QTest::newRow("call stack read: the whole program as bytecode")
            << "=== main.py\nimport helper\nprint(helper.caller())\n"
               "=== helper.py\nimport sys\ndef caller():\n    return sys._getframe(1).f_code.co_name\n"
            << QStringList() << "bin" << false
            << QStringList{done, "^Вся программа в байт-коде Python: helper\\.py: sys\\._getframe \\(строка 3\\)"};
        QTest::newRow("whole program as bytecode, chosen")
            << withStorage << QStringList() << "bin" << true
            << QStringList{done, "^Вся программа в байт-коде Python: так выбрано"};
        // toml's translation has warnings of its own.
        QTest::newRow("real library, compiled: toml")
            << "=== main.py\nimport toml\nd = toml.loads('t = \"Заметки\"\\n[o]\\nn = [1, 2]\\nok = true\\n')\n"
               "print(d, toml.dumps(d))\n"
            << QStringList{dist + "toml"} << "bin" << false << QStringList(compiled.mid(0, 3));
        QTest::newRow("real libraries as bytecode: yaml and six")
            << "=== main.py\nimport yaml, six\nprint(yaml.safe_load('a: [1, {b: ё}]'), six.PY3)\n"
            << QStringList{dist + "yaml", dist + "six.py"} << "bin" << false
            << QStringList{done, "^Вся программа в байт-коде Python: six\\.py: sys\\._getframe", "!python3-yaml"};
        QTest::newRow("extension module below the script")
            << "=== main.py\nimport _cffi_backend\nprint(_cffi_backend.__name__)\n"
            << QStringList{extensionModule(dist + "_cffi_backend")} << "work/usr/bin" << false
            << QStringList{done, "^Модули расширений программа загружает из каталога данных: _cffi_backend\\.cpython"};
        // Callbacks called by keyword, as command-line libraries call them, and what they tell about themselves.
        QTest::newRow("keyword calls")
            << "=== main.py\nimport sys\nCOMMANDS = {}\ndef command(function):\n"
               "    COMMANDS[function.__name__] = function\n    return function\n@command\ndef greet(name):\n"
               "    return 'hello ' + name\n@command\ndef version():\n    return '1.0'\nclass Tool:\n"
               "    def run(self, x):\n        return x\n    @staticmethod\n    def single(y):\n        return y\n"
               "print(COMMANDS['greet'](**{'name': sys.argv[1]}), COMMANDS['version'](**{}), Tool().run(x=4), "
               "Tool.single(y=5))\n"
            << QStringList() << "bin" << false << compiled;
        QTest::newRow("signatures")
            << "=== main.py\nimport functools, inspect\ndef traced(function):\n    @functools.wraps(function)\n"
               "    def wrapper(*args, **kwargs):\n        return function(*args, **kwargs)\n    return wrapper\n"
               "@traced\ndef one(x=1, *rest, key=None, **more):\n    return x\ndef two(a, b=2, *, c=3):\n    return a\n"
               "for f in (one, one.__wrapped__, two, functools.partial(two, 1)):\n"
               "    print(inspect.signature(f), getattr(f, '__defaults__', 0), getattr(f, '__kwdefaults__', 0))\n"
            << QStringList() << "bin" << false << compiled;
        // Every start method, a process pool and the resource tracker; the processes that ran the main module's code
        // are counted. A child that ran the guarded block again exits at once: a failed row, never a fork bomb.
        QTest::newRow("processes")
            << "=== main.py\nimport concurrent.futures, multiprocessing as mp, os, subprocess, sys\n"
               "from multiprocessing import resource_tracker, shared_memory\n"
               "with open('processes.log', 'a') as log:\n    log.write(__name__ + '\\n')\ndef work(x):\n"
               "    return x * x, __name__\nif __name__ == '__main__':\n    if os.environ.get('BEXLOR_MP_GUARD'):\n"
               "        sys.exit(99)\n    if sys.argv[1:2] == ['relay']:\n"
               "        sys.exit(subprocess.run([sys.executable] + sys.argv[2:], pass_fds=[3]).returncode)\n"
               "    os.environ['BEXLOR_MP_GUARD'] = '1'\n    if sys.argv[1:] != ['ё', '$HOME']:\n"
               "        sys.exit('argv %s' % sys.argv[1:])\n    for method in ('fork', 'spawn', 'forkserver'):\n"
               "        open('processes.log', 'w').close()\n        pool = mp.get_context(method).Pool(2)\n"
               "        print(method, pool.map(work, range(3)))\n        pool.close(), pool.join()\n"
               "        print(sorted(open('processes.log').read().split()))\n"
               "    with concurrent.futures.ProcessPoolExecutor(1, mp_context=mp.get_context('spawn')) as pool:\n"
               "        print(list(pool.map(work, range(2))))\n"
               "    memory = shared_memory.SharedMemory(create=True, size=8)\n    memory.close()\n"
               "    resource_tracker._resource_tracker._stop()\n"
               "    print('leak cleaned', not os.path.exists('/dev/shm/' + memory.name))\n"
            << QStringList() << "bin" << false << compiled;
        // Whole packages: plugins imported by computed names and listed by pkgutil, one of them refused by the
        // translator; resources read from the data directory; a local package that the standard library imports in
        // place of its own; modules added and left out by hand.
        const QString plugins =
            "=== app/__init__.py\n=== app/plugins/__init__.py\n=== app/plugins/sub/__init__.py\n"
            "=== app/plugins/alpha.py\ndef run():\n    match 1:\n        case 1:\n            return 'alpha'\n"
            "=== app/plugins/beta.py\nimport app.util\ndef run():\n    return app.util.X\n"
            "=== app/util.py\nX = 'util'\n";
        QTest::newRow("plugins by computed names")
            << "=== main.py\nimport importlib, pkgutil, app\nfrom app import plugins\n"
               "names = [info.name for info in pkgutil.iter_modules(plugins.__path__)]\n"
               "print(names, [info.name for info in pkgutil.walk_packages(app.__path__, 'app.')])\nfor name in names:\n"
               "    print(getattr(importlib.import_module(f'{plugins.__name__}.{name}'), 'run', list)())\n"
                   + plugins
            << QStringList() << "bin" << false
            << QStringList{done,
                           "^Модули пакетов app, app\\.plugins, которые программа не импортирует явно, но может "
                           "загрузить по имени: 4; ",
                           "^В байт-коде Python, без перевода в C: app\\.plugins\\.alpha"};
        QTest::newRow("package resources")
            << "=== main.py\nimport importlib.resources as resources, app\n"
               "print(resources.files(app).joinpath('data.txt').read_text(), "
               "resources.files('app.templates').joinpath('page.html').read_text())\n"
               "=== app/data.txt\nданные\n=== app/templates/page.html\n<p>\n"
                   + plugins
            << QStringList() << "work/usr/bin" << false << QStringList{done, "^Файлы данных \\(2\\) скопированы"};
        QTest::newRow("local package shadowing the standard library's")
            << "=== main.py\nimport email, http.client\n"
               "print(email.WHO, email.parser.WHO, http.client.HTTPMessage.__mro__[1].__module__)\n"
               "=== email/__init__.py\nWHO = 'local'\n=== email/parser.py\nWHO = 'local parser'\n"
               "=== email/message.py\nclass Message:\n    pass\n=== email/broken.py\nx = (\n"
            << QStringList() << "bin" << false
            << QStringList{done, "^Не взят в сборку модуль email\\.broken \\(.*/email/broken\\.py, строка 1: '\\(' "
                                 "was never closed\\): среда Python не может его скомпилировать\\.$"};
        QTest::newRow("include and exclude")
            << "=== main.py\nimport importlib\nprint(importlib.import_module('ext' + 'ra').X)\nif False:\n"
               "    import debugtools\n=== extra.py\nX = 'extra'\n=== debugtools.py\n"
            << QStringList() << "bin" << false
            << QStringList{done, "^Исключён из сборки модуль, который импортирует программа: debugtools: main\\.py, "
                                 "строка 4$"};
        QTest::newRow("syntax error in a module")
            << "=== main.py\nimport broken\n=== broken.py\nx = (\n"
            << QStringList() << "bin" << false
            << QStringList{"^critical: Ошибка / Ошибка при сборке файла \\.c:\n.*/broken\\.py, строка 1: '\\(' was "
                           "never closed$"};
        QTest::newRow("runtime not installed")
            << "=== main.py\n"
            << QStringList() << "bin" << false
            << QStringList{"^critical: Ошибка / Среды Python «python0» нет среди установленных: python3"};
        QTest::newRow("no cython3") << "=== main.py\nprint('no cython3')\n"
                                    << QStringList() << "bin" << false
                                    << QStringList{"^critical: Ошибка / Непредвиденная ошибка:\n.*cython3"};
        QTest::newRow("user's file at the working copy")
            << "=== my-tool.py\n=== my_tool.py\n# own\n"
            << QStringList() << "bin" << false << QStringList{"^critical: Ошибка / Файл .*/my_tool.py уже существует"};
    }

    void programs()
    {
        QFETCH(QString, files);
        QFETCH(QStringList, copies);
        QFETCH(QString, output);
        QFETCH(bool, bytecode);
        QFETCH(QStringList, box);
        const QString tag = QTest::currentDataTag(), base = root.path() + "/сборка " + tag;
        const QString project = base + "/проект $(touch pwned); `id` 'q'", binary = base + '/' + output + "/my tool $x";
        const QString script = writeProgram(project, files);
        for (const QString &copy : copies)
            QVERIFY(runProcess("cp", {"-r", copy, project}).succeeded());
        QFile::remove(extensionModule(project + "/yaml/_yaml")); // the copy is pure Python
        // What the runtime's own interpreter prints, in the program's directory; every run is bounded in time.
        const ProcessResult expected = runProcess("timeout", {"120", systemRuntime(), script, "ё", "$HOME"}, project);

        BexlorWindow window;
        FakeDialogs dialogs;
        if (tag == "runtime not installed")
            window.ui->comboBoxSource->addItem("python0"), window.ui->comboBoxSource->setCurrentText("python0");
        if (tag == "no cython3")
            setToolForTesting("cython3", QString());
        window.ui->lineEditProjectDir->setText(project);
        window.ui->lineEditPy->setText(script);
        QVERIFY(QDir().mkpath(base + '/' + output));
        window.ui->lineEditBinaryDir->setText(base + '/' + output);
        window.ui->lineEditBinary->setText("my tool $x");
        window.ui->checkBoxBytecode->setChecked(bytecode);
        if (tag == "include and exclude")
            window.ui->lineEditInclude->setText("extra"), window.ui->lineEditExclude->setText("debugtools, nosuch");
        window.build();
        const QString details = dialogs.shown.size() == 1 ? dialogs.last().details : QString();
        const QStringList shown = dialogs.take();
        QVERIFY2(shown.size() == 1, qPrintable(shown.join('\n')));
        for (const QString &pattern : box) {
            const bool absent = pattern.startsWith('!');
            QVERIFY2(shown.first().contains(QRegularExpression("(?m)" + pattern.mid(absent))) != absent,
                     qPrintable(pattern + "\n--- box:\n" + shown.first()));
        }
        QVERIFY2(!(shown.first() + details).contains("deprecated"), qPrintable(details));
        QVERIFY(!QFileInfo::exists(base + "/pwned"));
        const QStringList written = cAndObjects(project);
        if (!shown.first().startsWith("information")) {
            QVERIFY(!QFileInfo::exists(binary));
            return;
        }

        // Only the script's own C file stays beside the sources, when the script was translated.
        const QString cFile = QFileInfo(script).completeBaseName().replace('-', '_') + ".c";
        QCOMPARE(written, shown.first().contains("__main__ —") || shown.first().contains("Вся программа")
                              ? QStringList()
                              : QStringList{cFile});
        // Sources moved away, run from a directory whose files are named like a standard-library module and like
        // the program's own, with PYTHONPATH there, in the C locale: the executable prints what the interpreter
        // printed.
        QVERIFY(QDir().rename(project, base + "/moved away"));
        const QString elsewhere = base + "/elsewhere";
        for (const char *impostor : {"json.py", "sqlite3.py", "storage.py", "helper.py", "pkg/__init__.py"})
            writeFile(elsewhere + '/' + QString(impostor), "print('impostor')\nraise SystemExit(7)\n");
        const ProcessResult ran = runProcess("timeout", {"120", binary, "ё", "$HOME"}, elsewhere,
                                             {"PYTHONPATH=" + elsewhere, "LC_ALL=C"});
        QVERIFY2(expected.succeeded() && !expected.standardOutput.isEmpty(), qPrintable(expected.failureText()));
        QCOMPARE(ran.standardOutput, expected.standardOutput);
        QVERIFY2(ran.succeeded(), qPrintable(ran.failureText()));
        QVERIFY2(details.contains("sub/заметка.txt") == tag.startsWith("data") && !details.contains(".hidden"),
                 qPrintable(details));
        // multiprocessing's command lines, started from a shell or by the program itself ("relay") on descriptors that
        // are no pipe: they are the program's own arguments. It neither runs the code, nor unpickles what arrives on
        // the descriptor named, nor unlinks what it is told to track.
        const QString tracked = "/dev/shm/bexlor-tracked-" + QString::number(QCoreApplication::applicationPid());
        const QString spawn = " -I -c 'from multiprocessing.spawn import spawn_main; spawn_main(pipe_handle=%1)' "
                              "--multiprocessing-fork";
        const QStringList hostile{
            "\"$0\" -c 'print(1)'", "cat crafted.pickle | \"$0\"" + spawn.arg(3) + " 3<&0",
            "\"$0\" relay" + spawn.arg(0) + " < crafted.pickle", "\"$0\" relay" + spawn.arg(3) + " 3< crafted.pickle",
            "printf 'REGISTER:/%s:shared_memory\\n' " + tracked.mid(9)
                + " | \"$0\" -I -c 'from multiprocessing.resource_tracker import main;main(3)' 3<&0"};
        if (tag == "processes") {
            writeFile(elsewhere + "/crafted.pickle", "cos\nsystem\n(Vtouch pwned\ntR.");
            writeFile(tracked, "");
            for (const QString &command : hostile) {
                const ProcessResult run = runProcess("timeout", {"60", "sh", "-c", command, binary}, elsewhere);
                QVERIFY2(run.standardError.startsWith("argv ['") && run.exitCode == 1, qPrintable(command));
                QVERIFY(!QFileInfo::exists(elsewhere + "/pwned") && QFile::exists(tracked));
            }
            QVERIFY(QFile::remove(tracked));
        }
        // The package build reads what the executable needs from its note, which strip kept.
        QCOMPARE(notedDepends({binary}), tag.startsWith("import yaml") ? QStringList{"python3-yaml"} : QStringList());
    }

    // A cancel while the modules are built leaves no C file, object or executable, and no private directory.
    void cancelDuringModules()
    {
        QString files = "=== main.py\nimport m0, m1, m2, m3, m4, m5\n";
        for (int i = 0; i < 6; ++i)
            files += QStringLiteral("=== m%1.py\nclass C%1:\n    def f(self, x):\n        return [x * %1 for _ in "
                                    "range(3)]\nprint(C%1().f('отмена'))\n")
                         .arg(i);
        const QString script = writeProgram(root.path() + "/отмена/проект", files);
        QVERIFY(QDir().mkpath(root.path() + "/отмена/bin"));
        Job job;
        QFuture<Result> running = QtConcurrent::run([&] {
            const JobScope scope(&job);
            return buildExecutable(fields(script, root.path() + "/отмена/bin"));
        });
        QTRY_VERIFY_WITH_TIMEOUT(!cAndObjects(temporary).filter(".c").isEmpty() || running.isFinished(), 60000);
        job.cancel();
        QCOMPARE(running.result().message, cancelledText());
        QCOMPARE(cAndObjects(root.path() + "/отмена"), QStringList());
        QVERIFY(!QFileInfo::exists(root.path() + "/отмена/bin/tool"));
    }

    void cache_data()
    {
        QTest::addColumn<QString>("harm");
        for (const char *harm :
             {"changed source", "truncated", "random", "empty", "foreign", "link", "shared", "unused"})
            addRow(harm, harm);
    }

    // An unchanged module comes from the cache; a changed one never does, whatever its size and time. An entry
    // that is not whole, or not made for its key (the other version's entry copied whole), is removed, named and
    // built again; a cache directory others may write to is not used; one unused for a month goes.
    void cache()
    {
        QFETCH(QString, harm);
        const QString directory = root.path() + "/кэш " + harm, cache = home.path() + "/.cache/bexlor-builder";
        writeProgram(directory, "=== main.py\nimport word\nprint(word.w())\n");
        const auto build = [&](const QByteArray &word) {
            writeFile(directory + "/word.py", "def w():\n    return '" + word + "'\n");
            QFile file(directory + "/word.py");
            if (file.open(QIODevice::ReadWrite))
                file.setFileTime(QDateTime::fromSecsSinceEpoch(1000000000), QFileDevice::FileModificationTime);
            const Result built = buildExecutable(fields(directory + "/main.py", directory));
            if (built.failed() || runProcess(directory + "/tool", {}).standardOutput != word + '\n')
                return "wrong: " + built.message;
            return built.message;
        };
        // The object of a version of word.py: the entry that holds its text.
        const auto entryOf = [&](const QByteArray &word) {
            for (const QString &name : QDir(cache).entryList({"*.o"}, QDir::Files | QDir::System))
                if (readFile(cache + '/' + name).contains(word))
                    return cache + '/' + name;
            return QString();
        };
        QVERIFY(!build("Wombat").startsWith("wrong"));
        const QString foreign = entryOf("Wombat");
        const QByteArray foreignBytes = readFile(foreign);
        QVERIFY(!build("Quokka").startsWith("wrong"));
        const QString entry = entryOf("Quokka");
        QVERIFY(!foreign.isEmpty() && !entry.isEmpty() && entry != foreign);
        const int entries = QDir(cache).entryList(QDir::Files).size();

        QFile file(entry);
        QString warning = "Запись кэша сборки " + entry + " повреждена или сделана для другого модуля";
        if (harm == "truncated" || harm == "empty")
            QVERIFY(file.resize(harm == "empty" ? 0 : file.size() / 2));
        else if (harm == "random")
            writeFile(entry, QByteArray::number(QRandomGenerator::global()->generate64()).repeated(1000));
        else if (harm == "foreign")
            writeFile(entry, foreignBytes);
        else if (harm == "link")
            QVERIFY(file.remove() && QFile::link(foreign, entry));
        else if (harm == "shared")
            QVERIFY(QFile::setPermissions(cache, QFileDevice::Permissions(0x7777)));
        QFile old(foreign);
        if (harm == "unused")
            QVERIFY(old.open(QIODevice::ReadWrite)
                    && old.setFileTime(QDateTime::currentDateTime().addDays(-cacheKeepDays - 1),
                                       QFileDevice::FileModificationTime));
        old.close();
        if (harm == "shared")
            warning = "Кэш сборки " + cache + " не используется";
        const QString message = build("Quokka");
        QVERIFY2(!message.startsWith("wrong"), qPrintable(message));
        QCOMPARE(message.contains(warning), harm != "changed source" && harm != "unused");
        QVERIFY(QFileInfo(entry).isFile() && !QFileInfo(entry).isSymLink());
        QCOMPARE(readFile(foreign), harm == "unused" ? QByteArray() : foreignBytes);
        QCOMPARE(QDir(cache).entryList(QDir::Files).size(), entries - (harm == "unused"));
        QVERIFY(QFile::setPermissions(cache, QFileDevice::Permissions(0x7700)));
    }

    // Built for arm64 (amd64 on arm64) after the same program for this machine, with the cache that build filled, the
    // program runs under qemu and prints what the interpreter prints; its Depends are that architecture's libraries'.
    void anotherArchitecture()
    {
        BuildTarget host, target;
        QVERIFY(buildTarget(QString(), &host).success);
        QVERIFY(buildTarget(host.architecture == "arm64" ? "amd64" : "arm64", &target).success);
        const QString qemu = "qemu-" + target.gnuType.section('-', 0, 0) + "-static";
        if (toolPath(target.compiler()).isEmpty() || toolPath(qemu).isEmpty()
            || !installedRuntimes(target.triplet).contains(systemRuntime()))
            QSKIP(qPrintable(QString("%1, %2 or lib%3-dev:%4 is not installed (scripts/build-and-test installs them)")
                                 .arg(target.compiler(), qemu, systemRuntime(), target.architecture)));
        const QString directory = root.path() + "/arm64";
        const QString script = writeProgram(
            directory, "=== main.py\nimport sys, storage\nfrom pick import pick\n"
                       "print(storage.save(sys.argv[1:]), pick(last=2, first=1))\n"
                           + storage + "=== pick.py\ndef pick(first, *, last=0):\n    return first, last, __name__\n");
        ExecutableBuild build = fields(script, directory);
        QVERIFY(buildExecutable(build).success);
        build.architecture = target.architecture;
        const Result built = buildExecutable(build);
        QVERIFY2(built.message.contains(QRegularExpression("\nDepends: libc6 \\(>= [^)]+\\), lib"
                                                           + QRegularExpression::escape(systemRuntime()) + " \\(")),
                 qPrintable(built.message));
        const ProcessResult expected = runProcess("timeout", {"120", systemRuntime(), script, "ё", "w"}, directory);
        // Run with its sources moved away, from another directory.
        QVERIFY(QDir().rename(directory, directory + " moved"));
        const ProcessResult ran = runProcess("timeout", {"300", qemu, "-L", "/", directory + " moved/tool", "ё", "w"},
                                             root.path());
        QVERIFY2(ran.succeeded() && expected.succeeded(), qPrintable(ran.failureText() + expected.failureText()));
        QCOMPARE(ran.standardOutput, expected.standardOutput);
    }

    // The data files are the regular files that are neither code nor hidden, cached or another tree; they are copied
    // with their modes, never through a link.
    void dataFilesAndLinks()
    {
        const QString project = root.path() + "/данные", work = root.path() + "/данные work",
                      outside = root.path() + "/вне";
        writeProgram(project,
                     "=== main.py\n=== a.json\n{}\n=== sub/run.sh\n#!/bin/sh\n=== sub/x.pyc\n=== .git/config\n"
                     "=== __pycache__/m.txt\n=== mod.c\n=== env/pyvenv.cfg\n=== env/x.txt\n=== pkg/DEBIAN/control\n"
                     "=== pkg/usr/x.txt\n=== b c.txt\n");
        QVERIFY(QFile::setPermissions(project + "/sub/run.sh", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(QProcess::execute("mkfifo", {project + "/sub/pipe"}), 0); // its copy would block
        // A name that is not UTF-8 (Latin-1 "café") is found, and named as not copied.
        QVERIFY(::close(::creat(QFile::encodeName(project + "/caf").append('\xe9').constData(), 0644)) == 0);
        QList<QByteArray> files = dataFiles(project, {});
        std::sort(files.begin(), files.end());
        QCOMPARE(files, (QList<QByteArray>{"a.json", "b c.txt", "caf\xe9", "sub/run.sh"}));
        QVERIFY(QDir().mkpath(work + "/usr/bin") && QDir().mkpath(outside));
        QVERIFY(QFile::link(outside, work + "/usr/share"));
        const Result linked = copyDataFiles(project, &files, work + "/usr/bin/tool");
        QVERIFY2(linked.failed() && linked.message.startsWith(work + "/usr/share - символическая ссылка"),
                 qPrintable(linked.message));
        QCOMPARE(entries(outside), QStringList());
        QVERIFY(QFile::remove(work + "/usr/share"));
        const Result copied = copyDataFiles(project, &files, work + "/usr/bin/tool");
        QVERIFY2(copied.success && files.size() == 3 && copied.warnings.size() == 1
                     && copied.warnings[0].startsWith("Файл данных caf")
                     && copied.warnings[0].endsWith("не скопирован: его имя не в UTF-8"),
                 qPrintable(copied.warnings.join('\n')));
        QCOMPARE(QFileInfo(work + "/usr/share/tool/sub/run.sh").permissions() & 0x7077,
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(readFile(work + "/usr/share/tool/a.json"), QByteArray("{}\n"));
    }

    void rules_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        addRow("data, usr/bin", "data", "/w/usr/bin/zametki", "/w/usr/share/zametki");
        addRow("data, usr/games", "data", "/usr/games/игра", "/usr/share/games/игра");
        addRow("data, .local/bin", "data", "/home/u/.local/bin/x", "/home/u/.local/share/x");
        addRow("data, elsewhere", "data", "/opt/tool/bin dir/x", "/opt/tool/share/x");
        addRow("data, top", "data", "/x", "/share/x");
        // One C name for each dotted name: a.util, a_util and a__util do not meet.
        addRow("c names", "c names", "a.util a_util a__util __main__ модуль",
               "p_a_2eutil p_a_5futil p_a_5f_5futil p__5f_5fmain_5f_5f p__d0_bc_d0_be_d0_b4_d1_83_d0_bb_d1_8c");
        addRow("owners", "owners",
               "python3-yaml: /y\nlibpython3.11-stdlib:amd64: /j\ndiversion by x from: /d\n"
               "diversion by x to: /e\nlocal diversion from: /f\na, b:i386: /s",
               "/j=libpython3.11-stdlib /s=a,b /y=python3-yaml");
        addRow("relations", "relations", "a (>= 1), b | c:any, d [amd64],, a", "a b c d");
        // A damaged note (a description size that wraps the offset round) ends the reading.
        addRow("note, damaged sizes", "note", "00000000f4ffffff01000000", "[]");
        // A 32-bit file, as a program built for i386 or armhf is.
        addRow("note, 32-bit", "note", "32 0700000010000000010000004265786c6f720000446570656e64733a20612c20620a0000",
               "[a b]");
        addRow("dependencies", "dependencies", "yaml /y|six /s ?|json /j|local /usr/local/x.py|six /s ?|ab /a ?|ab2 /a",
               "Depends: libpython3.11, pa, python3-yaml|Recommends: python3-six|/usr/local/x.py");
        // The binary name and the C file offered for a script.
        addRow("names, dash", "names", "/home/u/proj/my-tool.py", "my-tool|/home/u/proj/my_tool.c");
        addRow("names, several dashes", "names", "/my-dir/a-b-c.py", "a-b-c|/my-dir/a_b_c.c");
        addRow("names, pyw keeps a point", "names", "/p/prog.pyw", "prog.|/p/prog.pc");
        addRow("names, four characters", "names", "b.py", "b|b.c");
        addRow("names, three characters", "names", "a.p", "|ac");
        addRow("names, none", "names", "", "|c");
        // Runtimes: the entries beginning with "python", case-sensitive; a missing directory gives none.
        // Configuration programs of another architecture: the system's python3 first, then the newest.
        addRow("runtimes", "runtimes", "python3.9 python3.13 python3.11 python3:python3.11 python3.11m",
               "python3.11 python3.13 python3.9");
        addRow("runtimes, none", "runtimes", "python3 python-3.12", "");
        addRow("cache keys", "keys", "ab c|a bc|ab c", "2 distinct");
        addRow("runtime, none installed", "runtime", "", "Не найдено ни одной среды Python");
        addRow("runtime, another architecture without its compiler", "runtime", "riscv64 python3.11",
               "Для сборки под riscv64 нужен компилятор riscv64-linux-gnu-gcc");
        addRow("runtime flags", "runtime flags",
               "-I/usr/include/python3.13 -I/usr/include/python3.13 -fplugin=/tmp/x.so|-L/usr/lib/riscv64-linux-gnu "
               "-Wl,--wrap=main -lpython3.13 -ldl  -lm",
               "-I/usr/include/python3.13 -L/usr/lib/riscv64-linux-gnu -lpython3.13 -ldl -lm");
        addRow("runtime flags, no library", "runtime flags", "-I/usr/include/python3.13|-ldl",
               "riscv64-linux-gnu-python3.13-config не назвал каталог заголовков или библиотеку python3.13");
        addRow("scan, not JSON", "scan", "Traceback", "Не удалось прочитать список импортов программы");
    }

    void rules()
    {
        QFETCH(QString, rule);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QString got;
        if (rule == "data") {
            got = dataDirectoryFor(input);
        } else if (rule == "c names") {
            for (const QString &name : input.split(' '))
                got += (got.isEmpty() ? "" : " ") + cName("p_", name);
        } else if (rule == "owners") {
            const QMap<QString, QStringList> owners = fileOwners(input);
            for (auto it = owners.begin(); it != owners.end(); ++it)
                got += (got.isEmpty() ? "" : " ") + it.key() + '=' + it.value().join(',');
        } else if (rule == "note") {
            const QString elf = root.path() + "/note", base = input.startsWith("32 ") ? elf + ".o" : "/bin/true";
            writeFile(elf + ".bin", QByteArray::fromHex(input.section(' ', -1).toLatin1()));
            QVERIFY(base == "/bin/true" || runProcess("as", {"--32", "-o", base, "/dev/null"}).succeeded());
            QVERIFY(runProcess("objcopy", {"--add-section", ".note.x=" + elf + ".bin", base, elf}).succeeded());
            got = '[' + notedDepends({elf}).join(' ') + ']';
        } else if (rule == "relations") {
            got = relationNames(input).join(' ');
        } else if (rule == "dependencies") {
            QList<OutsideImport> imports;
            for (const QString &import : input.split('|'))
                imports << OutsideImport{import.section(' ', 0, 0), import.section(' ', 1, 1), import.endsWith('?')};
            const QMap<QString, QStringList> owners{
                {"/y", {"python3-yaml"}}, {"/s", {"python3-six"}}, {"/j", {"libpython3.11-stdlib"}}, {"/a", {"pa"}}};
            PythonDependencies sorted = sortDependencies(imports, owners, {"libpython3.11-stdlib", "libpython3.11"});
            sorted.runtimePackage = "libpython3.11";
            got =
                (controlLines(sorted) + QStringList{sorted.warnings.join(';').section(' ', 4, 4).chopped(1)}).join('|');
        } else if (rule == "names") {
            QCOMPARE(binaryNameFor(input) + '|' + scriptNames(input).cFile, expected);
            return;
        } else if (rule == "runtimes") {
            QTemporaryDir bin;
            writeFile(bin.path() + "/dpkg-architecture",
                      "#!/bin/sh\nfor v in MULTIARCH GNU_TYPE; do echo DEB_HOST_$v=loongarch64-linux-gnu; done\n");
            QVERIFY(QFile::setPermissions(bin.path() + "/dpkg-architecture", QFileDevice::Permissions(0x7555)));
            setToolForTesting("dpkg-architecture", bin.path() + "/dpkg-architecture");
            for (const QString &entry : input.split(' ')) {
                const QString config = bin.path() + "/loongarch64-linux-gnu-" + entry.section(':', 0, 0) + "-config";
                if (entry.contains(':'))
                    QFile::link("loongarch64-linux-gnu-" + entry.section(':', 1) + "-config", config);
                setToolForTesting(QFileInfo(config).fileName(), config);
            }
            BuildTarget target;
            QVERIFY(buildTarget("arm64", &target).success && target.cross);
            got = installedRuntimes(target.triplet).join(' ');
            clearToolsForTesting();
            QCOMPARE(got, expected);
            return;
        } else if (rule == "keys") {
            QSet<QString> keys;
            for (const QString &parts : input.split('|'))
                keys << cacheKey({parts.section(' ', 0, 0).toUtf8(), parts.section(' ', 1, 1).toUtf8()});
            got = QString::number(keys.size()) + " distinct";
        } else if (rule == "runtime") {
            const bool cross = input.startsWith("riscv64");
            got = checkRuntime(input.section(' ', -1), cross ? QStringList{"python3.11"} : QStringList(),
                               {input.section(' ', 0, 0), "riscv64-linux-gnu", "riscv64-linux-gnu", cross})
                      .message;
        } else if (rule == "runtime flags") {
            // What the configuration program says beyond directories and libraries is not taken.
            const QString config = root.path() + "/riscv64-linux-gnu-python3.13-config";
            writeFile(config, ("#!/bin/sh\ncase $1 in --includes) echo '" + input.section('|', 0, 0) + "';; *) echo '"
                               + input.section('|', 1) + "';; esac\n")
                                  .toUtf8());
            QVERIFY(QFile::setPermissions(config, QFileDevice::Permissions(0x7555)));
            setToolForTesting(QFileInfo(config).fileName(), config);
            RuntimeFlags flags;
            const Result asked = runtimeFlags({"riscv64", "riscv64-linux-gnu", "riscv64-linux-gnu", true}, "python3.13",
                                              &flags);
            got = asked.success ? (flags.compile + flags.link).join(' ') : asked.message;
        } else if (rule == "scan") {
            ProgramScan scan;
            got = parseScan(input.toUtf8(), &scan).message;
        }
        QVERIFY2(got.startsWith(expected), qPrintable(got));
    }
};

QTEST_MAIN(ExeBuildTest)
#include "tst_exebuild.moc"
