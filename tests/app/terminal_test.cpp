// The terminal's renderings and its line cap.
#include <gtest/gtest.h>

#include <string>

#include "app/terminal.h"

using terva::app::TerminalLog;
using terva::app::TerminalView;
using terva::app::toterminal;

namespace {

struct RenderCase {
  const char* name;
  const char* hex;
  TerminalView view;
  const char* expected;  // UTF-8
};

constexpr TerminalView kHex{true, false};
constexpr TerminalView kAscii{false, true};
constexpr TerminalView kBoth{true, true};
constexpr TerminalView kNone{false, false};

class Rendering : public ::testing::TestWithParam<RenderCase> {};

}  // namespace

TEST_P(Rendering, MatchesTable) {
  const auto& c = GetParam();
  EXPECT_EQ(toterminal(c.hex, c.view), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Rendering,
    ::testing::Values(
        RenderCase{"FrameHex", "2305050124", kHex, "23 05 05 01 24 "},
        RenderCase{"FrameBoth", "2305050124", kBoth, "23(#) 05(.) 05(.) 01(.) 24($) "},
        RenderCase{"FrameAscii", "2305050124", kAscii, "#...$"},
        RenderCase{"FrameNeither", "2305050124", kNone, ""},
        RenderCase{"ControlBytesAscii", "001F20", kAscii, ".. "},
        RenderCase{"ControlBytesBoth", "001F20", kBoth, "00(.) 1F(.) 20( ) "},
        // 127..159 and 255 are their Latin-1 characters, not a Cyrillic code page.
        RenderCase{"HighBytesAscii", "7F809FA0E9FF", kAscii, "\x7F\u0080\u009F\u00A0\u00E9\u00FF"},
        RenderCase{"ByteFFBoth", "FF", kBoth, "FF(\u00FF) "},
        RenderCase{"OddLastCharacterIgnored", "41424", kHex, "41 42 "},
        RenderCase{"OddAscii", "414", kAscii, "A"},
        RenderCase{"SingleCharacter", "4", kBoth, ""},
        // Pairs are shown as they stand; their value is read as hextoint reads it.
        RenderCase{"LowerCaseKept", "4a0d", kBoth, "4a(J) 0d(.) "},
        RenderCase{"NoHexDigitsAsHextoint", "ZZ", kBoth, "ZZ(\u00EF) "}),
    [](const auto& p) { return p.param.name; });

TEST(TerminalLog, PrefixesAndEmptyRenderings) {
  TerminalLog log;
  EXPECT_EQ(log.sent("2305050124", kHex), "> 23 05 05 01 24 ");
  EXPECT_EQ(log.received("23", kAscii), "< #");
  EXPECT_EQ(log.sent("2305050124", kNone), std::nullopt);
  EXPECT_EQ(log.received("", kHex), std::nullopt);
  EXPECT_EQ(log.text(), "> 23 05 05 01 24 \n< #\n");
  log.clear();
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(log.text(), "");
}

TEST(TerminalLog, KeepsTheMostRecentLines) {
  TerminalLog small(3);
  for (int i = 1; i <= 5; ++i) small.append(std::to_string(i));
  EXPECT_EQ(small.text(), "3\n4\n5\n");

  TerminalLog log;
  ASSERT_EQ(log.maxLines(), 20000u);
  for (int i = 0; i < 20001; ++i) log.received("41", kHex);
  log.sent("2305050124", kHex);
  EXPECT_EQ(log.lines().size(), 20000u);
  EXPECT_EQ(log.lines().back(), "> 23 05 05 01 24 ");
}
