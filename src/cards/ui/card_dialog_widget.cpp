#include "cards/ui/card_dialog_widget.h"

#include <QLabel>
#include <QShowEvent>

namespace terva::cards {

QString u8(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

CardDialogWidget::CardDialogWidget(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
}

void CardDialogWidget::bindLogic(CardDialogLogic& logic) {
  logic_ = &logic;
  logic.onChanged = [this] { refresh(); };
  logic.onClosed = [this](ModalResult r) { QDialog::done(static_cast<int>(r)); };
}

void CardDialogWidget::pushReply(const terva::Answer& reply) {
  if (logic_) logic_->pushReply(reply);
}

ModalResult CardDialogWidget::execRun() {
  if (logic_->running()) exec();
  if (logic_->running()) logic_->close();  // the loop ended some other way
  return logic_->result();
}

void CardDialogWidget::closeRun() {
  if (logic_->running()) logic_->close();
}

void CardDialogWidget::reject() {
  if (logic_ && logic_->running()) {
    logic_->close();  // hides the dialog through onClosed
  } else {
    QDialog::reject();
  }
}

void CardDialogWidget::showEvent(QShowEvent* event) {
  if (QWidget* p = parentWidget()) {
    const QRect outer = p->window()->frameGeometry();
    move(outer.center() - QPoint(width() / 2, height() / 2));
  }
  QDialog::showEvent(event);
}

QLabel* CardDialogWidget::makeLabel(const char* name, const std::string& text, int pixelSize) {
  auto* l = new QLabel;
  l->setObjectName(name);
  l->setAlignment(Qt::AlignCenter);
  l->setWordWrap(true);
  QFont f(QStringLiteral("Tahoma"));
  f.setPixelSize(pixelSize);
  l->setFont(f);
  setLabelText(l, text);
  return l;
}

void CardDialogWidget::setLabelText(QLabel* label, const std::string& text) {
  const QString t = u8(text);
  if (label->text() != t) label->setText(t);
  label->setAccessibleName(t);
}

}  // namespace terva::cards
