#include "cards/ui/tform5.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace terva::cards {

TForm5::TForm5(Clock& clock, Prompts& prompts, std::function<bool()> debugMode, QWidget* parent)
    : CardDialogWidget(parent), logic_(clock, prompts, std::move(debugMode)) {
  setObjectName("Form5");
  auto* outer = new QVBoxLayout(this);

  Panel1 = new QWidget;
  Panel1->setObjectName("Panel1");
  auto* p1 = new QVBoxLayout(Panel1);
  Label1 = makeLabel("Label1", Form5Logic::kMasterInstruction, kTextPx);
  p1->addWidget(Label1);
  Label2 = makeLabel("Label2", "Времени осталось:", kTextPx);
  p1->addWidget(Label2);
  Label3 = makeLabel("Label3", "", kNumberPx);
  p1->addWidget(Label3);
  outer->addWidget(Panel1);

  Panel2 = new QWidget;
  Panel2->setObjectName("Panel2");
  auto* p2 = new QVBoxLayout(Panel2);
  Label4 = makeLabel("Label4", Form5Logic::kCardsInstruction, kTextPx);
  p2->addWidget(Label4);
  Label5 = makeLabel("Label5", "", kTextPx);
  p2->addWidget(Label5);
  Label6 = makeLabel("Label6", logic_.counterText(), kNumberPx);
  p2->addWidget(Label6);
  Button1 = new QPushButton;
  Button1->setObjectName("Button1");
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { logic_.finishButton(); });
  p2->addWidget(Button1, 0, Qt::AlignHCenter);
  outer->addWidget(Panel2);
  Panel2->hide();

  setFixedSize(500, 220);
  bindLogic(logic_);
  refresh();
}

void TForm5::prepare(const std::string& title, const std::string& counterHeading, const std::string& buttonCaption) {
  logic_.title = title;
  logic_.counterHeading = counterHeading;
  logic_.buttonCaption = buttonCaption;
  logic_.show();
}

ModalResult TForm5::run(const std::string& title, const std::string& counterHeading,
                        const std::string& buttonCaption) {
  prepare(title, counterHeading, buttonCaption);
  return execRun();
}

void TForm5::begin(const std::string& title, const std::string& counterHeading, const std::string& buttonCaption) {
  prepare(title, counterHeading, buttonCaption);
  show();
}

void TForm5::refresh() {
  setWindowTitle(u8(logic_.title));
  setLabelText(Label3, logic_.countdownText());
  setLabelText(Label5, logic_.counterHeading);
  setLabelText(Label6, logic_.counterText());
  Button1->setText(u8(logic_.buttonCaption));
  Button1->setAccessibleName(Button1->text());
  Panel1->setVisible(!logic_.secondPanelVisible());
  Panel2->setVisible(logic_.secondPanelVisible());
}

}  // namespace terva::cards
