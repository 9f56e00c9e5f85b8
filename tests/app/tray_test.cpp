// The tray behaviour over a recording host whose tray comes and goes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/tray.h"

using terva::app::TrayBehaviour;
using terva::app::TrayHost;

namespace {

class FakeTray : public TrayHost {
 public:
  bool available = true;
  std::vector<std::string> calls;

  bool trayAvailable() const override { return available; }
  void hideWindow() override { calls.push_back("hide"); }
  void setWindowMinimised() override { calls.push_back("set minimised"); }
  void minimiseWindow() override { calls.push_back("minimise"); }
  void showWindow() override { calls.push_back("show"); }
  void setWindowNormal() override { calls.push_back("normal"); }
  void bringToFront() override { calls.push_back("front"); }
  void showTrayIcon() override { calls.push_back("icon on"); }
  void hideTrayIcon() override { calls.push_back("icon off"); }
  void closeWindow() override { calls.push_back("close"); }

  std::vector<std::string> take() { return std::exchange(calls, {}); }
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(TrayBehaviour, MinimiseGoesToTrayAndRestoreComesBack) {
  FakeTray host;
  TrayBehaviour tray(host);
  tray.windowMinimised();
  EXPECT_EQ(host.take(), (Calls{"hide", "set minimised", "icon on"}));
  EXPECT_TRUE(tray.inTray());
  // The "set minimised" above comes back as a minimise notice: nothing more.
  tray.windowMinimised();
  tray.minimise();
  EXPECT_TRUE(host.take().empty());

  tray.restore();
  EXPECT_EQ(host.take(), (Calls{"icon off", "show", "normal", "front"}));
  EXPECT_FALSE(tray.inTray());
}

TEST(TrayBehaviour, WithoutTrayTheOrdinaryMinimiseStays) {
  FakeTray host;
  host.available = false;
  TrayBehaviour tray(host);
  tray.windowMinimised();  // the desktop already minimised it, task-bar button and all
  EXPECT_TRUE(host.take().empty());
  tray.minimise();  // start in the tray: minimised the ordinary way
  EXPECT_EQ(host.take(), (Calls{"minimise"}));
  EXPECT_FALSE(tray.inTray());
  // A second start brings the minimised window forward; there is no icon to hide.
  tray.restore();
  EXPECT_EQ(host.take(), (Calls{"show", "normal", "front"}));
}

TEST(TrayBehaviour, TrayThatAppearsLaterIsUsedAtTheNextMinimise) {
  FakeTray host;
  host.available = false;
  TrayBehaviour tray(host);
  tray.windowMinimised();
  EXPECT_FALSE(tray.inTray());
  host.available = true;
  tray.windowMinimised();
  EXPECT_TRUE(tray.inTray());
  EXPECT_EQ(host.take(), (Calls{"hide", "set minimised", "icon on"}));
  // The tray goes away while the window sits in it: restore still works.
  host.available = false;
  tray.restore();
  EXPECT_EQ(host.take(), (Calls{"icon off", "show", "normal", "front"}));
}

TEST(TrayBehaviour, StartTimerMinimiseAndCloseFromTray) {
  FakeTray host;
  TrayBehaviour tray(host);
  tray.minimise();
  EXPECT_EQ(host.take(), (Calls{"hide", "set minimised", "icon on"}));
  tray.close();
  EXPECT_EQ(host.take(), (Calls{"close"}));
}
