#include "app/startup.h"

#include "app/bexlorwindow.h"
#include "app/settings.h"
#include "app/translations.h"
#include "common/paths.h"
#include "common/textfiles.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>

int runApplication(int argc, char **argv)
{
    // Reading a FIFO or a device there would block start-up for ever.
    const QString settingsFile = settingsFilePath();
    if (QFileInfo::exists(settingsFile)) {
        const Result regular = checkRegularFile(settingsFile);
        if (regular.failed()) {
            std::fprintf(stderr, "bexlor-builder: %s\n", qUtf8Printable(regular.message));
            return 1;
        }
    }
    settings();

    const QString dataDirectory = dataDirectoryPath();
    const Result made = makePath(dataDirectory, 0755);
    if (made.failed()) {
        std::fprintf(stderr, "bexlor-builder: %s\n", qUtf8Printable(made.message));
        return 1;
    }

    QApplication application(argc, argv);
    installQtTranslations(application);
    // A missing icon file simply leaves the windows without an icon.
    application.setWindowIcon(
        QIcon(QStringLiteral("/usr/share/icons/hicolor/256x256/apps/bexlor-builder.png")));

    BexlorWindow window;
    window.move(centredPosition(QApplication::desktop()->size(), window.size()));
    window.show();
    return application.exec();
}
