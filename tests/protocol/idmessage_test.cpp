#include "protocol/idmessage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <string>
#include <vector>

namespace terva {

void PrintTo(const IdMessage& m, std::ostream* os) {
  *os << idKindInfo(m.kind).prefix << " \"" << testing::PrintToString(m.identifier) << "\"";
}

namespace {

using namespace std::string_literals;
using testing::ElementsAreArray;

TEST(IdentKinds, TableInTestOrder) {
  struct Row {
    IdKind kind;
    const char* prefix;
  };
  const Row rows[] = {
      {IdKind::PhoneId, "PhoneID: "}, {IdKind::RandomUid, "Random UID: "}, {IdKind::NonuniqueUid, "Nonunic UID: "},
      {IdKind::Mir, "MIR: "},         {IdKind::Uid, "UID: "},
  };
  ASSERT_EQ(idKinds().size(), std::size(rows));
  for (std::size_t k = 0; k < std::size(rows); ++k) {
    SCOPED_TRACE(rows[k].prefix);
    const IdKindInfo& info = idKinds()[k];
    EXPECT_EQ(info.kind, rows[k].kind);
    EXPECT_EQ(info.prefix, rows[k].prefix);
    EXPECT_EQ(&idKindInfo(rows[k].kind), &info);
  }
}

TEST(IdentMessages, Scan) {
  struct Case {
    const char* name;
    std::string bytes;
    bool isIdentifierMessage;
    std::vector<IdMessage> messages;
  };
  const Case cases[] = {
      {"uid", "UID: 1A2B3C\r\n", true, {{IdKind::Uid, "1A2B3C"}}},
      {"random uid is not uid", "Random UID: 1A2B3C\r\n", true, {{IdKind::RandomUid, "1A2B3C"}}},
      {"nonunique uid", "Nonunic UID: 04AB\r\n", true, {{IdKind::NonuniqueUid, "04AB"}}},
      {"phone id", "PhoneID: 0123\r\n", true, {{IdKind::PhoneId, "0123"}}},
      {"mir", "MIR: 99\r\n", true, {{IdKind::Mir, "99"}}},
      {"one byte", "UID: X\r\n", true, {{IdKind::Uid, "X"}}},
      {"any byte values", "UID: \x00\xFF\x80\r\n"s, true, {{IdKind::Uid, "\x00\xFF\x80"s}}},
      {"ending bytes not checked", "UID: 1234", true, {{IdKind::Uid, "12"}}},
      // Nothing between prefix and ending bytes: counts, but carries nothing.
      {"prefix and ending only", "UID: \r\n", true, {}},
      {"prefix and one byte", "UID: \r", true, {}},
      {"prefix only", "Random UID: ", true, {}},
      // Bytes before the prefix are not part of the identifier.
      {"garbage before", "\x00\xFFzzUID: 1A\r\n"s, true, {{IdKind::Uid, "1A"}}},
      {"reply frame before", "\x05\x00\x01\x0D\x0AMIR: 7777\r\n"s, true, {{IdKind::Mir, "7777"}}},
      // Several messages in one event.
      {"two messages", "UID: 11\r\nUID: 22\r\n", true, {{IdKind::Uid, "11"}, {IdKind::Uid, "22"}}},
      {"three kinds",
       "MIR: 01\r\nRandom UID: 02\r\nPhoneID: 03\r\n",
       true,
       {{IdKind::Mir, "01"}, {IdKind::RandomUid, "02"}, {IdKind::PhoneId, "03"}}},
      {"uid before random uid",
       "UID: AA\r\nRandom UID: BB\r\nNonunic UID: CC\r\n",
       true,
       {{IdKind::Uid, "AA"}, {IdKind::RandomUid, "BB"}, {IdKind::NonuniqueUid, "CC"}}},
      {"second cut short", "UID: 1A2B3C\r\nUID: 4455", true, {{IdKind::Uid, "1A2B3C"}, {IdKind::Uid, "44"}}},
      {"second without identifier", "UID: 1A2B3C\r\nUID: 44", true, {{IdKind::Uid, "1A2B3C"}}},
      {"empty first message", "MIR: UID: 5\r\n", true, {{IdKind::Uid, "5"}}},
      {"empty middle message", "UID: 1\r\nMIR: \r\nUID: 2\r\n", true, {{IdKind::Uid, "1"}, {IdKind::Uid, "2"}}},
      {"colon without blank before", "X:Y: UID: 12\r\n", true, {{IdKind::Uid, "12"}}},
      // A prefix cut at the end of the event is part of the message before it.
      {"prefix cut after message", "UID: 1\r\nMIR:", true, {{IdKind::Uid, "1\r\nMI"}}},
      // Not identifier messages.
      {"empty event", "", false, {}},
      {"reply frame", "\x05\x00\x01\x00\x0D\x0A"s, false, {}},
      {"lower case", "uid: 1A\r\n", false, {}},
      {"no space", "UID:1A\r\n", false, {}},
      {"phone id with a space", "Phone ID: 1A\r\n", false, {}},
      {"prefix cut", "Random UID:", false, {}},
      {"doubled colon", "UID:: 5\r\n", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const IdScan scan = scanIdentifierMessages(c.bytes);
    EXPECT_EQ(scan.isIdentifierMessage, c.isIdentifierMessage);
    EXPECT_THAT(scan.messages, ElementsAreArray(c.messages));
  }
}

}  // namespace
}  // namespace terva
