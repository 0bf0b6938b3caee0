// The icon set: writing the nine sizes from one picture and removing them.
#include "app/ui/bexlorwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QtTest>

namespace {

const QByteArray band = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"300\" height=\"100\">"
                        "<rect width=\"300\" height=\"33\" fill=\"red\"/></svg>";

// Runs a handler with workDir typed, picking picture (empty: cancelled) and answering with answer.
QStringList run(void (BexlorWindow::*handler)(), const QString &workDir, const QString &picture = {},
                bool answer = true)
{
    FakeDialogs dialogs;
    dialogs.paths.enqueue(picture);
    dialogs.answers.enqueue(answer);
    BexlorWindow window;
    window.ui->lineEditProjectDir_2->setText(workDir);
    (window.*handler)();
    const QString filter = dialogs.shown.value(0).filter; // of the picture dialog
    return dialogs.take().replaceInStrings(QRegularExpression("^(file: .*)"), "\\1" + filter);
}

} // namespace

class IconsTest : public QObject
{
    Q_OBJECT

    TemporaryHome home;

private slots:
    void writeOverwriteAndRemove_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("typed"); // relative to the current directory
        QTest::addColumn<QString>("name");
        // Made a link to a directory outside the work directory, or to a file there for a ".png".
        QTest::addColumn<QString>("linked");
        addRow("png, blanks, quotes", "png", "new/my 'app' \"x\"", "my 'app' \"x\"", "");
        addRow("jpeg, Cyrillic, $, ;, usr a link: refused", "jpg", "new/Мой $HOME; x", "Мой $HOME; x", "usr");
        addRow("no slash, icons a link: refused", "png", "Пакет app", "Пакет app", "usr/share/icons");
        addRow("trailing slash, link in a theme", "png", "pkg/", "pkg", "usr/share/icons/hicolor/linked");
        addRow("icon a link to a file outside: replaced", "png", "pkg2", "pkg2",
               "usr/share/icons/hicolor/16x16/apps/pkg2.png");
    }

    void writeOverwriteAndRemove()
    {
        QFETCH(QString, kind);
        QFETCH(QString, typed);
        QFETCH(QString, name);
        QFETCH(QString, linked);
        QTemporaryDir current;
        QVERIFY(QDir::setCurrent(current.path()));
        const QString workDir = QDir::cleanPath(current.path() + '/' + typed);
        const QString outside = current.path() + QStringLiteral("/outside");
        writeFile(outside + QStringLiteral("/keep.png"), "keep");
        const QString target = linked.endsWith(".png") ? outside + "/keep.png" : outside;
        QVERIFY(linked.isEmpty()
                || (QDir().mkpath(QFileInfo(workDir + '/' + linked).path())
                    && QFile::link(target, workDir + '/' + linked)));
        // Nothing is written or deleted through a directory link on the way.
        const bool refused = linked == "usr" || linked == "usr/share/icons";
        const QString refusal = "critical: Ошибка / " + typed + '/' + linked
                                + " - символическая ссылка: то, что за ней, "
                                  "может лежать вне рабочего каталога, поэтому программа туда не пишет и ничего там не "
                                  "удаляет";
        writeFile(QStringLiteral("band.svg"), band);
        // Scattered dots: only unsmoothed stretching of the picture itself puts each where expected.
        QImage wide = QImage(QStringLiteral("band.svg")).convertToFormat(QImage::Format_RGB32);
        for (int i = 0; i < 3000; ++i)
            wide.setPixelColor((i * 7919) % 300, (i * 104729) % 100, QColor(Qt::yellow));
        QVERIFY(wide.save(QStringLiteral("wide.") + kind));
        // The second run overwrites the first set in place.
        for (const QString &picture : {QStringLiteral("wide.") + kind, QStringLiteral("band.svg")}) {
            QCOMPARE(run(&BexlorWindow::createIcon, typed, current.path() + '/' + picture).value(1),
                     refused ? refusal : "information: Выполнено! / Файлы иконон созданы");
            if (refused)
                continue;
            const QImage source = QImage(picture).convertToFormat(QImage::Format_RGB32);
            for (int n : {256, 192, 128, 96, 64, 48, 32, 22, 16}) {
                const QString icon =
                    QStringLiteral("%1/usr/share/icons/hicolor/%2x%2/apps/%3.png").arg(workDir).arg(n).arg(name);
                QVERIFY2(readFile(icon).startsWith("\x89PNG"), qPrintable(icon));
                QCOMPARE(QImage(icon).convertToFormat(QImage::Format_RGB32), source.scaled(n, n));
            }
        }

        // Removal takes other themes too, and only a link inside the icons directory.
        writeFile(workDir + QStringLiteral("/usr/share/icons/Adwaita/index.theme"), "[Icon Theme]\n");
        const QString icon =
            QFileInfo(workDir + "/usr/share/icons/hicolor/16x16/apps/" + name + ".png").canonicalFilePath();
        QCOMPARE(run(&BexlorWindow::removeImage, typed, {}, false),
                 QStringList{QStringLiteral("question: Удаление файла / Удалить файлы иконок?")});
        QCOMPARE(run(&BexlorWindow::removeImage, typed).value(1),
                 refused ? refusal : "information: Выполнено! / Файлы удалены");
        QCOMPARE(QFileInfo(workDir + '/' + linked).isSymLink(), refused);
        QCOMPARE(QDir(outside).entryList(QDir::Files), QStringList{"keep.png"});
        QCOMPARE(QFileInfo::exists(icon), icon.startsWith(QFileInfo(outside).canonicalFilePath()));
        QCOMPARE(readFile(outside + QStringLiteral("/keep.png")), QByteArray("keep"));
    }

    void failuresCreateNothing_data()
    {
        QTest::addColumn<QString>("picture"); // empty: the picture dialog is cancelled
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::addColumn<QString>("blocker"); // a file written in the work directory
        addRow("missing picture", "missing.png", QByteArray(), "");
        addRow("damaged png", "bad.png", QByteArray("\x89PNG\r\n\x1a\nbroken", 16), "");
        addRow("picture dialog cancelled", "", QByteArray(), "");
        addRow("size directory is a file", "ok.svg", band, "usr/share/icons/hicolor/48x48/apps");
        addRow("icon path a directory", "ok.svg", band, "usr/share/icons/hicolor/22x22/apps/work.png/x");
    }

    void failuresCreateNothing()
    {
        QFETCH(QString, picture);
        QFETCH(QByteArray, content);
        QFETCH(QString, blocker);
        QTemporaryDir base;
        const QString path = picture.isEmpty() ? picture : base.path() + '/' + picture;
        const QString workDir = base.path() + QStringLiteral("/work/");
        if (!content.isNull())
            writeFile(path, content);
        if (!blocker.isEmpty())
            writeFile(workDir + blocker, "x");
        const QStringList shown = run(&BexlorWindow::createIcon, base.path() + QStringLiteral("/work"), path);
        const QString expected = picture.isEmpty() ? "critical: Ошибка / Изображение не выбрано!"
                                                   : "critical: Ошибка / ";
        QVERIFY2(shown.size() == 2 && shown.last().startsWith(expected), qPrintable(shown.last()));
        QCOMPARE(shown.first(), "file: Выбрать изображение / Изображения (*.png *.jpg *.jpeg *.svg)");
        QCOMPARE(QFileInfo::exists(workDir), !blocker.isEmpty());
    }
};

QTEST_MAIN(IconsTest)
#include "tst_icons.moc"
