// The diagnostic terminal on the page "Чтение", against the simulated reader.
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "app/ui/program.h"
#include "app/ui/terminal_panel.h"
#include "app/ui/tform1.h"
#include "ident/ui/reading_page.h"
#include "protocol/qt_clock.h"
#include "protocol/results.h"
#include "sim/pty_reader.h"
#include "support/fakes.h"

using namespace terva;
using namespace std::chrono_literals;
using terva::testing::waitUntil;

namespace {

class TerminalTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  std::filesystem::path settings = std::filesystem::path(dir.path().toStdString()) / "settings.ini";
  terva::testing::FakePrompts prompts;
  terva::testing::FakeFileDialogs files;
  terva::testing::FakeClipboard clipboard;
  terva::testing::FakeTemplateChooser editor;
  QtClock clock;
  sim::PtyReader reader;
  std::unique_ptr<app::Program> program;

  void start(const char* settingsText, bool connect = true) {
    std::ofstream(settings, std::ios::binary) << settingsText;
    reader.start();
    app::ProgramServices s;
    s.clock = &clock;
    s.prompts = &prompts;
    s.files = &files;
    s.clipboard = &clipboard;
    s.templateEditor = &editor;
    s.settingsFile = settings;
    s.listPorts = [] { return std::vector<PortEntry>{}; };
    s.commandLinePort = reader.slavePath();
    s.trayAvailable = [] { return false; };
    program = std::make_unique<app::Program>(std::move(s));
    program->window().show();
    if (!connect) return;
    find<QPushButton>("Button6")->click();
    ASSERT_TRUE(reader.waitForFrame("2305050124", 2000ms));
    ASSERT_TRUE(waitUntil([&] { return find<QPushButton>("Button7")->isVisible(); }));
    // The connect's reply has been logged too.
    if (program->debugMode()) {
      ASSERT_TRUE(waitUntil([&] { return lines().size() >= 2; }));
    }
  }
  template <class T>
  T* find(const char* name) {
    T* w = program->window().findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QStringList lines() {
    const QString text = find<QPlainTextEdit>("Memo1")->toPlainText();
    return text.isEmpty() ? QStringList{} : text.split('\n');
  }
  void send(const QString& payload) {
    find<QLineEdit>("Edit3")->setText(payload);
    find<QPushButton>("Button9")->click();
  }
};

}  // namespace

TEST_F(TerminalTest, ShownWithDebugModeWithItsDesignTexts) {
  start("[kelvor]\ndebugmode=1\n", false);
  EXPECT_TRUE(program->debugMode());
  EXPECT_TRUE(program->debugModeQuery()());
  EXPECT_TRUE(find<QPlainTextEdit>("Memo1")->isVisible());
  EXPECT_TRUE(find<QPlainTextEdit>("Memo1")->isReadOnly());
  EXPECT_EQ(find<QLabel>("Label23")->text(), QString::fromUtf8("23 + LN + "));
  EXPECT_EQ(find<QLineEdit>("Edit3")->text(), "0301");
  EXPECT_EQ(find<QLabel>("Label24")->text(), QString::fromUtf8("+ 24"));
  EXPECT_EQ(find<QPushButton>("Button9")->text(), QString::fromUtf8("Отправить"));
  EXPECT_EQ(find<QPushButton>("Button11")->text(), QString::fromUtf8("Очистить"));
  EXPECT_TRUE(find<QCheckBox>("CheckBox7")->isChecked());
  EXPECT_FALSE(find<QCheckBox>("CheckBox6")->isChecked());
  EXPECT_EQ(find<QPlainTextEdit>("Memo1")->maximumBlockCount(), 20000);
}

TEST_F(TerminalTest, HiddenWithoutDebugModeAndLogsNothing) {
  start("[kelvor]\ndebugmode=0\n");
  EXPECT_FALSE(program->debugMode());
  EXPECT_FALSE(program->terminal().isVisible());
  EXPECT_TRUE(program->terminal().log().lines().empty());
}

TEST_F(TerminalTest, SendLogsFrameAndReplyAndReportsDone) {
  start("[kelvor]\ndebugmode=1\n");
  EXPECT_EQ(lines().at(0), "> 23 05 05 01 24 ");
  EXPECT_TRUE(lines().at(1).startsWith("< 23 "));
  send("0301");
  EXPECT_TRUE(reader.waitForFrame("2305030124", 2000ms));
  ASSERT_FALSE(prompts.shown.empty());
  EXPECT_EQ(prompts.shown.back().kind, "message");
  EXPECT_EQ(prompts.shown.back().text, QString::fromUtf8("Выполнено"));
  EXPECT_EQ(lines().at(2), "> 23 05 03 01 24 ");
  EXPECT_EQ(lines().at(3), "< 23 08 00 01 0D 01 00 24 ");
  // A refusal shows its text in the error box.
  reader.command("result 7");
  send("0501");
  EXPECT_EQ(prompts.shown.back().kind, "error");
  EXPECT_EQ(prompts.shown.back().text.toStdString(), errtotext(7));
}

TEST_F(TerminalTest, SplitReplyIsTwoLinesAndRenderingOptionsApplyToNextLine) {
  start("[kelvor]\ndebugmode=1\n");
  find<QCheckBox>("CheckBox6")->setChecked(true);
  // Each receive event is judged alone: a reply in two pieces is no reply
  // (254), and the log shows both pieces as they came.
  reader.command("split");
  send("0501");
  EXPECT_EQ(prompts.shown.back().text.toStdString(), errtotext(254));
  ASSERT_TRUE(waitUntil([&] { return lines().size() >= 5; }));
  const QStringList l = lines().mid(2);
  ASSERT_EQ(l.size(), 3) << l.join('|').toStdString();
  EXPECT_EQ(l[0], "> 23(#) 05(.) 05(.) 01(.) 24($) ");
  ASSERT_TRUE(l[1].startsWith("< ") && l[2].startsWith("< "));
  EXPECT_EQ(l[1].mid(2) + l[2].mid(2), "23(#) 08(.) 00(.) 01(.) 0D(.) 01(.) 00(.) 24($) ");

  // Neither option: nothing at all is logged, sent or received.
  find<QCheckBox>("CheckBox6")->setChecked(false);
  find<QCheckBox>("CheckBox7")->setChecked(false);
  const auto before = lines().size();
  send("0501");
  ASSERT_EQ(prompts.shown.back().text, QString::fromUtf8("Выполнено"));
  EXPECT_EQ(lines().size(), before);
}

TEST_F(TerminalTest, IdentifierIsLoggedBeforeItIsShown) {
  start("[kelvor]\ndebugmode=1\n");
  find<QCheckBox>("CheckBox7")->setChecked(false);
  find<QCheckBox>("CheckBox6")->setChecked(true);
  QString lastLineWhenShown;
  QObject::connect(&program->readingPage(), &ident::ReadingPage::identifierShown,
                   [&] { lastLineWhenShown = lines().last(); });
  reader.command("card uid 1A2B3C");
  ASSERT_TRUE(waitUntil([&] { return !lastLineWhenShown.isEmpty(); }));
  EXPECT_TRUE(lastLineWhenShown.startsWith("< UID: ")) << lastLineWhenShown.toStdString();
}

TEST_F(TerminalTest, RefusedEntriesSendNothing) {
  start("[kelvor]\ndebugmode=1\n");
  const auto framesBefore = reader.framesFromHost().size();
  const auto linesBefore = lines().size();
  for (const char* entry : {"", "050", "05 01", "0501 "}) {
    send(entry);
    ASSERT_FALSE(prompts.shown.empty());
    EXPECT_EQ(prompts.shown.back().kind, "error") << entry;
    EXPECT_EQ(prompts.shown.back().text.toStdString(), errtotext(255)) << entry;
  }
  reader.waitIdle(500ms);
  EXPECT_EQ(reader.framesFromHost().size(), framesBefore);
  EXPECT_EQ(lines().size(), linesBefore);
}

TEST_F(TerminalTest, ClearEmptiesAndSaveWritesTheWholeLog) {
  start("[kelvor]\ndebugmode=1\n");
  const std::string file = dir.filePath("log.txt").toStdString();
  files.saveAnswers.push_back(file);
  program->terminal().saveLog();
  std::ifstream in(file, std::ios::binary);
  std::stringstream saved;
  saved << in.rdbuf();
  EXPECT_EQ(saved.str(), (lines().join('\n') + "\n").toStdString());

  // Search finds a line and selects it; the copy is what was found.
  EXPECT_TRUE(program->terminal().findNext("05 01 24"));
  EXPECT_EQ(find<QPlainTextEdit>("Memo1")->textCursor().selectedText(), "05 01 24");
  EXPECT_FALSE(program->terminal().findNext("no such text"));

  find<QPushButton>("Button11")->click();
  EXPECT_TRUE(lines().isEmpty());
  EXPECT_TRUE(program->terminal().log().lines().empty());
}
