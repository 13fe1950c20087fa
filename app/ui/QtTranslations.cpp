#include "app/ui/QtTranslations.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

QTranslator* LoadQtTranslations(QApplication& application) {
  auto* translator = new QTranslator(&application);
  if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
      !QApplication::installTranslator(translator)) {
    delete translator;
    return nullptr;
  }
  return translator;
}
