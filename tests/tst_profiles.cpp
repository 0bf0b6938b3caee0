// Project profiles: save, load and delete through the main window.
#include "app/bexlorwindow.h"
#include "app/settings.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QSettings>
#include <QtTest>

namespace {

struct Fields
{
    QString projectDir, py, outputC, binaryDir, binary, projectDirDeb, debDir;
    int source;
};

void fill(BexlorWindow &window, const Fields &f)
{
    window.ui->lineEditProjectDir->setText(f.projectDir);
    window.ui->lineEditPy->setText(f.py);
    window.ui->labelOutputC->setText(f.outputC);
    window.ui->lineEditBinaryDir->setText(f.binaryDir);
    window.ui->lineEditBinary->setText(f.binary);
    window.ui->comboBoxSource->setCurrentIndex(f.source);
    window.ui->lineEditProjectDir_2->setText(f.projectDirDeb);
    window.ui->lineEditDebDir->setText(f.debDir);
}

Fields read(BexlorWindow &window)
{
    return {window.ui->lineEditProjectDir->text(), window.ui->lineEditPy->text(),
            window.ui->labelOutputC->text(),       window.ui->lineEditBinaryDir->text(),
            window.ui->lineEditBinary->text(),     window.ui->lineEditProjectDir_2->text(),
            window.ui->lineEditDebDir->text(),     window.ui->comboBoxSource->currentIndex()};
}

const QStringList runtimes = {"python3.9", "python3.10", "python3.11"};

} // namespace

class ProfilesTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;

    QString iniPath() const { return home.path() + QStringLiteral("/.config/bexlor-builder.ini"); }

    // A window with a known runtime list, independent of this machine's.
    std::unique_ptr<BexlorWindow> window()
    {
        auto w = std::make_unique<BexlorWindow>();
        w->ui->comboBoxSource->clear();
        w->ui->comboBoxSource->addItems(runtimes);
        return w;
    }

    QStringList listed(BexlorWindow &w)
    {
        QStringList names;
        for (int i = 0; i < w.ui->comboBoxProjects->count(); ++i)
            names << w.ui->comboBoxProjects->itemText(i);
        return names;
    }

private slots:
    void init() { settings().clear(); settings().sync(); }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("latin") << "my-tool" << "/home/u/proj";
        QTest::newRow("cyrillic") << "мой-инструмент" << "/home/пользователь/проект";
        QTest::newRow("blanks") << " tool with blanks " << "/home/u/my project/ ";
        QTest::newRow("ini syntax") << "a=b;c#d[e]%f" << "x=y;z#w[v]%u\"q\"'";
        QTest::newRow("list and variant look") << "@Variant(x), y" << "a, b, @c";
        QTest::newRow("shell characters") << "$(rm -rf ~)" << "`id` $HOME *";
        QTest::newRow("general") << "General" << "value";
    }

    void roundTrip()
    {
        QFETCH(QString, name);
        QFETCH(QString, value);
        const Fields saved{value + "1", value + "2", value + "3", value + "4", name, value + "6", value + "7", 2};
        {
            auto w = window();
            FakeDialogs dialogs;
            fill(*w, saved);
            w->saveProject();
            QCOMPARE(dialogs.take(), QStringList{"information: Выполнено! / Настройки сохранены"});
            QCOMPARE(listed(*w), QStringList{name});
        }
        settings().sync();

        // What is on disk reads back through a separate store as the same profile.
        QSettings disk(iniPath(), QSettings::IniFormat);
        disk.setIniCodec("UTF-8");
        QCOMPARE(disk.childGroups(), QStringList{name});
        disk.beginGroup(name);
        QCOMPARE(disk.childKeys().size(), 8);
        QCOMPARE(disk.value("Binary").toString(), name);
        QCOMPARE(disk.value("ProjectDirDeb").toString(), value + "6");
        QCOMPARE(disk.value("Source").toInt(), 2);

        auto w = window();
        QCOMPARE(w->ui->comboBoxProjects->currentText(), name);
        w->loadProject();
        const Fields loaded = read(*w);
        QCOMPARE(loaded.projectDir, saved.projectDir);
        QCOMPARE(loaded.py, saved.py);
        QCOMPARE(loaded.outputC, saved.outputC);
        QCOMPARE(loaded.binaryDir, saved.binaryDir);
        QCOMPARE(loaded.binary, saved.binary);
        QCOMPARE(loaded.projectDirDeb, saved.projectDirDeb);
        QCOMPARE(loaded.debDir, saved.debDir);
        QCOMPARE(loaded.source, 2);
    }

    void refusedNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << "" << "Необходимо ввести имя бинарного файла";
        QTest::newRow("slash") << "a/b" << "Имя настроек не может содержать символы «/» и «\\»: a/b";
        QTest::newRow("backslash") << "a\\b" << "Имя настроек не может содержать символы «/» и «\\»: a\\b";
    }

    void refusedNames()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        auto w = window();
        FakeDialogs dialogs;
        fill(*w, {"p", "s", "c", "b", name, "w", "d", 0});
        w->saveProject();
        QCOMPARE(dialogs.take(), QStringList{"critical: Ошибка / " + message});
        settings().sync();
        QCOMPARE(readFile(iniPath()), QByteArray());
        QCOMPARE(listed(*w), QStringList());
    }

    void overwriteByName()
    {
        auto w = window();
        FakeDialogs dialogs;
        fill(*w, {"p1", "s1", "c1", "b1", "tool", "w1", "d1", 0});
        w->saveProject();
        fill(*w, {"p2", "s2", "c2", "b2", "other", "w2", "d2", 1});
        w->saveProject();
        fill(*w, {"p3", "s3", "c3", "b3", "tool", "w3", "d3", 2});
        w->saveProject();
        QStringList names = listed(*w);
        names.sort();
        QCOMPARE(names, (QStringList{"other", "tool"}));
        // After a save the first listed name is current, not necessarily the one saved.
        QCOMPARE(w->ui->comboBoxProjects->currentIndex(), 0);

        w->ui->comboBoxProjects->setCurrentText("tool");
        w->loadProject();
        QCOMPARE(read(*w).projectDir, QStringLiteral("p3"));
        QCOMPARE(read(*w).source, 2);
    }

    void sourceIndexBeyondList()
    {
        auto w = window();
        FakeDialogs dialogs;
        fill(*w, {"p", "s", "c", "b", "tool", "w", "d", 2});
        w->saveProject();
        w->ui->comboBoxSource->clear();
        w->ui->comboBoxSource->addItem("python3.11");
        w->loadProject();
        QCOMPARE(w->ui->comboBoxSource->currentIndex(), -1);
        QCOMPARE(w->ui->comboBoxSource->currentText(), QString());
    }

    void loadWithoutProfiles()
    {
        auto w = window();
        fill(*w, {"p", "s", "c", "b", "tool", "w", "d", 2});
        w->loadProject();
        const Fields f = read(*w);
        for (const QString &text : {f.projectDir, f.py, f.outputC, f.binaryDir, f.binary, f.projectDirDeb, f.debDir})
            QCOMPARE(text, QString());
        QCOMPARE(f.source, 0);
    }

    void deleteProfile_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("yes") << true;
        QTest::newRow("no") << false;
    }

    void deleteProfile()
    {
        QFETCH(bool, answer);
        auto w = window();
        FakeDialogs dialogs;
        fill(*w, {"p", "s", "c", "b", "Ёлка", "w", "d", 0});
        w->saveProject();
        dialogs.take();
        dialogs.answers.enqueue(answer);
        w->deleteProject();
        QCOMPARE(dialogs.take(), QStringList{"question: Удаление настроек / Будут удалены настройки Ёлка.\nДействительно это сделать?"});
        settings().sync();
        const QStringList expected = answer ? QStringList() : QStringList{"Ёлка"};
        QCOMPARE(listed(*w), expected);
        QSettings disk(iniPath(), QSettings::IniFormat);
        disk.setIniCodec("UTF-8");
        QCOMPARE(disk.childGroups(), expected);
    }

    void deleteWithEmptyNameRemovesNothing()
    {
        auto w = window();
        FakeDialogs dialogs;
        fill(*w, {"p", "s", "c", "b", "tool", "w", "d", 0});
        w->saveProject();
        dialogs.take();
        w->ui->comboBoxProjects->clear();
        dialogs.answers.enqueue(true);
        w->deleteProject();
        const QStringList shown = dialogs.take();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown.at(0), QStringLiteral("question: Удаление настроек / Будут удалены настройки .\nДействительно это сделать?"));
        QVERIFY(shown.at(1).startsWith(QStringLiteral("critical: Ошибка / ")));
        QCOMPARE(settings().childGroups(), QStringList{"tool"});
    }
};

QTEST_MAIN(ProfilesTest)
#include "tst_profiles.moc"
