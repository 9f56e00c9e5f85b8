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

}  // namespace
}  // namespace terva::ident
