#include "app/ui/services.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include "app/shell_settings.h"
#include "protocol/results.h"

namespace terva::app {

namespace {
QString u8(const std::string& s) { return QString::fromStdString(s); }
// "Description (pattern)"; a description that already ends with its pattern keeps it once.
QString filterText(const FileFilter& f) {
  const QString pattern = " (" + u8(f.pattern) + ")";
  const QString d = u8(f.description);
  return d.endsWith(pattern) ? d : d + pattern;
}
}  // namespace

void QtPrompts::error(const std::string& text) {
  QMessageBox::critical(parent_, QString::fromUtf8(kErrorCaption), u8(text));
}

void QtPrompts::message(const std::string& text) {
  // A plain message: the application's title, the text and OK, no icon.
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kApplicationTitle), u8(text), QMessageBox::Ok, parent_);
  box.exec();
}

bool QtPrompts::question(const std::string& text) {
  return QMessageBox::question(parent_, QString::fromUtf8(kApplicationTitle), u8(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

bool QtPrompts::ask(const std::string& caption, const std::string& text) {
  return QMessageBox::question(parent_, u8(caption), u8(text), QMessageBox::Yes | QMessageBox::No) ==
         QMessageBox::Yes;
}

void QtPrompts::inputBox(const std::string& caption, const std::string& prompt, const std::string& value) {
  // Only for reading or copying the value: the answer is not taken.
  (void)QInputDialog::getText(parent_, u8(caption), u8(prompt), QLineEdit::Normal, u8(value));
}

std::optional<std::string> QtFileDialogs::openFileName(const FileFilter& filter, const std::string& folder) {
  const QString name = QFileDialog::getOpenFileName(parent_, QString(), u8(folder), filterText(filter));
  if (name.isEmpty()) return std::nullopt;
  return name.toStdString();
}

std::optional<std::string> QtFileDialogs::saveFileName(const FileFilter& filter, const std::string& folder,
                                                       const std::string& suffix) {
  QFileDialog dialog(parent_, QString(), u8(folder), filterText(filter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(u8(suffix));
  // The program's save dialogs replace an existing file without asking.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front().toStdString();
}

std::optional<std::uint32_t> QtColourDialog::pickColour(std::uint32_t initial) {
  const QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                     static_cast<int>((initial >> 16) & 0xFF));
  const QColor c = QColorDialog::getColor(start, parent_);
  if (!c.isValid()) return std::nullopt;
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

void QtClipboard::setText(const std::u32string& text) {
  QApplication::clipboard()->setText(QString::fromStdU32String(text));
}

}  // namespace terva::app
