#include "app/ui/terminal_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include <fstream>

#include "protocol/operator.h"
#include "protocol/results.h"
#include "protocol/session.h"

namespace terva::app {

namespace {
QString u8(const char* text) { return QString::fromUtf8(text); }
}  // namespace

TerminalPanel::TerminalPanel(ReaderSession& session, Prompts& prompts, FileDialogs* files, QWidget* parent)
    : QWidget(parent), session_(session), prompts_(prompts), files_(files) {
  setObjectName("TerminalPanel");
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setMaximumBlockCount(static_cast<int>(kTerminalMaxLines));
  QFont courier(QStringLiteral("Courier"));
  courier.setStyleHint(QFont::TypeWriter);
  courier.setFixedPitch(true);
  Memo1->setFont(courier);
  Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
  Memo1->setAccessibleName(u8("Журнал обмена"));
  v->addWidget(Memo1, 1);

  findBar_ = new QWidget(this);
  findBar_->setObjectName("findBar");
  auto* fb = new QHBoxLayout(findBar_);
  fb->setContentsMargins(0, 0, 0, 0);
  auto* findLabel = new QLabel(u8("Найти:"), findBar_);
  findEdit_ = new QLineEdit(findBar_);
  findEdit_->setObjectName("findEdit");
  findLabel->setBuddy(findEdit_);
  auto* findButton = new QPushButton(u8("Далее"), findBar_);
  auto* findClose = new QToolButton(findBar_);
  findClose->setText(u8("✕"));
  findClose->setToolTip(u8("Закрыть поиск"));
  fb->addWidget(findLabel);
  fb->addWidget(findEdit_, 1);
  fb->addWidget(findButton);
  fb->addWidget(findClose);
  findBar_->hide();
  v->addWidget(findBar_);

  auto* bar = new QHBoxLayout;
  Label23 = new QLabel(u8("23 + LN + "), this);
  Label23->setObjectName("Label23");
  Edit3 = new QLineEdit(u8("0301"), this);
  Edit3->setObjectName("Edit3");
  Edit3->setMaxLength(32767);
  Edit3->setAccessibleName(u8("Команда: cmd, ver, body"));
  Label23->setBuddy(Edit3);
  Label24 = new QLabel(u8("+ 24"), this);
  Label24->setObjectName("Label24");
  Button9 = new QPushButton(u8("Отправить"), this);
  Button9->setObjectName("Button9");
  CheckBox7 = new QCheckBox(u8("HEX"), this);
  CheckBox7->setObjectName("CheckBox7");
  CheckBox7->setChecked(true);
  CheckBox6 = new QCheckBox(u8("ASCII"), this);
  CheckBox6->setObjectName("CheckBox6");
  Button11 = new QPushButton(u8("Очистить"), this);
  Button11->setObjectName("Button11");
  bar->addWidget(Label23);
  bar->addWidget(Edit3, 1);
  bar->addWidget(Label24);
  bar->addWidget(Button9);
  bar->addWidget(CheckBox7);
  bar->addWidget(CheckBox6);
  bar->addWidget(Button11);
  v->addLayout(bar);

  connect(Button9, &QPushButton::clicked, this, &TerminalPanel::Button9Click);
  connect(Button11, &QPushButton::clicked, this, &TerminalPanel::Button11Click);
  connect(Memo1, &QWidget::customContextMenuRequested, this, &TerminalPanel::showContextMenu);
  auto* findKey = new QShortcut(QKeySequence::Find, Memo1, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(findKey, &QShortcut::activated, this, &TerminalPanel::showFindBar);
  connect(findEdit_, &QLineEdit::returnPressed, this, [this] { findNext(findEdit_->text()); });
  connect(findButton, &QPushButton::clicked, this, [this] { findNext(findEdit_->text()); });
  connect(findClose, &QToolButton::clicked, findBar_, &QWidget::hide);

  hide();
}

TerminalPanel::~TerminalPanel() = default;

void TerminalPanel::present() {
  if (!present_) {
    present_ = true;
    // Only a present terminal listens to the traffic: every receive event
    // would otherwise call it for nothing. The session reports traffic
    // before it dispatches what arrived, so a card's line is in the log
    // before its identifier is shown.
    connect(&session_, &ReaderSession::frameSent, this,
            [this](const std::string& hex) { addLine(log_.sent(hex, view())); });
    connect(&session_, &ReaderSession::bytesReceived, this,
            [this](const std::string& hex) { addLine(log_.received(hex, view())); });
  }
  show();
}

TerminalView TerminalPanel::view() const { return {CheckBox7->isChecked(), CheckBox6->isChecked()}; }

void TerminalPanel::addLine(const std::optional<std::string>& line) {
  if (line) Memo1->appendPlainText(QString::fromStdString(*line));
}

void TerminalPanel::Button9Click() {
  // One character a byte, as typed: anything that is no hex digit is read as
  // hextoint reads it, and the length check counts characters.
  const std::string payload = Edit3->text().toLatin1().toStdString();
  std::uint8_t result = kResultNotSent;
  try {
    result = session_.SendToComPort(payload);
  } catch (const SessionError& e) {
    prompts_.error(e.what());
    return;
  }
  if (result == kResultOk) {
    prompts_.message(kDoneText);
  } else {
    prompts_.error(errtotext(result));
  }
}

void TerminalPanel::Button11Click() {
  log_.clear();
  Memo1->clear();
}

void TerminalPanel::saveLog() {
  if (!files_) return;
  const auto name = files_->saveFileName({"Текстовые файлы (*.txt)", "*.txt"}, "", "txt");
  if (!name) return;
  std::ofstream out(*name, std::ios::binary | std::ios::trunc);
  out << log_.text();
  out.close();
  if (!out) prompts_.error("Не удалось сохранить журнал в файл " + *name);
}

bool TerminalPanel::findNext(const QString& text) {
  if (text.isEmpty()) return false;
  if (Memo1->find(text)) return true;
  // From the top again.
  const QTextCursor keep = Memo1->textCursor();
  Memo1->moveCursor(QTextCursor::Start);
  if (Memo1->find(text)) return true;
  Memo1->setTextCursor(keep);
  return false;
}

void TerminalPanel::showFindBar() {
  findBar_->show();
  findEdit_->setFocus();
  findEdit_->selectAll();
}

void TerminalPanel::showContextMenu(const QPoint& pos) {
  QMenu menu(this);
  QAction* copy = menu.addAction(u8("Копировать"), QKeySequence::Copy, Memo1, &QPlainTextEdit::copy);
  copy->setEnabled(Memo1->textCursor().hasSelection());
  menu.addAction(u8("Выделить всё"), QKeySequence::SelectAll, Memo1, &QPlainTextEdit::selectAll);
  menu.addSeparator();
  menu.addAction(u8("Найти…"), QKeySequence::Find, this, &TerminalPanel::showFindBar);
  QAction* save = menu.addAction(u8("Сохранить журнал в файл…"), this, &TerminalPanel::saveLog);
  save->setEnabled(files_ != nullptr);
  menu.exec(Memo1->mapToGlobal(pos));
}

}  // namespace terva::app
