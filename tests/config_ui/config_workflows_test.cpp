// The configuration workflows end to end: the real program and its page
// against the simulated reader on a pseudo-terminal.
#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "app/ui/program.h"
#include "app/ui/tform1.h"
#include "config/card_wait.h"
#include "config/config_editor.h"
#include "config/config_record.h"
#include "config/ui/config_page.h"
#include "protocol/exchange.h"
#include "protocol/qt_clock.h"
#include "protocol/session.h"
#include "sim/pty_reader.h"
#include "support/fakes.h"

using namespace terva;
using namespace std::chrono_literals;
using terva::testing::waitUntil;

namespace {

QString u8(const char* s) { return QString::fromUtf8(s); }

// Every field at its start value.
const std::string kDefaultRecord = "020267000303000040060100040100050100" "0C081F04E00700F800FC";
// Mode 3, zones 1 and 64, pulse 0.3 s.
const std::string kZonesRecord = "020210000303000040060103080203000B10" "8000000000000001" "0000000000000000"
                                 "040100050100" "0C081F04E00700F800FC";

std::string frameOf(const std::string& payload) { return *buildFrame(payload); }

// The object-code wait, scripted; it notes what the reader had been sent when it was asked.
class ScriptedCardWait : public config::ObjectCodeCardWait {
 public:
  explicit ScriptedCardWait(sim::PtyReader& r) : reader(r) {}
  sim::PtyReader& reader;
  config::CardWaitResult result = config::CardWaitResult::Presented;
  std::vector<std::vector<std::string>> framesWhenAsked;
  config::CardWaitResult waitForObjectCodeCard() override {
    framesWhenAsked.push_back(reader.framesFromHost());
    return result;
  }
};

class ConfigWorkflowTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::filesystem::path settings = std::filesystem::path(dir.path().toStdString()) / "settings.ini";
  terva::testing::FakePrompts prompts;
  terva::testing::FakeFileDialogs files;
  terva::testing::FakeColourDialog colours;
  terva::testing::FakeClipboard clipboard;
  terva::testing::FakeTemplateChooser templates;
  QtClock clock;
  sim::PtyReader reader;
  ScriptedCardWait cardWait{reader};
  bool withCardWait = true;
  std::unique_ptr<app::Program> program;

  void start() {
    reader.start();
    app::ProgramServices s;
    s.clock = &clock;
    s.prompts = &prompts;
    s.files = &files;
    s.colours = &colours;
    s.clipboard = &clipboard;
    s.templateEditor = &templates;
    s.objectCodeWait = withCardWait ? &cardWait : nullptr;
    s.settingsFile = settings;
    s.commandLinePort = reader.slavePath();
    s.listPorts = [this] { return std::vector<PortEntry>{{reader.slavePath(), {}}}; };
    program = std::make_unique<app::Program>(std::move(s));
    program->window().show();
    find<QPushButton>("Button6")->click();
    ASSERT_TRUE(reader.waitForFrame("2305050124", 2000ms));
    ASSERT_TRUE(waitUntil([&] { return program->session().connected() && !program->session().busy(); }));
    // The operator opens the page (it is built when first shown).
    program->window().pages()->setCurrentIndex(1);
    prompts.shown.clear();
  }
  void SetUp() override { start(); }

  template <class T>
  T* find(const char* name) {
    T* w = program->window().findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  void click(const char* button) { find<QPushButton>(button)->click(); }
  config::ConfigEditor& editor() { return program->configEditor(); }
  std::vector<std::string> frames() { return reader.framesFromHost(); }
  // The frames the host sent after the first `n`.
  std::vector<std::string> framesAfter(std::size_t n) {
    auto all = frames();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(n, all.size())), all.end()};
  }
  void zonesModeWithZones1And64() {
    find<QComboBox>("ComboBox4")->setCurrentIndex(3);
    auto* grid = find<QTableWidget>("StringGrid1");
    grid->item(0, 0)->setCheckState(Qt::Checked);
    grid->item(63, 0)->setCheckState(Qt::Checked);
  }
  QString file(const char* name) { return QDir(dir.path()).filePath(name); }
  QByteArray readAll(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  }
};

TEST_F(ConfigWorkflowTest, WriteTheStartConfigurationThenBackToCardReading) {
  const std::size_t before = frames().size();
  click("Button2");
  EXPECT_EQ(framesAfter(before),
            (std::vector<std::string>{frameOf("0101" + kDefaultRecord), frameOf("0501")}));
  EXPECT_EQ(prompts.texts(), QStringList{u8("Выполнено")});
  EXPECT_TRUE(cardWait.framesWhenAsked.empty());  // mode 0 waits for no card
  EXPECT_EQ(reader.configHex(), kDefaultRecord);
}

TEST_F(ConfigWorkflowTest, ZonesModeWaitsForTheObjectCodeCardAfterTheReadersSuccess) {
  zonesModeWithZones1And64();
  const std::size_t before = frames().size();
  click("Button2");
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].kind, "question");
  EXPECT_EQ(prompts.shown[0].caption, u8("Конфигурация"));
  EXPECT_EQ(prompts.shown[1].text, u8("Выполнено"));
  EXPECT_EQ(framesAfter(before), (std::vector<std::string>{frameOf("0101" + kZonesRecord), frameOf("0501")}));
  ASSERT_EQ(cardWait.framesWhenAsked.size(), 1u);
  EXPECT_EQ(cardWait.framesWhenAsked[0].back(), frameOf("0101" + kZonesRecord));  // before the closing 0501

  // A wait that ends without the card reports it; 0501 still follows.
  cardWait.result = config::CardWaitResult::TimedOut;
  prompts.shown.clear();
  const std::size_t again = frames().size();
  click("Button2");
  EXPECT_EQ(prompts.texts().back(), u8("Код объекта не записан в USB-считыватель."));
  EXPECT_EQ(prompts.shown.back().kind, "error");
  EXPECT_EQ(framesAfter(again).back(), frameOf("0501"));

  // Read back from the reader: the ticks and the mode come back, the checksum is shown.
  program->configEditor().replace(config::ReaderConfig{});
  prompts.shown.clear();
  const std::size_t read = frames().size();
  click("Button18");
  EXPECT_EQ(framesAfter(read), std::vector<std::string>{frameOf("0B01")});  // no 0501 after a read
  EXPECT_EQ(editor().config().readingMode, 3);
  EXPECT_EQ(editor().config().zoneMask, 1u | (1ull << 63));
  EXPECT_EQ(editor().config().pulseTenths, 3);
  EXPECT_EQ(config::BuildConfigRecord(editor().config()), kZonesRecord);
  EXPECT_EQ(find<QTableWidget>("StringGrid1")->item(63, 0)->checkState(), Qt::Checked);
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].kind, "input");
  EXPECT_EQ(prompts.shown[0].caption, u8("Конфигурация считана из USB-считывателя"));
  EXPECT_EQ(prompts.shown[0].prompt, u8("Контрольная сумма кода объекта"));
  EXPECT_EQ(prompts.shown[0].text.size(), 4);
}

// A program whose card dialogs are not wired yet.
class NoCardWaitTest : public ConfigWorkflowTest {
 protected:
  void SetUp() override {
    withCardWait = false;
    start();
  }
};

TEST_F(NoCardWaitTest, ProtectedWriteReportsTheCodeNotWrittenAndRefusalsShowTheirText) {
  // No card dialog yet: a protected write ends as if it had been closed.
  find<QComboBox>("ComboBox4")->setCurrentIndex(1);
  click("Button2");
  EXPECT_EQ(prompts.texts().back(), u8("Код объекта не записан в USB-считыватель."));
  EXPECT_EQ(frames().back(), frameOf("0501"));

  // A refusal shows its text, waits for no card and still ends with 0501.
  reader.command("result 14");
  prompts.shown.clear();
  const std::size_t before = frames().size();
  click("Button2");
  EXPECT_EQ(prompts.texts(), (QStringList{prompts.shown[0].text, u8("Мастер-карта не пуста.")}));
  EXPECT_EQ(prompts.shown[1].kind, "error");
  EXPECT_EQ(framesAfter(before).size(), 2u);
  EXPECT_EQ(frames().back(), frameOf("0501"));
}

TEST_F(ConfigWorkflowTest, DeclinedProtectedWriteSendsNothingButFillsTheAccessCode) {
  editor().setBlockAccessCode("abc");
  find<QComboBox>("ComboBox4")->setCurrentIndex(1);
  prompts.answers = {false};
  const std::size_t before = frames().size();
  click("Button2");
  EXPECT_EQ(frames().size(), before);
  EXPECT_EQ(editor().config().blockAccessCode, std::string(29, '0') + "ABC");
  EXPECT_EQ(prompts.shown.size(), 1u);
}

TEST_F(ConfigWorkflowTest, ConfigurationFileRoundTripAndRefusals) {
  files.saveAnswers = {file("start.rcf").toStdString()};
  click("Button3");
  EXPECT_EQ(prompts.texts(), QStringList{u8("Выполнено")});
  ASSERT_EQ(files.filtersShown.size(), 1u);
  EXPECT_EQ(files.filtersShown[0].description, "Файл конфигурации");
  EXPECT_EQ(files.filtersShown[0].pattern, "*.rcf");
  const QByteArray start = readAll(file("start.rcf"));
  ASSERT_EQ(start.size(), 45);
  const QByteArray t = ("01" + kDefaultRecord).c_str();
  EXPECT_EQ(start.left(16), QCryptographicHash::hash(t, QCryptographicHash::Md5));
  EXPECT_EQ(start.mid(16).toHex().toUpper(), t);

  zonesModeWithZones1And64();
  editor().setPulseSeconds(12.5);
  const config::ReaderConfig zones = editor().config();
  files.saveAnswers = {file("zones.rcf").toStdString()};
  click("Button3");
  EXPECT_EQ(readAll(file("zones.rcf")).size(), 67);

  // Read back onto another configuration: the zones configuration returns.
  editor().replace(config::ReaderConfig{});
  prompts.shown.clear();
  const std::size_t sent = frames().size();
  files.openAnswers = {file("zones.rcf").toStdString()};
  click("Button1");
  EXPECT_EQ(prompts.texts(), QStringList{u8("Конфигурация считана из файла")});
  EXPECT_EQ(config::BuildConfigRecord(editor().config()), config::BuildConfigRecord(zones));
  EXPECT_EQ(editor().config().zoneMask, 1u | (1ull << 63));
  EXPECT_EQ(editor().config().pulseTenths, 125);
  EXPECT_EQ(find<QComboBox>("ComboBox4")->currentIndex(), 3);

  // One byte changed, in the digest or behind it: refused, nothing changes, nothing reaches the reader.
  editor().replace(config::ReaderConfig{});
  const config::ReaderConfig before = editor().config();
  for (int offset : {3, 16, 40}) {
    QByteArray bad = readAll(file("zones.rcf"));
    bad[offset] = static_cast<char>(bad[offset] ^ 0x01);
    QFile f(file("bad.rcf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bad);
    f.close();
    prompts.shown.clear();
    files.openAnswers = {file("bad.rcf").toStdString()};
    click("Button1");
    EXPECT_EQ(prompts.texts(), QStringList{u8("Неверный формат файла - ошибка CRC.")}) << offset;
    EXPECT_EQ(prompts.shown.back().kind, "error");
    EXPECT_EQ(editor().config(), before);
  }
  EXPECT_EQ(frames().size(), sent);

  // Cancelled dialogs do nothing at all.
  prompts.shown.clear();
  click("Button1");
  click("Button3");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(ConfigWorkflowTest, ReadsOfTheReaderAndItsVersion) {
  reader.setConfigHex(kDefaultRecord);
  find<QComboBox>("ComboBox4")->setCurrentIndex(2);
  click("Button18");
  EXPECT_EQ(editor().config().readingMode, 0);
  EXPECT_EQ(prompts.texts(), QStringList{u8("Конфигурация считана из USB-считывателя")});
  EXPECT_EQ(prompts.shown[0].kind, "message");

  struct Case {
    const char* configHex;
    const char* text;
  };
  for (const Case& c : {Case{"0202670003030000400601000401", "Не удалось считать конфигурацию считывателя."},
                        Case{"020267000303000040060109040100050100" "0C081F04E00700F800FC", "Ошибка установки параметров."}}) {
    reader.setConfigHex(c.configHex);
    editor().setPulseSeconds(2.0);
    const config::ReaderConfig before = editor().config();
    prompts.shown.clear();
    click("Button18");
    EXPECT_EQ(prompts.texts(), QStringList{u8(c.text)}) << c.configHex;
    EXPECT_EQ(editor().config(), before);
  }

  reader.setFirmwareVersion(1, 10, 0);
  prompts.shown.clear();
  click("Button12");
  EXPECT_EQ(prompts.texts(), QStringList{u8("Версия микропрограммы: 1.10.0")});
}

TEST_F(ConfigWorkflowTest, NamesFilesComeFromTheSettingsFolder) {
  // The program was started before this file existed: it shows after a save rebuilds the list.
  QFile f(file("hall.znm"));
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("Hall\r\n");
  f.close();
  files.saveAnswers = {file("saved.znm").toStdString()};
  find<QComboBox>("ComboBox4")->setCurrentIndex(3);
  find<QToolButton>("SpeedButton1")->click();
  auto* sets = find<QComboBox>("ComboBox1");
  EXPECT_EQ(sets->currentText(), "saved.znm");
  EXPECT_NE(sets->findText("hall.znm"), -1);
  EXPECT_TRUE(prompts.shown.empty());  // the settings folder asks nothing
}

}  // namespace
