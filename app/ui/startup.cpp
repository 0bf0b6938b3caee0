#include "app/ui/startup.h"

#include "app/settings.h"
#include "app/ui/bexlorwindow.h"
#include "app/ui/translations.h"
#include "common/paths.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QIcon>

#include <cstdio>

int runApplication(int argc, char **argv)
{
    const Result store = checkSettingsFile();
    if (store.failed()) {
        std::fprintf(stderr, "bexlor-builder: %s\n", qUtf8Printable(store.message));
        return 1;
    }
    removeSettingsLeftovers();
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
    application.setWindowIcon(QIcon(QStringLiteral("/usr/share/icons/hicolor/256x256/apps/bexlor-builder.png")));

    BexlorWindow window;
    window.showCentred();
    return application.exec();
}
