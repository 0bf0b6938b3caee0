#include "app/bexlorwindow.h"

void BexlorWindow::buidDeb() {}
