#include "config/config_editor.h"
#include "config/reader_config.h"
#include "protocol/operator.h"

#include <gtest/gtest.h>

using namespace terva;
using namespace terva::config;

namespace {

std::vector<std::uint16_t> tickedBits(const ReaderConfig& c) {
  std::vector<std::uint16_t> out;
  for (const auto& it : formatItems(c))
    if (it.ticked) out.push_back(it.bit);
  return out;
}

std::vector<std::uint16_t> listBits(const ReaderConfig& c) {
  std::vector<std::uint16_t> out;
  for (const auto& it : formatItems(c)) out.push_back(it.bit);
  return out;
}

TEST(ReaderConfigStart, StartValuesAndDerivedState) {
  ConfigEditor e;
  const ReaderConfig& c = e.config();
  EXPECT_EQ(c, ReaderConfig{});
  EXPECT_EQ(c.cardFormats, 103);
  EXPECT_EQ(listBits(c), (std::vector<std::uint16_t>{1, 2, 4, 32, 64}));
  EXPECT_EQ(tickedBits(c), listBits(c));
  EXPECT_EQ(c.maxIdBits, 64);
  EXPECT_EQ(shiftMax(c), 63);
  EXPECT_EQ(bitsMax(c), 64);
  EXPECT_EQ(c.blockAccessCode, "7E41C9A05D3B8F26E1940CB7A25D6F83");
  EXPECT_EQ(c.pulseTenths, 3);
  EXPECT_EQ(c.ledIdle, (Colour{0, 128, 255}));
  EXPECT_EQ(c.ledRedGreen, (Colour{255, 128, 0}));
  EXPECT_EQ(modeArea(c.readingMode), ModeArea::Empty);
  EXPECT_FALSE(wiegandWidthVisible(c));
  EXPECT_FALSE(e.configLoading());
}

TEST(ReaderConfigMode, ListItemsTicksAreasAndEnabledPerMode) {
  struct Case {
    int mode;
    std::vector<std::uint16_t> list, ticked;
    ModeArea area;
    bool shiftBitsOn;
  };
  const Case cases[] = {
      {0, {1, 2, 4, 32, 64}, {1, 2, 4, 32, 64}, ModeArea::Empty, true},
      {1, {8, 16}, {16}, ModeArea::Empty, true},
      {2, {16}, {16}, ModeArea::Block, true},
      {3, {16}, {16}, ModeArea::Zones, false},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.mode);
    ConfigEditor e;
    e.ComboBox4Change(k.mode);
    EXPECT_EQ(listBits(e.config()), k.list);
    EXPECT_EQ(tickedBits(e.config()), k.ticked);
    EXPECT_EQ(modeArea(e.config().readingMode), k.area);
    EXPECT_EQ(shiftBitsEnabled(e.config().readingMode), k.shiftBitsOn);
    EXPECT_EQ(e.config().maxIdBits, 64);
  }
  EXPECT_TRUE(formatsOffered(4).empty());
  ReaderConfig c;
  EXPECT_FALSE(ComboBox4Change(c, 4));
  EXPECT_EQ(c, ReaderConfig{});
}

TEST(ReaderConfigMode, OtherModesFieldsSurviveAndModeChangeResetsFormats) {
  ConfigEditor e;
  e.toggleCardFormat(0);  // untick the 4-byte UID
  e.ComboBox4Change(2);
  e.SpinEdit2Change(9);
  e.SpinEdit6Change(4);
  e.SpinEdit5Change(12);
  e.setBlockAccessCode("ABC");
  e.ComboBox4Change(1);
  e.ComboBox4Change(0);
  EXPECT_EQ(e.config().cardFormats, 103);  // earlier unticking lost
  e.ComboBox4Change(2);
  EXPECT_EQ(e.config().blockNumber, 9);
  EXPECT_EQ(e.config().blockOffset, 12);
  EXPECT_EQ(e.config().blockByteCount, 4);
  EXPECT_EQ(e.config().blockAccessCode, "ABC");
}

TEST(ReaderConfigFormats, ModeOnePairKeepsExactlyOneTicked) {
  ConfigEditor e;
  e.ComboBox4Change(1);  // 16 ticked
  e.toggleCardFormat(1);  // click the ticked one
  EXPECT_EQ(tickedBits(e.config()), (std::vector<std::uint16_t>{8}));
  e.toggleCardFormat(1);  // click the unticked one
  EXPECT_EQ(tickedBits(e.config()), (std::vector<std::uint16_t>{16}));
  e.toggleCardFormat(0);
  EXPECT_EQ(tickedBits(e.config()), (std::vector<std::uint16_t>{8}));
}

TEST(ReaderConfigFormats, LastUntickTicksFirstAndWidthsFollowTicks) {
  ConfigEditor e;
  for (int i : {1, 2, 3, 4}) e.toggleCardFormat(i);  // leave only bit 1
  EXPECT_EQ(tickedBits(e.config()), (std::vector<std::uint16_t>{1}));
  e.toggleCardFormat(0);
  EXPECT_EQ(tickedBits(e.config()), (std::vector<std::uint16_t>{1}));
  EXPECT_EQ(e.config().maxIdBits, 32);

  struct Case {
    std::uint16_t mask;
    int widest;
  };
  for (const auto& k : {Case{1 | 32, 32}, Case{2, 56}, Case{2 | 1, 56}, Case{4, 64}, Case{0, 1}})
    EXPECT_EQ(widestIdBits(k.mask), k.widest) << k.mask;
}

TEST(ReaderConfigFormats, NarrowFormatsLowerLimitsAndResetOversizedSum) {
  ReaderConfig c;
  c.bitShift = 8;
  c.significantBits = 64;
  // Tick only the 4-byte formats: 1 and 32.
  for (int i : {1, 2, 4}) ASSERT_TRUE(toggleCardFormat(c, i, false));
  EXPECT_EQ(c.cardFormats, 1 | 32);
  EXPECT_EQ(c.maxIdBits, 32);
  EXPECT_EQ(shiftMax(c), 31);
  EXPECT_EQ(bitsMax(c), 32);
  EXPECT_EQ(c.bitShift, 0);
  EXPECT_EQ(c.significantBits, 32);
}

TEST(ReaderConfigShiftBits, StepRulesAndAlternatingRepair) {
  ReaderConfig c;  // max 64, shift 0, bits 64
  SpinEdit3Change(c, 1, false);
  EXPECT_EQ(c.bitShift, 1);
  EXPECT_EQ(c.significantBits, 63);

  // Bits stepped up past the limit take it from the shift.
  c.bitShift = 10;
  c.significantBits = 54;
  SpinEdit4Change(c, 55, false);
  EXPECT_EQ(c.bitShift, 9);
  EXPECT_EQ(c.significantBits, 55);

  // An oversized pair (as after a load) steps down bits, shift, bits, ...
  c.bitShift = 63;
  c.significantBits = 64;
  SpinEdit3Change(c, 63, false);
  EXPECT_LE(c.bitShift + c.significantBits, 64);
  EXPECT_EQ(c.bitShift, 32);
  EXPECT_EQ(c.significantBits, 32);

  // Loading: held within the spinners' ranges, no repair.
  c.bitShift = 0;
  c.significantBits = 64;
  SpinEdit3Change(c, 200, true);
  EXPECT_EQ(c.bitShift, 63);
  EXPECT_EQ(c.significantBits, 64);
  SpinEdit4Change(c, 0, true);
  EXPECT_EQ(c.significantBits, 1);
}

TEST(ReaderConfigBlock, OffsetAndCountStayWithinTheBlock) {
  struct Case {
    int offset, count;
    bool stepCount;  // else step the offset
    int to, wantOffset, wantCount;
  };
  const Case cases[] = {
      {12, 4, true, 5, 12, 4},   // count back to 4
      {8, 8, false, 9, 8, 8},    // offset back to 8
      {0, 8, false, -1, 0, 8},   // below the minimum
      {3, 1, true, 0, 3, 1},
      {15, 1, true, 8, 15, 1},
  };
  for (const auto& k : cases) {
    ReaderConfig c;
    c.blockOffset = k.offset;
    c.blockByteCount = k.count;
    if (k.stepCount)
      SpinEdit6Change(c, k.to, false);
    else
      SpinEdit5Change(c, k.to, false);
    EXPECT_EQ(c.blockOffset, k.wantOffset) << k.offset << "/" << k.count << " -> " << k.to;
    EXPECT_EQ(c.blockByteCount, k.wantCount) << k.offset << "/" << k.count << " -> " << k.to;
  }
  ReaderConfig c;
  SpinEdit2Change(c, -3);
  EXPECT_EQ(c.blockNumber, 0);
}

TEST(ReaderConfigWiegand, LabelAndVisibility) {
  ConfigEditor e;
  e.ComboBox2Change(true);
  e.SpinEdit1Change(26);
  EXPECT_TRUE(wiegandWidthVisible(e.config()));
  EXPECT_EQ(label11Text(e.config()), "+ CRC = 28 бит");
  e.ComboBox3Change(1);
  EXPECT_EQ(label11Text(e.config()), "бит");
  e.ComboBox2Change(false);
  EXPECT_FALSE(wiegandWidthVisible(e.config()));
  e.SpinEdit1Change(3);
  EXPECT_EQ(e.config().wiegandWidth, 8);
}

TEST(ReaderConfigKeys, AccessCodeFilter) {
  struct Case {
    char32_t key;
    std::optional<char32_t> out;
  };
  const Case cases[] = {{U'a', U'A'}, {U'f', U'F'}, {U'1', U'1'}, {U'F', U'F'}, {0x08, 0x08},
                        {U'g', std::nullopt}, {U'G', std::nullopt}, {0x0D, std::nullopt}, {0x16, std::nullopt},
                        {U'я', std::nullopt}, {U' ', std::nullopt}};
  for (const auto& k : cases) EXPECT_EQ(Edit2KeyPress(k.key), k.out) << static_cast<unsigned>(k.key);

  std::string field;
  for (char32_t key : {U'a', U'1', U'g'})
    if (auto k = Edit2KeyPress(key)) field.push_back(static_cast<char>(*k));
  EXPECT_EQ(field, "A1");
  EXPECT_EQ(cleanAccessCode("ab-c" + std::string(40, '1')), "ABC" + std::string(29, '1'));
  EXPECT_EQ(filledAccessCode("A1"), std::string(30, '0') + "A1");
}

TEST(ReaderConfigColours, ReductionCaptionAndDialog) {
  struct Case {
    Colour picked, reduced;
    bool black;
  };
  const Case cases[] = {
      {{255, 255, 255}, {248, 252, 248}, true},
      {{0, 128, 255}, {0, 128, 248}, false},  // (0 + 384 + 248) / 6 = 105
      {{0, 0, 0}, {0, 0, 0}, false},
      {{7, 3, 7}, {0, 0, 0}, false},
  };
  for (const auto& k : cases) {
    EXPECT_EQ(reduceColour(k.picked), k.reduced);
    EXPECT_EQ(captionBlack(reduceColour(k.picked)), k.black);
  }
  EXPECT_TRUE(captionBlack({0, 200, 150}));  // (600 + 150) / 6 = 125

  struct ScriptedColour : ColourDialog {
    std::optional<std::uint32_t> reply;
    std::uint32_t shown = 0;
    std::optional<std::uint32_t> pickColour(std::uint32_t initial) override {
      shown = initial;
      return reply;
    }
  } dialog;
  ConfigEditor e;
  EXPECT_FALSE(e.color1Click(Led::Red, dialog));
  EXPECT_EQ(dialog.shown, 0x0000FFu);  // red in 0x00BBGGRR
  EXPECT_EQ(e.config(), ReaderConfig{});
  dialog.reply = 0xFFFFFF;
  EXPECT_TRUE(e.color1Click(Led::Green, dialog));
  EXPECT_EQ(e.config().ledGreen, (Colour{248, 252, 248}));
}

TEST(ReaderConfigPulse, SecondsHeldWithinRange) {
  ReaderConfig c;
  for (auto [s, t] : {std::pair{0.3, 3}, {30.0, 300}, {0.1, 3}, {99.0, 300}, {1.26, 13}, {2.5, 25}}) {
    setPulseSeconds(c, s);
    EXPECT_EQ(c.pulseTenths, t) << s;
  }
  EXPECT_DOUBLE_EQ(pulseSeconds(c), 2.5);
}

}  // namespace
