// The removal window, opened on the DEBIAN directory and on the shortcuts.
#include "app/bexlorwindow.h"
#include "package/removecontroltwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

class RemovalTest : public QObject
{
    Q_OBJECT

    const QString removeAll = QStringLiteral("УДАЛИТЬ ВСЕ ФАЙЛЫ");
    TemporaryHome m_home;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<BexlorWindow> m_main;

    QString path(const QString &below) const { return m_dir->path() + "/мой пакет $x;'q\"" + below; }

    removeControltWindow *shown() const { return qobject_cast<removeControltWindow *>(m_main->newWindow.data()); }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_main.reset(new BexlorWindow);
        m_main->ui->lineEditProjectDir_2->setText(path(""));
    }

    // Nothing is created; a missing directory lists nothing, an empty one only the pseudo-entry.
    void missingOrEmptyDebian()
    {
        FakeDialogs dialogs;
        m_main->removeControlFiles();
        shown()->delete_.deleteFiles->click();
        QCOMPARE(dialogs.take(), {"critical: Ошибка / Файлы для удаления не найдены!"});
        QVERIFY(shown()->delete_.comboBox->count() == 0 && !QFileInfo::exists(path("")));
        QVERIFY(QDir().mkpath(path("/DEBIAN")));
        m_main->removeControlFiles();
        QVERIFY(shown()->delete_.comboBox->count() == 1 && shown()->delete_.comboBox->currentText() == removeAll);
    }

    void deletion_data()
    {
        QTest::addColumn<bool>("shortcuts");
        QTest::addColumn<QString>("entry");
        QTest::newRow("blanks, quotes, Cyrillic") << false << QStringLiteral("мой файл $x;'q\"");
        QTest::newRow("link to a directory outside") << false << QStringLiteral("dirlink");
        QTest::newRow("sub-directory, refused") << false << QStringLiteral("sub");
        QTest::newRow("whole DEBIAN, a link") << false << removeAll;
        QTest::newRow("whole shortcuts directory") << true << removeAll;
    }

    // DEBIAN is a link to a directory beside the work directory; the shortcuts
    // directory is a real one holding a link. Deleting never reaches a target.
    void deletion()
    {
        QFETCH(bool, shortcuts);
        QFETCH(QString, entry);
        const QString meta = m_dir->path() + "/meta/", outside = m_dir->path() + "/outside";
        writeFile(outside + "/keep", "keep");
        writeFile(meta + "мой файл $x;'q\"", "x");
        writeFile(meta + "sub/inner", "x");
        QVERIFY(QFile::link(outside, meta + "dirlink"));
        writeFile(path("/usr/share/doc/readme"), "doc");
        writeFile(path("/usr/share/applications/sub/.hidden"), "h");
        QVERIFY(QFile::link(outside, path("/usr/share/applications/sub/dirlink")));
        QVERIFY(QFile::link(meta, path("/DEBIAN")));

        FakeDialogs dialogs;
        shortcuts ? m_main->removeShotcut() : m_main->removeControlFiles();
        removeControltWindow *window = shown();
        const QString label = window->delete_.labelWorkDir->text();
        QCOMPARE(label, path(shortcuts ? "/usr/share/applications/" : "/DEBIAN/"));
        const bool whole = entry == removeAll, refused = entry == "sub";
        const QString target = whole ? label.chopped(1) : label + entry;
        window->delete_.comboBox->setCurrentText(entry);
        window->delete_.deleteFiles->click();
        QVERIFY(QFileInfo::exists(target));
        dialogs.answers.enqueue(true);
        window->delete_.comboBox->setCurrentText(entry); // a refusal shows the list afresh
        window->delete_.deleteFiles->click();

        const QString question = "question: Удаление файла / " + (whole ? "Будут удалены все файлы вместе с рабочим "
                                 "каталогом.\nДействительно это сделать?" : "Удалить файл " + entry + "?");
        const QString done = "information: Выполнено! / "
                             + (whole ? QStringLiteral("Катлалог и файлы удалены!") : "Файл " + entry + " удален!");
        const QString refusal = "critical: Ошибка / sub - это каталог; удалить его можно только вместе со всеми "
                                "файлами («УДАЛИТЬ ВСЕ ФАЙЛЫ»)";
        QCOMPARE(dialogs.take(), refused ? QStringList({refusal, refusal}) : QStringList({question, question, done}));
        QCOMPARE(QFileInfo::exists(target) || QFileInfo(target).isSymLink(), refused);
        QCOMPARE(window->delete_.comboBox->findText(entry) >= 0, refused);
        QCOMPARE(window->isVisible(), !whole);
        QCOMPARE(readFile(outside + "/keep") + readFile(meta + "sub/inner") + readFile(path("/usr/share/doc/readme")),
                 QByteArray("keepxdoc"));
    }
};

QTEST_MAIN(RemovalTest)
#include "tst_removal.moc"
