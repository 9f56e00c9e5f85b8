#include "app/ui/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace terva::app {

bool installRussianTranslations(QCoreApplication& app) {
  const QLocale russian(QLocale::Russian, QLocale::Russia);
  QLocale::setDefault(russian);
  auto* qt = new QTranslator(&app);
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!qt->load(russian, "qtbase", "_", dir)) {
    delete qt;
    return false;
  }
  QCoreApplication::installTranslator(qt);
  return true;
}

}  // namespace terva::app
