#include "ident/ui/reading_page.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <array>

#include "ident/keyboard.h"
#include "ident/ui/identifier_label.h"
#include "ident/template_chooser.h"
#include "protocol/commands.h"
#include "protocol/operator.h"
#include "protocol/results.h"
#include "protocol/session.h"

namespace terva::ident {

namespace {

// Left to right on the panel.
constexpr std::array<IdKindLook, 5> kLooks = {{
    {IdKind::Uid, "Label25", "UID", 0xFFFFFF},
    {IdKind::PhoneId, "Label26", "Phone ID", 0xBFFFBF},
    {IdKind::Mir, "Label27", "MIR", 0xFFF3D7},
    {IdKind::NonuniqueUid, "Label28", "Nonunique UID", 0xC4FFFF},
    {IdKind::RandomUid, "Label29", "Random UID", 0xB9B9FF},
}};

// Kind labels: all silver, the matched one black. Strips: light grey.
constexpr std::uint32_t kKindLabelIdle = 0xC0C0C0;
constexpr std::uint32_t kKindLabelLit = 0x000000;
constexpr std::uint32_t kPanelStripColour = 0xE9E9E9;

// Colours are kept as 0x00BBGGRR values.
QColor fromBgr(std::uint32_t bgr) {
  return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF), static_cast<int>((bgr >> 16) & 0xFF));
}

void setTextColour(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::WindowText, c);
  w->setPalette(p);
}

void setBackground(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  p.setColor(QPalette::Window, c);
  w->setPalette(p);
  w->setAutoFillBackground(true);
}

QString u8(const char* text) { return QString::fromUtf8(text); }

// The label's text for a rendered text. Identifiers are nearly always ASCII,
// which converts directly; anything else goes by its characters.
QString labelText(const std::string& rendered) {
  for (const char c : rendered) {
    if (static_cast<unsigned char>(c) >= 0x80) return QString::fromStdU32String(renderedCharacters(rendered));
  }
  return QString::fromLatin1(rendered.data(), static_cast<qsizetype>(rendered.size()));
}

}  // namespace

const IdKindLook& idKindLook(IdKind kind) {
  for (const auto& l : kLooks) {
    if (l.kind == kind) return l;
  }
  return kLooks.front();
}

ReadingPage::ReadingPage(ReadingPageServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), delivery_(services_.keyboard, services_.clipboard) {
  setObjectName("TabSheet1");
  auto* v = new QVBoxLayout(this);

  auto* head = new QHBoxLayout;
  head->addWidget(new QLabel(u8("Идентификатор карты (ID):")));
  head->addStretch();
  Button10 = new QPushButton(u8("Режим считывания карт"));
  Button10->setObjectName("Button10");
  head->addWidget(Button10);
  v->addLayout(head);

  idpanel = new QFrame;
  idpanel->setObjectName("idpanel");
  idpanel->setFrameShape(QFrame::Box);
  setBackground(idpanel, Qt::white);
  auto* pv = new QVBoxLayout(idpanel);
  pv->setContentsMargins(1, 1, 1, 1);

  auto* kinds = new QWidget;
  setBackground(kinds, fromBgr(kPanelStripColour));
  auto* kh = new QHBoxLayout(kinds);
  for (std::size_t i = 0; i < kLooks.size(); ++i) {
    auto* l = new QLabel(u8(kLooks[i].caption));
    l->setObjectName(kLooks[i].labelName);
    l->setAlignment(Qt::AlignCenter);
    setTextColour(l, fromBgr(kKindLabelIdle));
    kindLabels_[i] = l;
    kh->addWidget(l, 1);
  }
  pv->addWidget(kinds);

  Label32 = new app::IdentifierLabel;
  pv->addWidget(new app::IdentifierBox(Label32), 1);

  auto* modes = new QWidget;
  setBackground(modes, fromBgr(kPanelStripColour));
  auto* mh = new QHBoxLayout(modes);
  RadioButton1 = new QRadioButton("DEC");
  RadioButton1->setObjectName("RadioButton1");
  RadioButton1->setToolTip(u8("десятичное представление"));
  RadioButton1->setChecked(true);
  RadioButton2 = new QRadioButton("HEX");
  RadioButton2->setObjectName("RadioButton2");
  RadioButton2->setToolTip(u8("шестнадцатеричное представление"));
  RadioButton3 = new QRadioButton("CST");
  RadioButton3->setObjectName("RadioButton3");
  RadioButton3->setToolTip(u8("пользовательское представление"));
  mh->addStretch();
  for (auto* r : {RadioButton1, RadioButton2, RadioButton3}) mh->addWidget(r);
  mh->addStretch();
  pv->addWidget(modes);
  v->addWidget(idpanel);

  CheckBox1 = new QCheckBox(u8("Помещать идентификатор карты в буфер обмена"));
  CheckBox1->setObjectName("CheckBox1");
  CheckBox2 = new QCheckBox(u8("Имитация набора идентификатора карты на клавиатуре "));
  CheckBox2->setObjectName("CheckBox2");
  CheckBox5 = new QCheckBox(u8("+ перевод строки"));
  CheckBox5->setObjectName("CheckBox5");
  v->addWidget(CheckBox1);
  auto* typing = new QHBoxLayout;
  typing->addWidget(CheckBox2);
  typing->addWidget(CheckBox5);
  typing->addStretch();
  v->addLayout(typing);

  terminalArea_ = new QVBoxLayout;
  terminalArea_->setContentsMargins(0, 0, 0, 0);
  v->addLayout(terminalArea_, 1);
  v->addStretch();

  CheckBox8 = new QCheckBox(u8("Автоматически подключаться к выбранному порту при запуске"));
  CheckBox8->setObjectName("CheckBox8");
  CheckBox4 = new QCheckBox(u8("Сворачиваться в трей при запуске"));
  CheckBox4->setObjectName("CheckBox4");
  v->addWidget(CheckBox8);
  v->addWidget(CheckBox4);

  for (QWidget* w : std::initializer_list<QWidget*>{Button10, RadioButton1, RadioButton2, RadioButton3, CheckBox1,
                                                    CheckBox2, CheckBox5, CheckBox8, CheckBox4}) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setAccessibleName(b->text().trimmed());
  }
  Label32->setAccessibleName(u8("Идентификатор карты (ID):"));

  connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(RadioButton1, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
  connect(RadioButton2, &QRadioButton::clicked, this, [this] { RadioButton2Click(); });
  connect(RadioButton3, &QRadioButton::clicked, this, [this] { RadioButton3Click(); });
  connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
  if (services_.session) {
    connect(services_.session, &ReaderSession::identifierReceived, this,
            [this](const IdMessage& msg) { showIdentifier(msg); });
  }
}

ReadingPage::~ReadingPage() = default;

void ReadingPage::restoreViewMode(ViewMode mode, const std::string& savedTemplate) {
  if (mode == kViewCst) {
    display_.startupTemplate(savedTemplate);
  } else {
    display_.setViewMode(mode);
  }
  syncViewModeButtons();
}

void ReadingPage::setDelivery(const DeliveryOptions& options) {
  CheckBox1->setChecked(options.toClipboard);
  CheckBox2->setChecked(options.toKeyboard);
  CheckBox5->setChecked(options.enterAfter);
}

DeliveryOptions ReadingPage::delivery() const {
  DeliveryOptions opts;
  opts.toClipboard = CheckBox1->isChecked();
  opts.toKeyboard = CheckBox2->isChecked();
  opts.enterAfter = CheckBox5->isChecked();
  return opts;
}

void ReadingPage::Button10Click() {
  try {
    const std::uint8_t result = services_.session->SendToComPort(commands::cardReadingMode());
    if (result == kResultOk) {
      services_.prompts->message(kDoneText);
    } else {
      services_.prompts->error(errtotext(result));
    }
  } catch (const std::exception& e) {
    services_.prompts->error(e.what());
  }
}

void ReadingPage::setKind(IdKind kind) {
  // Repainting the panel costs more than everything else a card does: only a
  // change of kind changes its look.
  if (kindShown_ && kind == shownKind_) return;
  const IdKindLook& look = idKindLook(kind);
  for (std::size_t i = 0; i < kLooks.size(); ++i) {
    setTextColour(kindLabels_[i], fromBgr(kLooks[i].kind == kind ? kKindLabelLit : kKindLabelIdle));
  }
  setBackground(idpanel, fromBgr(look.panelColour));
  shownKind_ = kind;
  kindShown_ = true;
}

void ReadingPage::showIdentifier(const IdMessage& msg) {
  const std::string& rendered = display_.show(msg.identifier);
  setKind(msg.kind);
  // The same card read again: its text is converted already.
  if (rendered != shownRendered_) {
    shownRendered_ = rendered;
    shownText_ = labelText(rendered);
  }
  const QString text = shownText_;
  Label32->setIdentifier(text);
  // With both delivery options off there is nothing to deliver.
  const DeliveryOptions options = delivery();
  if (options.toClipboard || options.toKeyboard) {
    const bool active = services_.mainWindowActive ? services_.mainWindowActive() : false;
    if (delivery_.deliver(renderedCharacters(rendered), options, active).keyboardUnavailable) {
      warnKeyboardUnavailableOnce();
    }
  }
  emit identifierShown(text);
}

void ReadingPage::stopTyping() {
  if (services_.keyboard) services_.keyboard->stop();
  delivery_.typingAbandoned();
}

void ReadingPage::CheckBox2Click() {
  if (CheckBox2->isChecked() && !(services_.keyboard && services_.keyboard->available())) {
    warnKeyboardUnavailableOnce();
  }
}

void ReadingPage::warnKeyboardUnavailableOnce() {
  if (keyboardWarned_) return;
  keyboardWarned_ = true;
  const std::string reason = services_.keyboard ? services_.keyboard->unavailableReason() : std::string();
  services_.prompts->message(reason.empty() ? std::string("Имитация набора на клавиатуре недоступна.") : reason);
}

void ReadingPage::refreshIdentifierLabel() { Label32->setIdentifier(labelText(display_.labelText())); }

void ReadingPage::syncViewModeButtons() {
  RadioButton1->setChecked(display_.viewMode() == kViewDec);
  RadioButton2->setChecked(display_.viewMode() == kViewHex);
  RadioButton3->setChecked(display_.viewMode() == kViewCst);
}

void ReadingPage::RadioButton1Click() {
  if (firstshow_) return;
  display_.chooseDec();
  refreshIdentifierLabel();
  syncViewModeButtons();
}

void ReadingPage::RadioButton2Click() {
  if (firstshow_) return;
  display_.chooseHex();
  refreshIdentifierLabel();
  syncViewModeButtons();
}

void ReadingPage::RadioButton3Click() {
  if (firstshow_ || !display_.cstOpensEditor()) return;
  if (services_.templateEditor) {
    if (auto adopted = services_.templateEditor->chooseTemplate(display_.editorSample())) {
      display_.setActiveTemplate(*adopted);
    }
  }
  display_.cstEditorClosed();
  refreshIdentifierLabel();
  syncViewModeButtons();
}

}  // namespace terva::ident
