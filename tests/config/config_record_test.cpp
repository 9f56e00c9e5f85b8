#include "config/config_editor.h"
#include "config/config_record.h"
#include "config/reader_exchange.h"

#include <gtest/gtest.h>

using namespace terva::config;

namespace {

std::string join(std::initializer_list<std::string> parts) {
  std::string s;
  for (const auto& p : parts) s += p;
  return s;
}

const std::string kColours = "0C081F04E00700F800FC";
const std::string kTail = "040100" "050100" + kColours;

TEST(BuildConfigRecord, DefaultRecordIs28Bytes) {
  const std::string r = BuildConfigRecord(ReaderConfig{});
  EXPECT_EQ(r, join({"02026700", "0303000040", "060100", kTail}));
  EXPECT_EQ(r.size(), 56u);
}

TEST(BuildConfigRecord, ModeThreeWithZonesOneAndSixtyFour) {
  ReaderConfig c;
  ASSERT_TRUE(ComboBox4Change(c, 3));
  setZoneTicked(c.zoneMask, 1, true);
  setZoneTicked(c.zoneMask, 64, true);
  const std::string r = BuildConfigRecord(c);
  EXPECT_EQ(r, join({"02021000", "0303000040", "060103", "08020300", "0B10", "8000000000000001", std::string(16, '0'),
                     kTail}));
  EXPECT_EQ(r.size(), 100u);
  c.pulseTenths = 300;
  EXPECT_NE(BuildConfigRecord(c).find("08022C01"), std::string::npos);
}

TEST(BuildConfigRecord, ModeTwoIs56BytesAndFillsTheAccessCode) {
  ReaderConfig c;
  ASSERT_TRUE(ComboBox4Change(c, 2));
  c.blockNumber = 4;
  c.blockOffset = 2;
  c.blockByteCount = 5;
  c.blockAccessCode = "A1";
  c.reverseByteOrder = true;
  c.wiegandType = 1;
  c.wiegandWidthUser = true;
  c.wiegandWidth = 26;
  const std::string r = BuildConfigRecord(c);
  EXPECT_EQ(r, join({"02021000", "0303010040", "060102", "08020400", "090102", "0A0105", "0B10",
                     std::string(30, '0') + "A1", "040101", "05011A", kColours}));
  EXPECT_EQ(r.size(), 112u);
  EXPECT_EQ(writeConfigPayload(c), "0101" + r);
}

TEST(ColourItem, EncodingsAndDecoding) {
  struct Case {
    Colour c;
    const char* hex;
    Colour decoded;
  };
  const Case cases[] = {
      {{0, 128, 255}, "1F04", {0, 128, 248}},  {{0, 255, 0}, "E007", {0, 252, 0}},
      {{255, 0, 0}, "00F8", {248, 0, 0}},      {{255, 128, 0}, "00FC", {248, 128, 0}},
      {{255, 255, 255}, "FFFF", {248, 252, 248}}, {{0, 0, 0}, "0000", {0, 0, 0}},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(getmycolor(k.c), k.hex);
    EXPECT_EQ(colourFromItem(k.hex), k.decoded) << k.hex;
  }
}

TEST(ParseConfigItems, ItemsLaterWinsCutShortAndCase) {
  auto items = ParseConfigItems("060101" "0202ab00" "060103" "0C04FFFF");
  EXPECT_EQ(items[0x06], "03");
  EXPECT_EQ(items[0x02], "ab00");
  EXPECT_EQ(items[0x0C], "FFFF");  // cut short: what is there
  EXPECT_TRUE(items[0x03].empty());
  items = ParseConfigItems("0E");
  EXPECT_TRUE(items[0x0E].empty());
  items = ParseConfigItems("");
  for (const auto& v : items) EXPECT_TRUE(v.empty());
}

TEST(DecodeConfigRecord, RoundTripsEveryMode) {
  for (int mode = 0; mode < 4; ++mode) {
    SCOPED_TRACE(mode);
    ReaderConfig c;
    ASSERT_TRUE(ComboBox4Change(c, mode));
    c.reverseByteOrder = true;
    c.bitShift = 3;
    c.significantBits = 40;
    c.wiegandType = 1;
    c.wiegandWidthUser = true;
    c.wiegandWidth = 34;
    c.ledIdle = {8, 12, 16};
    c.ledRed = {248, 4, 8};
    // The start colours are off the reader's grid; only grid colours survive.
    c.ledGreen = reduceColour(c.ledGreen);
    c.ledRedGreen = reduceColour(c.ledRedGreen);
    if (mode == 2) {
      c.blockNumber = 200;
      c.blockOffset = 7;
      c.blockByteCount = 6;
      c.blockAccessCode = "0123456789ABCDEF0123456789ABCDEF";
    }
    if (mode == 3) {
      c.zoneMask = 0x8000'0000'0000'0A05ULL;
      c.pulseTenths = 125;
    }
    const auto back = decodeConfigRecord(ReaderConfig{}, ParseConfigItems(BuildConfigRecord(c)));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, c);
  }
}

// Decodes `record` onto start values.
ReaderConfig decoded(const std::string& record, const ReaderConfig& base = {}) {
  auto r = decodeConfigRecord(base, ParseConfigItems(record));
  EXPECT_TRUE(r.has_value()) << record;
  return r.value_or(base);
}

TEST(DecodeConfigRecord, ItemMeaningsFollowTheModeAndRanges) {
  ReaderConfig base;
  base.blockNumber = 7;
  base.pulseTenths = 50;

  ReaderConfig c = decoded("060103" "08022C01" + kTail, base);
  EXPECT_EQ(c.pulseTenths, 300);
  EXPECT_EQ(c.blockNumber, 7);

  c = decoded("060102" "08022C01" + kTail, base);
  EXPECT_EQ(c.blockNumber, 255);
  EXPECT_EQ(c.pulseTenths, 50);

  c = decoded("060103" "0B100000000000000001" + std::string(16, '0') + kTail);
  EXPECT_EQ(c.zoneMask, 1u);
  c = decoded("060103" "0B108000000000000000" + std::string(16, '0') + kTail);
  EXPECT_EQ(c.zoneMask, 1ULL << 63);
  c = decoded("060103" "0B0101" + kTail);  // short: filled on the left
  EXPECT_EQ(c.zoneMask, 1u);
  base.zoneMask = 6;
  c = decoded("060103" "0B08XX00000000000001" + kTail, base);  // not digits: zones unchanged
  EXPECT_EQ(c.zoneMask, 6u);
}

TEST(DecodeConfigRecord, FormatsWiegandColoursAndAbsentItems) {
  ReaderConfig c = decoded("02026700" "060100" + kTail);
  EXPECT_EQ(c.cardFormats, 103);
  c = decoded("02020100" "060101" + kTail);  // matches nothing in mode 1: first item
  EXPECT_EQ(c.cardFormats, 8);

  ReaderConfig base;
  base.wiegandWidth = 40;
  c = decoded("060100" "050100", base);
  EXPECT_FALSE(c.wiegandWidthUser);
  EXPECT_EQ(c.wiegandWidth, 40);
  c = decoded("060100" "05011A", base);
  EXPECT_TRUE(c.wiegandWidthUser);
  EXPECT_EQ(c.wiegandWidth, 26);

  base.ledIdle = {8, 8, 8};
  c = decoded("060100" "0C07FFFFFFFFFFFFFF", base);  // 14 digits: ignored
  EXPECT_EQ(c.ledIdle, (Colour{8, 8, 8}));
  c = decoded("060100" "0C08FFFF0000E0070018", base);
  EXPECT_EQ(c.ledIdle, (Colour{248, 252, 248}));
  EXPECT_EQ(c.ledGreen, (Colour{0, 0, 0}));
  EXPECT_EQ(c.ledRed, (Colour{0, 252, 0}));
  EXPECT_EQ(c.ledRedGreen, (Colour{24, 0, 0}));

  // Absent items: mode 0, first format only, shift 0 bits 1 reversed, user width 8.
  c = decoded("");
  EXPECT_EQ(c.readingMode, 0);
  EXPECT_EQ(c.cardFormats, 1);
  EXPECT_EQ(c.bitShift, 0);
  EXPECT_EQ(c.significantBits, 1);
  EXPECT_TRUE(c.reverseByteOrder);
  EXPECT_TRUE(c.wiegandWidthUser);
  EXPECT_EQ(c.wiegandWidth, 8);
  EXPECT_EQ(c.wiegandType, 0);
}

TEST(DecodeConfigRecord, LimitsAreRepairedAfterLoading) {
  // Shift 63 with bits 64 fit the spinners one by one but not together.
  ReaderConfig c = decoded("02026700" "0303003F40" "060100" + kTail);
  EXPECT_LE(c.bitShift + c.significantBits, c.maxIdBits);
  // A 4-byte format alone: limit 32.
  c = decoded("02020100" "0303000540" "060100" + kTail);
  EXPECT_EQ(c.maxIdBits, 32);
  EXPECT_LE(c.bitShift + c.significantBits, 32);
  // Mode 2: offset 15 with count 8 comes back as offset 8.
  c = decoded("060102" "09010F" "0A0108" + kTail);
  EXPECT_EQ(c.blockOffset, 8);
  EXPECT_EQ(c.blockByteCount, 8);
  c = decoded("060102" "0901FF" "0A0100" + kTail);
  EXPECT_EQ(c.blockOffset, 15);
  EXPECT_EQ(c.blockByteCount, 1);
}

TEST(ApplyConfigRecord, FailureLeavesTheEditorExactlyAsItWas) {
  ConfigEditor e;
  e.ComboBox4Change(2);
  e.SpinEdit2Change(33);
  e.ComboBox2Change(true);
  const ReaderConfig before = e.config();
  const char* bad[] = {
      "060104" "02021000" "08020500" "040100",       // mode outside 0..3
      "060100" "02020100" "08020500" "040102",       // Wiegand type 2
      "060102" "0B14" "0123456789ABCDEF0123456789ABCDEF01234567",  // access code of 20 bytes
      "060102" "0B02ZZ00",                            // access code not hex
  };
  for (const char* rec : bad) {
    EXPECT_FALSE(e.ApplyConfigRecord(ParseConfigItems(rec))) << rec;
    EXPECT_EQ(e.config(), before) << rec;
    EXPECT_FALSE(e.configLoading());
  }
  EXPECT_TRUE(e.ApplyConfigRecord(ParseConfigItems(BuildConfigRecord(ReaderConfig{}))));
  EXPECT_EQ(e.config().readingMode, 0);
  EXPECT_EQ(e.config().blockNumber, 33);  // not carried in mode 0
  EXPECT_FALSE(e.configLoading());
}

TEST(ApplyConfigRecord, LoadingGuardSuspendsThePairRule) {
  ConfigEditor e;
  e.ComboBox4Change(1);
  {
    ConfigEditor::Loading guard(e);
    EXPECT_TRUE(e.configLoading());
    e.toggleCardFormat(0);  // both ticked: no pair rule while loading
    EXPECT_EQ(e.config().cardFormats, 8 | 16);
  }
  EXPECT_FALSE(e.configLoading());
}

TEST(ChecksumDisplay, ChoosesPromptByItemAndMode) {
  struct Case {
    const char* record;
    int mode;
    ChecksumDisplay::Kind kind;
    std::string_view prompt;
    const char* value;
  };
  const Case cases[] = {
      {"0E02ABCD", 1, ChecksumDisplay::Kind::InputBox, kObjectChecksumPrompt, "ABCD"},
      {"0E02ABCD", 3, ChecksumDisplay::Kind::InputBox, kObjectChecksumPrompt, "ABCD"},
      {"0E02ABCD0F0112", 2, ChecksumDisplay::Kind::InputBox, kAccessChecksumPrompt, "ABCD"},
      {"0E02ABCD", 0, ChecksumDisplay::Kind::None, "", ""},
      {"0F0112", 0, ChecksumDisplay::Kind::InputBox, kAccessChecksumPrompt, "12"},
      {"060100", 1, ChecksumDisplay::Kind::Message, "", ""},
  };
  for (const auto& k : cases) {
    const auto d = checksumDisplay(ParseConfigItems(k.record), k.mode, "Заголовок");
    EXPECT_EQ(d.kind, k.kind) << k.record << " mode " << k.mode;
    EXPECT_EQ(d.prompt, k.prompt) << k.record;
    EXPECT_EQ(d.value, k.value) << k.record;
    EXPECT_EQ(d.caption, "Заголовок");
  }
}

TEST(ReaderExchange, ConfigReplyAndVersionReply) {
  EXPECT_FALSE(parseConfigReply(std::string(40, '0')));
  const std::string body = BuildConfigRecord(ReaderConfig{}) + "0E021234";
  const auto items = parseConfigReply(body);
  ASSERT_TRUE(items);
  EXPECT_EQ((*items)[0x0E], "1234");
  EXPECT_EQ((*items)[0x02], "6700");

  struct Case {
    const char* body;
    const char* text;
  };
  const Case cases[] = {{"1003010205", "Версия микропрограммы: 1.2.5"},
                        {"1003010A00", "Версия микропрограммы: 1.10.0"},
                        {"100301020500", nullptr},
                        {"1004010205", nullptr},
                        {"", nullptr}};
  for (const auto& k : cases) {
    const auto v = parseVersionReply(k.body);
    if (k.text) {
      ASSERT_TRUE(v) << k.body;
      EXPECT_EQ(versionText(*v), k.text);
    } else {
      EXPECT_FALSE(v) << k.body;
    }
  }
  EXPECT_TRUE(needsObjectCodeMasterCard(1));
  EXPECT_TRUE(needsObjectCodeMasterCard(3));
  EXPECT_FALSE(needsObjectCodeMasterCard(0));
  EXPECT_FALSE(needsObjectCodeMasterCard(2));
}

}  // namespace
