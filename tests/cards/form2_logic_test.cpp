// Writing master cards: the count buttons' commands, one card after another,
// refusals, the per-card time limit and replies that come while a message is open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cards/cards_fakes.h"
#include "cards/form2_logic.h"
#include "protocol/results.h"
#include "support/manual_clock.h"

using namespace std::chrono_literals;
using terva::Answer;
using terva::errtotext;
using terva::cards::Form2Logic;
using terva::cards::ModalResult;
using namespace terva::testing;

namespace {

struct Form2Test : ::testing::Test {
  ManualClock clock;
  ScriptedPrompts prompts;
  bool debug = false;
  Form2Logic logic{clock, prompts, [this] { return debug; }};
  std::vector<std::string> sent;
  std::vector<std::uint8_t> results;  // per command; 0 when exhausted

  Form2Test() {
    logic.send = [this](std::string_view p) {
      sent.emplace_back(p);
      if (results.empty()) return std::uint8_t{0};
      const std::uint8_t r = results.front();
      results.erase(results.begin());
      return r;
    };
    logic.crdtype = "MifarePLUS ";
    logic.config = "0102AABB";
  }
  void ticks(int n) { clock.advance(std::chrono::milliseconds(100 * n)); }
  void startWith(int k) {
    logic.show();
    logic.chooseCount(k);
  }
};

TEST_F(Form2Test, CountButtonSendsConfigurationWithOptionItemThenStartCommand) {
  struct Case {
    int k;
    bool visible;
    bool tick;
    bool answerYes;
    std::vector<std::string> payloads;
  };
  const std::vector<Case> cases = {
      {1, false, false, true, {"0102AABB110100", "020101020001"}},
      {2, true, true, true, {"0102AABB1101AA", "020101020002"}},
      {5, true, true, false, {"0102AABB110100", "020101020005"}},  // the question answered No
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    sent.clear();
    std::vector<std::string> asked;
    logic.askOption = [&](const std::string& q) {
      asked.push_back(q);
      return c.answerYes;
    };
    logic.setOptionVisible(c.visible);
    EXPECT_FALSE(logic.optionTicked());
    logic.show();
    if (c.tick) logic.setOptionTicked(true);
    EXPECT_EQ(asked.size(), c.tick ? 1u : 0u);
    EXPECT_EQ(sent, std::vector<std::string>{});
    logic.chooseCount(c.k);
    EXPECT_EQ(sent, c.payloads);
    EXPECT_TRUE(logic.secondPanelVisible());
    EXPECT_EQ(logic.instruction(), "Поднесите 1 из " + std::to_string(c.k) + " карту MifarePLUS к USB-считывателю");
    EXPECT_EQ(logic.countdownText(), "15");
    EXPECT_TRUE(logic.timerActive());
    logic.close();
  }
  EXPECT_NE(std::string(Form2Logic::kOptionQuestion).find("\r\nВыбрать данную опцию?"), std::string::npos);
}

TEST_F(Form2Test, RefusedCommandShowsItsCodeAndCloses) {
  struct Case {
    std::vector<std::uint8_t> results;
    std::size_t commandsSent;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{14}, 1, "Ошибка записи конфигурации: 14"},
      {{0, 254}, 2, "Ошибка перевода в режим создания мастер-карт: 254"},
  };
  for (const auto& c : cases) {
    sent.clear();
    prompts.messages.clear();
    results = c.results;
    startWith(3);
    EXPECT_EQ(sent.size(), c.commandsSent);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{c.message});
    EXPECT_FALSE(logic.running());
    EXPECT_EQ(logic.result(), ModalResult::Cancel);
    EXPECT_FALSE(logic.secondPanelVisible());
    EXPECT_FALSE(logic.timerActive());
  }
}

TEST_F(Form2Test, RepliesToItsOwnCommandsAreNotTakenForCards) {
  logic.send = [this](std::string_view p) {
    sent.emplace_back(p);
    logic.pushReply(ok());  // arrives while the exchange waits
    return std::uint8_t{0};
  };
  startWith(1);
  ticks(1);
  EXPECT_TRUE(logic.running());
  EXPECT_EQ(logic.donecnt(), 0);
}

TEST_F(Form2Test, WatchClosingDuringTheExchangeStopsTheButton) {
  logic.send = [this](std::string_view p) {
    sent.emplace_back(p);
    logic.close();
    return std::uint8_t{254};
  };
  startWith(2);
  EXPECT_EQ(sent.size(), 1u);
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_FALSE(logic.secondPanelVisible());
  EXPECT_EQ(logic.result(), ModalResult::Cancel);
}

TEST_F(Form2Test, LastSuccessShowsOneOrManyCardsMessage) {
  for (int n : {1, 2, 5}) {
    SCOPED_TRACE(n);
    prompts.messages.clear();
    startWith(n);
    for (int i = 0; i < n; ++i) {
      logic.pushReply(ok());
      ticks(1);
    }
    EXPECT_EQ(prompts.messages,
              std::vector<std::string>{n == 1 ? "Мастер-карта успешно создана" : "Мастер-карты успешно созданы"});
    EXPECT_EQ(logic.result(), ModalResult::Yes);
    EXPECT_FALSE(logic.timerActive());
  }
}

TEST_F(Form2Test, RefusedCardKeepsInstructionAndCountdownNextSuccessMovesOn) {
  startWith(3);
  logic.pushReply(ok());
  ticks(1);
  EXPECT_EQ(logic.instruction(), "Поднесите 2 из 3 карту MifarePLUS к USB-считывателю");
  ticks(40);
  EXPECT_EQ(logic.ticksLeft(), 110);
  logic.pushReply(refused(0x0E));
  ticks(1);
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Ошибка: " + errtotext(0x0E)});
  EXPECT_EQ(logic.instruction(), "Поднесите 2 из 3 карту MifarePLUS к USB-считывателю");
  EXPECT_EQ(logic.ticksLeft(), 109);
  EXPECT_EQ(logic.countdownText(), "10");
  EXPECT_TRUE(logic.timerActive());
  logic.pushReply(ok());
  ticks(1);
  EXPECT_EQ(logic.instruction(), "Поднесите 3 из 3 карту MifarePLUS к USB-считывателю");
  EXPECT_EQ(logic.ticksLeft(), 150);
  EXPECT_EQ(logic.countdownText(), "15");
}

TEST_F(Form2Test, RepliesThatAreNoCardResultsAreDropped) {
  // TForm2 does not look at ver: success and refusal count whatever it holds.
  startWith(5);
  for (const Answer& a : {reply(2, 1, "0D0100"), reply(1, 3, "0D0100"), reply(0, 1, "0D01"), reply(0, 1, "0D0100FF"),
                          reply(0, 1, "0E0100")}) {
    logic.pushReply(a);
  }
  ticks(1);
  EXPECT_EQ(logic.donecnt(), 0);
  EXPECT_TRUE(prompts.messages.empty());
  EXPECT_EQ(logic.pendingReplies(), 0u);
  logic.pushReply(ok(7));
  logic.pushReply(refused(3, 9));
  ticks(1);
  EXPECT_EQ(logic.donecnt(), 1);
  EXPECT_EQ(prompts.messages, std::vector<std::string>{"Ошибка: " + errtotext(3)});
}

TEST_F(Form2Test, TimeLimitPerCard) {
  for (bool dbg : {false, true}) {
    SCOPED_TRACE(dbg);
    debug = dbg;
    prompts.messages.clear();
    const int limit = dbg ? 1200 : 150;
    startWith(2);
    EXPECT_EQ(logic.countdownText(), dbg ? "120" : "15");
    ticks(1);
    EXPECT_EQ(logic.countdownText(), dbg ? "119" : "14");
    ticks(limit - 2);
    EXPECT_EQ(logic.countdownText(), "0");
    EXPECT_TRUE(logic.running());
    logic.pushReply(ok());  // comes with the tick that runs out
    ticks(1);
    EXPECT_EQ(prompts.messages, std::vector<std::string>{"Ошибка: время истекло"});
    EXPECT_FALSE(logic.running());
    EXPECT_EQ(logic.result(), ModalResult::No);
    EXPECT_EQ(logic.donecnt(), 0);
    EXPECT_EQ(clock.activeTimers(), 0u);
  }
}

TEST_F(Form2Test, RepliesDuringAMessageAndTwoInOneTickAreEachHandledInOrder) {
  startWith(4);
  bool timerDuringMessage = true;
  std::size_t queuedDuringMessage = 0;
  prompts.onMessage = [&](const std::string& text) {
    if (text.starts_with("Ошибка: ") && prompts.messages.size() == 1) {
      logic.pushReply(ok());
      logic.pushReply(refused(5));
      ticks(5);  // time passes while the operator reads
      timerDuringMessage = logic.timerActive();
      queuedDuringMessage = logic.pendingReplies();
    }
  };
  logic.pushReply(ok());
  logic.pushReply(refused(0x14));
  logic.pushReply(ok());
  ticks(1);
  EXPECT_FALSE(timerDuringMessage);
  EXPECT_EQ(queuedDuringMessage, 3u);
  EXPECT_EQ(logic.donecnt(), 3);
  EXPECT_EQ(prompts.messages, (std::vector<std::string>{"Ошибка: " + errtotext(0x14), "Ошибка: " + errtotext(5)}));
  EXPECT_EQ(logic.instruction(), "Поднесите 4 из 4 карту MifarePLUS к USB-считывателю");
  EXPECT_TRUE(logic.timerActive());
}

TEST_F(Form2Test, ShowResetsTheRunButKeepsInputs) {
  startWith(2);
  logic.pushReply(ok());
  ticks(1);
  logic.close();
  logic.crdtype.clear();
  logic.show();
  EXPECT_FALSE(logic.secondPanelVisible());
  EXPECT_EQ(logic.wantcnt(), 0);
  EXPECT_EQ(logic.donecnt(), 0);
  EXPECT_FALSE(logic.timerActive());
  EXPECT_EQ(logic.heading(), "Подготовьте необходимое количество чистых карт ");
  EXPECT_EQ(logic.config, "0102AABB");
  logic.chooseCount(1);
  EXPECT_EQ(logic.instruction(), "Поднесите 1 из 1 карту к USB-считывателю");
}

}  // namespace
