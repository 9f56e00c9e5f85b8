#include "cards/ui/tform4.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace terva::cards {

TForm4::TForm4(Clock& clock, Prompts& prompts, QWidget* parent)
    : CardDialogWidget(parent), logic_(clock, prompts) {
  setObjectName("Form4");
  auto* v = new QVBoxLayout(this);
  Label1 = makeLabel("Label1", "", kTextPx);
  v->addWidget(Label1);
  Label2 = makeLabel("Label2", "Очищено карт:", kTextPx);
  v->addWidget(Label2);
  Label3 = makeLabel("Label3", logic_.counterText(), kNumberPx);
  v->addWidget(Label3);
  Button1 = new QPushButton;
  Button1->setObjectName("Button1");
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { logic_.finishButton(); });
  v->addWidget(Button1, 0, Qt::AlignHCenter);
  setFixedSize(460, 200);
  bindLogic(logic_);
  refresh();
}

void TForm4::prepare(const std::string& title, const std::string& instruction, const std::string& buttonCaption) {
  logic_.title = title;
  logic_.instruction = instruction;
  logic_.buttonCaption = buttonCaption;
  logic_.show();
}

ModalResult TForm4::run(const std::string& title, const std::string& instruction, const std::string& buttonCaption) {
  prepare(title, instruction, buttonCaption);
  return execRun();
}

void TForm4::begin(const std::string& title, const std::string& instruction, const std::string& buttonCaption) {
  prepare(title, instruction, buttonCaption);
  show();
}

void TForm4::refresh() {
  setWindowTitle(u8(logic_.title));
  setLabelText(Label1, logic_.instruction);
  setLabelText(Label3, logic_.counterText());
  Button1->setText(u8(logic_.buttonCaption));
  Button1->setAccessibleName(Button1->text());
}

}  // namespace terva::cards
