#include "app/settings.h"

#include "common/paths.h"

#include <QSettings>
#include <QTextCodec>

#include <memory>

namespace {

std::unique_ptr<QSettings> &store()
{
    static std::unique_ptr<QSettings> opened;
    return opened;
}

} // namespace

QSettings &settings()
{
    std::unique_ptr<QSettings> &opened = store();
    if (!opened) {
        opened = std::make_unique<QSettings>(settingsFilePath(), QSettings::IniFormat);
        opened->setIniCodec(QTextCodec::codecForName("UTF-8"));
    }
    return *opened;
}

void reopenSettings()
{
    store().reset();
}
