// The tray icon and menu bound to the main window, and the start in the tray.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "app/inifile.h"
#include "app/ui/program.h"
#include "app/ui/tform1.h"
#include "app/ui/tray_icon.h"
#include "protocol/qt_clock.h"
#include "sim/pty_reader.h"
#include "support/fakes.h"

using namespace terva;
using namespace std::chrono_literals;
using terva::testing::waitUntil;

namespace {

class TrayWindowTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::filesystem::path settings = std::filesystem::path(dir.path().toStdString()) / "settings.ini";
  terva::testing::FakePrompts prompts;
  terva::testing::FakeClipboard clipboard;
  terva::testing::FakeTemplateChooser editor;
  QtClock clock;
  bool trayAvailable = true;
  std::string port;
  std::unique_ptr<app::Program> program;

  app::TForm1& open(const char* settingsText = "") {
    std::ofstream(settings, std::ios::binary) << settingsText;
    app::ProgramServices s;
    s.clock = &clock;
    s.prompts = &prompts;
    s.clipboard = &clipboard;
    s.templateEditor = &editor;
    s.settingsFile = settings;
    s.listPorts = [] { return std::vector<PortEntry>{}; };
    s.commandLinePort = port;
    s.trayAvailable = [this] { return trayAvailable; };
    program = std::make_unique<app::Program>(std::move(s));
    program->window().show();
    return program->window();
  }
  QSystemTrayIcon& icon() { return *program->tray().trayIcon(); }
  QAction* item(const char* name) { return program->tray().menu()->findChild<QAction*>(name); }
  bool inTray() { return !program->window().isVisible() && icon().isVisible(); }
};

}  // namespace

TEST_F(TrayWindowTest, MinimiseHidesTheWindowAndDoubleClickRestoresIt) {
  auto& w = open();
  EXPECT_FALSE(icon().isVisible());
  EXPECT_FALSE(icon().icon().isNull());
  EXPECT_FALSE(w.windowIcon().isNull());
  EXPECT_TRUE(QFile::exists(":/icons/hicolor/32x32/apps/terva-rfid.png"));  // the compiled-in images
  EXPECT_FALSE(w.windowIcon().pixmap(32, 32).isNull());
  w.showMinimized();
  ASSERT_TRUE(waitUntil([&] { return inTray(); }));
  EXPECT_TRUE(w.isMinimized());

  // A single click and a middle click change nothing.
  emit icon().activated(QSystemTrayIcon::Trigger);
  emit icon().activated(QSystemTrayIcon::MiddleClick);
  QApplication::processEvents();
  EXPECT_TRUE(inTray());

  emit icon().activated(QSystemTrayIcon::DoubleClick);
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(w.isMinimized());
  EXPECT_FALSE(icon().isVisible());

  // Minimising again goes back to the tray; "Развернуть" restores too.
  w.showMinimized();
  ASSERT_TRUE(waitUntil([&] { return inTray(); }));
  ASSERT_NE(item("N1"), nullptr);
  EXPECT_EQ(item("N1")->text(), QString::fromUtf8("Развернуть"));
  item("N1")->trigger();
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(icon().isVisible());
}

TEST_F(TrayWindowTest, WithoutTrayMinimiseStaysOrdinaryUntilTrayAppears) {
  trayAvailable = false;
  auto& w = open();
  w.showMinimized();
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.isMinimized());
  EXPECT_FALSE(icon().isVisible());

  w.showNormal();
  trayAvailable = true;
  w.showMinimized();
  EXPECT_TRUE(waitUntil([&] { return inTray(); }));
}

TEST_F(TrayWindowTest, CloseFromTrayWritesSettingsAsClosingTheWindow) {
  auto& w = open();
  program->readingPage();
  w.findChild<QCheckBox*>("CheckBox4")->setChecked(true);
  w.showMinimized();
  ASSERT_TRUE(waitUntil([&] { return inTray(); }));
  ASSERT_NE(item("N2"), nullptr);
  EXPECT_EQ(item("N2")->text(), QString::fromUtf8("Закрыть"));
  bool closed = false;
  QObject::connect(&w, &app::TForm1::closing, [&] { closed = true; });
  item("N2")->trigger();
  ASSERT_TRUE(waitUntil([&] { return closed; }));
  EXPECT_EQ(app::IniFile(settings).read("kelvor", "totray", "<absent>"), "1");
  EXPECT_EQ(app::IniFile(settings).read("kelvor", "viewmode", "<absent>"), "1");
}

TEST_F(TrayWindowTest, StartsInTrayAndConnectsThere) {
  sim::PtyReader reader;
  reader.start();
  port = reader.slavePath();
  open("[kelvor]\ntotray=1\nautoconnect=1\n");
  ASSERT_TRUE(waitUntil([&] { return inTray(); }));
  EXPECT_TRUE(waitUntil([&] { return program->session().connected(); }, 3000ms)) << prompts.texts().join('|').toStdString();
  EXPECT_TRUE(reader.waitForFrame("2305050124", 3000ms));
  EXPECT_TRUE(waitUntil([&] { return program->session().connected(); }));
  EXPECT_TRUE(inTray());
  // A second start of the program brings the window back from the tray.
  program->bringToFront();
  EXPECT_TRUE(program->window().isVisible());
  EXPECT_FALSE(icon().isVisible());
}

TEST_F(TrayWindowTest, StartInTrayWithoutTrayStartsMinimised) {
  trayAvailable = false;
  auto& w = open("[kelvor]\ntotray=1\n");
  ASSERT_TRUE(waitUntil([&] { return w.isMinimized(); }));
  EXPECT_TRUE(w.isVisible());
  EXPECT_FALSE(icon().isVisible());
  program->bringToFront();
  EXPECT_FALSE(w.isMinimized());
}
