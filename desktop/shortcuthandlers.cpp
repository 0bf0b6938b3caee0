#include "app/bexlorwindow.h"

void BexlorWindow::createShortcut() {}
