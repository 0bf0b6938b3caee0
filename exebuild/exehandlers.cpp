#include "app/bexlorwindow.h"

void BexlorWindow::build() {}
