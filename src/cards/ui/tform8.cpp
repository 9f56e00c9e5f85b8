#include "cards/ui/tform8.h"

#include <QLabel>
#include <QVBoxLayout>

namespace terva::cards {

TForm8::TForm8(Clock& clock, Prompts& prompts, QWidget* parent)
    : CardDialogWidget(parent), logic_(clock, prompts) {
  setObjectName("Form8");
  setWindowTitle(u8(Form8Logic::kTitle));
  auto* v = new QVBoxLayout(this);
  Label1 = makeLabel("Label1", "Поднесите мастер-карту к USB-считывателю", kTextPx);
  v->addWidget(Label1);
  Label2 = makeLabel("Label2", "Времени осталось:", kTextPx);
  v->addWidget(Label2);
  Label3 = makeLabel("Label3", "", kNumberPx);
  v->addWidget(Label3);
  setFixedSize(460, 170);
  bindLogic(logic_);
  refresh();
}

std::string TForm8::run() {
  logic_.show();
  execRun();
  return logic_.resstr();
}

void TForm8::begin() {
  logic_.show();
  show();
}

void TForm8::refresh() { setLabelText(Label3, logic_.countdownText()); }

}  // namespace terva::cards
