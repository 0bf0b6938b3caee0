#pragma once

class QCoreApplication;

// Installs Qt's own Russian texts (qtbase_ru: the standard buttons, the file
// dialogs) on the application. Without the translation files Qt stays in
// English; that is no reason to stop.
void installQtTranslations(QCoreApplication &application);
