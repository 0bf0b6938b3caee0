// The executable build through the real cython3 and gcc, in temporary
// directories whose names carry blanks, shell syntax and Cyrillic letters.
#include "app/bexlorwindow.h"
#include "common/buildresult.h"
#include "exebuild/exebuild.h"
#include "exebuild/scriptnames.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray program = "import sys\n"
                           "print(\"a\", \"b\", 7/2)\n"
                           "print(sys.argv[1:])\n";

QString run(const QString &executable, const QStringList &arguments)
{
    QProcess process;
    process.start(executable, arguments);
    process.waitForFinished(-1);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class ExeBuildTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir root;
    QString project; // a fresh project directory per test
    QString binDir;

    // Fills the first tab as the pickers would for project + "/" + scriptName.
    void fill(BexlorWindow &window, const QString &scriptName, const QString &binaryName)
    {
        const QString script = project + QLatin1Char('/') + scriptName;
        window.ui->lineEditProjectDir->setText(project);
        window.ui->lineEditPy->setText(script);
        window.ui->labelOutputC->setText(project + QLatin1Char('/')
                                         + scriptName.chopped(2).replace(QLatin1Char('-'), QLatin1Char('_'))
                                         + QLatin1Char('c'));
        window.ui->lineEditBinaryDir->setText(binDir);
        window.ui->lineEditBinary->setText(binaryName);
    }

    enum class Runtime { Installed, None };

    // Builds project/scriptName through the button and returns the text of
    // the one critical box that must follow.
    QString failedBuild(const QString &scriptName, Runtime runtime = Runtime::Installed)
    {
        BexlorWindow window;
        if (runtime == Runtime::None)
            window.ui->comboBoxSource->clear();
        fill(window, scriptName, binaryNameFor(scriptName));
        FakeDialogs dialogs;
        window.build();
        if (dialogs.shown.size() != 1 || dialogs.last().kind != QStringLiteral("critical")
            || dialogs.last().title != QStringLiteral("Ошибка"))
            return QStringLiteral("unexpected boxes: ") + dialogs.take().join(QLatin1Char('\n'));
        return dialogs.last().text;
    }

    QStringList projectFiles() const
    {
        QStringList files = QDir(project).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        files.sort();
        return files;
    }

private slots:
    void init()
    {
        static int count = 0;
        project = root.path() + QStringLiteral("/проект %1 $(touch pwned); `id` 'q'").arg(++count);
        binDir = project + QStringLiteral(" bin");
        QVERIFY(QDir().mkpath(project));
        QVERIFY(QDir().mkpath(binDir));
    }

    void buildsWorkingExecutable_data()
    {
        QTest::addColumn<QString>("scriptName");
        QTest::newRow("dash, working copy") << QStringLiteral("my-tool.py");
        QTest::newRow("no dash, script itself") << QStringLiteral("tool.py");
    }

    void buildsWorkingExecutable()
    {
        QFETCH(QString, scriptName);
        writeFile(project + QLatin1Char('/') + scriptName, program);
        BexlorWindow window;
        if (window.ui->comboBoxSource->count() == 0)
            QSKIP("no Python runtime headers installed");
        fill(window, scriptName, QStringLiteral("my tool $x"));
        FakeDialogs dialogs;
        window.build();

        const QStringList boxes = dialogs.take();
        QCOMPARE(boxes.size(), 1);
        QVERIFY2(boxes.first().startsWith(
                     QStringLiteral("information: Выполнено! / Команда сборки завершена.\n\nПредупреждения при сборке:")),
                 qPrintable(boxes.first()));
        const QString executable = binDir + QStringLiteral("/my tool $x");
        const QStringList arguments{QStringLiteral("$HOME; *"), QStringLiteral("ё")};
        const QString expected = run(QStringLiteral("python3"),
                                     QStringList{project + QLatin1Char('/') + scriptName} + arguments);
        QCOMPARE(expected.left(11), QStringLiteral("a b 3.5\n['$"));
        QCOMPARE(run(executable, arguments), expected);
        // Only the script and its C file remain: no working copy, nothing a shell made.
        const QString cFile = scriptName.chopped(2).replace(QLatin1Char('-'), QLatin1Char('_')) + QLatin1Char('c');
        QStringList expectedFiles{cFile, scriptName};
        expectedFiles.sort();
        QCOMPARE(projectFiles(), expectedFiles);
        QVERIFY(!QFileInfo::exists(QStringLiteral("pwned")));
    }

    void syntaxErrorStopsBeforeCompiler()
    {
        writeFile(project + QStringLiteral("/my-tool.py"), "x = (\n");
        const QString text = failedBuild(QStringLiteral("my-tool.py"));
        QVERIFY(text.startsWith(QStringLiteral("Ошибка при сборке файла .c:\n")));
        QVERIFY2(text.contains(QStringLiteral("my_tool.py:2:0")), qPrintable(text));
        QVERIFY(!QFileInfo::exists(binDir + QStringLiteral("/my-tool")));
        QVERIFY(!QFileInfo::exists(project + QStringLiteral("/my_tool.py")));
    }

    void emptyRuntimeGivesCompilerError()
    {
        writeFile(project + QStringLiteral("/tool.py"), program);
        const QString text = failedBuild(QStringLiteral("tool.py"), Runtime::None);
        const QString heading = QStringLiteral("Ошибка при сборке бинарного файла:\n");
        QVERIFY(text.startsWith(heading));
        QVERIFY(text.size() > heading.size());
        QVERIFY(!QFileInfo::exists(binDir + QStringLiteral("/tool")));
        QVERIFY(QFileInfo::exists(project + QStringLiteral("/tool.py")));
    }

    void userFileAtWorkingCopySurvives()
    {
        writeFile(project + QStringLiteral("/my-tool.py"), program);
        writeFile(project + QStringLiteral("/my_tool.py"), "# the user's own file\n");
        QVERIFY(failedBuild(QStringLiteral("my-tool.py")).contains(project + QStringLiteral("/my_tool.py")));
        QCOMPARE(readFile(project + QStringLiteral("/my_tool.py")), QByteArray("# the user's own file\n"));
        QCOMPARE(projectFiles(), (QStringList{QStringLiteral("my-tool.py"), QStringLiteral("my_tool.py")}));
    }

    void missingTranslatorIsReported()
    {
        writeFile(project + QStringLiteral("/my-tool.py"), program);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(binDir));
        const QString text = failedBuild(QStringLiteral("my-tool.py"));
        qputenv("PATH", path);
        QVERIFY2(text.startsWith(QStringLiteral("Непредвиденная ошибка:\n")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("cython3")));
        QCOMPARE(projectFiles(), QStringList{QStringLiteral("my-tool.py")});
    }

    void refusesIncompleteFields_data()
    {
        QTest::addColumn<QString>("projectDir");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("binaryName");
        QTest::addColumn<QString>("message");
        const QString choose = QStringLiteral("Необходимо выбрать каталог и файл .py");
        QTest::newRow("no project") << QString() << QStringLiteral("/x/my-tool.py") << QStringLiteral("t") << choose;
        QTest::newRow("no script") << QStringLiteral("/x") << QString() << QStringLiteral("t") << choose;
        QTest::newRow("script ends in /") << QStringLiteral("/x") << QStringLiteral("/x/") << QStringLiteral("t") << choose;
        QTest::newRow("no binary name") << QStringLiteral("/x") << QStringLiteral("/x/my-tool.py") << QString()
                                        << QStringLiteral("Необходимо ввести имя бинарного файла");
    }

    void refusesIncompleteFields()
    {
        QFETCH(QString, projectDir);
        QFETCH(QString, script);
        QFETCH(QString, binaryName);
        QFETCH(QString, message);
        const QString file = project + QStringLiteral("/my-tool.py");
        writeFile(file, program);
        ExecutableBuild fields;
        fields.projectDir = projectDir.isEmpty() ? projectDir : project;
        fields.script = script.isEmpty() ? script : project + script.mid(2);
        fields.binaryName = binaryName;
        fields.binaryDir = binDir;
        const BuildResult result = buildExecutable(fields);
        QVERIFY(!result.success);
        QCOMPARE(result.message, message);
        QCOMPARE(projectFiles(), QStringList{QStringLiteral("my-tool.py")});
    }
};

QTEST_MAIN(ExeBuildTest)
#include "tst_exebuild.moc"
