// Protected cards (TForm5: master card, then counting) and reading a
// configuration from a master card (TForm8).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cards/cards_fakes.h"
#include "cards/form5_logic.h"
#include "cards/form8_logic.h"
#include "protocol/results.h"
#include "support/manual_clock.h"

using terva::Answer;
using terva::errtotext;
using terva::cards::Form5Logic;
using terva::cards::Form8Logic;
using terva::cards::ModalResult;
using namespace terva::testing;

namespace {

struct Form5Test : CardsFixture {
  Form5Logic logic{clock, prompts, [this] { return debug; }};
};

TEST_F(Form5Test, MasterCardSwitchesToCountingFromZero) {
  logic.show();
  EXPECT_FALSE(logic.secondPanelVisible());
  // Before the master card nothing is counted; refusals are reported.
  logic.pushReply(refused(0x0E));
  logic.pushReply(reply(0, 1, "0D01"));
  ticks(1);
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Ошибка: " + errtotext(0x0E)});
  EXPECT_FALSE(logic.secondPanelVisible());
  logic.pushReply(ok(5));  // any ver
  ticks(1);
  EXPECT_TRUE(logic.secondPanelVisible());
  EXPECT_EQ(logic.makecnt(), 0);
  EXPECT_EQ(logic.counterText(), "0");
  for (const Answer& a : {ok(), ok(3), refused(2), refused(2, 4), reply(2, 1, "0D0100"), ok()}) logic.pushReply(a);
  ticks(1);
  EXPECT_EQ(logic.makecnt(), 3);
  EXPECT_EQ(logic.counterText(), "3");
  EXPECT_EQ(prompts.messages.size(), 2u);
  EXPECT_EQ(prompts.messages.back(), "Ошибка: " + errtotext(2));
  // No time limit once counting.
  ticks(20000);
  EXPECT_TRUE(logic.running());
  logic.finishButton();
  EXPECT_EQ(logic.result(), ModalResult::Yes);
  EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST_F(Form5Test, MasterCardTimeLimit) {
  for (bool dbg : {false, true}) {
    SCOPED_TRACE(dbg);
    debug = dbg;
    const int limit = dbg ? 1200 : 150;
    logic.show();
    EXPECT_EQ(logic.countdownText(), dbg ? "120" : "15");
    ticks(limit - 1);
    EXPECT_EQ(logic.countdownText(), "0");
    EXPECT_TRUE(logic.running());
    ticks(1);
    EXPECT_EQ(logic.result(), ModalResult::No);
    EXPECT_EQ(clock.activeTimers(), 0u);
  }
}

TEST_F(Form5Test, MasterCardInTheLastTickStillSwitches) {
  logic.show();
  ticks(149);
  logic.pushReply(ok());
  ticks(1);
  EXPECT_TRUE(logic.running());
  EXPECT_TRUE(logic.secondPanelVisible());
}

TEST_F(Form5Test, MasterCardAndCardsInOneTickAndDuringAMessage) {
  logic.show();
  prompts.onMessage = [&](const std::string&) {
    logic.pushReply(ok());
    EXPECT_FALSE(logic.timerActive());
  };
  logic.pushReply(ok());         // master card
  logic.pushReply(ok());         // first card, same tick
  logic.pushReply(refused(20));  // a refused card: its message brings another card
  ticks(1);
  EXPECT_TRUE(logic.secondPanelVisible());
  EXPECT_EQ(logic.makecnt(), 2);
  EXPECT_EQ(logic.counterText(), "2");
  EXPECT_TRUE(logic.timerActive());
}

TEST_F(Form5Test, ANewRunStartsAtTheFirstPanel) {
  logic.show();
  logic.pushReply(ok());
  logic.pushReply(ok());
  ticks(1);
  logic.close();
  EXPECT_EQ(logic.result(), ModalResult::Cancel);
  logic.show();
  EXPECT_FALSE(logic.secondPanelVisible());
  EXPECT_EQ(logic.makecnt(), 0);
  EXPECT_EQ(logic.result(), ModalResult::None);
}

struct Form8Test : CardsFixture {
  Form8Logic logic{clock, prompts};
  void seconds(int n) { clock.advance(std::chrono::seconds(n)); }
};

TEST_F(Form8Test, CountdownEndsWithTimeout) {
  logic.show();
  EXPECT_EQ(logic.countdownText(), "30");
  EXPECT_EQ(logic.resstr(), "");
  seconds(1);
  EXPECT_EQ(logic.countdownText(), "29");
  seconds(28);
  EXPECT_EQ(logic.countdownText(), "1");
  EXPECT_TRUE(logic.running());
  seconds(1);
  EXPECT_FALSE(logic.running());
  EXPECT_EQ(logic.resstr(), "timeout");
  EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST_F(Form8Test, OnlyTheConfigurationFrameEndsIt) {
  logic.show();
  for (const Answer& a : {ok(), refused(0x0E), reply(1, 2, "AABB"), reply(3, 3, "AABB")}) logic.pushReply(a);
  seconds(5);
  EXPECT_TRUE(logic.running());
  EXPECT_TRUE(prompts.messages.empty());
  logic.pushReply(reply(1, 3, "0602010001020304"));
  EXPECT_FALSE(logic.running());
  EXPECT_EQ(logic.resstr(), "0602010001020304");
  EXPECT_EQ(clock.activeTimers(), 0u);
  logic.pushReply(reply(1, 3, "FFFF"));  // after the run: ignored
  EXPECT_EQ(logic.resstr(), "0602010001020304");
}

TEST_F(Form8Test, ClosingLeavesResstrEmptyAndANewRunClearsIt) {
  logic.show();
  seconds(30);
  ASSERT_EQ(logic.resstr(), "timeout");
  logic.show();
  EXPECT_EQ(logic.resstr(), "");
  EXPECT_EQ(logic.countdownText(), "30");
  seconds(3);
  logic.close();
  EXPECT_EQ(logic.resstr(), "");
  EXPECT_EQ(logic.result(), ModalResult::Cancel);
  EXPECT_EQ(clock.activeTimers(), 0u);
}

}  // namespace
