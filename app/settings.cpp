#include "app/settings.h"

#include "common/paths.h"

#include <QSettings>
#include <QTextCodec>

QSettings &settings()
{
    static QSettings store(settingsFilePath(), QSettings::IniFormat);
    static const bool codecSet = (store.setIniCodec(QTextCodec::codecForName("UTF-8")), true);
    Q_UNUSED(codecSet)
    return store;
}
