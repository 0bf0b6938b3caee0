#include "app/bexlorwindow.h"

void BexlorWindow::createIcon() {}
void BexlorWindow::removeImage() {}
