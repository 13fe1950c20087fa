#include "app/ui/QtTranslations.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool LoadQtTranslations(QApplication& application) {
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QApplication::installTranslator(translator);
}
