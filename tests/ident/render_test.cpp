#include "ident/render.h"

#include "protocol/hextext.h"
#include "protocol/utf8.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>

namespace terva::ident {
namespace {

constexpr const char* kExample =
    "UID = dec3(n32n31)-dec5(n22n21n12n11) = dec3(b3)-dec5(b2b1) = b4b3b2b1 = dec18(b4b3b2b1)";

struct CstCase {
  const char* name;
  std::string id;
  std::string tmpl;
  std::string expected;
};

TEST(IdentCstuid, RendersTemplates) {
  const CstCase cases[] = {
      // The language's worked examples.
      {"example", "1A2B3C", kExample, "UID = 026-11068 = 026-11068 = 001A2B3C = 000000000001715004"},
      {"example FF", "FF", kExample, "UID = 000-00255 = 000-00255 = 000000FF = 000000000000000255"},
      {"bytes", "1A2B3C", "b3b2b1", "1A2B3C"},
      {"dec no width", "1A2B3C", "dec(b2b1)", "11068"},
      {"dec one digit width", "1A2B3C", "dec8(b3)", "00000026"},
      {"dec two digit width", "1A2B3C", "dec10(b3b2b1)", "0001715004"},
      {"nibble", "1A2B3C", "dec(n31)", "10"},
      {"no digits", "1A2B3C", "dec3()", ""},
      {"upper-case DEC is text", "1A2B3C", "DEC(b1)", "DEC(3C)"},
      {"B1 is digits, not a byte", "1A2B3C", "dec(B1)", "177"},
      {"lower-case digits", "1a2b3c", "dec(b1)", "error"},
      {"17 digits", "1A2B3C", "dec00(11112222333344445)", "error"},
      // Plain text and empty templates.
      {"no references", "1A2B3C", "Card: (x) [y] de(", "Card: (x) [y] de("},
      {"no references, other id", "FF", "Card: (x) [y] de(", "Card: (x) [y] de("},
      {"empty template", "1A2B3C", "", ""},
      {"head at the end stays normalised", "1A2B3C", "id b1 dec(", "id 3C dec00("},
      {"decK( at the end", "1A2B3C", "dec7(", "dec07("},
      // Identifier characters are taken as they are, from the right end.
      {"last 16 of 20", "1234000000000000ABCD", "b8b7b6b5b4b3b2b1", "000000000000ABCD"},
      {"case kept", "1a2b3c", "b1 n12n11", "3c 3c"},
      {"lower-case b from a byte read as a reference", "1a2b3c", "b3b2b1", "1a21ac"},
      {"short id pads 00", "C", "b2b1 n12", "000C 0"},
      // Replacements see what earlier steps made.
      {"byte makes no nibble name", "1A2B3C", "n1b1", "n13C"},
      {"byte value renamed by later byte step", "b2", "b1", "00"},
      {"head built by the identifier", "d0000(", "n32n31n22n21n12n11)", ""},
      {"head built by the identifier, nothing after", "d0000(", "n32n31n22n21n12n11", "d0000("},
      // Conversion heads: "d", any four characters, "(".
      {"width from any head", "1A2B3C", "dxy12(F)", "000000000015"},
      {"width not a number", "1A2B3C", "dxyz5(10)", "16"},
      {"signed width", "1A2B3C", "dab+3(F) dab-3(F)", "015 15"},
      {"three characters is no head", "1A2B3C", "decX(1)", "decX(1)"},
      {"value never cut", "1A2B3C", "dec2(FFFF)", "65535"},
      {"16 digits", "1A2B3C", "dec(FFFFFFFFFFFFFFFF)", "18446744073709551615"},
      {"width 99", "1A2B3C", "dec99(1)", std::string(98, '0') + "1"},
      {"every occurrence at once", "1A2B3C", "dec(b1)+dec(b1)=dec2(b1)", "60+60=60"},
      // Later occurrences are replaced before the text between is looked at:
      // the lone "d" never joins the second occurrence into a longer head.
      {"replace-all before rescanning", "1A2B3C", "d(((((5)dd(((((5)", "5d5"},
      {"new head left of a removed one", "1A2B3C", "dxxxxdec()(5)", "5"},
      // Malformed conversions.
      {"no closing parenthesis", "1A2B3C", "x dec(b2b1", "error"},
      {"no closing parenthesis, invalid digit", "1A2B3C", "dec(12G", "error"},
      {"foreign character", "1A2B3C", "ok dec(1G) ok", "error"},
      {"blank inside", "1A2B3C", "dec(1 2)", "error"},
      {"nested conversion", "1A2B3C", "dec(dec(1))", "error"},
      {"error after good conversions", "1A2B3C", "dec(b1) dec(x)", "error"},
  };
  for (const CstCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(cstuid(c.id, c.tmpl), c.expected);
  }
}

// Thousands of distinct conversions, each padded wide: the text grows to
// hundreds of KB and every conversion is a round of its own.
TEST(IdentCstuid, LongTemplateRendersQuickly) {
  std::string tmpl;
  std::string expected;
  for (int k = 0; k < 1000; ++k) {
    const std::string hex = terva::toHexString(static_cast<unsigned>(k));
    tmpl += "dec99(" + hex + ")d";
    const std::string dec = std::to_string(k);
    expected += std::string(99 - dec.size(), '0') + dec + "d";
  }
  ASSERT_GT(tmpl.size(), 8000u);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(cstuid("1A2B3C", tmpl), expected);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(IdentRender, DecimalAndViewModes) {
  EXPECT_EQ(renderDecimal("1A2B3C"), "1715004");
  EXPECT_EQ(renderDecimal("1a2b3c"), "1715004");
  EXPECT_EQ(renderDecimal(""), "0");
  EXPECT_EQ(renderDecimal("0000"), "0");
  EXPECT_EQ(renderDecimal("FFFFFFFFFFFFFFFF"), "18446744073709551615");
  // Only the first 16 characters count.
  EXPECT_EQ(renderDecimal("1234000000000000ABCD"), "1311673391471656960");

  EXPECT_EQ(renderIdentifier(kViewDec, "1A2B3C", "b1"), "1715004");
  EXPECT_EQ(renderIdentifier(kViewHex, "1A2B3C", "b1"), "1A2B3C");
  EXPECT_EQ(renderIdentifier(kViewCst, "1A2B3C", "b1"), "3C");
  EXPECT_EQ(renderIdentifier(kViewCst, "1A2B3C", ""), "");
}

TEST(IdentRender, RenderedCharactersAreUtf8WhereValidElseBytes) {
  const struct {
    const char* name;
    std::string rendered;
    std::u32string expected;
  } cases[] = {
      {"Ascii", "UID = 026-11068", U"UID = 026-11068"},
      {"Utf8FromTemplate", "\xD0\x9A\xD0\xBE\xD0\xB4 1A", U"\u041A\u043E\u0434 1A"},
      {"IdentifierBytesAreLatin1", "1A\xFF\xD0", U"1A\u00FF\u00D0"},
      {"CutShortSequence", "\xE2\x82", U"\u00E2\u0082"},
      {"OverlongForm", "\xC0\xAF", U"\u00C0\u00AF"},
      {"Surrogate", "\xED\xA0\x80", U"\u00ED\u00A0\u0080"},
      {"Empty", "", U""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(renderedCharacters(c.rendered), c.expected);
  }
}

TEST(IdentDisplay, StartsInDecWithZero) {
  IdentDisplay d;
  EXPECT_EQ(d.viewMode(), kViewDec);
  EXPECT_EQ(d.shownMode(), std::nullopt);
  EXPECT_EQ(d.labelText(), "0");
  EXPECT_EQ(d.activeTemplate(), "");
  // Nothing shown yet: neither conversion touches the label.
  d.chooseHex();
  EXPECT_EQ(d.labelText(), "0");
  EXPECT_EQ(d.shownMode(), std::nullopt);
  EXPECT_EQ(d.viewMode(), kViewHex);
}

// The rendering written step by step, each step rewriting the whole text:
// slow, but plainly what the template language says. The renderer must give
// the same results for ASCII templates and identifiers.
namespace reference {

// Works on bytes (ASCII) or on code points alike.
template <typename S>
S text(std::string_view ascii) {
  return S(ascii.begin(), ascii.end());
}

template <typename S>
void replaceAll(S& text, const S& from, const S& to, std::size_t start = 0) {
  S out = text.substr(0, start);
  std::size_t pos = start;
  for (std::size_t hit = text.find(from, pos); hit != S::npos; hit = text.find(from, pos)) {
    out.append(text, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text, pos, S::npos);
  text = std::move(out);
}

template <typename S>
S cstuid(const S& id, const S& tmpl) {
  using C = typename S::value_type;
  S nib(16, C('0'));
  for (std::size_t k = 0; k < id.size() && k < 16; ++k) nib[k] = id[id.size() - 1 - k];
  S w = tmpl;
  replaceAll(w, text<S>("dec("), text<S>("dec00("));
  for (char k = '0'; k <= '9'; ++k) replaceAll(w, text<S>(std::string("dec") + k + "("), text<S>(std::string("dec0") + k + "("));
  for (int b = 0; b < 8; ++b) replaceAll(w, S{C('b'), C('1' + b)}, S{nib[2 * b + 1], nib[2 * b]});
  for (int k = 0; k < 16; ++k) replaceAll(w, S{C('n'), C('1' + k / 2), C('1' + k % 2)}, S(1, nib[k]));
  std::size_t from = 0;
  for (;;) {
    std::size_t i = S::npos;
    for (std::size_t d = w.find(C('d'), from); d != S::npos && d + 6 < w.size(); d = w.find(C('d'), d + 1)) {
      if (w[d + 5] == C('(')) {
        i = d;
        break;
      }
    }
    if (i == S::npos) return w;
    const std::size_t close = w.find(C(')'), i + 6);
    if (close == S::npos) return text<S>("error");
    const S digits = w.substr(i + 6, close - i - 6);
    if (digits.size() > 16) return text<S>("error");
    std::uint64_t v = 0;
    for (C c : digits) {
      if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return text<S>("error");
      v = v * 16 + static_cast<std::uint64_t>(c <= '9' ? c - '0' : c - 'A' + 10);
    }
    const C a = w[i + 3], b = w[i + 4];
    int width = 0;
    if (a >= '0' && a <= '9' && b >= '0' && b <= '9') width = static_cast<int>(a - '0') * 10 + static_cast<int>(b - '0');
    if (a == '+' && b >= '0' && b <= '9') width = static_cast<int>(b - '0');
    S value = digits.empty() ? S() : text<S>(std::to_string(v));
    if (!digits.empty() && value.size() < static_cast<std::size_t>(width)) value.insert(0, static_cast<std::size_t>(width) - value.size(), C('0'));
    replaceAll(w, w.substr(i, close + 1 - i), value, i);
    from = i >= 5 ? i - 5 : 0;
  }
}

}  // namespace reference

// Random templates dense in heads, references and parentheses, with
// identifiers whose characters form new references: every result, "error"
// included, matches the step-by-step rendering. Fixed seed, so repeatable.
TEST(IdentCstuid, MatchesTheStepByStepRendering) {
  std::mt19937 random(20240611);
  const std::string pieces[] = {"d", "e", "c", "(", ")", "dec(", "dec5(", "dec12(", "b1", "b2", "b", "n", "1", "2",
                                "8", "A", "F", "x", "+", "0", "n11", "n1", "3C", "d(((((", "dxxxx", " "};
  const std::string idChars = "0123456789ABCDEFabcdn(";
  for (int round = 0; round < 20000; ++round) {
    std::string tmpl;
    const int n = static_cast<int>(random() % 14);
    for (int k = 0; k < n; ++k) tmpl += pieces[random() % std::size(pieces)];
    std::string id;
    const int m = static_cast<int>(random() % 8);
    for (int k = 0; k < m; ++k) id += idChars[random() % idChars.size()];
    ASSERT_EQ(cstuid(id, tmpl), reference::cstuid(id, tmpl)) << "id \"" << id << "\" template \"" << tmpl << '"';
  }
}

// The same with characters beyond ASCII: UTF-8 templates, templates that are
// not UTF-8 (one character a byte) and identifier bytes above 7F, compared
// with the step-by-step rendering of their characters.
TEST(IdentCstuid, MatchesTheStepByStepRenderingBeyondAscii) {
  std::mt19937 random(20240612);
  const std::string pieces[] = {"d", "(", ")", "dec(", "dec5(", "b1", "b2", "b", "n11", "n1", "1", "F", "x", " ",
                                "\xD0\x96", "d\xD0\x96\xD0\x96\xD0\x96\xD0\x96(", "\xC3\xA9(", "\xE2\x82\xAC",
                                "\xF0\x9F\x98\x80", "dec(b1)", "dxxxx(F)"};
  // Bytes that are not UTF-8 where they stand.
  const std::string strays[] = {"\xCA", "\xFF", "\xD0", "\x96"};
  const std::string idChars = "0123456789ABCDEFbdn(\xC3\xA9\xFF\x80\xD0\x96";
  for (int round = 0; round < 20000; ++round) {
    std::string tmpl;
    const int n = static_cast<int>(random() % 14);
    for (int k = 0; k < n; ++k) tmpl += pieces[random() % std::size(pieces)];
    if (round % 2 == 1) tmpl.insert(random() % (tmpl.size() + 1), strays[random() % std::size(strays)]);
    std::string id;
    const int m = static_cast<int>(random() % 8);
    for (int k = 0; k < m; ++k) id += idChars[random() % idChars.size()];
    const std::u32string idCharacters(reinterpret_cast<const unsigned char*>(id.data()),
                                      reinterpret_cast<const unsigned char*>(id.data()) + id.size());
    // renderedCharacters reads the template as rendering does: UTF-8, else bytes.
    const std::u32string expected = reference::cstuid(idCharacters, renderedCharacters(tmpl));
    ASSERT_EQ(cstuid(id, tmpl), encodeUtf8(expected)) << "id \"" << id << "\" template \"" << tmpl << '"';
  }
}

// Identifier bytes are characters of their own code, whatever they spell in
// UTF-8; the template's characters stay as they are.
TEST(IdentRender, IdentifierBytesAndTemplateTextKeepTheirCharacters) {
  struct Case {
    const char* name;
    ViewMode viewMode;
    std::string id;
    std::string tmpl;
    std::u32string shown;
  };
  const Case cases[] = {
      {"hex bytes that spell UTF-8", kViewHex, "\xC3\xA9", "", U"\u00C3\u00A9"},
      {"hex byte above 7F", kViewHex, "1A\xFF", "", U"1A\u00FF"},
      {"template bytes that spell UTF-8", kViewCst, "\xC3\xA9", "b1", U"\u00C3\u00A9"},
      {"Cyrillic template, byte above 7F", kViewCst, "1\xFF", "Код b1", U"Код 1\u00FF"},
      {"Cyrillic template, hex digits", kViewCst, "1A2B3C", "Карта dec(b1)", U"Карта 60"},
      {"Cyrillic around a head", kViewCst, "1A2B3C", "dжжжж(F) dж(F)", U"15 dж(F)"},
      {"template not UTF-8", kViewCst, "3C", "\xCA b1", U"\u00CA 3C"},
      {"decimal (each byte counts -1)", kViewDec, "\xC3\xA9", "", U"18446744073709551599"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IdentDisplay d;
    if (c.viewMode == kViewCst) {
      d.setActiveTemplate(c.tmpl);
      d.cstEditorClosed();
    } else {
      d.setViewMode(c.viewMode);
    }
    EXPECT_EQ(renderedCharacters(d.show(c.id)), c.shown);
    EXPECT_EQ(renderedCharacters(d.labelText()), c.shown);
  }
}

TEST(IdentDisplay, HexLabelWithHighBytesConvertsAndSamplesAsBytes) {
  IdentDisplay d;
  d.chooseHex();
  d.show("A\xE9");
  EXPECT_EQ(d.editorSample(), "A\xE9");
  d.chooseDec();  // hextoint: A is 10, the byte E9 counts -1
  EXPECT_EQ(d.labelText(), "159");
}

TEST(IdentDisplay, ShowRendersInViewModeAndRecordsIt) {
  IdentDisplay d;
  EXPECT_EQ(d.show("1A2B3C"), "1715004");
  EXPECT_EQ(d.shownMode(), kViewDec);
  d.chooseHex();
  EXPECT_EQ(d.show("1A2B3C"), "1A2B3C");
  EXPECT_EQ(d.shownMode(), kViewHex);
  d.setActiveTemplate("<b2b1>");
  d.cstEditorClosed();
  EXPECT_EQ(d.show("1A2B3C"), "<2B3C>");
  EXPECT_EQ(d.shownMode(), kViewCst);
  EXPECT_EQ(d.labelText(), "<2B3C>");
}

TEST(IdentDisplay, DecHexRoundTripDropsLeadingZeros) {
  IdentDisplay d;
  d.chooseHex();
  d.show("00A1");
  EXPECT_EQ(d.labelText(), "00A1");
  d.chooseDec();
  EXPECT_EQ(d.labelText(), "161");
  EXPECT_EQ(d.shownMode(), kViewDec);
  EXPECT_EQ(d.viewMode(), kViewDec);
  d.chooseHex();
  EXPECT_EQ(d.labelText(), "A1");
  EXPECT_EQ(d.shownMode(), kViewHex);
  EXPECT_EQ(d.viewMode(), kViewHex);
}

TEST(IdentDisplay, HexOfLargestDecimal) {
  IdentDisplay d;
  d.show("FFFFFFFFFFFFFFFF");
  EXPECT_EQ(d.labelText(), "18446744073709551615");
  d.chooseHex();
  EXPECT_EQ(d.labelText(), "FFFFFFFFFFFFFFFF");
  d.chooseDec();
  EXPECT_EQ(d.labelText(), "18446744073709551615");
}

TEST(IdentDisplay, TemplateTextIsNeverConverted) {
  IdentDisplay d;
  d.setActiveTemplate("dec(b1)");
  d.cstEditorClosed();
  d.show("1A2B3C");
  EXPECT_EQ(d.labelText(), "60");
  d.chooseHex();
  EXPECT_EQ(d.labelText(), "60");
  EXPECT_EQ(d.viewMode(), kViewHex);
  d.chooseDec();
  EXPECT_EQ(d.labelText(), "60");
  EXPECT_EQ(d.shownMode(), kViewCst);
  EXPECT_EQ(d.viewMode(), kViewDec);
}

TEST(IdentDisplay, EditorSample) {
  struct Case {
    const char* name;
    std::optional<ViewMode> viewMode;  // nothing: nothing shown
    const char* id;
    const char* sample;
  };
  const Case cases[] = {
      {"nothing shown", std::nullopt, "", "1A2B3C"},
      {"hex label as it is", kViewHex, "00a1", "00a1"},
      {"decimal label", kViewDec, "1A2B3C", "1A2B3C"},
      {"decimal drops leading zeros", kViewDec, "00A1", "A1"},
      {"decimal zero", kViewDec, "0000", "0"},
      {"decimal beyond signed 64-bit", kViewDec, "FFFFFFFFFFFFFFFF", "1A2B3C"},
      {"template text", kViewCst, "1A2B3C", "1A2B3C"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IdentDisplay d;
    if (c.viewMode) {
      d.setActiveTemplate("x");
      d.setViewMode(*c.viewMode);
      d.show(c.id);
    }
    EXPECT_EQ(d.editorSample(), c.sample);
  }
}

TEST(IdentDisplay, EditorClosing) {
  IdentDisplay d;
  EXPECT_TRUE(d.cstOpensEditor());
  d.chooseHex();
  d.show("00A1");
  // Closed without a template: DEC, with its conversion.
  d.cstEditorClosed();
  EXPECT_EQ(d.viewMode(), kViewDec);
  EXPECT_EQ(d.labelText(), "161");
  EXPECT_EQ(d.templateToSave(), "");

  d.setActiveTemplate("b1");
  d.cstEditorClosed();
  EXPECT_EQ(d.viewMode(), kViewCst);
  EXPECT_EQ(d.labelText(), "161");
  EXPECT_FALSE(d.cstOpensEditor());
  EXPECT_EQ(d.templateToSave(), "b1");

  // The template stays active but is saved only while CST is chosen.
  d.chooseHex();
  EXPECT_EQ(d.activeTemplate(), "b1");
  EXPECT_EQ(d.templateToSave(), "");
}

TEST(IdentDisplay, StartupTemplateTrial) {
  struct Case {
    const char* name;
    const char* tmpl;
    bool kept;
  };
  const Case cases[] = {
      {"empty keeps CST", "", true},
      {"renders FF", "ID dec3(b1)", true},
      {"invalid digit", "dec(x) is not dec", false},
      {"unclosed conversion", "dec(b1", false},
      {"renders error as text", "error", false},
      {"error inside a longer result", "error!", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    IdentDisplay d;
    EXPECT_EQ(d.startupTemplate(c.tmpl), c.kept);
    EXPECT_EQ(d.viewMode(), c.kept ? kViewCst : kViewDec);
    EXPECT_EQ(d.activeTemplate(), c.kept ? c.tmpl : "");
    EXPECT_EQ(d.templateToSave(), c.kept ? c.tmpl : "");
  }
}


}  // namespace
}  // namespace terva::ident
