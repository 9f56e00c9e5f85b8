#include "cards/ui/card_boxes.h"

#include <QInputDialog>
#include <QMessageBox>

#include "cards/ui/card_dialog_widget.h"

namespace terva::cards {

bool QtCardBoxes::ask(const std::string& title, const std::string& text, bool warning) {
  QMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Question, u8(title), u8(text),
                  QMessageBox::Yes | QMessageBox::No, parent_);
  return box.exec() == QMessageBox::Yes;
}

void QtCardBoxes::showValue(const std::string& caption, const std::string& prompt, const std::string& value) {
  QInputDialog box(parent_);
  box.setWindowTitle(u8(caption));
  box.setLabelText(u8(prompt));
  box.setTextValue(u8(value));
  box.exec();  // only shown for reading and copying
}

}  // namespace terva::cards
