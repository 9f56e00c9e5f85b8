#include "ident/delivery.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace terva::ident
