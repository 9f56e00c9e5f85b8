#include "app/tray.h"

namespace terva::app {

void TrayBehaviour::goToTray() {
  inTray_ = true;
  host_.hideWindow();
  host_.setWindowMinimised();
  host_.showTrayIcon();
}

void TrayBehaviour::windowMinimised() {
  // Our own "set minimised" while going to the tray lands here too.
  if (inTray_) return;
  if (host_.trayAvailable()) goToTray();
}

void TrayBehaviour::minimise() {
  if (inTray_) return;
  if (host_.trayAvailable()) {
    goToTray();
  } else {
    host_.minimiseWindow();
  }
}

void TrayBehaviour::restore() {
  if (inTray_) {
    inTray_ = false;
    host_.hideTrayIcon();
  }
  host_.showWindow();
  host_.setWindowNormal();
  host_.bringToFront();
}

void TrayBehaviour::close() { host_.closeWindow(); }

}  // namespace terva::app
