#include "app/bexlorwindow.h"

void BexlorWindow::editFiles() {}
