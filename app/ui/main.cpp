#include <QApplication>

#include <cstdio>

#include "resources/Version.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  std::printf("%s: the configurator is not built yet.\n", resources::kProductName);
  return 0;
}
