#include "config/ui/config_page.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "config/config_editor.h"
#include "config/editor_texts.h"
#include "config/ui/tform9.h"
#include "protocol/operator.h"

namespace terva::config {

namespace {

QString u8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// Sets a control from the editor with its change signals ignored.
class Refreshing {
 public:
  explicit Refreshing(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~Refreshing() { flag_ = was_; }
  Refreshing(const Refreshing&) = delete;
  Refreshing& operator=(const Refreshing&) = delete;

 private:
  bool& flag_;
  bool was_;
};

QLabel* captionFor(QWidget* control, std::string_view text) {
  auto* label = new QLabel(u8(text));
  // Long captions wrap rather than being cut off at the minimum window size.
  label->setWordWrap(true);
  label->setBuddy(control);
  control->setAccessibleName(label->text().trimmed());
  return label;
}

// Whole-number spinners change only by their arrows and arrow keys.
QSpinBox* arrowSpinner(const char* name) {
  auto* s = new QSpinBox;
  s->setObjectName(name);
  if (auto* edit = s->findChild<QLineEdit*>()) edit->setReadOnly(true);
  s->setKeyboardTracking(false);
  return s;
}

// A selector whose long items do not hold the page wide: it may narrow to a
// few characters at the smallest window; the open list shows items whole.
QComboBox* narrowingSelector(const char* name) {
  auto* c = new QComboBox;
  c->setObjectName(name);
  c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  c->setMinimumContentsLength(12);
  return c;
}

QPushButton* actionButton(const char* name, std::string_view caption) {
  auto* b = new QPushButton(u8(caption));
  b->setObjectName(name);
  b->setAccessibleName(b->text());
  return b;
}

QToolButton* toolButton(const char* name, std::string_view hint, QStyle::StandardPixmap icon, QStyle* style) {
  auto* b = new QToolButton;
  b->setObjectName(name);
  b->setIcon(style->standardIcon(icon));
  b->setToolTip(u8(hint));
  b->setAccessibleName(b->toolTip());
  b->setAutoRaise(true);
  return b;
}

// The key filter of the access-code field (Edit2KeyPress): a key that types
// a character passes only as the core allows it, "a".."f" as "A".."F".
class AccessCodeKeys : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Backspace || key->text().isEmpty()) return false;
    const char32_t typed = key->text().toUcs4().value(0);
    const auto passed = Edit2KeyPress(typed);
    if (!passed) return true;
    if (*passed == typed) return false;
    auto* edit = static_cast<QLineEdit*>(watched);
    QKeyEvent replaced(QEvent::KeyPress, key->key(), key->modifiers(),
                       QString::fromUcs4(&*passed, 1));
    static_cast<QObject*>(edit)->event(&replaced);  // typed as the field would type it, textEdited included
    return true;
  }
};

constexpr int kBitRole = Qt::UserRole;

}  // namespace

ConfigPage::ConfigPage(ConfigPageServices services, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), editor_(*services_.editor), names_(services_.settingsFolder) {
  setObjectName("TabSheet2");

  auto* page = new QHBoxLayout(this);
  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  buildGeneralGroup(left);
  buildBlockPanel();
  buildZonePanel();
  Panel12 = new QWidget;
  Panel12->setObjectName("Panel12");
  leftLayout->addWidget(Panel6);
  leftLayout->addWidget(Panel19, 1);
  leftLayout->addWidget(Panel12, 1);
  buildWallReadersGroup(left);
  // In the modes with more settings the editor may be taller than a small
  // window: it scrolls instead of squeezing its controls over each other.
  auto* scroll = new QScrollArea;
  scroll->setObjectName("editorScroll");
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setWidget(left);
  page->addWidget(scroll, 1);
  auto* right = new QWidget;
  buildButtonColumn(right);
  page->addWidget(right);

  connectControls();
  refreshNamesSelector();
  refreshZoneNames();
  refresh();
  listener_ = editor_.addListener([this] { refresh(); });
}

ConfigPage::~ConfigPage() { editor_.removeListener(listener_); }

void ConfigPage::buildGeneralGroup(QWidget* host) {
  GroupBox1 = new QGroupBox(u8(texts::kGeneralGroup));
  GroupBox1->setObjectName("GroupBox1");
  auto* g = new QGridLayout(GroupBox1);

  ComboBox4 = narrowingSelector("ComboBox4");
  for (auto item : texts::kReadingModeItems) ComboBox4->addItem(u8(item));
  CheckListBox1 = new QListWidget;
  CheckListBox1->setObjectName("CheckListBox1");
  // As tall as its formats (five at most), which leaves the room below to the
  // mode's own settings.
  CheckListBox1->setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
  g->addWidget(captionFor(ComboBox4, texts::kReadingModeLabel), 0, 0);
  g->addWidget(ComboBox4, 1, 0);
  g->addWidget(captionFor(CheckListBox1, texts::kCardFormatLabel), 2, 0);
  g->addWidget(CheckListBox1, 3, 0, 4, 1);

  CheckBox3 = new QCheckBox(u8(texts::kReverseByteOrder));
  CheckBox3->setObjectName("CheckBox3");
  CheckBox3->setAccessibleName(CheckBox3->text());
  SpinEdit3 = arrowSpinner("SpinEdit3");
  SpinEdit4 = arrowSpinner("SpinEdit4");
  g->addWidget(CheckBox3, 1, 1);
  g->addWidget(captionFor(SpinEdit3, texts::kBitShiftLabel), 2, 1);
  g->addWidget(SpinEdit3, 3, 1);
  g->addWidget(captionFor(SpinEdit4, texts::kSignificantBitsLabel), 4, 1);
  g->addWidget(SpinEdit4, 5, 1);
  g->setRowStretch(6, 1);
  g->setColumnStretch(0, 1);
  static_cast<QVBoxLayout*>(host->layout())->addWidget(GroupBox1);
}

void ConfigPage::buildBlockPanel() {
  Panel6 = new QWidget;
  Panel6->setObjectName("Panel6");
  auto* g = new QGridLayout(Panel6);
  SpinEdit2 = arrowSpinner("SpinEdit2");
  SpinEdit2->setRange(kBlockNumberMin, kBlockNumberMax);
  SpinEdit5 = arrowSpinner("SpinEdit5");
  SpinEdit5->setRange(kBlockOffsetMin, kBlockOffsetMax);
  SpinEdit6 = arrowSpinner("SpinEdit6");
  SpinEdit6->setRange(kBlockByteCountMin, kBlockByteCountMax);
  g->addWidget(captionFor(SpinEdit2, texts::kBlockNumberLabel), 0, 0);
  g->addWidget(SpinEdit2, 0, 1);
  g->addWidget(captionFor(SpinEdit5, texts::kBlockOffsetLabel), 1, 0);
  g->addWidget(SpinEdit5, 1, 1);
  g->addWidget(new QLabel(u8(texts::kBytesUnit)), 1, 2);
  g->addWidget(captionFor(SpinEdit6, texts::kBlockByteCountLabel), 2, 0);
  g->addWidget(SpinEdit6, 2, 1);
  g->addWidget(new QLabel(u8(texts::kBytesUnit)), 2, 2);
  Edit2 = new QLineEdit;
  Edit2->setObjectName("Edit2");
  Edit2->setMaxLength(static_cast<int>(kAccessCodeDigits));
  Edit2->installEventFilter(new AccessCodeKeys(Edit2));
  g->addWidget(captionFor(Edit2, texts::kAccessCodeLabel), 3, 0, 1, 3);
  auto* code = new QHBoxLayout;
  code->addWidget(new QLabel(u8(texts::kAccessCodePrefix)));
  code->addWidget(Edit2, 1);
  g->addLayout(code, 4, 0, 1, 3);
  g->setColumnStretch(3, 1);
  g->setRowStretch(5, 1);
}

void ConfigPage::buildZonePanel() {
  Panel19 = new QWidget;
  Panel19->setObjectName("Panel19");
  auto* v = new QVBoxLayout(Panel19);
  auto* bar = new QHBoxLayout;
  ComboBox1 = new QComboBox;
  ComboBox1->setObjectName("ComboBox1");
  ComboBox1->setAccessibleName(u8(texts::kStandardNames));
  QStyle* s = style();
  SpeedButton1 = toolButton("SpeedButton1", texts::kSpeedButton1Hint, QStyle::SP_DialogSaveButton, s);
  SpeedButton2 = toolButton("SpeedButton2", texts::kSpeedButton2Hint, QStyle::SP_DialogYesButton, s);
  SpeedButton3 = toolButton("SpeedButton3", texts::kSpeedButton3Hint, QStyle::SP_DialogNoButton, s);
  SpeedButton4 = toolButton("SpeedButton4", texts::kSpeedButton4Hint, QStyle::SP_FileDialogDetailedView, s);
  bar->addWidget(ComboBox1, 1);
  for (auto* b : {SpeedButton1, SpeedButton2, SpeedButton3, SpeedButton4}) bar->addWidget(b);
  v->addLayout(bar);

  // One row per zone: the tick, the number, the name.
  StringGrid1 = new QTableWidget(kZoneCount, 3);
  StringGrid1->setObjectName("StringGrid1");
  StringGrid1->setAccessibleName(u8(texts::kForm9Title));
  StringGrid1->horizontalHeader()->hide();
  StringGrid1->verticalHeader()->hide();
  StringGrid1->setColumnWidth(0, 20);
  StringGrid1->setColumnWidth(1, 30);
  StringGrid1->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
  for (int row = 0; row < kZoneCount; ++row) {
    auto* tick = new QTableWidgetItem;
    tick->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    tick->setCheckState(Qt::Unchecked);
    auto* number = new QTableWidgetItem(QString::number(row + 1));
    number->setFlags(Qt::ItemIsEnabled);
    number->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    auto* name = new QTableWidgetItem;
    name->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable);
    StringGrid1->setItem(row, 0, tick);
    StringGrid1->setItem(row, 1, number);
    StringGrid1->setItem(row, 2, name);
  }
  v->addWidget(StringGrid1, 1);

  auto* pulse = new QHBoxLayout;
  FloatSpinEdit1 = new QDoubleSpinBox;
  FloatSpinEdit1->setObjectName("FloatSpinEdit1");
  FloatSpinEdit1->setDecimals(1);
  FloatSpinEdit1->setRange(kPulseTenthsMin / 10.0, kPulseTenthsMax / 10.0);
  FloatSpinEdit1->setSingleStep(texts::kPulseStepSeconds);
  FloatSpinEdit1->setKeyboardTracking(false);
  pulse->addWidget(captionFor(FloatSpinEdit1, texts::kPulseLabel));
  pulse->addWidget(FloatSpinEdit1);
  pulse->addStretch();
  v->addLayout(pulse);
}

void ConfigPage::buildWallReadersGroup(QWidget* host) {
  GroupBox2 = new QGroupBox(u8(texts::kWallReadersGroup));
  GroupBox2->setObjectName("GroupBox2");
  auto* g = new QGridLayout(GroupBox2);
  ComboBox3 = narrowingSelector("ComboBox3");
  for (auto item : texts::kWiegandTypeItems) ComboBox3->addItem(u8(item));
  ComboBox2 = new QComboBox;
  ComboBox2->setObjectName("ComboBox2");
  for (auto item : texts::kWiegandWidthItems) ComboBox2->addItem(u8(item));
  SpinEdit1 = arrowSpinner("SpinEdit1");
  SpinEdit1->setRange(kWiegandWidthMin, kWiegandWidthMax);
  SpinEdit1->setAccessibleName(u8(texts::kWiegandWidthLabel));
  Label11 = new QLabel;
  Label11->setObjectName("Label11");
  g->addWidget(captionFor(ComboBox3, texts::kWiegandTypeLabel), 0, 0);
  g->addWidget(ComboBox3, 0, 1, 1, 3);
  g->addWidget(captionFor(ComboBox2, texts::kWiegandWidthLabel), 1, 0);
  g->addWidget(ComboBox2, 1, 1);
  g->addWidget(SpinEdit1, 1, 2);
  g->addWidget(Label11, 1, 3);

  auto panel = [&](const char* name, std::string_view label, int row, int column) {
    auto* p = new QPushButton(u8(texts::kColourPanelCaption));
    p->setObjectName(name);
    p->setFlat(true);
    p->setAutoFillBackground(true);
    p->setMinimumHeight(24);
    g->addWidget(captionFor(p, label), row, column, 1, 2);
    g->addWidget(p, row + 1, column, 1, 2);
    return p;
  };
  color1 = panel("color1", texts::kLedIdleLabel, 2, 0);
  color3 = panel("color3", texts::kLedRedLabel, 2, 2);
  color2 = panel("color2", texts::kLedRedGreenLabel, 4, 0);
  color4 = panel("color4", texts::kLedGreenLabel, 4, 2);
  static_cast<QVBoxLayout*>(host->layout())->addWidget(GroupBox2);
}

void ConfigPage::buildButtonColumn(QWidget* host) {
  auto* v = new QVBoxLayout(host);
  v->setContentsMargins(0, 0, 0, 0);
  Button18 = actionButton("Button18", texts::kButton18);
  Button2 = actionButton("Button2", texts::kButton2);
  Button1 = actionButton("Button1", texts::kButton1);
  Button3 = actionButton("Button3", texts::kButton3);
  Button12 = actionButton("Button12", texts::kButton12);
  Button4 = actionButton("Button4", "Создать мастер-карты");
  Button5 = actionButton("Button5", "Очистить мастер-карты");
  Button17 = actionButton("Button17", "Считать конфигурацию с мастер-карты");
  Button15 = actionButton("Button15", "Считать конфигурацию с мастер-карты и записать в USB-считыватель");
  for (auto* b : {Button18, Button2, Button1, Button3, Button12}) v->addWidget(b);
  v->addSpacing(16);
  for (auto* b : {Button4, Button5, Button17, Button15}) v->addWidget(b);
  v->addStretch();
}

void ConfigPage::connectControls() {
  auto guarded = [this](auto f) {
    return [this, f](auto... args) {
      if (!refreshing_) f(args...);
    };
  };
  connect(ComboBox4, &QComboBox::currentIndexChanged, this,
          guarded([this](int mode) { editor_.ComboBox4Change(mode); }));
  connect(CheckListBox1, &QListWidget::itemChanged, this,
          guarded([this](QListWidgetItem* item) { CheckListBox1ClickCheck(item); }));
  connect(CheckBox3, &QCheckBox::toggled, this, guarded([this](bool on) { editor_.setReverseByteOrder(on); }));
  connect(SpinEdit3, &QSpinBox::valueChanged, this, guarded([this](int v) { editor_.SpinEdit3Change(v); }));
  connect(SpinEdit4, &QSpinBox::valueChanged, this, guarded([this](int v) { editor_.SpinEdit4Change(v); }));
  connect(SpinEdit2, &QSpinBox::valueChanged, this, guarded([this](int v) { editor_.SpinEdit2Change(v); }));
  connect(SpinEdit5, &QSpinBox::valueChanged, this, guarded([this](int v) { editor_.SpinEdit5Change(v); }));
  connect(SpinEdit6, &QSpinBox::valueChanged, this, guarded([this](int v) { editor_.SpinEdit6Change(v); }));
  connect(Edit2, &QLineEdit::textEdited, this, guarded([this](const QString& t) { Edit2Edited(t); }));
  connect(StringGrid1, &QTableWidget::itemChanged, this,
          guarded([this](QTableWidgetItem* item) { StringGrid1Changed(item); }));
  connect(FloatSpinEdit1, &QDoubleSpinBox::valueChanged, this,
          guarded([this](double v) { editor_.setPulseSeconds(v); }));
  connect(ComboBox1, &QComboBox::activated, this, guarded([this](int index) { ComboBox1Change(index); }));
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { SpeedButton1Click(); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { editor_.setZoneMask(kAllZones); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { editor_.setZoneMask(0); });
  connect(SpeedButton4, &QToolButton::clicked, this, [this] { SpeedButton4Click(); });
  connect(ComboBox3, &QComboBox::currentIndexChanged, this,
          guarded([this](int type) { editor_.ComboBox3Change(type); }));
  connect(ComboBox2, &QComboBox::currentIndexChanged, this,
          guarded([this](int index) { editor_.ComboBox2Change(index == 1); }));
  connect(SpinEdit1, &QSpinBox::valueChanged, this, guarded([this](int v) { editor_.SpinEdit1Change(v); }));
  connect(color1, &QPushButton::clicked, this, [this] { color1Click(Led::Idle); });
  connect(color2, &QPushButton::clicked, this, [this] { color1Click(Led::RedGreen); });
  connect(color3, &QPushButton::clicked, this, [this] { color1Click(Led::Red); });
  connect(color4, &QPushButton::clicked, this, [this] { color1Click(Led::Green); });

  connect(Button1, &QPushButton::clicked, this, &ConfigPage::readFromFileClicked);
  connect(Button3, &QPushButton::clicked, this, &ConfigPage::writeToFileClicked);
  connect(Button18, &QPushButton::clicked, this, &ConfigPage::readFromReaderClicked);
  connect(Button2, &QPushButton::clicked, this, &ConfigPage::writeToReaderClicked);
  connect(Button12, &QPushButton::clicked, this, &ConfigPage::firmwareVersionClicked);
  connect(Button4, &QPushButton::clicked, this, &ConfigPage::createMasterCardsClicked);
  connect(Button5, &QPushButton::clicked, this, &ConfigPage::clearMasterCardsClicked);
  connect(Button17, &QPushButton::clicked, this, &ConfigPage::readMasterCardClicked);
  connect(Button15, &QPushButton::clicked, this, &ConfigPage::copyMasterCardClicked);
}

// ---- showing the configuration ----

void ConfigPage::refresh() {
  Refreshing guard(refreshing_);
  const ReaderConfig& c = editor_.config();

  ComboBox4->setCurrentIndex(c.readingMode >= 0 && c.readingMode < kModeCount ? c.readingMode : -1);
  refreshFormatList();
  const bool shiftBits = shiftBitsEnabled(c.readingMode);
  CheckBox3->setChecked(c.reverseByteOrder);
  CheckBox3->setEnabled(shiftBits);
  SpinEdit3->setRange(0, shiftMax(c));
  SpinEdit3->setValue(c.bitShift);
  SpinEdit3->setEnabled(shiftBits);
  SpinEdit4->setRange(1, bitsMax(c));
  SpinEdit4->setValue(c.significantBits);
  SpinEdit4->setEnabled(shiftBits);

  const ModeArea area = modeArea(c.readingMode);
  Panel6->setVisible(area == ModeArea::Block);
  Panel19->setVisible(area == ModeArea::Zones);
  Panel12->setVisible(area == ModeArea::Empty);

  SpinEdit2->setValue(c.blockNumber);
  SpinEdit5->setValue(c.blockOffset);
  SpinEdit6->setValue(c.blockByteCount);
  const QString code = QString::fromStdString(c.blockAccessCode);
  if (Edit2->text() != code) Edit2->setText(code);

  refreshZoneTicks();
  FloatSpinEdit1->setValue(pulseSeconds(c));

  ComboBox3->setCurrentIndex(c.wiegandType == 0 || c.wiegandType == 1 ? c.wiegandType : -1);
  ComboBox2->setCurrentIndex(c.wiegandWidthUser ? 1 : 0);
  SpinEdit1->setValue(c.wiegandWidth);
  SpinEdit1->setVisible(wiegandWidthVisible(c));
  Label11->setText(QString::fromStdString(label11Text(c)));
  Label11->setVisible(wiegandWidthVisible(c));

  showColour(color1, c.ledIdle);
  showColour(color2, c.ledRedGreen);
  showColour(color3, c.ledRed);
  showColour(color4, c.ledGreen);
}

void ConfigPage::refreshFormatList() {
  const auto items = formatItems(editor_.config());
  bool same = CheckListBox1->count() == static_cast<int>(items.size());
  for (int i = 0; same && i < CheckListBox1->count(); ++i)
    same = CheckListBox1->item(i)->data(kBitRole).toInt() == items[static_cast<std::size_t>(i)].bit;
  if (!same) {
    // Another mode's list: rebuilt, which also drops the selected row.
    CheckListBox1->clear();
    for (const auto& f : items) {
      auto* item = new QListWidgetItem(u8(f.text), CheckListBox1);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
      item->setData(kBitRole, f.bit);
    }
    CheckListBox1->setCurrentRow(-1);
  }
  for (int i = 0; i < CheckListBox1->count(); ++i)
    CheckListBox1->item(i)->setCheckState(items[static_cast<std::size_t>(i)].ticked ? Qt::Checked : Qt::Unchecked);
}

void ConfigPage::refreshZoneTicks() {
  Refreshing guard(refreshing_);
  for (int zone = 1; zone <= kZoneCount; ++zone) {
    const auto state = zoneTicked(editor_.config().zoneMask, zone) ? Qt::Checked : Qt::Unchecked;
    QTableWidgetItem* tick = StringGrid1->item(zone - 1, 0);
    if (tick->checkState() != state) tick->setCheckState(state);
  }
}

void ConfigPage::refreshZoneNames() {
  Refreshing guard(refreshing_);
  for (int zone = 1; zone <= kZoneCount; ++zone) {
    const QString name = QString::fromStdString(names_.names()[static_cast<std::size_t>(zone - 1)]);
    QTableWidgetItem* item = StringGrid1->item(zone - 1, 2);
    if (item->text() != name) item->setText(name);
  }
}

void ConfigPage::refreshNamesSelector() {
  Refreshing guard(refreshing_);
  ComboBox1->clear();
  for (const auto& item : names_.list().items) ComboBox1->addItem(QString::fromStdString(item));
  ComboBox1->setCurrentIndex(names_.list().selected);
}

void ConfigPage::showColour(QPushButton* panel, Colour c) {
  const QString style = QString("QPushButton#%1 { background-color: rgb(%2, %3, %4); color: %5; border: 1px solid gray; }")
                            .arg(panel->objectName())
                            .arg(c.red)
                            .arg(c.green)
                            .arg(c.blue)
                            .arg(captionBlack(c) ? "black" : "white");
  if (panel->styleSheet() != style) panel->setStyleSheet(style);
}

int ConfigPage::selectedCardFormatRow() const { return CheckListBox1->currentRow(); }

// ---- handlers ----

void ConfigPage::CheckListBox1ClickCheck(QListWidgetItem* item) {
  // The box has toggled on the screen; the editor toggles the same item and
  // runs its rules, after which the list shows the outcome.
  editor_.toggleCardFormat(CheckListBox1->row(item));
}

void ConfigPage::Edit2Edited(const QString& text) {
  const int cursor = Edit2->cursorPosition();
  editor_.setBlockAccessCode(text.toStdString());
  Edit2->setCursorPosition(std::min(cursor, static_cast<int>(Edit2->text().size())));
}

void ConfigPage::color1Click(Led which) {
  if (services_.colours) editor_.color1Click(which, *services_.colours);
}

void ConfigPage::StringGrid1Changed(QTableWidgetItem* item) {
  const int zone = item->row() + 1;
  if (item->column() == 0) {
    editor_.setZoneTicked(zone, item->checkState() == Qt::Checked);
  } else if (item->column() == 2) {
    names_.setName(zone, item->text().toStdString());
  }
}

void ConfigPage::ComboBox1Change(int index) {
  if (auto error = names_.choose(index)) services_.prompts->error(*error);
  refreshNamesSelector();
  refreshZoneNames();
}

void ConfigPage::SpeedButton1Click() {
  if (!services_.files) return;
  const auto path = services_.files->saveFileName(
      {std::string(kNamesFileDescription), std::string(kNamesFilePattern)}, names_.folder().toStdString(),
      std::string(kNamesFileSuffix));
  if (!path) return;
  const QString file = QString::fromStdString(*path);
  if (names_.asksBeforeSaving(file) &&
      !services_.prompts->ask(std::string(kWarningCaption), std::string(kOtherFolderQuestion)))
    return;
  if (auto error = names_.save(file)) services_.prompts->error(*error);
  refreshNamesSelector();
}

void ConfigPage::SpeedButton4Click() {
  if (!form9_) form9_ = new TForm9(this);
  const auto text = form9_->run(zonesToBitString(editor_.config().zoneMask));
  if (!text) return;
  const auto mask = parseZoneBitString(*text);
  if (!mask) {
    services_.prompts->error(std::string(kBadBitStringText));
    return;
  }
  editor_.setZoneMask(*mask);
}

}  // namespace terva::config
