#pragma once
// The tray icon and its menu bound to the tray behaviour: the window's
// minimise sends the window to the tray, the icon's double-click and
// "Развернуть" bring it back, "Закрыть" closes the main window.
#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>

#include "app/tray.h"

class QAction;
class QMainWindow;
class QMenu;
class QSystemTrayIcon;

namespace terva::app {

class TrayIconBinding : public QObject, private TrayHost {
  Q_OBJECT
 public:
  // available: whether the desktop has a tray now; null asks Qt.
  TrayIconBinding(QMainWindow& window, std::function<bool()> available = {}, QObject* parent = nullptr);
  ~TrayIconBinding() override;

  TrayBehaviour& behaviour() { return behaviour_; }
  QSystemTrayIcon* trayIcon() const { return TrayIcon1; }
  QMenu* menu() const { return PopupMenu1.get(); }

  // Connected to the window's minimise notice (queued: the window manager
  // finishes its own minimise first).
  void windowMinimised();

 private:
  bool trayAvailable() const override;
  void hideWindow() override;
  void setWindowMinimised() override;
  void minimiseWindow() override;
  void showWindow() override;
  void setWindowNormal() override;
  void bringToFront() override;
  void showTrayIcon() override;
  void hideTrayIcon() override;
  void closeWindow() override;

  QMainWindow& window_;
  std::function<bool()> available_;
  TrayBehaviour behaviour_{*this};
  std::unique_ptr<QMenu> PopupMenu1;  // a menu has no parent widget here
  QAction* N1 = nullptr;
  QAction* N2 = nullptr;
  QSystemTrayIcon* TrayIcon1 = nullptr;
};

}  // namespace terva::app
