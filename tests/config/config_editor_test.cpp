// The editor's change notification and its first-show defaults.
#include "config/config_editor.h"
#include "config/config_record.h"

#include <gtest/gtest.h>

using namespace terva::config;

namespace {

TEST(ConfigEditorListeners, EveryChangeIsToldAFailedApplyIsNot) {
  ConfigEditor e;
  int told = 0;
  ReaderConfig seen;
  const int id = e.addListener([&] {
    ++told;
    seen = e.config();
  });
  e.ComboBox4Change(3);
  EXPECT_EQ(told, 1);
  EXPECT_EQ(seen.readingMode, 3);

  // A whole record applied: one notice, with the record's values in place.
  ASSERT_TRUE(e.ApplyConfigRecord(ParseConfigItems("020267000303000040060100040100050100")));
  EXPECT_EQ(told, 2);
  EXPECT_EQ(seen.readingMode, 0);

  // A refused record changes nothing and tells nothing.
  const ReaderConfig before = e.config();
  EXPECT_FALSE(e.ApplyConfigRecord(ParseConfigItems("060107")));
  EXPECT_EQ(told, 2);
  EXPECT_EQ(e.config(), before);

  e.replace(ReaderConfig{});
  e.setZoneMask(5);
  EXPECT_EQ(told, 4);
  e.removeListener(id);
  e.setZoneMask(0);
  EXPECT_EQ(told, 4);
}

TEST(ConfigEditorDefaults, FirstShowResetsItsFieldsAndKeepsTheOthers) {
  ConfigEditor e;
  e.ComboBox4Change(2);
  e.ComboBox3Change(1);
  e.SpinEdit2Change(77);
  e.setPulseSeconds(9.0);
  e.ComboBox2Change(true);
  e.applyPageDefaults();
  const ReaderConfig& c = e.config();
  EXPECT_EQ(c.readingMode, 0);
  EXPECT_EQ(c.wiegandType, 0);
  EXPECT_EQ(c.pulseTenths, kPulseTenthsMin);
  EXPECT_EQ(c.cardFormats, kStartCardFormats);
  EXPECT_EQ(c.significantBits, 64);
  EXPECT_EQ(c.blockNumber, 77);
  EXPECT_TRUE(c.wiegandWidthUser);
}

}  // namespace
