#include "app/ui/services.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>

#include "app/shell_settings.h"
#include "protocol/results.h"

namespace terva::app {

void QtPrompts::error(const QString& text) {
  QMessageBox::critical(parent_, QString::fromUtf8(kErrorCaption), text);
}

void QtPrompts::message(const QString& text) {
  QMessageBox::information(parent_, QString::fromUtf8(kApplicationTitle), text);
}

bool QtPrompts::question(const QString& text) {
  return QMessageBox::question(parent_, QString::fromUtf8(kApplicationTitle), text,
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void QtClipboard::setText(const QString& text) { QApplication::clipboard()->setText(text); }

}  // namespace terva::app
