// Project profiles: save, load and delete through the main window.
#include "app/profilestore.h"
#include "app/settings.h"
#include "app/ui/bexlorwindow.h"
#include "common/paths.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>
#include <QtWidgets>

class ProfilesTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;

    // The nine text fields in the order of the profile keys.
    static QList<QWidget *> textFields(BexlorWindow &w)
    {
        return {w.ui->lineEditProjectDir, w.ui->lineEditPy,      w.ui->labelOutputC,
                w.ui->lineEditBinaryDir,  w.ui->lineEditBinary,  w.ui->lineEditProjectDir_2,
                w.ui->lineEditDebDir,     w.ui->lineEditInclude, w.ui->lineEditExclude};
    }

    static QStringList texts(BexlorWindow &w)
    {
        QStringList result;
        for (QWidget *field : textFields(w))
            result << field->property("text").toString();
        return result;
    }
    // Nine field values, the binary name fifth.
    static QStringList fields(const QString &tag, const QString &name)
    {
        return {"p" + tag, "s" + tag, "c" + tag, "b" + tag, name, "w" + tag, "d" + tag, "i" + tag, "e" + tag};
    }

    // A window with a known runtime list and the given field texts, saved as a profile; the fake dialogs
    // (installed while they live) answer its boxes. The check boxes: lint as given, bytecode the other way, and
    // optimisation for speed with bytecode.
    static std::unique_ptr<BexlorWindow> saved(const QStringList &values, int source, FakeDialogs &, bool lint = true,
                                               const QString &compression = "xz", int level = -1)
    {
        auto w = std::make_unique<BexlorWindow>();
        if (!lint) // another architecture, whose runtimes the list then shows
            w->ui->comboBoxArchitecture->addItem("riscv64"), w->ui->comboBoxArchitecture->setCurrentText("riscv64");
        w->ui->comboBoxSource->clear();
        w->ui->comboBoxSource->addItems({"python3.9", "python3.10", "python3.11"});
        for (int i = 0; i < values.size(); ++i)
            textFields(*w).at(i)->setProperty("text", values.at(i));
        w->ui->comboBoxSource->setCurrentIndex(source);
        w->ui->checkBoxLint->setChecked(lint);
        w->ui->checkBoxBytecode->setChecked(!lint);
        w->ui->comboBoxOptimise->setCurrentIndex(lint ? 0 : 1);
        w->ui->comboBoxCompression->setCurrentText(compression);
        w->ui->spinBoxLevel->setValue(level);
        w->ui->checkBoxRepo->setChecked(!lint);
        w->ui->lineEditRepoDir->setText(values.value(5) + "/репо");
        w->ui->lineEditSigningKey->setText(values.value(4) + " ключ");
        w->saveProject();
        return w;
    }

    // The groups as a new process reads them from the file: this process's store objects share one parsed copy.
    static QStringList storedGroups()
    {
        settings().sync();
        QProcess reader;
        reader.start(QCoreApplication::applicationFilePath(), {"--groups", settingsFilePath()});
        reader.waitForFinished();
        const QString out = QString::fromUtf8(reader.readAllStandardOutput());
        return out.isEmpty() ? QStringList() : out.split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void init() { settings().clear(); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("box"); // "information: …" when saved
        const QString saved = "information: Выполнено! / Настройки сохранены";
        addRow("cyrillic", "мой-инструмент", "/home/пользователь/проект", saved);
        addRow("blanks", " tool with blanks ", "/home/u/my project/ ", saved);
        addRow("ini syntax", "a=b;c#d[e]%f", "x=y;z#w[v]%u\"q\"'", saved);
        addRow("list and variant look", "@Variant(x), y", "a, b, @c $(rm -rf ~)", saved);
        addRow("general", "General", "value", saved);
        addRow("empty", "", "v", "critical: Ошибка / Необходимо ввести имя бинарного файла");
    }

    // Names the INI store cannot keep apart are refused by the store itself, nothing written.
    void refusedNames()
    {
        const QString general = "Имя настроек %1 файл настроек не отличает от General: выберите другое имя";
        const QString refused = "Имя настроек не может содержать символы «/» и «\\»: ";
        for (const QString &name : QStringList{"general", "GENERAL"})
            QCOMPARE(saveProfile(name, {}).message, general.arg(name));
        for (const QString &name : QStringList{"a/b", "a\\b", "/"})
            QCOMPARE(saveProfile(name, {}).message, refused + name);
        QCOMPARE(storedGroups(), QStringList());
    }

    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        QFETCH(QString, box);
        const QStringList values = {value + "1", value + "2", value + "3", value + "4", name,
                                    value + "6", value + "7", value + "8", value + "9"};
        FakeDialogs dialogs;
        saved(values, 2, dialogs);
        QCOMPARE(dialogs.take(), QStringList{box});
        const bool stored = box.startsWith("information");
        QCOMPARE(storedGroups(), stored ? QStringList{name} : QStringList());

        BexlorWindow fresh;
        fresh.ui->comboBoxSource->addItems({"python3.9", "python3.10"});
        QCOMPARE(fresh.ui->comboBoxProjects->count(), int(stored));
        if (stored) {
            fresh.loadProject();
            QCOMPARE(texts(fresh), values);
            QCOMPARE(fresh.ui->comboBoxSource->currentIndex(), 2);
        }
    }

    void overwriteLoadAndIndexBeyondList()
    {
        FakeDialogs dialogs;
        saved(fields("1", "tool"), 0, dialogs);
        saved(fields("2", "other"), 1, dialogs);
        auto w = saved(fields("3", "tool"), 2, dialogs, false, "zstd", 19);
        settings().sync();
        const QSettings file(settingsFilePath(), QSettings::IniFormat);
        QCOMPARE(file.value("tool/Lint").toString() + file.value("tool/Bytecode").toString()
                     + file.value("tool/Compression").toString() + file.value("tool/CompressionLevel").toString()
                     + file.value("tool/Optimise").toString() + file.value("tool/Architecture").toString()
                     + file.value("other/Architecture").toString(),
                 "falsetruezstd19speedriscv64");
        QCOMPARE(w->ui->comboBoxProjects->count(), 2);
        QCOMPARE(w->ui->comboBoxProjects->currentIndex(), 0);
        w->ui->comboBoxProjects->setCurrentText("tool");
        w->ui->comboBoxSource->clear();
        w->ui->comboBoxSource->addItem("python3.11");
        w->ui->comboBoxCompression->setCurrentText("gzip");
        w->loadProject();
        QCOMPARE(texts(*w), fields("3", "tool"));
        QCOMPARE(w->ui->comboBoxSource->currentIndex(), -1); // stored index 2 is beyond the list
        QVERIFY(!w->ui->checkBoxLint->isChecked() && w->ui->checkBoxBytecode->isChecked()
                && w->ui->comboBoxOptimise->currentIndex() == 1);
        QCOMPARE(w->ui->comboBoxCompression->currentText() + w->ui->spinBoxLevel->text(), "zstd19");
        QCOMPARE(w->ui->comboBoxArchitecture->currentText(), "riscv64");
        QVERIFY(w->ui->checkBoxRepo->isChecked());
        QCOMPARE(w->ui->lineEditRepoDir->text() + w->ui->lineEditSigningKey->text(), "w3/репоtool ключ");

        w->ui->comboBoxProjects->clear(); // no profile selected: everything is emptied
        w->loadProject();
        QCOMPARE(texts(*w).join(QString()), QString());
        QCOMPARE(w->ui->comboBoxSource->currentIndex() + w->ui->comboBoxArchitecture->currentIndex(), 0);
        // No Lint key: on, since lintian is installed; no Bytecode key: off; no Optimise key: size.
        QVERIFY(w->ui->checkBoxLint->isChecked() && !w->ui->checkBoxBytecode->isChecked()
                && w->ui->comboBoxOptimise->currentIndex() == 0);
        QCOMPARE(w->ui->comboBoxCompression->currentText() + w->ui->spinBoxLevel->text(), "xzпо умолчанию");
        QVERIFY(!w->ui->checkBoxRepo->isChecked()
                && (w->ui->lineEditRepoDir->text() + w->ui->lineEditSigningKey->text()).isEmpty());
    }

    void deleteProfile_data()
    {
        QTest::addColumn<QString>("selected");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("remaining");
        addRow("yes", "Ёлка", true, QStringList{"tool"});
        addRow("no", "Ёлка", false, QStringList{"tool", "Ёлка"});
        addRow("empty name, yes", "", true, QStringList{"tool", "Ёлка"});
    }

    void deleteProfile()
    {
        QFETCH(QString, selected);
        QFETCH(bool, answer);
        QFETCH(QStringList, remaining);
        FakeDialogs dialogs;
        saved(fields("", "tool"), 0, dialogs);
        auto w = saved(fields("", "Ёлка"), 0, dialogs);
        dialogs.take();
        w->ui->comboBoxProjects->setEditable(true);
        w->ui->comboBoxProjects->setCurrentText(selected);
        dialogs.answers.enqueue(answer);
        w->deleteProject();
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.first(),
                 "question: Удаление настроек / Будут удалены настройки " + selected + ".\nДействительно это сделать?");
        QCOMPARE(shown.size(), selected.isEmpty() ? 2 : 1); // an empty name is refused, never removed
        QStringList groups = storedGroups();
        groups.sort();
        QCOMPARE(groups, remaining);
    }
};

// With "--groups FILE" the executable only prints the groups of FILE, one a line, for storedGroups().
int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--groups") == 0) {
        QCoreApplication application(argc, argv);
        QSettings disk(QString::fromLocal8Bit(argv[2]), QSettings::IniFormat);
        disk.setIniCodec("UTF-8");
        for (const QString &group : disk.childGroups())
            std::printf("%s\n", qUtf8Printable(group));
        return 0;
    }
    QApplication application(argc, argv);
    ProfilesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_profiles.moc"
