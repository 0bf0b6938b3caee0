#include "app/bexlorwindow.h"

void BexlorWindow::removeControlFiles() {}
void BexlorWindow::removeShotcut() {}
