// The main window against the simulated reader, through the real serial code.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>

#include "app/inifile.h"
#include "app/ui/program.h"
#include "app/ui/tform1.h"
#include "config/config_editor.h"
#include "config/ui/config_page.h"
#include "ident/ui/reading_page.h"
#include "protocol/qt_clock.h"
#include "serial/comport.h"
#include "sim/pty_reader.h"
#include "support/fakes.h"

using namespace terva;
using namespace std::chrono_literals;
using terva::testing::waitUntil;

namespace {

class MainWindowTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::filesystem::path settings = std::filesystem::path(dir.path().toStdString()) / "settings.ini";
  terva::testing::FakePrompts prompts;
  terva::testing::FakeClipboard clipboard;
  terva::testing::FakeKeyboard keyboard;
  terva::testing::FakeTemplateChooser editor;
  QtClock clock;
  std::vector<std::string> ports;
  std::string commandLinePort;
  std::function<void()> beforeFirstLayout;
  std::unique_ptr<app::Program> program;
  app::TForm1* form = nullptr;

  void writeSettings(const std::string& text) { std::ofstream(settings, std::ios::binary) << text; }

  app::TForm1& open() {
    app::ProgramServices s;
    s.clock = &clock;
    s.prompts = &prompts;
    s.clipboard = &clipboard;
    s.keyboard = &keyboard;
    s.templateEditor = &editor;
    s.settingsFile = settings;
    s.listPorts = [this] {
      std::vector<PortEntry> out;
      for (const auto& p : ports) out.push_back({p, {}});
      return out;
    };
    s.commandLinePort = commandLinePort;
    s.beforeFirstLayout = beforeFirstLayout;
    program.reset();
    program = std::make_unique<app::Program>(std::move(s));
    form = &program->window();
    form->show();
    return *form;
  }
  void closeWindow() { form->close(); }
  std::string setting(const char* key) { return app::IniFile(settings).read("kelvor", key, "<absent>"); }

  template <class T>
  T* find(const char* name) {
    T* w = form->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
};

// A window connected to a simulated reader.
class ConnectedTest : public MainWindowTest {
 protected:
  sim::PtyReader reader;

  void SetUp() override {
    reader.start();
    commandLinePort = reader.slavePath();
    open();
    find<QPushButton>("Button6")->click();
    ASSERT_TRUE(reader.waitForFrame("2305050124", 2000ms));
    ASSERT_TRUE(waitUntil([&] { return find<QPushButton>("Button7")->isVisible(); }));
  }
  // A card presented at the reader, shown on the page.
  QString present(const std::string& command) {
    const int before = shownCount;
    reader.command(command);
    EXPECT_TRUE(waitUntil([&] { return shownCount > before; }));
    return find<QLabel>("Label32")->text();
  }
  int shownCount = 0;
  void countShown() {
    QObject::connect(&program->readingPage(), &ident::ReadingPage::identifierShown, [this] { ++shownCount; });
  }
};

}  // namespace

TEST_F(MainWindowTest, FreshStartUsesDesignStateAndCloseWritesEveryKey) {
  auto& w = open();
  EXPECT_EQ(find<QTabWidget>("PageControl1")->currentIndex(), 0);
  EXPECT_FALSE(find<QTabWidget>("PageControl1")->isEnabled());
  EXPECT_TRUE(find<QRadioButton>("RadioButton1")->isChecked());
  for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox5", "CheckBox8", "CheckBox4"}) {
    EXPECT_FALSE(find<QCheckBox>(box)->isChecked()) << box;
  }
  EXPECT_EQ(find<QComboBox>("ComComboBox1")->currentIndex(), -1);
  EXPECT_TRUE(w.windowTitle().startsWith(QString::fromUtf8("ТЕРВА Контроль доступа - RFID ")));
  EXPECT_TRUE(w.windowTitle().endsWith("1.0.8"));
  EXPECT_EQ(w.minimumSize(), QSize(900, 610));

  closeWindow();
  EXPECT_EQ(setting("viewmode"), "1");
  EXPECT_EQ(setting("template"), "");
  for (const char* key : {"tobuffer", "tokeyboard", "crlf", "totray", "autoconnect"}) {
    EXPECT_EQ(setting(key), "0") << key;
  }
  EXPECT_EQ(setting("port"), "<absent>");  // nothing selected, nothing stored
  EXPECT_EQ(setting("debugmode"), "<absent>");
}

struct StartupCase {
  const char* name;
  const char* file;
  const char* checkedMode;  // radio button checked after start
  const char* savedViewmode;
  const char* savedTemplate;
};

class StartupSettings : public MainWindowTest, public ::testing::WithParamInterface<StartupCase> {};

TEST_P(StartupSettings, ViewModeAndTemplateRoundTrip) {
  const auto& c = GetParam();
  writeSettings(c.file);
  open();
  EXPECT_TRUE(find<QRadioButton>(c.checkedMode)->isChecked());
  closeWindow();
  EXPECT_EQ(setting("viewmode"), c.savedViewmode);
  EXPECT_EQ(setting("template"), c.savedTemplate);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartupSettings,
    ::testing::Values(
        StartupCase{"Hex", "[kelvor]\nviewmode=2\n", "RadioButton2", "2", ""},
        StartupCase{"CstWithGoodTemplate", "[kelvor]\r\nviewmode=3\r\ntemplate=ID = dec(b2b1) \r\n", "RadioButton3",
                    "3", "ID = dec(b2b1) "},
        StartupCase{"CstWithFailingTemplateFallsBackToDec", "[kelvor]\nviewmode=3\ntemplate=dec(x)\n",
                    "RadioButton1", "1", ""},
        StartupCase{"CstWithEmptyTemplateStaysCst", "[kelvor]\nviewmode=3\n", "RadioButton3", "3", ""},
        StartupCase{"TemplateDroppedWhenClosingInHex", "[kelvor]\nviewmode=2\ntemplate=b1\n", "RadioButton2", "2",
                    ""},
        StartupCase{"ViewmodeZeroIsDec", "[kelvor]\nviewmode=0\n", "RadioButton1", "1", ""},
        StartupCase{"ViewmodeFourIsDec", "[kelvor]\nviewmode=4\n", "RadioButton1", "1", ""},
        StartupCase{"ViewmodeEmptyIsDec", "\xEF\xBB\xBF[kelvor]\nviewmode=\n", "RadioButton1", "1", ""}),
    [](const auto& p) { return p.param.name; });

// Start-up waits for the fonts at the last moment: once, after the controls
// exist and before the first page is laid out. The identifier becomes
// selectable when laid out.
TEST_F(MainWindowTest, FontsAreAwaitedOnceBeforeTheFirstPageIsLaidOut) {
  int calls = 0;
  int pagesThen = -1;
  beforeFirstLayout = [&] {
    ++calls;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (auto* tabs = w->findChild<QTabWidget*>("PageControl1")) pagesThen = tabs->count();
    }
  };
  open();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(pagesThen, 0);
  EXPECT_TRUE(find<QLabel>("Label32")->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
}

TEST_F(MainWindowTest, FlagsAreOnOnlyForExactlyOneAndDebugModeIsNeverWritten) {
  writeSettings("[other]\nkeep=me\n[kelvor]\ntobuffer=1\ntokeyboard=true\ncrlf=01\ndebugmode=1\n");
  open();
  EXPECT_TRUE(find<QCheckBox>("CheckBox1")->isChecked());
  EXPECT_FALSE(find<QCheckBox>("CheckBox2")->isChecked());
  EXPECT_FALSE(find<QCheckBox>("CheckBox5")->isChecked());
  closeWindow();
  EXPECT_EQ(setting("debugmode"), "1");
  EXPECT_EQ(setting("tokeyboard"), "0");
  EXPECT_EQ(app::IniFile(settings).read("other", "keep", ""), "me");
}

TEST_F(MainWindowTest, SavedPortIsSelectedOnlyWhenListed) {
  ports = {"/dev/ttyACM0", "/dev/ttyACM1", "/dev/ttyACM0"};
  writeSettings("[kelvor]\nport=/dev/ttyACM1\n");
  open();
  auto* list = find<QComboBox>("ComComboBox1");
  EXPECT_EQ(list->count(), 2);  // duplicates removed
  EXPECT_EQ(list->currentText(), "/dev/ttyACM1");
  closeWindow();

  writeSettings("[kelvor]\nport=/dev/ttyUSB9\n");
  open();
  EXPECT_EQ(find<QComboBox>("ComComboBox1")->currentIndex(), 0);
}

TEST_F(MainWindowTest, ClosingWithNoPortSelectedKeepsTheStoredPort) {
  writeSettings("[kelvor]\nport=/dev/ttyUSB9\n");
  open();
  closeWindow();
  EXPECT_EQ(setting("port"), "/dev/ttyUSB9");
}

TEST_F(MainWindowTest, UnwritableSettingsAreSwallowed) {
  settings = "/proc/terva-no-such-dir/settings.ini";
  open();
  closeWindow();  // nothing thrown, nothing shown
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(MainWindowTest, ConnectWithNothingSelectedDoesNothing) {
  open();
  find<QPushButton>("Button6")->click();
  EXPECT_TRUE(prompts.shown.empty());
  EXPECT_TRUE(find<QPushButton>("Button6")->isVisible());
}

TEST_F(MainWindowTest, PortHeldByAnotherProgramShowsTheOpenErrorWithItsCause) {
  sim::PtyReader reader;
  reader.start();
  serial::TComPort other;
  other.SetPort(reader.slavePath());
  other.Open();
  commandLinePort = reader.slavePath();
  open();
  find<QPushButton>("Button6")->click();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].kind, "error");
  EXPECT_TRUE(prompts.shown[0].text.startsWith(QString::fromUtf8("Ошибка открытия порта\n")));
  EXPECT_TRUE(find<QPushButton>("Button6")->isVisible());
  EXPECT_FALSE(find<QTabWidget>("PageControl1")->isEnabled());
}

TEST_F(ConnectedTest, ConnectSendsCardReadingModeOnceAndEnablesThePages) {
  EXPECT_FALSE(find<QPushButton>("Button6")->isVisible());
  EXPECT_FALSE(find<QToolButton>("Button8")->isEnabled());
  EXPECT_TRUE(find<QTabWidget>("PageControl1")->isEnabled());
  EXPECT_EQ(reader.framesFromHost(), std::vector<std::string>{"2305050124"});
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ConnectedTest, PagesNotYetNeededAreBuiltWhenFirstOpened) {
  // Nothing of the configuration page or the terminal exists before it is needed.
  EXPECT_EQ(form->findChild<QWidget*>("TabSheet2"), nullptr);
  EXPECT_EQ(form->findChild<QWidget*>("TerminalPanel"), nullptr);
  config::ReaderConfig changed;
  changed.readingMode = 3;
  program->configEditor().replace(changed);

  find<QTabWidget>("PageControl1")->setCurrentIndex(1);
  auto* page = find<QWidget>("TabSheet2");
  ASSERT_NE(page, nullptr);
  EXPECT_TRUE(page->isVisible());
  // The page shows the configuration as it is when it is built, and follows it.
  EXPECT_EQ(find<QComboBox>("ComboBox4")->currentIndex(), 3);
  program->configEditor().replace(config::ReaderConfig{});
  EXPECT_EQ(find<QComboBox>("ComboBox4")->currentIndex(), 0);
  EXPECT_EQ(&program->configPage(), page);
}

TEST_F(ConnectedTest, CardReadingModeReportsTheReadersResult) {
  find<QPushButton>("Button10")->click();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].kind, "message");
  EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8("Выполнено"));

  reader.command("result 14");
  find<QPushButton>("Button10")->click();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].kind, "error");
  EXPECT_EQ(prompts.shown[1].text, QString::fromUtf8("Мастер-карта не пуста."));
}

TEST_F(ConnectedTest, UnpluggedReaderIsNoticedAndTheListRefilled) {
  prompts.onShown = [&](const auto&) { ports = {}; };
  reader.unplug();
  ASSERT_TRUE(waitUntil([&] { return !prompts.shown.empty(); }, 2000ms));
  EXPECT_EQ(prompts.shown[0].text, QString::fromUtf8("USB-считыватель отключен"));
  EXPECT_TRUE(find<QPushButton>("Button6")->isVisible());
  EXPECT_FALSE(find<QTabWidget>("PageControl1")->isEnabled());
  EXPECT_FALSE(program->session().connected());
}

TEST_F(ConnectedTest, WriteErrorIsShownAndTheProgramGoesOn) {
  reader.unplug();
  find<QPushButton>("Button10")->click();  // before the watch has seen it
  ASSERT_FALSE(prompts.shown.empty());
  EXPECT_EQ(prompts.shown[0].kind, "error");
  EXPECT_TRUE(prompts.shown[0].text.startsWith("WriteFile function failed")) << prompts.shown[0].text.toStdString();
}

TEST_F(ConnectedTest, CardIsShownInTheChosenModeWithItsKind) {
  countShown();
  EXPECT_EQ(present("card uid 1A2B3C"), "1715004");
  EXPECT_EQ(find<QLabel>("Label25")->palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_EQ(find<QLabel>("Label29")->palette().color(QPalette::WindowText), QColor(0xC0, 0xC0, 0xC0));
  EXPECT_EQ(find<QWidget>("idpanel")->palette().color(QPalette::Window), QColor(Qt::white));

  find<QRadioButton>("RadioButton2")->click();
  EXPECT_EQ(find<QLabel>("Label32")->text(), "1A2B3C");  // the shown text converted
  EXPECT_EQ(present("card random 00A1"), "00A1");
  EXPECT_EQ(find<QWidget>("idpanel")->palette().color(QPalette::Window), QColor(0xFF, 0xB9, 0xB9));
  EXPECT_EQ(find<QLabel>("Label29")->palette().color(QPalette::WindowText), QColor(Qt::black));
  EXPECT_EQ(find<QLabel>("Label25")->palette().color(QPalette::WindowText), QColor(0xC0, 0xC0, 0xC0));
  find<QRadioButton>("RadioButton1")->click();
  EXPECT_EQ(find<QLabel>("Label32")->text(), "161");
  find<QRadioButton>("RadioButton2")->click();
  EXPECT_EQ(find<QLabel>("Label32")->text(), "A1");
}

TEST_F(ConnectedTest, SeveralMessagesInOneEventAreEachShownAndDelivered) {
  countShown();
  find<QCheckBox>("CheckBox1")->setChecked(true);
  find<QRadioButton>("RadioButton2")->click();
  reader.command("cards uid 1A2B3C mir 0042");
  ASSERT_TRUE(waitUntil([&] { return shownCount == 2; }));
  ASSERT_EQ(clipboard.texts.size(), 2u);
  EXPECT_EQ(clipboard.texts[0], "1A2B3C");
  EXPECT_EQ(clipboard.texts[1], "0042");
  EXPECT_EQ(find<QWidget>("idpanel")->palette().color(QPalette::Window), QColor(0xD7, 0xF3, 0xFF));
}

TEST_F(ConnectedTest, IdentifierIsTypedOnlyWhileAnotherWindowIsActive) {
  countShown();
  find<QCheckBox>("CheckBox2")->setChecked(true);
  find<QCheckBox>("CheckBox5")->setChecked(true);
  QWidget other;
  other.show();
  QApplication::setActiveWindow(&other);
  ASSERT_TRUE(waitUntil([&] { return !form->isActiveWindow(); }));
  present("card uid 1A2B3C");
  ASSERT_EQ(keyboard.typed.size(), 1u);
  EXPECT_EQ(keyboard.typed[0].text, U"1715004");
  EXPECT_TRUE(keyboard.typed[0].enter);

  QApplication::setActiveWindow(form);
  ASSERT_TRUE(waitUntil([&] { return form->isActiveWindow(); }));
  present("card uid 1A2B3D");
  EXPECT_EQ(keyboard.typed.size(), 1u);
}

TEST_F(ConnectedTest, UnavailableKeyboardIsReportedOnce) {
  keyboard.isAvailable = false;
  find<QCheckBox>("CheckBox2")->click();
  find<QCheckBox>("CheckBox2")->click();
  find<QCheckBox>("CheckBox2")->click();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text, "no keyboard here");
}

TEST_F(ConnectedTest, TemplateChosenInTheEditorRendersTheNextCard) {
  countShown();
  editor.answers = {std::string("UID = dec3(b3)-dec5(b2b1)")};
  EXPECT_EQ(present("card uid 1A2B3C"), "1715004");
  find<QRadioButton>("RadioButton3")->click();
  EXPECT_EQ(editor.samples, std::vector<std::string>{"1A2B3C"});
  EXPECT_TRUE(find<QRadioButton>("RadioButton3")->isChecked());
  EXPECT_EQ(present("card uid 1A2B3C"), "UID = 026-11068");
  closeWindow();
  EXPECT_EQ(setting("template"), "UID = dec3(b3)-dec5(b2b1)");
  EXPECT_EQ(setting("viewmode"), "3");
}

TEST_F(ConnectedTest, EditorClosedWithoutATemplateReturnsToDec) {
  find<QRadioButton>("RadioButton2")->click();
  find<QRadioButton>("RadioButton3")->click();  // the editor gives nothing back
  EXPECT_EQ(editor.samples.size(), 1u);
  EXPECT_TRUE(find<QRadioButton>("RadioButton1")->isChecked());
}
