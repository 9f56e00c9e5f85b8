#include "ident/delivery.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "ident/keyboard.h"

namespace terva::ident {
namespace {

TEST(IdentDelivery, Plan) {
  struct Case {
    const char* name;
    std::u32string rendered;
    DeliveryOptions opts;  // clipboard, keyboard, enter
    bool mainWindowActive;
    std::optional<std::u32string> keystrokes;
    bool pressEnter;
    std::optional<std::u32string> clipboard;
  };
  const Case cases[] = {
      {"all off", U"1A2B3C", {false, false, true}, false, std::nullopt, false, std::nullopt},
      {"clipboard only", U"1A2B3C", {true, false, false}, false, std::nullopt, false, U"1A2B3C"},
      {"typing", U"1715004", {false, true, false}, false, U"1715004", false, std::nullopt},
      {"typing and enter", U"1715004", {false, true, true}, false, U"1715004", true, std::nullopt},
      {"enter needs typing", U"1715004", {true, false, true}, false, std::nullopt, false, U"1715004"},
      {"main window active", U"1A2B3C", {true, true, true}, true, std::nullopt, false, U"1A2B3C"},
      {"error delivered as text", U"error", {true, true, false}, false, U"error", false, U"error"},
      {"controls not typed, kept on clipboard",
       U"a\tb\r\n\x7F\x85\x9F\xA0" U"c",
       {true, true, false},
       false,
       U"ab\xA0" U"c",
       false,
       U"a\tb\r\n\x7F\x85\x9F\xA0" U"c"},
      {"non-latin typed as is", U"ID карты", {false, true, false}, false, U"ID карты", false, std::nullopt},
      {"empty text still presses enter", U"", {true, true, true}, false, U"", true, U""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DeliveryPlan plan = planDelivery(c.rendered, c.opts, c.mainWindowActive);
    EXPECT_EQ(plan.keystrokes, c.keystrokes);
    EXPECT_EQ(plan.pressEnter, c.pressEnter);
    EXPECT_EQ(plan.clipboard, c.clipboard);
  }
}

// Keystrokes and clipboard in one log, to see their order. Typing finishes
// only when the test says so, as with a backend typing in the background.
struct Outputs : KeystrokeOutput, ClipboardOutput {
  std::vector<std::u32string> log;  // "type:…", "enter", "done:…", "clip:…"
  std::deque<std::pair<std::u32string, Done>> typing;
  bool isAvailable = true;

  bool available() const override { return isAvailable; }
  std::string unavailableReason() const override { return ""; }
  void type(const std::u32string& text, bool enter, Done done) override {
    log.push_back(U"type:" + text);
    if (enter) log.push_back(U"enter");
    typing.emplace_back(text, std::move(done));
  }
  void flush() override {}
  void stop() override { typing.clear(); }
  void setText(const std::u32string& text) override { log.push_back(U"clip:" + text); }
  void finishTyping() {
    auto [text, done] = std::move(typing.front());
    typing.pop_front();
    log.push_back(U"done:" + text);
    if (done) done();
  }
};

const DeliveryOptions kBoth{true, true, false};

TEST(IdentDelivery, ClipboardWaitsForTheTypingToFinish) {
  Outputs out;
  Delivery delivery(&out, &out);
  EXPECT_FALSE(delivery.deliver(U"1A2B3C", {true, true, true}, false).keyboardUnavailable);
  EXPECT_EQ(out.log, (std::vector<std::u32string>{U"type:1A2B3C", U"enter"}));
  EXPECT_FALSE(delivery.idle());
  out.finishTyping();
  EXPECT_EQ(out.log, (std::vector<std::u32string>{U"type:1A2B3C", U"enter", U"done:1A2B3C", U"clip:1A2B3C"}));
  EXPECT_TRUE(delivery.idle());
}

TEST(IdentDelivery, IdentifiersInARowKeepTheirOrder) {
  Outputs out;
  Delivery delivery(&out, &out);
  delivery.deliver(U"111", kBoth, false);
  delivery.deliver(U"222", kBoth, true);  // main window active: not typed, yet its clipboard waits
  delivery.deliver(U"333", kBoth, false);
  delivery.deliver(U"444", {true, false, false}, false);
  EXPECT_EQ(out.log, (std::vector<std::u32string>{U"type:111", U"type:333"}));
  out.finishTyping();
  EXPECT_EQ(out.log, (std::vector<std::u32string>{U"type:111", U"type:333", U"done:111", U"clip:111", U"clip:222"}));
  out.finishTyping();
  EXPECT_EQ(out.log.back(), U"clip:444");
  EXPECT_EQ(out.log, (std::vector<std::u32string>{U"type:111", U"type:333", U"done:111", U"clip:111", U"clip:222",
                                                  U"done:333", U"clip:333", U"clip:444"}));
  EXPECT_TRUE(delivery.idle());
}

TEST(IdentDelivery, WithoutTypingTheClipboardIsSetAtOnce) {
  struct Case {
    const char* name;
    bool hasKeyboard;
    bool available;
    DeliveryOptions opts;
    bool mainWindowActive;
    bool unavailableReported;
    std::vector<std::u32string> log;
  };
  const Case cases[] = {
      {"typing off", true, true, {true, false, true}, false, false, {U"clip:77"}},
      {"main window active", true, true, {true, true, true}, true, false, {U"clip:77"}},
      {"keyboard unavailable", true, false, kBoth, false, true, {U"clip:77"}},
      {"no keyboard at all", false, true, kBoth, false, true, {U"clip:77"}},
      {"nothing on", true, true, {false, false, false}, false, false, {}},
      {"unavailable, clipboard off", true, false, {false, true, false}, false, true, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Outputs out;
    out.isAvailable = c.available;
    Delivery delivery(c.hasKeyboard ? &out : nullptr, &out);
    EXPECT_EQ(delivery.deliver(U"77", c.opts, c.mainWindowActive).keyboardUnavailable, c.unavailableReported);
    EXPECT_EQ(out.log, c.log);
    EXPECT_TRUE(delivery.idle());
  }
}

// An output may finish at once, inside type(); one may drop its requests.
TEST(IdentDelivery, CompletionAtOnceAndAbandonedTyping) {
  struct AtOnce : Outputs {
    void type(const std::u32string& text, bool enter, Done done) override {
      Outputs::type(text, enter, std::move(done));
      finishTyping();
    }
  } out;
  Delivery delivery(&out, &out);
  delivery.deliver(U"5", kBoth, false);
  EXPECT_EQ(out.log, (std::vector<std::u32string>{U"type:5", U"done:5", U"clip:5"}));

  Outputs held;
  Delivery later(&held, &held);
  later.deliver(U"6", kBoth, false);
  held.stop();
  later.typingAbandoned();
  EXPECT_EQ(held.log, (std::vector<std::u32string>{U"type:6", U"clip:6"}));
  EXPECT_TRUE(later.idle());
}

TEST(IdentDelivery, NoCompletionReachesADeliveryThatIsGone) {
  Outputs out;
  {
    Delivery delivery(&out, &out);
    delivery.deliver(U"8", kBoth, false);
  }
  out.finishTyping();
  EXPECT_EQ(out.log, (std::vector<std::u32string>{U"type:8", U"done:8"}));
}

}  // namespace
}  // namespace terva::ident
