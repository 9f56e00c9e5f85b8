#pragma once
// Where the main window lives when the application is minimised: in the
// notification area when the desktop has one, otherwise minimised as usual
// with its task-bar button. Plain logic over a small host interface.

namespace terva::app {

// What the tray behaviour does to the desktop.
class TrayHost {
 public:
  virtual ~TrayHost() = default;
  // Asked at every minimise, so a tray that appears later is used.
  virtual bool trayAvailable() const = 0;
  virtual void hideWindow() = 0;
  virtual void setWindowMinimised() = 0;
  // The ordinary minimise (task-bar button kept).
  virtual void minimiseWindow() = 0;
  virtual void showWindow() = 0;
  virtual void setWindowNormal() = 0;
  virtual void bringToFront() = 0;
  virtual void showTrayIcon() = 0;
  virtual void hideTrayIcon() = 0;
  virtual void closeWindow() = 0;
};

class TrayBehaviour {
 public:
  explicit TrayBehaviour(TrayHost& host) : host_(host) {}

  bool inTray() const { return inTray_; }

  // The window was minimised (title-bar button, task bar, or minimise()).
  void windowMinimised();
  // Minimise the application, as the start-in-tray timer does.
  void minimise();
  // Double-click on the icon, "Развернуть", or a second start of the program:
  // the window comes back in its normal size and to the front.
  void restore();
  // "Закрыть": the main window closes from either state.
  void close();

 private:
  void goToTray();

  TrayHost& host_;
  bool inTray_ = false;
};

}  // namespace terva::app
