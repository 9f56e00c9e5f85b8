// The master-card and protected-card operations through the whole program,
// against the simulated reader on a pseudo-terminal.
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>

#include "app/ui/program.h"
#include "app/ui/tform1.h"
#include "cards/ui/card_dialogs.h"
#include "cards/ui/card_workflows.h"
#include "cards/ui/tform2.h"
#include "cards/ui/tform3.h"
#include "cards/ui/tform4.h"
#include "cards/ui/tform5.h"
#include "cards/ui/tform8.h"
#include "config/config_record.h"
#include "config/ui/config_page.h"
#include "config/ui/config_workflows.h"
#include "protocol/commands.h"
#include "protocol/qt_clock.h"
#include "protocol/results.h"
#include "sim/pty_reader.h"
#include "support/fakes.h"

using namespace terva;
using namespace std::chrono_literals;
using terva::testing::waitUntil;

namespace {

// Steps run in order from a timer, so they also run inside the modal dialogs;
// each waits for its condition. Past the deadline every open dialog is closed,
// so a broken run fails instead of hanging.
class Script {
 public:
  Script() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] { step(); });
    clock_.start();
    timer_.start();
  }
  void when(std::function<bool()> condition, std::function<void()> action) {
    steps_.push_back({std::move(condition), std::move(action)});
  }
  bool finished() const { return steps_.empty(); }

 private:
  void step() {
    if (busy_) return;
    if (clock_.elapsed() > 10000) {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible()) d->reject();
      }
      return;
    }
    if (steps_.empty() || !steps_.front().first()) return;
    auto action = std::move(steps_.front().second);
    steps_.pop_front();
    busy_ = true;
    action();
    busy_ = false;
  }
  QTimer timer_;
  QElapsedTimer clock_;
  std::deque<std::pair<std::function<bool()>, std::function<void()>>> steps_;
  bool busy_ = false;
};

class CardWorkflowsTest : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  terva::testing::FakePrompts prompts;
  terva::testing::FakeClipboard clipboard;
  QtClock clock;
  sim::PtyReader reader;
  std::unique_ptr<app::Program> program;
  int framesSeen = 0;   // frames the session stored
  int refreshes = 0;    // configChanged calls

  void SetUp() override {
    reader.start();
    app::ProgramServices s;
    s.clock = &clock;
    s.prompts = &prompts;
    s.clipboard = &clipboard;
    s.templateEditor = &chooser;
    s.settingsFile = std::filesystem::path(dir.path().toStdString()) / "settings.ini";
    s.listPorts = [] { return std::vector<PortEntry>{}; };
    s.commandLinePort = reader.slavePath();
    program = std::make_unique<app::Program>(std::move(s));
    program->window().show();
    QObject::connect(&program->session(), &ReaderSession::frameReceived, [this] { ++framesSeen; });
    program->masterCards().setConfigChanged([this] { ++refreshes; });
    program->window().findChild<QPushButton*>("Button6")->click();
    ASSERT_TRUE(reader.waitForFrame("2305050124", 2000ms));
    ASSERT_TRUE(waitUntil([&] { return program->session().connected() && !program->session().busy(); }));
    mark();
  }
  void TearDown() override {
    program->window().close();
    program.reset();
  }

  config::ConfigEditor& editor() { return program->configEditor(); }
  cards::CardDialogs& dialogs() { return program->cardDialogs(); }

  // The payloads the reader has received since the last mark().
  std::size_t marked = 0;
  void mark() { marked = reader.framesFromHost().size(); }
  std::vector<std::string> payloadsSinceMark() {
    // Every command waits for its reply, so the reader has all of them once the run is over.
    std::vector<std::string> out;
    const auto frames = reader.framesFromHost();
    for (std::size_t i = marked; i < frames.size(); ++i) out.push_back(frames[i].substr(4, frames[i].size() - 6));
    return out;
  }
  // Frames the reader has had so far, for checks made while a box is open.
  std::size_t framesNow() { return reader.framesFromHost().size() - marked; }

  void present(const std::string& what) { EXPECT_NE(reader.command("present " + what), ""); }
  void presentAndWait(const std::string& what) {
    const int before = framesSeen;
    present(what);
    EXPECT_TRUE(waitUntil([&] { return framesSeen > before; }));
  }

  // Writes `count` master cards of the editor's configuration onto blank cards.
  void createMasterCards(int count, bool lock) {
    Script s;
    s.when([&] { return dialogs().builtForm2() && dialogs().builtForm2()->isVisible(); },
           [&] {
             // The option's warning box, answered like every other question.
             dialogs().form2().logic().askOption = [&](const std::string& text) {
               return prompts.ask("Выбор опции", text);
             };
             if (lock) dialogs().builtForm2()->findChild<QCheckBox*>("CheckBox1")->click();
           });
    s.when([&] { return !lock || dialogs().form2().logic().optionTicked(); },
           [&] { dialogs().form2().findChild<QPushButton*>(QStringLiteral("Button%1").arg(count))->click(); });
    for (int i = 0; i < count; ++i) {
      s.when([&, i] { return dialogs().form2().logic().secondPanelVisible() && dialogs().form2().logic().donecnt() == i; },
             [&] { present("blank"); });
    }
    program->masterCards().createMasterCards();
    EXPECT_TRUE(s.finished());
  }

  terva::testing::FakeTemplateChooser chooser;
};

std::string recordOf(const config::ReaderConfig& c) { return config::BuildConfigRecord(c); }

TEST_F(CardWorkflowsTest, TwoLockedMasterCardsAreWrittenThenOneIsReadBack) {
  editor().ComboBox4Change(1);  // object code mode: the option is offered
  std::size_t framesAtSuccess = 0;
  prompts.onShown = [&](const auto& box) {
    if (box.text == QString::fromUtf8("Мастер-карты успешно созданы")) framesAtSuccess = framesNow();
  };
  createMasterCards(2, true);

  const config::ReaderConfig written = editor().config();
  EXPECT_EQ(written.blockAccessCode.size(), 32u);
  EXPECT_EQ(payloadsSinceMark(), (std::vector<std::string>{commands::masterCardConfiguration(recordOf(written), true),
                                                            commands::writeMasterCards(2),
                                                            commands::cardReadingMode()}));
  EXPECT_EQ(payloadsSinceMark()[0].substr(0, 4), "0102");
  EXPECT_TRUE(payloadsSinceMark()[0].ends_with("1101AA"));
  EXPECT_EQ(payloadsSinceMark()[1], "020101020002");
  EXPECT_EQ(framesAtSuccess, 2u) << "the success message comes before \"0501\"";
  ASSERT_FALSE(prompts.shown.empty());
  EXPECT_EQ(prompts.shown[0].kind, "question");
  EXPECT_EQ(prompts.shown[0].caption, QString::fromUtf8("Выбор опции"));
  EXPECT_TRUE(prompts.texts().contains(QString::fromUtf8("Мастер-карты успешно созданы")));
  EXPECT_EQ(dialogs().form2().logic().crdtype, "MifarePLUS ");
  const auto cards = reader.snapshot().cards();
  ASSERT_EQ(cards.size(), 2u);
  for (const auto& c : cards) {
    EXPECT_EQ(c.kind, sim::CardKind::Master);
    EXPECT_EQ(c.count, 2);
    EXPECT_TRUE(c.lock);
  }

  // Another configuration in the editor; the first card brings the written one back.
  editor().ComboBox4Change(0);
  editor().SpinEdit3Change(5);
  ASSERT_NE(editor().config(), written);
  prompts.shown.clear();
  refreshes = 0;
  mark();
  Script s;
  s.when([&] { return dialogs().builtForm8() && dialogs().builtForm8()->isVisible(); }, [&] { present("1"); });
  program->masterCards().readFromMasterCard();

  // The record carries colours on the reader's grid: what comes back is what was sent.
  EXPECT_EQ(recordOf(editor().config()), recordOf(written));
  EXPECT_EQ(editor().config().readingMode, 1);
  EXPECT_EQ(editor().config().bitShift, written.bitShift);
  EXPECT_GE(refreshes, 1);
  // The closing box shows the checksum as the card reported it, and nothing else is shown.
  ASSERT_EQ(prompts.shown.size(), 1u);
  const auto& box = prompts.shown[0];
  EXPECT_EQ(box.kind, "input");
  EXPECT_EQ(box.caption, QString::fromUtf8("Конфигурация считана с мастер-карты №1 из 2"));
  EXPECT_EQ(box.prompt, QString::fromUtf8("Контрольная сумма кода объекта"));
  EXPECT_EQ("0E02" + box.text.toStdString(), sim::ReaderSim::checksumItem(cards[0].recordHex, cards[0].objectCode));
  EXPECT_EQ(payloadsSinceMark(),
            (std::vector<std::string>{commands::readMasterCardConfiguration(), commands::cardReadingMode()}));
}

TEST_F(CardWorkflowsTest, MasterCardsInPlainModeHideTheOptionAndNameNoCardType) {
  createMasterCards(1, false);
  EXPECT_FALSE(dialogs().form2().logic().optionVisible());
  EXPECT_EQ(dialogs().form2().logic().crdtype, "");
  const auto p = payloadsSinceMark();
  ASSERT_EQ(p.size(), 3u);
  EXPECT_TRUE(p[0].ends_with("110100"));
  EXPECT_EQ(p[1], commands::writeMasterCards(1));
  EXPECT_TRUE(prompts.texts().contains(QString::fromUtf8("Мастер-карта успешно создана")));
}

TEST_F(CardWorkflowsTest, ProtectedCardsCountEveryReportedCardAndFinishQuietly) {
  editor().ComboBox4Change(1);
  createMasterCards(1, false);
  prompts.shown.clear();
  mark();

  bool presentedDuringRefusal = false;
  prompts.onShown = [&](const auto& box) {
    if (!box.text.startsWith(QString::fromUtf8("Ошибка: ")) || presentedDuringRefusal) return;
    presentedDuringRefusal = true;
    presentAndWait("blank");  // reported while the refusal is still open
  };
  auto& f5 = dialogs().form5();
  Script s;
  s.when([&] { return f5.isVisible(); }, [&] { present("1"); });  // the master card
  s.when([&] { return f5.logic().secondPanelVisible(); }, [&] { present("blank"); });
  s.when([&] { return f5.logic().makecnt() == 1; }, [&] { present("blank plus 9"); });
  s.when([&] { return f5.logic().makecnt() == 2; },
         [&] {
           auto* finish = f5.findChild<QPushButton*>("Button1");
           EXPECT_EQ(finish->text(), QString::fromUtf8("Закончить создание защищенных карт"));
           finish->click();
         });
  program->protectedCards().createProtectedCards();

  EXPECT_TRUE(s.finished());
  EXPECT_TRUE(presentedDuringRefusal);
  EXPECT_EQ(f5.logic().result(), cards::ModalResult::Yes);
  EXPECT_EQ(f5.logic().makecnt(), 2);
  EXPECT_EQ(f5.windowTitle(), QString::fromUtf8("Создание защищенных карт"));
  EXPECT_EQ(prompts.shown[0].caption, QString::fromUtf8("Защищенные карты"));
  EXPECT_EQ(prompts.texts(),
            (QStringList{QString::fromUtf8(cards::texts::kCreateQuestion.data()),
                         QString::fromStdString(cards::cardErrorText(9))}));
  EXPECT_EQ(payloadsSinceMark(),
            (std::vector<std::string>{commands::createProtectedCards(), commands::cardReadingMode()}));
  int protectedCards = 0;
  const sim::ReaderSim state = reader.snapshot();
  for (const auto& c : state.cards()) protectedCards += c.kind == sim::CardKind::Protected;
  EXPECT_EQ(protectedCards, 2);
}

TEST_F(CardWorkflowsTest, UnpluggingDuringMasterCardWritingClosesTheDialog) {
  Script s;
  s.when([&] { return dialogs().builtForm2() && dialogs().builtForm2()->isVisible(); },
         [&] { dialogs().form2().findChild<QPushButton*>("Button2")->click(); });
  s.when([&] { return dialogs().form2().logic().secondPanelVisible(); }, [&] { reader.unplug(); });
  program->masterCards().createMasterCards();

  EXPECT_TRUE(s.finished());
  EXPECT_FALSE(dialogs().form2().isVisible());
  EXPECT_EQ(dialogs().form2().logic().result(), cards::ModalResult::Cancel);
  EXPECT_FALSE(program->session().connected());
  EXPECT_TRUE(prompts.texts().contains(QString::fromUtf8("USB-считыватель отключен")));
  // "0501" found the port gone and was not sent; nothing else was shown.
  const auto p = payloadsSinceMark();
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[1], commands::writeMasterCards(2));
  EXPECT_EQ(prompts.shown.size(), 1u);
}

// "No" to the opening question sends nothing at all.
struct Declined {
  const char* name;
  void (*run)(app::Program&);
};
class DeclinedTest : public CardWorkflowsTest, public ::testing::WithParamInterface<Declined> {};

TEST_P(DeclinedTest, SendsNothing) {
  prompts.answers = {false};
  GetParam().run(*program);
  EXPECT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].kind, "question");
  EXPECT_TRUE(payloadsSinceMark().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Questions, DeclinedTest,
    ::testing::Values(Declined{"create", [](app::Program& p) { p.protectedCards().createProtectedCards(); }},
                      Declined{"clear", [](app::Program& p) { p.protectedCards().clearProtectedCards(); }},
                      Declined{"clearAll", [](app::Program& p) { p.protectedCards().clearAllProtectedCards(); }},
                      Declined{"clearMasters", [](app::Program& p) { p.masterCards().clearMasterCards(); }},
                      Declined{"copyInMode1",
                               [](app::Program& p) {
                                 p.configEditor().ComboBox4Change(1);
                                 p.masterCards().copyMasterCardToReader();
                               }}),
    [](const auto& p) { return std::string(p.param.name); });

// A refused start command: the refusal's text, and "0501" before it or after it.
struct Refused {
  const char* name;
  void (*run)(app::Program&);
  std::string (*command)();
  bool endsBeforeMessage;
};
class RefusedTest : public CardWorkflowsTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedTest, ReportsTheCodeAndEndsTheCardMode) {
  ASSERT_NE(reader.command("result 14"), "");
  std::size_t framesAtMessage = 0;
  prompts.onShown = [&](const auto& box) {
    if (box.kind == "error") framesAtMessage = framesNow();
  };
  GetParam().run(*program);
  EXPECT_EQ(prompts.shown.back().kind, "error");
  EXPECT_EQ(prompts.shown.back().text.toStdString(), errtotext(14));
  EXPECT_EQ(payloadsSinceMark(), (std::vector<std::string>{GetParam().command(), commands::cardReadingMode()}));
  EXPECT_EQ(framesAtMessage, GetParam().endsBeforeMessage ? 2u : 1u);
  EXPECT_EQ(dialogs().builtForm4(), nullptr);  // no dialog was needed, none was built
  EXPECT_EQ(dialogs().builtForm5(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    StartCommands, RefusedTest,
    ::testing::Values(
        Refused{"create", [](app::Program& p) { p.protectedCards().createProtectedCards(); },
                commands::createProtectedCards, true},
        Refused{"clear", [](app::Program& p) { p.protectedCards().clearProtectedCards(); },
                commands::clearProtectedCards, true},
        Refused{"clearAll", [](app::Program& p) { p.protectedCards().clearAllProtectedCards(); },
                commands::clearAllProtectedCards, true},
        Refused{"copy", [](app::Program& p) { p.masterCards().copyMasterCardToReader(); },
                commands::copyMasterCardConfiguration, true},
        Refused{"clearMasters", [](app::Program& p) { p.masterCards().clearMasterCards(); },
                commands::clearMasterCards, false},
        Refused{"readMaster", [](app::Program& p) { p.masterCards().readFromMasterCard(); },
                commands::readMasterCardConfiguration, false}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace

namespace {

// The configuration page's buttons reach the card operations.
TEST_F(CardWorkflowsTest, PageButtonClosedBeforeAnyCountSendsOnlyTheEnd) {
  Script s;
  s.when([&] { return dialogs().builtForm2() && dialogs().builtForm2()->isVisible(); },
         [&] { dialogs().form2().close(); });  // the close box
  program->configPage().createMasterCardsButton()->click();
  EXPECT_TRUE(s.finished());
  EXPECT_EQ(payloadsSinceMark(), std::vector<std::string>{commands::cardReadingMode()});
  EXPECT_TRUE(prompts.shown.empty());
}

// Writing a protected configuration waits in "Чтение кода объекта" for the master card.
TEST_F(CardWorkflowsTest, ProtectedWriteTakesTheObjectCodeFromAMasterCard) {
  editor().ComboBox4Change(1);
  createMasterCards(1, false);
  mark();
  Script s;
  s.when([&] { return dialogs().builtForm3() && dialogs().builtForm3()->isVisible(); }, [&] { present("1"); });
  program->configWorkflows().Button2Click();
  EXPECT_TRUE(s.finished());
  EXPECT_EQ(dialogs().form3().windowTitle(), QString::fromUtf8("Чтение кода объекта"));
  EXPECT_EQ(dialogs().form3().logic().result(), cards::ModalResult::Yes);
  EXPECT_FALSE(reader.snapshot().objectCode().empty());
  const auto p = payloadsSinceMark();
  ASSERT_EQ(p.size(), 2u);
  EXPECT_EQ(p[0].substr(0, 4), "0101");
  EXPECT_EQ(p[1], commands::cardReadingMode());
}

// Copying a master card's configuration into the reader, and clearing master cards.
TEST_F(CardWorkflowsTest, CopyAndClearMasterCards) {
  createMasterCards(2, false);
  mark();
  prompts.shown.clear();
  Script copy;
  copy.when([&] { return dialogs().builtForm3() && dialogs().builtForm3()->isVisible(); }, [&] { present("2"); });
  program->masterCards().copyMasterCardToReader();  // mode 0: no question
  EXPECT_EQ(dialogs().form3().windowTitle(), QString::fromUtf8("Чтение/запись конфигурации"));
  EXPECT_EQ(prompts.texts(), QStringList{QString::fromUtf8(kDoneText)});
  EXPECT_EQ(payloadsSinceMark(),
            (std::vector<std::string>{commands::copyMasterCardConfiguration(), commands::cardReadingMode()}));

  mark();
  prompts.shown.clear();
  auto& f4 = dialogs().form4();
  Script clear;
  clear.when([&] { return f4.isVisible(); }, [&] { present("1"); });
  clear.when([&] { return f4.logic().clearcnt() == 1; }, [&] { present("2"); });
  clear.when([&] { return f4.logic().clearcnt() == 2; }, [&] { f4.findChild<QPushButton*>("Button1")->click(); });
  program->masterCards().clearMasterCards();
  EXPECT_TRUE(clear.finished());
  EXPECT_EQ(f4.windowTitle(), QString::fromUtf8("Очистка мастер-карт"));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].caption, QString::fromUtf8("Очистка"));
  EXPECT_EQ(payloadsSinceMark(), (std::vector<std::string>{commands::clearMasterCards(), commands::cardReadingMode()}));
  const sim::ReaderSim state = reader.snapshot();
  for (const auto& c : state.cards()) EXPECT_EQ(c.kind, sim::CardKind::Blank);
}

}  // namespace

namespace {

TEST_F(CardWorkflowsTest, ProtectedCardsPageNamesItsControlsAndStartsTheOperations) {
  // Built when the operator first opens its tab.
  EXPECT_EQ(program->window().findChild<QWidget*>("TabSheet3"), nullptr);
  program->window().findChild<QTabWidget*>("PageControl1")->setCurrentIndex(2);
  auto* page = program->window().findChild<QWidget*>("TabSheet3");
  ASSERT_NE(page, nullptr);
  auto* heading = page->findChild<QLabel*>("Label17");
  ASSERT_NE(heading, nullptr);
  EXPECT_EQ(heading->text(),
            QString::fromUtf8("Конфигурация защищенных карт для режима \"Код объекта\" или \"Зоны прохода\""));
  const std::pair<const char*, std::string_view> buttons[] = {{"Button13", cards::texts::kCreateQuestion},
                                                              {"Button14", cards::texts::kClearQuestion},
                                                              {"Button16", cards::texts::kClearAllQuestion}};
  for (const auto& [name, question] : buttons) {
    auto* b = page->findChild<QPushButton*>(name);
    ASSERT_NE(b, nullptr) << name;
    EXPECT_FALSE(b->accessibleName().isEmpty());
    EXPECT_EQ(b->accessibleName(), b->text());
    prompts.shown.clear();
    prompts.answers = {false};
    b->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text.toStdString(), question);
  }
  EXPECT_TRUE(payloadsSinceMark().empty());
}

}  // namespace
