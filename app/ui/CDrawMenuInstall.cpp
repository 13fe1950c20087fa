#include "app/ui/CDrawMenuInstall.h"

#include <QApplication>

#include "controls/CDrawMenu.h"

void InstallMenuStyle(QApplication& application) { application.setStyle(new CDrawMenu()); }
