#include "app/ui/tray_icon.h"

#include <QMainWindow>
#include <QMenu>
#include <QSystemTrayIcon>

#include "app/shell_settings.h"
#include "app/ui/app_icon.h"

namespace terva::app {

TrayIconBinding::TrayIconBinding(QMainWindow& window, std::function<bool()> available, QObject* parent)
    : QObject(parent), window_(window), available_(std::move(available)), PopupMenu1(std::make_unique<QMenu>()) {
  PopupMenu1->setObjectName("PopupMenu1");
  N1 = PopupMenu1->addAction(QString::fromUtf8("Развернуть"));
  N1->setObjectName("N1");
  N2 = PopupMenu1->addAction(QString::fromUtf8("Закрыть"));
  N2->setObjectName("N2");
  // The window's icon, loaded once for both.
  TrayIcon1 = new QSystemTrayIcon(window.windowIcon().isNull() ? programIcon() : window.windowIcon(), this);
  TrayIcon1->setObjectName("TrayIcon1");
  TrayIcon1->setToolTip(QString::fromUtf8(kApplicationTitle));
  TrayIcon1->setContextMenu(PopupMenu1.get());

  connect(N1, &QAction::triggered, this, [this] { behaviour_.restore(); });
  // Queued: the menu finishes closing before the window (and the program) goes.
  connect(N2, &QAction::triggered, this, [this] { behaviour_.close(); }, Qt::QueuedConnection);
  // A single click does nothing; the context menu comes with the right button.
  connect(TrayIcon1, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::DoubleClick) behaviour_.restore();
  });
}

TrayIconBinding::~TrayIconBinding() = default;

void TrayIconBinding::windowMinimised() {
  // Restored again before the notice came through: nothing to do.
  if (window_.isMinimized()) behaviour_.windowMinimised();
}

bool TrayIconBinding::trayAvailable() const {
  return available_ ? available_() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIconBinding::hideWindow() { window_.hide(); }
void TrayIconBinding::setWindowMinimised() { window_.setWindowState(window_.windowState() | Qt::WindowMinimized); }
void TrayIconBinding::minimiseWindow() { window_.showMinimized(); }
void TrayIconBinding::showWindow() { window_.show(); }
void TrayIconBinding::setWindowNormal() {
  window_.setWindowState((window_.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
}
void TrayIconBinding::bringToFront() {
  window_.raise();
  window_.activateWindow();
}
void TrayIconBinding::showTrayIcon() { TrayIcon1->show(); }
void TrayIconBinding::hideTrayIcon() { TrayIcon1->hide(); }
void TrayIconBinding::closeWindow() { window_.close(); }

}  // namespace terva::app
