#include "app/ui/tform1.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/inifile.h"
#include "app/shell_settings.h"
#include "app/ui/services.h"
#include "ident/delivery.h"
#include "ident/idmessage.h"
#include "ident/keyboard.h"
#include "ident/ui/tform7.h"
#include "protocol/results.h"
#include "serial/comport.h"
#include "serial/portlist.h"

namespace terva::app {

namespace {

// Colours are kept as 0x00BBGGRR values.
QColor fromBgr(std::uint32_t bgr) { return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF); }

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
QString sv(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

TForm1::TForm1(MainWindowServices services, QWidget* parent)
    : QMainWindow(parent), services_(std::move(services)) {
  setObjectName("Form1");
  // Creation step: caption with the version text, then the controls.
  setWindowTitle(u8(kApplicationTitle) + " " + QString::fromStdString(versionText()));
  buildUi();
  setMinimumSize(900, 610);
  resize(926, 647);

  session_.onIdentifier = [this](const ident::IdMessage& msg) { showIdentifier(msg); };
  session_.connection().onUnplugged = [this] { onUnplugged(); };
  session_.connection().onLineErrors = [this](serial::TComErrors e) { onLineErrors(e); };

  Timer3.setObjectName("Timer3");
  Timer3.setInterval(10);
  connect(&Timer3, &QTimer::timeout, this, [this] {
    Timer3.stop();
    showMinimized();
  });
  Timer4.setObjectName("Timer4");
  Timer4.setInterval(500);
  connect(&Timer4, &QTimer::timeout, this, [this] {
    Timer4.stop();
    Connect();
  });

  form7_ = new TForm7(this);
  form7_->onUseTemplate = [this](const std::string& tmpl) { setActiveTemplate(tmpl); };
}

TForm1::~TForm1() = default;

void TForm1::buildUi() {
  auto* central = new QWidget(this);
  auto* outer = new QVBoxLayout(central);
  outer->setContentsMargins(0, 0, 0, 0);

  Panel1 = new QWidget(central);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(41);
  auto* bar = new QHBoxLayout(Panel1);
  Label1 = new QLabel(u8("Порт считывателя:"), Panel1);
  Label1->setObjectName("Label1");
  ComComboBox1 = new QComboBox(Panel1);
  ComComboBox1->setObjectName("ComComboBox1");
  ComComboBox1->setEditable(false);
  ComComboBox1->setMinimumWidth(220);
  Button8 = new QToolButton(Panel1);
  Button8->setObjectName("Button8");
  Button8->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
  Button8->setToolTip(u8("Обновить список портов"));
  Button6 = new QPushButton(u8("Подключится"), Panel1);
  Button6->setObjectName("Button6");
  Button7 = new QPushButton(u8("Отключится"), Panel1);
  Button7->setObjectName("Button7");
  Button7->setVisible(false);
  bar->addWidget(Label1);
  bar->addWidget(ComComboBox1);
  bar->addWidget(Button8);
  bar->addWidget(Button6);
  bar->addWidget(Button7);
  bar->addStretch();
  outer->addWidget(Panel1);

  PageControl1 = new QTabWidget(central);
  PageControl1->setObjectName("PageControl1");
  PageControl1->addTab(buildReadingPage(), u8("Чтение"));
  auto* tab2 = new QWidget;
  tab2->setObjectName("TabSheet2");
  PageControl1->addTab(tab2, u8("Конфигурация"));
  auto* tab3 = new QWidget;
  tab3->setObjectName("TabSheet3");
  PageControl1->addTab(tab3, u8("Защищенные карты"));
  PageControl1->setEnabled(false);
  outer->addWidget(PageControl1, 1);
  setCentralWidget(central);

  connect(Button6, &QPushButton::clicked, this, [this] { Connect(); });
  connect(Button7, &QPushButton::clicked, this, [this] { Disconnect(); });
  connect(Button8, &QToolButton::clicked, this, [this] { FillDeviceList(); });
  connect(Button10, &QPushButton::clicked, this, [this] { Button10Click(); });
  connect(RadioButton1, &QRadioButton::clicked, this, [this] { RadioButton1Click(); });
  connect(RadioButton2, &QRadioButton::clicked, this, [this] { RadioButton2Click(); });
  connect(RadioButton3, &QRadioButton::clicked, this, [this] { RadioButton3Click(); });
  connect(CheckBox2, &QCheckBox::clicked, this, [this] { CheckBox2Click(); });
}

QWidget* TForm1::buildReadingPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");
  auto* v = new QVBoxLayout(page);

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
  setBackground(kinds, fromBgr(ident::kPanelStripColour));
  auto* kh = new QHBoxLayout(kinds);
  // Left to right on the panel; the test order of the kinds is another.
  const ident::IdKind order[] = {ident::IdKind::Uid, ident::IdKind::PhoneId, ident::IdKind::Mir,
                                 ident::IdKind::NonuniqueUid, ident::IdKind::RandomUid};
  for (std::size_t i = 0; i < 5; ++i) {
    const auto& k = ident::idKindInfo(order[i]);
    auto* l = new QLabel(sv(k.caption));
    l->setObjectName(sv(k.labelName));
    l->setAlignment(Qt::AlignCenter);
    setTextColour(l, fromBgr(ident::kKindLabelIdle));
    kindLabels_[i] = l;
    kh->addWidget(l, 1);
  }
  pv->addWidget(kinds);

  Label32 = new QLabel("0");
  Label32->setObjectName("Label32");
  Label32->setAlignment(Qt::AlignCenter);
  Label32->setTextInteractionFlags(Qt::TextSelectableByMouse);
  QFont big = Label32->font();
  big.setPointSize(28);
  big.setBold(true);
  Label32->setFont(big);
  Label32->setMinimumHeight(90);
  pv->addWidget(Label32, 1);

  auto* modes = new QWidget;
  setBackground(modes, fromBgr(ident::kPanelStripColour));
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
  v->addStretch();

  CheckBox8 = new QCheckBox(u8("Автоматически подключаться к выбранному порту при запуске"));
  CheckBox8->setObjectName("CheckBox8");
  CheckBox4 = new QCheckBox(u8("Сворачиваться в трей при запуске"));
  CheckBox4->setObjectName("CheckBox4");
  v->addWidget(CheckBox8);
  v->addWidget(CheckBox4);
  return page;
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (firstshow_) firstShowStep();
}

void TForm1::firstShowStep() {
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  PageControl1->setCurrentIndex(0);
  FillDeviceList();
  const IniFile ini(services_.settingsFile);
  // Each key is applied as it is read; an error ends the reading and leaves
  // the keys not yet read in their design state.
  try {
    const std::string port = ini.read(kSettingsSection, "port", "");
    if (!port.empty() && services_.commandLinePort.empty()) {
      const int i = ComComboBox1->findText(QString::fromStdString(port), Qt::MatchExactly | Qt::MatchCaseSensitive);
      if (i >= 0) ComComboBox1->setCurrentIndex(i);
    }
    const int mode = viewModeFromSetting(ini.read(kSettingsSection, "viewmode", "1"));
    if (mode == 1 || mode == 2) display_.setViewMode(mode);
    if (mode == 3) display_.startupTemplate(ini.read(kSettingsSection, "template", ""));
    syncViewModeButtons();
    CheckBox1->setChecked(flagOn(ini.read(kSettingsSection, "tobuffer", "0")));
    CheckBox2->setChecked(flagOn(ini.read(kSettingsSection, "tokeyboard", "0")));
    CheckBox5->setChecked(flagOn(ini.read(kSettingsSection, "crlf", "0")));
    debugmode_ = flagOn(ini.read(kSettingsSection, "debugmode", "0"));
    if (flagOn(ini.read(kSettingsSection, "autoconnect", "0"))) {
      CheckBox8->setChecked(true);
      Timer4.start();
    }
    if (flagOn(ini.read(kSettingsSection, "totray", "0"))) {
      CheckBox4->setChecked(true);
      Timer3.start();
    }
  } catch (...) {
  }
  if (services_.connectAtStart) Timer4.start();
  firstshow_ = false;
}

void TForm1::closeEvent(QCloseEvent* event) {
  writeSettingsAtClose();
  session_.connection().close();
  if (services_.keyboard) services_.keyboard->flush();
  QMainWindow::closeEvent(event);
}

void TForm1::writeSettingsAtClose() {
  IniFile ini(services_.settingsFile);
  try {
    ini.write(kSettingsSection, "viewmode", std::to_string(display_.viewMode()));
    ini.write(kSettingsSection, "template", display_.templateToSave());
    if (ComComboBox1->currentIndex() >= 0) {
      ini.write(kSettingsSection, "port", ComComboBox1->currentText().toStdString());
    }
    ini.write(kSettingsSection, "tobuffer", flagText(CheckBox1->isChecked()));
    ini.write(kSettingsSection, "tokeyboard", flagText(CheckBox2->isChecked()));
    ini.write(kSettingsSection, "crlf", flagText(CheckBox5->isChecked()));
    ini.write(kSettingsSection, "totray", flagText(CheckBox4->isChecked()));
    ini.write(kSettingsSection, "autoconnect", flagText(CheckBox8->isChecked()));
  } catch (...) {
    // An unwritable settings file costs the operator's choices, nothing else.
  }
}

void TForm1::FillDeviceList() {
  std::vector<std::string> names;
  if (!services_.commandLinePort.empty()) names.push_back(services_.commandLinePort);
  if (services_.listPorts) {
    for (auto& n : services_.listPorts()) names.push_back(std::move(n));
  }
  names = serial::removeDuplicatePorts(std::move(names));
  ComComboBox1->clear();
  for (const auto& n : names) {
    ComComboBox1->addItem(QString::fromStdString(n));
    const std::string description = serial::PortDescription(n);
    if (!description.empty()) {
      ComComboBox1->setItemData(ComComboBox1->count() - 1, QString::fromStdString(description), Qt::ToolTipRole);
    }
  }
  ComComboBox1->setCurrentIndex(names.empty() ? -1 : 0);
}

bool TForm1::isConnected() const { return session_.connected(); }

void TForm1::setConnectedState(bool connected) {
  Button6->setVisible(!connected);
  Button7->setVisible(connected);
  Button8->setEnabled(!connected);
  PageControl1->setEnabled(connected);
}

void TForm1::Connect() {
  if (ComComboBox1->currentIndex() < 0) return;
  const std::string path = ComComboBox1->currentText().toStdString();
  try {
    session_.connection().open(path);
  } catch (const serial::EComPort& e) {
    QString text = u8("Ошибка открытия порта");
    const std::string cause = serial::DescribeOpenError(e.WinCode, path);
    if (!cause.empty()) text += "\n" + QString::fromStdString(cause);
    services_.prompts->error(text);
    return;
  }
  setConnectedState(true);
  guarded([this] { SendToComPort("0501"); });
}

void TForm1::Disconnect() {
  session_.connection().close();
  setConnectedState(false);
}

void TForm1::onUnplugged() {
  Disconnect();
  services_.prompts->message(u8("USB-считыватель отключен"));
  FillDeviceList();
}

void TForm1::onLineErrors(int errors) {
  for (const auto& text : serial::lineErrorMessages(static_cast<serial::TComErrors>(errors))) {
    services_.prompts->message(QString::fromStdString(text));
  }
}

void TForm1::guarded(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const std::exception& e) {
    services_.prompts->error(QString::fromLocal8Bit(e.what()));
  }
}

void TForm1::Button10Click() {
  guarded([this] {
    const std::uint8_t result = SendToComPort("0501");
    if (result == kResultOk) {
      services_.prompts->message(u8(kDoneText));
    } else {
      services_.prompts->error(QString::fromStdString(errtotext(result)));
    }
  });
}

void TForm1::showIdentifier(const ident::IdMessage& msg) {
  const std::string rendered = display_.show(msg.identifier);
  const auto& kind = ident::idKindInfo(msg.kind);
  for (auto* l : kindLabels_) {
    setTextColour(l, fromBgr(l->objectName() == sv(kind.labelName) ? ident::kKindLabelLit : ident::kKindLabelIdle));
  }
  setBackground(idpanel, fromBgr(kind.panelColour));
  const std::u32string characters = ident::renderedCharacters(rendered);
  const QString text = QString::fromStdU32String(characters);
  Label32->setText(text);
  deliver(characters);
  emit identifierShown(text);
}

void TForm1::deliver(const std::u32string& text) {
  ident::DeliveryOptions opts;
  opts.toClipboard = CheckBox1->isChecked();
  opts.toKeyboard = CheckBox2->isChecked();
  opts.enterAfter = CheckBox5->isChecked();
  const ident::DeliveryPlan plan = ident::planDelivery(text, opts, isActiveWindow());
  if (plan.keystrokes) {
    if (services_.keyboard && services_.keyboard->available()) {
      services_.keyboard->type(*plan.keystrokes, plan.pressEnter);
    } else {
      warnKeyboardUnavailableOnce();
    }
  }
  if (plan.clipboard && services_.clipboard) {
    services_.clipboard->setText(QString::fromStdU32String(*plan.clipboard));
  }
}

void TForm1::CheckBox2Click() {
  if (CheckBox2->isChecked() && !(services_.keyboard && services_.keyboard->available())) {
    warnKeyboardUnavailableOnce();
  }
}

void TForm1::warnKeyboardUnavailableOnce() {
  if (keyboardWarned_) return;
  keyboardWarned_ = true;
  const std::string reason = services_.keyboard ? services_.keyboard->unavailableReason() : std::string();
  services_.prompts->message(reason.empty() ? u8("Имитация набора на клавиатуре недоступна.")
                                            : QString::fromStdString(reason));
}

void TForm1::refreshIdentifierLabel() {
  Label32->setText(QString::fromStdU32String(ident::renderedCharacters(display_.labelText())));
}

void TForm1::syncViewModeButtons() {
  RadioButton1->setChecked(display_.viewMode() == 1);
  RadioButton2->setChecked(display_.viewMode() == 2);
  RadioButton3->setChecked(display_.viewMode() == 3);
}

void TForm1::RadioButton1Click() {
  if (firstshow_) return;
  display_.chooseDec();
  refreshIdentifierLabel();
  syncViewModeButtons();
}

void TForm1::RadioButton2Click() {
  if (firstshow_) return;
  display_.chooseHex();
  refreshIdentifierLabel();
  syncViewModeButtons();
}

void TForm1::RadioButton3Click() {
  if (firstshow_ || display_.viewMode() == 3) return;
  const std::string sample = display_.editorSample();
  if (services_.openTemplateEditor) {
    services_.openTemplateEditor(sample);
  } else {
    form7_->openWithSample(sample);
  }
  display_.cstEditorClosed();
  refreshIdentifierLabel();
  syncViewModeButtons();
}

void TForm1::setActiveTemplate(const std::string& tmpl) { display_.setActiveTemplate(tmpl); }

}  // namespace terva::app
