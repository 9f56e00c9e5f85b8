#include "app/ui/tform1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/shell_settings.h"
#include "app/ui/lazy_icon.h"
#include "protocol/connection.h"

namespace terva::app {

namespace {
QString u8(const char* text) { return QString::fromUtf8(text); }
}  // namespace

TForm1::TForm1(ConnectionController& connection, QWidget* parent) : QMainWindow(parent), connection_(connection) {
  setObjectName("Form1");
  setWindowTitle(u8(kApplicationTitle) + " " + QString::fromStdString(versionText()));

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
  ComComboBox1->setAccessibleName(Label1->text());
  Label1->setBuddy(ComComboBox1);
  Button8 = new QToolButton(Panel1);
  Button8->setObjectName("Button8");
  Button8->setIcon(lazyIcon([] { return QApplication::style()->standardIcon(QStyle::SP_BrowserReload); }));
  Button8->setToolTip(u8("Обновить список портов"));
  Button8->setAccessibleName(Button8->toolTip());
  Button6 = new QPushButton(u8("Подключится"), Panel1);
  Button6->setObjectName("Button6");
  Button6->setAccessibleName(Button6->text());
  Button7 = new QPushButton(u8("Отключится"), Panel1);
  Button7->setObjectName("Button7");
  Button7->setAccessibleName(Button7->text());
  Button7->setVisible(false);
  statusLabel_ = new QLabel(Panel1);
  statusLabel_->setObjectName("statusLabel");
  // Dark red, as a palette colour: a style sheet would put the label under
  // a style of its own, slower to lay out.
  QPalette statusPalette = statusLabel_->palette();
  statusPalette.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
  statusLabel_->setPalette(statusPalette);
  bar->addWidget(Label1);
  bar->addWidget(ComComboBox1);
  bar->addWidget(Button8);
  bar->addWidget(Button6);
  bar->addWidget(Button7);
  bar->addWidget(statusLabel_);
  bar->addStretch();
  outer->addWidget(Panel1);

  PageControl1 = new QTabWidget(central);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setEnabled(false);
  outer->addWidget(PageControl1, 1);
  setCentralWidget(central);
  setMinimumSize(900, 610);
  resize(926, 647);

  connect(Button6, &QPushButton::clicked, this, [this] { connection_.Connect(); });
  connect(Button7, &QPushButton::clicked, this, [this] { connection_.Disconnect(); });
  connect(Button8, &QToolButton::clicked, this, [this] { connection_.FillDeviceList(); });
  connect(ComComboBox1, &QComboBox::currentIndexChanged, this, [this](int i) { connection_.select(i); });
  connect(&connection_, &ConnectionController::portsChanged, this, &TForm1::refillPortList);
  connect(&connection_, &ConnectionController::selectionChanged, this,
          [this](int i) { ComComboBox1->setCurrentIndex(i); });
  connect(&connection_, &ConnectionController::stateChanged, this, &TForm1::setConnectedState);
  connect(&connection_, &ConnectionController::statusChanged, statusLabel_, &QLabel::setText);
}

TForm1::~TForm1() = default;

void TForm1::addPage(QWidget* page, const QString& title) { PageControl1->addTab(page, title); }

void TForm1::refillPortList() {
  const QSignalBlocker block(ComComboBox1);
  ComComboBox1->clear();
  for (const auto& p : connection_.ports()) {
    ComComboBox1->addItem(QString::fromStdString(p.name));
    if (!p.description.empty()) {
      ComComboBox1->setItemData(ComComboBox1->count() - 1, QString::fromStdString(p.description), Qt::ToolTipRole);
    }
  }
  ComComboBox1->setCurrentIndex(connection_.selected());
}

void TForm1::setConnectedState(bool connected) {
  Button6->setVisible(!connected);
  Button7->setVisible(connected);
  Button8->setEnabled(!connected);
  PageControl1->setEnabled(connected);
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!firstshow_) return;
  if (const QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
  PageControl1->setCurrentIndex(0);
  emit firstShown();
  firstshow_ = false;
}

void TForm1::closeEvent(QCloseEvent* event) {
  emit closing();
  QMainWindow::closeEvent(event);
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized()) emit minimised();
}

}  // namespace terva::app
