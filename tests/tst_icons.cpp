// The icon set: writing the nine sizes from one picture and removing them.
#include "app/bexlorwindow.h"
#include "support/fakedialogs.h"
#include "support/testenv.h"
#include "ui_bexlorBuilderGui.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QStringList sizeDirectories = {
    QStringLiteral("256x256"), QStringLiteral("192x192"), QStringLiteral("128x128"),
    QStringLiteral("96x96"), QStringLiteral("64x64"), QStringLiteral("48x48"),
    QStringLiteral("32x32"), QStringLiteral("22x22"), QStringLiteral("16x16")};
const QList<int> sizes = {256, 192, 128, 96, 64, 48, 32, 22, 16};

// A picture of width x height: the top third red, the rest blue.
QImage banded(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter painter(&image);
    painter.fillRect(0, 0, width, height / 3, Qt::red);
    return image;
}

QString writeSvg(const QString &path, const QString &colour)
{
    writeFile(path, QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"300\" "
                                   "height=\"300\"><rect width=\"300\" height=\"300\" fill=\"%1\"/>"
                                   "</svg>")
                        .arg(colour)
                        .toUtf8());
    return path;
}

QString iconPath(const QString &workDir, const QString &sizeDirectory, const QString &name)
{
    return workDir + QStringLiteral("/usr/share/icons/hicolor/") + sizeDirectory
           + QStringLiteral("/apps/") + name + QStringLiteral(".png");
}

} // namespace

class IconsTest : public QObject
{
    Q_OBJECT

private:
    TemporaryHome home;
    QTemporaryDir scratch;

    // Runs one handler with workDir in the work directory field and returns the boxes shown.
    static QStringList run(void (BexlorWindow::*handler)(), const QString &workDir,
                           FakeDialogs &dialogs)
    {
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(workDir);
        (window.*handler)();
        return dialogs.take();
    }

    QStringList createIcons(const QString &workDir, const QString &picture)
    {
        FakeDialogs dialogs;
        dialogs.paths.enqueue(picture);
        return run(&BexlorWindow::createIcon, workDir, dialogs);
    }

    QStringList removeIcons(const QString &workDir, bool answer)
    {
        FakeDialogs dialogs;
        dialogs.answers.enqueue(answer);
        return run(&BexlorWindow::removeImage, workDir, dialogs);
    }

    // Every icon of the set exists, is a PNG of N x N and shows colour at its centre.
    void verifySet(const QString &workDir, const QString &name, QColor colour)
    {
        for (int i = 0; i < sizes.size(); ++i) {
            const QString path = iconPath(workDir, sizeDirectories.at(i), name);
            QImageReader reader(path);
            QCOMPARE(reader.format(), QByteArray("png"));
            const QImage icon = reader.read();
            QVERIFY2(!icon.isNull(), qPrintable(path));
            QCOMPARE(icon.size(), QSize(sizes.at(i), sizes.at(i)));
            QCOMPARE(icon.pixelColor(sizes.at(i) / 2, sizes.at(i) / 2), colour);
            QCOMPARE(QFileInfo(QFileInfo(path).path()).permissions() & 0x0777,
                     QFile::Permissions(0x0755));
        }
    }

    const QString done = QStringLiteral("information: Выполнено! / Файлы иконон созданы");
    // What a successful createIcon shows: the picture dialog, then the completion box.
    const QStringList pickedAndDone{QStringLiteral("file: Выбрать изображение / "), done};

private slots:
    void initTestCase()
    {
        ::umask(022);
        QVERIFY(scratch.isValid());
        const QStringList formats = QStringList{QStringLiteral("svg"), QStringLiteral("jpeg")};
        for (const QString &format : formats)
            QVERIFY2(QImageReader::supportedImageFormats().contains(format.toLatin1()),
                     qPrintable(format + " image support is not installed"));
    }

    void writesNineSquareIcons_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("workName");
        QTest::newRow("png") << "png" << "my-app";
        QTest::newRow("jpeg, blanks and quotes") << "jpg" << "my 'app' \"x\"";
        QTest::newRow("svg, Cyrillic, $ and ;") << "svg" << "Проект $HOME; x";
    }

    void writesNineSquareIcons()
    {
        QFETCH(QString, kind);
        QFETCH(QString, workName);
        QTemporaryDir base;
        // The work directory does not exist yet: it is made with the icon directories.
        const QString workDir = base.path() + QStringLiteral("/new/") + workName;
        const QString picture = base.path() + QStringLiteral("/picture.") + kind;
        if (kind == QLatin1String("svg"))
            writeSvg(picture, QStringLiteral("#00ff00"));
        else {
            QImage image(500, 500, QImage::Format_RGB32);
            image.fill(Qt::green);
            QVERIFY(image.save(picture));
        }

        FakeDialogs dialogs;
        dialogs.paths.enqueue(picture);
        BexlorWindow window;
        window.ui->lineEditProjectDir_2->setText(workDir);
        window.createIcon();

        QCOMPARE(dialogs.shown.size(), 2);
        const FakeDialogs::Shown &picker = dialogs.shown.first();
        QCOMPARE(picker.kind, QStringLiteral("file"));
        QCOMPARE(picker.title, QStringLiteral("Выбрать изображение"));
        QCOMPARE(picker.parent, &window);
        QVERIFY(picker.dir.isNull());
        QCOMPARE(picker.filter, QStringLiteral("Image (*.png *.jpg *.svg)"));
        QCOMPARE(dialogs.take().last(), done);
        // JPEG is lossy: compare the colour after the same round trip.
        const QColor green = kind == QLatin1String("jpg") ? QImage(picture).pixelColor(250, 250)
                                                         : QColor(Qt::green);
        verifySet(workDir, workName, green);
        QCOMPARE(QDir(workDir + QStringLiteral("/usr/share/icons/hicolor")).count(), 2u + 9u);
    }

    void stretchesPictureThatIsNotSquare()
    {
        QTemporaryDir workDir;
        const QString picture = scratch.path() + QStringLiteral("/wide.png");
        QImage source = banded(300, 100);
        // Scattered dots below the band tell scaling from the picture itself
        // apart from scaling a smaller copy or smoothing.
        for (int i = 0; i < 3000; ++i)
            source.setPixelColor((i * 7919) % 300, 34 + (i * 104729) % 66, QColor(Qt::yellow));
        QVERIFY(source.save(picture));
        QCOMPARE(createIcons(workDir.path(), picture), pickedAndDone);
        const QString name = QFileInfo(workDir.path()).fileName();
        for (int i = 0; i < sizes.size(); ++i) {
            const int n = sizes.at(i);
            const QImage icon(iconPath(workDir.path(), sizeDirectories.at(i), name));
            QCOMPARE(icon.convertToFormat(QImage::Format_RGB32),
                     source.scaled(n, n).convertToFormat(QImage::Format_RGB32));
            // The red third stays a third of the height across the whole width.
            QCOMPARE(icon.pixelColor(0, 0), QColor(Qt::red));
            QCOMPARE(icon.pixelColor(n - 1, n / 3 - 2), QColor(Qt::red));
        }
    }

    void secondRunOverwritesInPlace()
    {
        QTemporaryDir workDir;
        const QString name = QFileInfo(workDir.path()).fileName();
        const QString red = scratch.path() + QStringLiteral("/red.png");
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(red));
        QCOMPARE(createIcons(workDir.path(), red), pickedAndDone);
        verifySet(workDir.path(), name, Qt::red);

        const QString blue = writeSvg(scratch.path() + QStringLiteral("/blue.svg"),
                                      QStringLiteral("#0000ff"));
        QCOMPARE(createIcons(workDir.path(), blue), pickedAndDone);
        verifySet(workDir.path(), name, Qt::blue);
        for (const QString &directory : sizeDirectories)
            QCOMPARE(QDir(workDir.path() + QStringLiteral("/usr/share/icons/hicolor/") + directory
                          + QStringLiteral("/apps"))
                         .entryList(QDir::Files),
                     QStringList{name + QStringLiteral(".png")});
    }

    void workDirectoryTextAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("name");
        QTest::newRow("no slash: relative to the current directory")
            << "Пакет app" << "Пакет app" << "Пакет app";
        QTest::newRow("relative with slash") << "sub dir/pkg" << "sub dir/pkg" << "pkg";
        QTest::newRow("trailing slash: icons named .png") << "pkg/" << "pkg" << "";
    }

    void workDirectoryTextAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, root);
        QFETCH(QString, name);
        QTemporaryDir current;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(current.path()));
        const QString picture = writeSvg(scratch.path() + QStringLiteral("/red.svg"),
                                         QStringLiteral("red"));
        const QStringList shown = createIcons(typed, picture);
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(shown, pickedAndDone);
        verifySet(current.path() + QLatin1Char('/') + root, name, Qt::red);
        QCOMPARE(QDir(current.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{typed.section(QLatin1Char('/'), 0, 0)});
    }

    void unreadablePictureIsRefused_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("missing") << "missing.png" << QByteArray();
        QTest::newRow("damaged png") << "damaged.png" << QByteArray("\x89PNG\r\n\x1a\nbroken", 16);
        QTest::newRow("text named jpg") << "notes.jpg" << QByteArray("just text\n");
        QTest::newRow("broken svg") << "broken.svg" << QByteArray("<svg xmlns=");
        QTest::newRow("empty file") << "empty.png" << QByteArray("");
        QTest::newRow("directory") << "folder.png" << QByteArray("dir");
    }

    void unreadablePictureIsRefused()
    {
        QFETCH(QString, picture);
        QFETCH(QByteArray, content);
        QTemporaryDir base;
        const QString path = base.path() + QLatin1Char('/') + picture;
        if (content == "dir")
            QVERIFY(QDir().mkpath(path));
        else if (!picture.startsWith(QLatin1String("missing")))
            writeFile(path, content);
        const QString workDir = base.path() + QStringLiteral("/work");
        QVERIFY(QDir().mkpath(workDir));

        const QStringList shown = createIcons(workDir, path);
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.last().startsWith(QStringLiteral("critical: Ошибка / Не удалось загрузить изображение ")
                                         + path),
                 qPrintable(shown.last()));
        QVERIFY(!QFileInfo::exists(workDir + QStringLiteral("/usr")));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("no work directory")
            << "" << "picture.png"
            << QStringList{QStringLiteral("critical: Ошибка / Необходимо выбрать каталог")};
        QTest::newRow("picture dialog cancelled")
            << "work" << ""
            << QStringList{QStringLiteral("file: Выбрать изображение / "),
                           QStringLiteral("critical: Ошибка / Изображение не выбрано!")};
    }

    void refusals()
    {
        QFETCH(QString, workDir);
        QFETCH(QString, picture);
        QFETCH(QStringList, shown);
        QTemporaryDir base;
        const QString path = base.path() + QLatin1Char('/') + picture;
        QVERIFY(banded(30, 30).save(base.path() + QStringLiteral("/picture.png")));
        const QString work = workDir.isEmpty() ? workDir : base.path() + QLatin1Char('/') + workDir;
        QCOMPARE(createIcons(work, picture.isEmpty() ? picture : path), shown);
        QCOMPARE(QDir(base.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{QStringLiteral("picture.png")});
    }

    void writeFailuresAreReported_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::addColumn<bool>("asDirectory");
        QTest::addColumn<QString>("expected");
        QTest::newRow("work directory is a file") << "" << false << "Не удалось создать каталог";
        QTest::newRow("a size directory is a file")
            << "/usr/share/icons/hicolor/48x48/apps" << false << "Не удалось создать каталог";
        QTest::newRow("an icon path is a directory")
            << "/usr/share/icons/hicolor/22x22/apps/work.png" << true << "Не удалось записать файл";
    }

    void writeFailuresAreReported()
    {
        QFETCH(QString, blocker);
        QFETCH(bool, asDirectory);
        QFETCH(QString, expected);
        QTemporaryDir base;
        const QString workDir = base.path() + QStringLiteral("/work");
        if (asDirectory)
            QVERIFY(QDir().mkpath(workDir + blocker));
        else
            writeFile(workDir + blocker, "not a directory");
        const QString picture = scratch.path() + QStringLiteral("/fail.png");
        QVERIFY(banded(40, 40).save(picture));
        const QStringList shown = createIcons(workDir, picture);
        QCOMPARE(shown.size(), 2);
        QVERIFY2(shown.last().startsWith(QStringLiteral("critical: Ошибка / ") + expected),
                 qPrintable(shown.last()));
        QCOMPARE(readFile(workDir + blocker), asDirectory ? QByteArray() : QByteArray("not a directory"));
    }

    void removesEveryTheme()
    {
        QTemporaryDir workDir;
        const QString picture = scratch.path() + QStringLiteral("/remove.png");
        QVERIFY(banded(40, 40).save(picture));
        QCOMPARE(createIcons(workDir.path(), picture), pickedAndDone);
        const QString usrShare = workDir.path() + QStringLiteral("/usr/share");
        writeFile(usrShare + QStringLiteral("/icons/Adwaita/scalable/apps/other.svg"), "<svg/>");
        writeFile(usrShare + QStringLiteral("/icons/.hidden"), "x");
        writeFile(usrShare + QStringLiteral("/applications/app.desktop"), "[Desktop Entry]\n");

        QCOMPARE(removeIcons(workDir.path(), true),
                 (QStringList{QStringLiteral("question: Удаление файла / Удалить файлы иконок?"),
                              QStringLiteral("information: Выполнено! / Файлы удалены")}));
        QVERIFY(!QFileInfo::exists(usrShare + QStringLiteral("/icons")));
        QCOMPARE(readFile(usrShare + QStringLiteral("/applications/app.desktop")),
                 QByteArray("[Desktop Entry]\n"));
    }

    void declinedOrNothingToRemove_data()
    {
        QTest::addColumn<QString>("workDir");
        QTest::addColumn<bool>("withIcons");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QStringList>("shown");
        const QString question = QStringLiteral("question: Удаление файла / Удалить файлы иконок?");
        QTest::newRow("declined") << "work" << true << false << QStringList{question};
        QTest::newRow("no icons directory")
            << "work" << false << true
            << QStringList{question, QStringLiteral("critical: Ошибка / Файлы для удаления не найдены!")};
        QTest::newRow("no work directory")
            << "" << true << true
            << QStringList{QStringLiteral("critical: Ошибка / Необходимо выбрать каталог")};
    }

    void declinedOrNothingToRemove()
    {
        QFETCH(QString, workDir);
        QFETCH(bool, withIcons);
        QFETCH(bool, answer);
        QFETCH(QStringList, shown);
        QTemporaryDir base;
        const QString icon = base.path() + QStringLiteral("/work/usr/share/icons/hicolor/x.png");
        if (withIcons)
            writeFile(icon, "png");
        else
            QVERIFY(QDir().mkpath(base.path() + QStringLiteral("/work/usr/share")));
        const QString work = workDir.isEmpty() ? workDir : base.path() + QLatin1Char('/') + workDir;
        QCOMPARE(removeIcons(work, answer), shown);
        QCOMPARE(QFileInfo::exists(icon), withIcons);
        QVERIFY(QFileInfo(base.path() + QStringLiteral("/work/usr/share")).isDir());
    }

    void linksAreRemovedNotFollowed_data()
    {
        QTest::addColumn<QString>("linked");
        QTest::newRow("icons directory is a link") << "usr/share/icons";
        QTest::newRow("share is a link") << "usr/share";
        QTest::newRow("usr is a link") << "usr";
    }

    void linksAreRemovedNotFollowed()
    {
        QFETCH(QString, linked);
        QTemporaryDir base;
        const QString workDir = base.path() + QStringLiteral("/work");
        const QString outside = base.path() + QStringLiteral("/outside");
        const QString suffix = QStringLiteral("usr/share/icons").mid(linked.size());
        const QString kept = outside + suffix + QStringLiteral("/hicolor/16x16/apps/keep.png");
        writeFile(kept, "keep");
        QVERIFY(QDir().mkpath(QFileInfo(workDir + QLatin1Char('/') + linked).path()));
        QVERIFY(QFile::link(outside, workDir + QLatin1Char('/') + linked));

        QCOMPARE(removeIcons(workDir, true).last(),
                 QStringLiteral("information: Выполнено! / Файлы удалены"));
        QVERIFY(!QFileInfo(workDir + QLatin1Char('/') + linked).isSymLink());
        QVERIFY(!QFileInfo::exists(workDir + QLatin1Char('/') + linked));
        QCOMPARE(readFile(kept), QByteArray("keep"));
        QVERIFY(QFileInfo(workDir).isDir());
    }

    void linksInsideTheIconsDirectoryAreNotFollowed()
    {
        QTemporaryDir base;
        const QString workDir = base.path() + QStringLiteral("/work");
        const QString kept = base.path() + QStringLiteral("/theme/apps/keep.png");
        writeFile(kept, "keep");
        writeFile(workDir + QStringLiteral("/usr/share/icons/hicolor/index.theme"), "x");
        QVERIFY(QFile::link(base.path() + QStringLiteral("/theme"),
                            workDir + QStringLiteral("/usr/share/icons/hicolor/linked")));
        QCOMPARE(removeIcons(workDir, true).last(),
                 QStringLiteral("information: Выполнено! / Файлы удалены"));
        QVERIFY(!QFileInfo::exists(workDir + QStringLiteral("/usr/share/icons")));
        QCOMPARE(readFile(kept), QByteArray("keep"));
    }

    void linkToNoIconsIsLeftAlone()
    {
        QTemporaryDir base;
        const QString workDir = base.path() + QStringLiteral("/work");
        QVERIFY(QDir().mkpath(base.path() + QStringLiteral("/outside/share")));
        QVERIFY(QDir().mkpath(workDir));
        QVERIFY(QFile::link(base.path() + QStringLiteral("/outside"), workDir + QStringLiteral("/usr")));
        QCOMPARE(removeIcons(workDir, true).last(),
                 QStringLiteral("critical: Ошибка / Файлы для удаления не найдены!"));
        QVERIFY(QFileInfo(workDir + QStringLiteral("/usr")).isSymLink());
    }
};

QTEST_MAIN(IconsTest)
#include "tst_icons.moc"
