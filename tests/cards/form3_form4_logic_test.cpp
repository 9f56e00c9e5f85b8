// Waiting for one master card (TForm3) and counting cleared cards (TForm4).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cards/cards_fakes.h"
#include "cards/form3_logic.h"
#include "cards/form4_logic.h"
#include "protocol/results.h"
#include "support/manual_clock.h"

using terva::Answer;
using terva::errtotext;
using terva::cards::Form3Logic;
using terva::cards::Form4Logic;
using terva::cards::ModalResult;
using namespace terva::testing;

namespace {

struct Form3Test : CardsFixture {
  Form3Logic logic{clock, prompts, [this] { return debug; }};
};

TEST_F(Form3Test, EachReplyKind) {
  struct Case {
    const char* name;
    Answer reply;
    ModalResult result;  // None: still waiting
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {"success", ok(), ModalResult::Yes, {}},
      {"success with another ver", ok(4), ModalResult::Yes, {}},
      {"refusal", refused(0x0E), ModalResult::None, {"Ошибка: " + errtotext(0x0E)}},
      {"refusal needs ver 1", refused(0x0E, 2), ModalResult::None, {}},
      {"success body with cmd 1", reply(1, 1, "0D0100"), ModalResult::None, {}},
      {"short result body", reply(0, 1, "0D01"), ModalResult::None, {}},
      {"configuration frame", reply(1, 3, "0102030405"), ModalResult::None, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.messages.clear();
    logic.show();
    logic.pushReply(c.reply);
    ticks(1);
    EXPECT_EQ(logic.result(), c.result);
    EXPECT_EQ(logic.running(), c.result == ModalResult::None);
    EXPECT_EQ(logic.timerActive(), c.result == ModalResult::None);
    EXPECT_EQ(prompts.messages, c.messages);
    EXPECT_EQ(logic.pendingReplies(), 0u);
    logic.close();
  }
}

TEST_F(Form3Test, CountdownRunsOutWithNo) {
  for (bool dbg : {false, true}) {
    SCOPED_TRACE(dbg);
    debug = dbg;
    const int limit = dbg ? 1200 : 150;
    logic.show();
    EXPECT_EQ(logic.countdownText(), dbg ? "120" : "15");
    ticks(1);
    EXPECT_EQ(logic.countdownText(), dbg ? "119" : "14");
    ticks(limit - 2);
    EXPECT_EQ(logic.countdownText(), "0");
    EXPECT_TRUE(logic.running());
    ticks(1);
    EXPECT_EQ(logic.result(), ModalResult::No);
    EXPECT_EQ(clock.activeTimers(), 0u);
    EXPECT_TRUE(prompts.messages.empty());  // the caller tells the operator
  }
}

TEST_F(Form3Test, RefusalLeavesTheCountdownWhereItStood) {
  logic.show();
  ticks(50);
  prompts.onMessage = [&](const std::string&) { ticks(30); };
  logic.pushReply(refused(7));
  ticks(1);
  EXPECT_EQ(logic.ticksLeft(), 99);
  EXPECT_TRUE(logic.running());
}

TEST_F(Form3Test, RepliesDuringTheMessageWaitAndAreHandledAfterIt) {
  logic.show();
  bool timerDuringMessage = true;
  std::size_t queuedDuringMessage = 0;
  ModalResult resultDuringMessage = ModalResult::Cancel;
  prompts.onMessage = [&](const std::string&) {
    logic.pushReply(ok());
    ticks(3);
    timerDuringMessage = logic.timerActive();
    queuedDuringMessage = logic.pendingReplies();
    resultDuringMessage = logic.result();
  };
  logic.pushReply(refused(2));
  ticks(1);
  EXPECT_FALSE(timerDuringMessage);
  EXPECT_EQ(queuedDuringMessage, 1u);
  EXPECT_EQ(resultDuringMessage, ModalResult::None);
  EXPECT_EQ(logic.result(), ModalResult::Yes);
}

TEST_F(Form3Test, TwoRepliesInOneTickInOrder) {
  logic.show();
  logic.pushReply(ok());
  logic.pushReply(refused(2));
  ticks(1);
  EXPECT_EQ(logic.result(), ModalResult::Yes);
  EXPECT_TRUE(prompts.messages.empty());  // the run ended with the first
}

TEST_F(Form3Test, ClosingGivesCancelOnceAndRepliesAfterwardsAreIgnored) {
  logic.show();
  logic.close();
  EXPECT_EQ(logic.result(), ModalResult::Cancel);
  EXPECT_EQ(clock.activeTimers(), 0u);
  logic.pushReply(ok());
  EXPECT_EQ(logic.pendingReplies(), 0u);

  logic.show();
  logic.pushReply(ok());
  ticks(1);
  logic.close();
  EXPECT_EQ(logic.result(), ModalResult::Yes);
}

TEST_F(Form3Test, WatchClosingDuringAMessageKeepsTheTimerStopped) {
  logic.show();
  prompts.onMessage = [&](const std::string&) { logic.close(); };
  logic.pushReply(refused(2));
  logic.pushReply(ok());
  ticks(1);
  EXPECT_EQ(logic.result(), ModalResult::Cancel);
  EXPECT_EQ(clock.activeTimers(), 0u);
}

struct Form4Test : CardsFixture {
  Form4Logic logic{clock, prompts};
};

TEST_F(Form4Test, CountsSuccessesReportsRefusalsDropsTheRest) {
  struct Case {
    const char* name;
    Answer reply;
    int counted;
    std::vector<std::string> messages;
  };
  const std::vector<Case> cases = {
      {"success", ok(), 1, {}},
      {"refusal", refused(0x1B), 0, {"Ошибка: " + errtotext(0x1B)}},
      {"success with ver 2", ok(2), 0, {}},
      {"cmd 1", reply(1, 1, "0D0100"), 0, {}},
      {"other record", reply(0, 1, "0E0100"), 0, {}},
      {"long body", reply(0, 1, "0D010000"), 0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    prompts.messages.clear();
    logic.show();
    EXPECT_EQ(logic.counterText(), "0");
    logic.pushReply(c.reply);
    ticks(1);
    EXPECT_EQ(logic.clearcnt(), c.counted);
    EXPECT_EQ(logic.counterText(), "0");  // shown one tick later
    ticks(1);
    EXPECT_EQ(logic.counterText(), std::to_string(c.counted));
    EXPECT_EQ(prompts.messages, c.messages);
    EXPECT_TRUE(logic.running());
    EXPECT_TRUE(logic.timerActive());
    logic.close();
  }
}

TEST_F(Form4Test, NeverEndsByItselfAndFinishesWithYes) {
  logic.show();
  for (int i = 0; i < 30; ++i) {
    logic.pushReply(ok());
    if (i % 3 == 0) logic.pushReply(ok());  // two within one tick
    ticks(10);
  }
  ticks(100000);
  EXPECT_TRUE(logic.running());
  EXPECT_EQ(logic.clearcnt(), 40);
  EXPECT_EQ(logic.counterText(), "40");
  logic.finishButton();
  EXPECT_EQ(logic.result(), ModalResult::Yes);
  EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST_F(Form4Test, CardsPresentedWhileAMessageIsOpenAreCountedAfterIt) {
  logic.show();
  prompts.onMessage = [&](const std::string&) {
    logic.pushReply(ok());
    logic.pushReply(ok());
    EXPECT_FALSE(logic.timerActive());
  };
  logic.pushReply(refused(9));
  ticks(1);
  EXPECT_EQ(logic.clearcnt(), 2);
  EXPECT_TRUE(logic.timerActive());
}

}  // namespace
