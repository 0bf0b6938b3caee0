// The removal window, opened on the DEBIAN directory and on the shortcuts.
#include "app/ui/bexlorwindow.h"
#include "package/ui/removecontroltwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>
#include <QtWidgets>

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
        QTest::addColumn<QString>("linked"); // made a link to a directory beside the work directory
        const QString name = "мой файл $x;'q\"";
        QTest::newRow("blanks, quotes, Cyrillic") << false << name << "";
        QTest::newRow("link to a directory outside") << false << QStringLiteral("dirlink") << "";
        QTest::newRow("sub-directory, refused") << false << QStringLiteral("sub") << "";
        QTest::newRow("whole DEBIAN, a link: the link goes") << false << removeAll << "DEBIAN";
        QTest::newRow("file in DEBIAN, a link: refused") << false << name << "DEBIAN";
        QTest::newRow("whole shortcuts directory") << true << removeAll << "";
        QTest::newRow("shortcut, usr a link: refused") << true << QStringLiteral("app.desktop") << "usr";
        QTest::newRow("whole shortcuts, usr a link: refused") << true << removeAll << "usr";
    }

    // The shortcuts directory holds a link. Deleting never reaches a link's
    // target, and never passes through a link below the work directory.
    void deletion()
    {
        QFETCH(bool, shortcuts);
        QFETCH(QString, entry);
        QFETCH(QString, linked);
        const QString outside = m_dir->path() + "/outside";
        writeFile(outside + "/keep", "keep");
        writeFile(path("/DEBIAN/мой файл $x;'q\""), "x");
        writeFile(path("/DEBIAN/sub/inner"), "x");
        QVERIFY(QFile::link(outside, path("/DEBIAN/dirlink")));
        writeFile(path("/usr/share/doc/readme"), "doc");
        writeFile(path("/usr/share/applications/app.desktop"), "[Desktop Entry]\n");
        writeFile(path("/usr/share/applications/sub/.hidden"), "h");
        QVERIFY(QFile::link(outside, path("/usr/share/applications/sub/dirlink")));
        const QString moved = m_dir->path() + "/moved";
        QVERIFY(linked.isEmpty()
                || (QDir().rename(path("/" + linked), moved) && QFile::link(moved, path("/" + linked))));
        const QString meta = linked == "DEBIAN" ? moved + "/" : path("/DEBIAN/");

        FakeDialogs dialogs;
        shortcuts ? m_main->removeShotcut() : m_main->removeControlFiles();
        removeControltWindow *window = shown();
        const QString label = window->delete_.labelWorkDir->text();
        QCOMPARE(label, path(shortcuts ? "/usr/share/applications/" : "/DEBIAN/"));
        const bool whole = entry == removeAll, throughLink = linked == "usr" || (linked == "DEBIAN" && !whole);
        const bool refused = entry == "sub" || throughLink;
        const QString target = whole ? label.chopped(1) : label + entry;
        window->delete_.comboBox->setCurrentText(entry);
        window->delete_.deleteFiles->click();
        QVERIFY(QFileInfo::exists(target));
        dialogs.answers.enqueue(true);
        window->delete_.comboBox->setCurrentText(entry); // a refusal shows the list afresh
        window->delete_.deleteFiles->click();

        const QString question = "question: Удаление файла / "
                                 + (whole ? "Будут удалены все файлы вместе с рабочим "
                                            "каталогом.\nДействительно это сделать?"
                                          : "Удалить файл " + entry + "?");
        const QString done = "information: Выполнено! / "
                             + (whole ? QStringLiteral("Катлалог и файлы удалены!") : "Файл " + entry + " удален!");
        const QString refusal = throughLink
                                    ? "critical: Ошибка / " + path("/" + linked)
                                          + " - символическая ссылка: то, "
                                            "что за ней, может лежать вне рабочего каталога, поэтому программа туда "
                                            "не пишет и ничего там не удаляет"
                                    : "critical: Ошибка / sub - это каталог; удалить его можно только вместе "
                                      "со всеми файлами («УДАЛИТЬ ВСЕ ФАЙЛЫ»)";
        QCOMPARE(dialogs.take(), refused ? QStringList({refusal, refusal}) : QStringList({question, question, done}));
        QCOMPARE(QFileInfo::exists(target) || QFileInfo(target).isSymLink(), refused);
        QCOMPARE(window->delete_.comboBox->findText(entry) >= 0, refused);
        QCOMPARE(window->isVisible(), !whole || refused);
        QCOMPARE(readFile(outside + "/keep") + readFile(meta + "sub/inner") + readFile(path("/usr/share/doc/readme")),
                 QByteArray("keepxdoc"));
    }
};

QTEST_MAIN(RemovalTest)
#include "tst_removal.moc"
