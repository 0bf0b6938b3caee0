#include "app/bexlorwindow.h"

void BexlorWindow::editAccess() {}
void BexlorWindow::delAccess() {}
