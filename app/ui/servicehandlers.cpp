#include "app/ui/bexlorwindow.h"

#include "common/paths.h"
#include "common/ui/dialogs.h"
#include "package/docs/services.h"
#include "package/ui/servicewindow.h"

void BexlorWindow::createService()
{
    const QString workDir = requireWorkDir();
    if (workDir.isEmpty())
        return;
    const Result made = makePath(workDir + QLatin1Char('/') + serviceUnitSubdirectory(), 0755);
    if (made.failed()) {
        showError(made.message);
        return;
    }
    showToolWindow(new serviceWindow(workDir), QStringLiteral("Создание/редактирование службы systemd"), 50, -100,
                   true);
}

bool BexlorWindow::offerServiceScripts(const QString &workDir)
{
    const QStringList units = unhandledServiceUnits(workDir);
    if (units.isEmpty()
        || !Dialogs::instance().question(
            QStringLiteral("Службы systemd"),
            QStringLiteral("Сценарии DEBIAN не включают и не запускают службы systemd: %1.\nДобавить в postinst, "
                           "prerm и postrm стандартные блоки (deb-systemd-helper и deb-systemd-invoke, как у "
                           "dh_installsystemd), а в Depends - %2?")
                .arg(units.join(QStringLiteral(", ")), QString::fromLatin1(serviceHelpersDependency())))) {
        return true;
    }
    const Result added = addServiceScripts(workDir);
    if (added.failed())
        showError(added.message);
    return added.success;
}
