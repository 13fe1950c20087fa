#pragma once
// Puts the program's menu drawing over the desktop's style.
class QApplication;

void InstallMenuStyle(QApplication& application);
