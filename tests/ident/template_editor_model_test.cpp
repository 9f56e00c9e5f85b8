#include "ident/template_editor_model.h"

#include <gtest/gtest.h>

#include <string>

namespace terva::ident {
namespace {

std::string nibbleText(const TemplateEditorModel& m) { return std::string(m.nibbles().begin(), m.nibbles().end()); }

// Types the characters one by one through the sample field's key filter.
void typeSample(TemplateEditorModel& m, std::u32string keys) {
  std::string text = m.sample();
  for (char32_t key : keys) {
    const auto passed = TemplateEditorModel::filterSampleKey(key);
    if (!passed) continue;
    if (*passed == TemplateEditorModel::kBackspace) {
      if (!text.empty()) text.pop_back();
    } else {
      text.push_back(static_cast<char>(*passed));
    }
    m.setSample(text);
  }
}

TEST(IdentEditor, KeyFilters) {
  struct Case {
    char32_t key;
    std::optional<char32_t> sample;
    std::optional<char32_t> tmpl;
  };
  const Case cases[] = {
      {U'0', U'0', U'0'},
      {U'9', U'9', U'9'},
      {U'A', U'A', U'A'},
      {U'F', U'F', U'F'},
      {U'a', U'A', U'a'},
      {U'f', U'F', U'f'},
      {U'G', std::nullopt, U'G'},
      {U'g', std::nullopt, U'g'},
      {U' ', std::nullopt, U' '},
      {0x08, 0x08, 0x08},
      {U'\r', std::nullopt, U'\r'},
      {0x7F, std::nullopt, 0x7F},
      {0x80, std::nullopt, std::nullopt},
      {U'б', std::nullopt, std::nullopt},
      {U'Ａ', std::nullopt, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<unsigned>(c.key));
    EXPECT_EQ(TemplateEditorModel::filterSampleKey(c.key), c.sample);
    EXPECT_EQ(TemplateEditorModel::filterTemplateKey(c.key), c.tmpl);
  }
}

TEST(IdentEditor, NibbleFieldsFollowTheSample) {
  TemplateEditorModel m;
  EXPECT_EQ(nibbleText(m), "0000000000000000");
  EXPECT_EQ(TemplateEditorModel::nibbleNames().front(), "n82");
  EXPECT_EQ(TemplateEditorModel::nibbleNames().back(), "n11");

  typeSample(m, U"1a2b3c");
  EXPECT_EQ(m.sample(), "1A2B3C");
  EXPECT_EQ(nibbleText(m), "00000000001A2B3C");
  EXPECT_EQ(m.nibble(1, 1), 'C');
  EXPECT_EQ(m.nibble(1, 2), '3');
  EXPECT_EQ(m.nibble(3, 2), '1');
  EXPECT_EQ(m.nibble(4, 1), '0');
  EXPECT_EQ(m.nibble(0, 1), '0');
  EXPECT_EQ(m.nibble(9, 1), '0');

  // Deleting frees the fields again.
  typeSample(m, U"\b\b\b");
  EXPECT_EQ(m.sample(), "1A2");
  EXPECT_EQ(nibbleText(m), "00000000000001A2");

  // A longer sample set before showing fills from its last 16 characters.
  m.setSample("1234000000000000ABCD");
  EXPECT_EQ(nibbleText(m), "000000000000ABCD");
  m.setSample("");
  EXPECT_EQ(nibbleText(m), "0000000000000000");
}

TEST(IdentEditor, UseEnabledOnlyAfterGoodApply) {
  TemplateEditorModel m;
  m.setSample("1A2B3C");
  m.shown();
  EXPECT_FALSE(m.useEnabled());
  EXPECT_EQ(m.templateText(), TemplateEditorModel::kDefaultTemplate);

  auto r = m.apply();
  EXPECT_EQ(r.text, "UID = 026-11068 = 026-11068 = 001A2B3C = 000000000001715004");
  EXPECT_TRUE(r.useEnabled);
  EXPECT_EQ(m.use(), std::string(TemplateEditorModel::kDefaultTemplate));

  // A sample change keeps it enabled, even for a sample the template fails on.
  m.setSample("1a");
  EXPECT_TRUE(m.useEnabled());

  // Any template change disables it until the next good apply.
  EXPECT_FALSE(m.setTemplate("dec(b1)"));
  EXPECT_FALSE(m.useEnabled());
  EXPECT_EQ(m.use(), std::nullopt);
  r = m.apply();
  EXPECT_EQ(r.text, "error");
  EXPECT_FALSE(r.useEnabled);
  m.setSample("1A");
  r = m.apply();
  EXPECT_EQ(r.text, "26");
  EXPECT_TRUE(r.useEnabled);

  // A failing apply does not disable it; showing the dialog again does, and
  // empties the result while sample and template stay.
  m.setSample("x");
  r = m.apply();
  EXPECT_EQ(r.text, "error");
  EXPECT_TRUE(r.useEnabled);
  m.shown();
  EXPECT_FALSE(m.useEnabled());
  EXPECT_EQ(m.result(), "");
  EXPECT_EQ(m.sample(), "x");
  EXPECT_EQ(m.templateText(), "dec(b1)");
}

TEST(IdentEditor, PastedNonAsciiEmptiesTemplate) {
  TemplateEditorModel m;
  m.setSample("1A2B3C");
  m.apply();
  ASSERT_TRUE(m.useEnabled());
  EXPECT_TRUE(m.setTemplate("dec(b1) карта"));
  EXPECT_EQ(m.templateText(), "");
  EXPECT_FALSE(m.useEnabled());
  EXPECT_TRUE(m.setTemplate("\xC2\x80"));  // U+0080
  EXPECT_EQ(m.templateText(), "");
  // The emptied field reports its change back: nothing more to empty.
  EXPECT_FALSE(m.setTemplate(""));
  // ASCII controls are kept.
  EXPECT_FALSE(m.setTemplate("a\tb\x7F"));
  EXPECT_EQ(m.templateText(), "a\tb\x7F");
  // An empty template renders without error and may be adopted.
  m.setTemplate("");
  EXPECT_EQ(m.apply().text, "");
  EXPECT_EQ(m.use(), std::string());
}

// However text enters the sample field, what it inserts obeys the key filter
// and the length limit, and what was there stays.
TEST(IdentEditor, SampleChangesFollowTheKeyRules) {
  struct Case {
    const char* name;
    std::u32string before;
    std::u32string after;
    std::size_t cursor;
    std::u32string text;
    std::size_t newCursor;
  };
  const Case cases[] = {
      {"typed digit", U"1A", U"1A2", 3, U"1A2", 3},
      {"typed lower case", U"1A", U"1Ab", 3, U"1AB", 3},
      {"typed letter dropped", U"1A", U"1Ag", 3, U"1A", 2},
      {"typed in the middle", U"1A", U"1cA", 2, U"1CA", 2},
      {"paste of 22 with lower case and zz", U"", U"0123456789abcdefzz0123", 22, U"0123456789ABCDEF", 16},
      {"paste cut at the limit", U"0123456789ABCD", U"01234567aabb89ABCD", 12, U"01234567AA89ABCD", 10},
      {"paste over a selection", U"0123456789ABCDEF", U"01ff", 4, U"01FF", 4},
      {"input method commit", U"12", U"12ЖA", 4, U"12A", 3},
      {"blank and control characters", U"", U"1 2\t3\r\n\b4\x7F", 10, U"1234", 4},
      {"deleting keeps the rest", U"1a2b", U"12b", 1, U"12b", 1},
      {"long sample set before stays, nothing more fits", U"0123456789ABCDEF0123", U"0123456789ABCDEF01234", 21,
       U"0123456789ABCDEF0123", 20},
      {"long sample shortened", U"0123456789ABCDEF0123", U"0123456789ABCDEF012", 19, U"0123456789ABCDEF012", 19},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto edited = TemplateEditorModel::filterSampleChange(c.before, c.after, c.cursor);
    EXPECT_EQ(edited.text, c.text);
    EXPECT_EQ(edited.cursor, c.newCursor);
  }
  EXPECT_EQ(TemplateEditorModel::filterTemplateTyped(U"b1 Жb2\t€"), U"b1 b2\t");
}

}  // namespace
}  // namespace terva::ident
