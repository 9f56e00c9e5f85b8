#include "cards/ui/tform3.h"

#include <QLabel>
#include <QVBoxLayout>

namespace terva::cards {

TForm3::TForm3(Clock& clock, Prompts& prompts, std::function<bool()> debugMode, QWidget* parent)
    : CardDialogWidget(parent), logic_(clock, prompts, std::move(debugMode)) {
  setObjectName("Form3");
  auto* v = new QVBoxLayout(this);
  Label1 = makeLabel("Label1", logic_.instruction, kTextPx);
  v->addWidget(Label1);
  Label2 = makeLabel("Label2", "Времени осталось:", kTextPx);
  v->addWidget(Label2);
  Label3 = makeLabel("Label3", "", kNumberPx);
  v->addWidget(Label3);
  setFixedSize(500, 170);
  bindLogic(logic_);
  refresh();
}

void TForm3::prepare(const std::string& title, const std::string& instruction) {
  logic_.title = title;
  logic_.instruction = instruction;
  logic_.show();
}

ModalResult TForm3::run(const std::string& title, const std::string& instruction) {
  prepare(title, instruction);
  return execRun();
}

void TForm3::begin(const std::string& title, const std::string& instruction) {
  prepare(title, instruction);
  show();
}

void TForm3::refresh() {
  setWindowTitle(u8(logic_.title));
  setLabelText(Label1, logic_.instruction);
  setLabelText(Label3, logic_.countdownText());
}

}  // namespace terva::cards
