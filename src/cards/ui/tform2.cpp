#include "cards/ui/tform2.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace terva::cards {

TForm2::TForm2(Clock& clock, Prompts& prompts, std::function<bool()> debugMode, QWidget* parent)
    : CardDialogWidget(parent), logic_(clock, prompts, std::move(debugMode)) {
  setObjectName("Form2");
  setWindowTitle(u8(Form2Logic::kTitle));
  auto* outer = new QVBoxLayout(this);

  Panel1 = new QWidget;
  Panel1->setObjectName("Panel1");
  auto* p1 = new QVBoxLayout(Panel1);
  Label1 = makeLabel("Label1", logic_.heading(), kTextPx);
  p1->addWidget(Label1);
  Label2 = makeLabel("Label2", "Укажите количество создаваемых мастер-карт:", kTextPx);
  p1->addWidget(Label2);
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (int k = 1; k <= 5; ++k) {
    auto* b = new QPushButton(QString::number(k));
    b->setObjectName(QStringLiteral("Button%1").arg(k));
    b->setProperty("tag", k);
    b->setAccessibleName(QString::number(k));
    b->setFixedWidth(48);
    connect(b, &QPushButton::clicked, this, [this, k] { logic_.chooseCount(k); });
    countButtons_[k - 1] = b;
    row->addWidget(b);
  }
  row->addStretch();
  p1->addLayout(row);
  const QString optionText =
      u8(" Защищенный режим можно удалить ТОЛЬКО с помощью создаваемых мастер-карт ");
  CheckBox1 = new QCheckBox(optionText);
  CheckBox1->setObjectName("CheckBox1");
  CheckBox1->setAccessibleName(optionText);
  connect(CheckBox1, &QCheckBox::clicked, this, [this](bool ticked) { logic_.setOptionTicked(ticked); });
  p1->addWidget(CheckBox1, 0, Qt::AlignHCenter);
  Label3 = makeLabel("Label3", "Не используйте эту опцию если в этом нет крайней необходимости.", 11);
  Label3->setStyleSheet("color: red;");
  p1->addWidget(Label3);
  outer->addWidget(Panel1);

  Panel2 = new QWidget;
  Panel2->setObjectName("Panel2");
  auto* p2 = new QVBoxLayout(Panel2);
  Label4 = makeLabel("Label4", logic_.instruction(), kTextPx);
  p2->addWidget(Label4);
  Label5 = makeLabel("Label5", "Времени осталось:", kTextPx);
  p2->addWidget(Label5);
  Label6 = makeLabel("Label6", "", kNumberPx);
  p2->addWidget(Label6);
  outer->addWidget(Panel2);
  Panel2->hide();

  setFixedSize(520, 240);

  logic_.askOption = [this](const std::string& text) {
    return QMessageBox::warning(this, u8("Выбор опции"), u8(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
  };
  bindLogic(logic_);
  refresh();
}

void TForm2::setSender(std::function<std::uint8_t(std::string_view)> send) { logic_.send = std::move(send); }

void TForm2::prepare(const std::string& crdtype, const std::string& config, bool optionVisible) {
  logic_.crdtype = crdtype;
  logic_.config = config;
  logic_.setOptionVisible(optionVisible);
  logic_.show();
  countButtons_[0]->setFocus();
}

ModalResult TForm2::run(const std::string& crdtype, const std::string& config, bool optionVisible) {
  prepare(crdtype, config, optionVisible);
  return execRun();
}

void TForm2::begin(const std::string& crdtype, const std::string& config, bool optionVisible) {
  prepare(crdtype, config, optionVisible);
  show();
}

void TForm2::refresh() {
  setLabelText(Label1, logic_.heading());
  setLabelText(Label4, logic_.instruction());
  setLabelText(Label6, logic_.countdownText());
  CheckBox1->setVisible(logic_.optionVisible());
  Label3->setVisible(logic_.optionVisible());
  CheckBox1->setChecked(logic_.optionTicked());
  Panel1->setVisible(!logic_.secondPanelVisible());
  Panel2->setVisible(logic_.secondPanelVisible());
}

}  // namespace terva::cards
