#include "protocol/exchange.h"
#include "protocol/hextext.h"
#include "protocol/results.h"

#include <gtest/gtest.h>

#include <vector>

using namespace terva;

namespace {

// Plays the reader: each write is answered by the scripted receive events.
class ScriptedHost : public ExchangeHost {
 public:
  Exchange* exchange = nullptr;
  bool isConnected = true;
  std::vector<std::string> written;           // frames written, as hex text
  std::vector<std::string> replyEvents;       // receive events for the next wait, as hex text
  std::vector<IdMessage> identifiers;
  std::vector<Answer> stored;
  std::function<void()> duringWait;
  bool oneBatch = false;  // deliver every event, as one pass of the event loop may
  int waitsEndedEarly = 0;

  bool connected() const override { return isConnected; }
  void writeBytes(const std::string& bytes) override { written.push_back(bytesToHex(bytes)); }
  void waitForReply(const std::function<bool()>& done, std::chrono::milliseconds) override {
    if (duringWait) duringWait();
    for (const auto& ev : replyEvents) {
      exchange->ComPort1RxChar(hexToBytes(ev));
      if (done() && !oneBatch) {
        ++waitsEndedEarly;
        break;
      }
    }
    replyEvents.clear();
  }
  void replyStored(const Answer& frame) override { stored.push_back(frame); }
  void identifier(const IdMessage& msg) override { identifiers.push_back(msg); }
};

struct ExchangeFixture : ::testing::Test {
  ScriptedHost host;
  Exchange exchange{host};
  ExchangeFixture() { host.exchange = &exchange; }
};

}  // namespace

TEST(HexText, HextointReadsAtMostSixteenCharactersAndNeverFails) {
  EXPECT_EQ(hextoint(""), 0u);
  EXPECT_EQ(hextoint("FF"), 255u);
  EXPECT_EQ(hextoint("ff"), 255u);
  EXPECT_EQ(hextoint("0123456789ABCDEF0123"), 0x0123456789ABCDEFull);
  EXPECT_EQ(hextoint("0G"), ~0ull);  // a foreign character counts as -1
  EXPECT_EQ(hextoint("0G") & 0xFF, 0xFFu);
}

TEST(HexText, BytesRoundTripEveryValue) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  const std::string hex = bytesToHex(all);
  EXPECT_EQ(hex.substr(0, 6), "000102");
  EXPECT_EQ(hex.substr(hex.size() - 4), "FEFF");
  EXPECT_EQ(hexToBytes(hex), all);
  EXPECT_EQ(toHexString(0), "0");
  EXPECT_EQ(toHexString(0xA1), "A1");
}

TEST(Frames, PayloadIsFramedWithLengthAndEndBytes) {
  EXPECT_EQ(buildFrame("0501"), "2305050124");
  EXPECT_EQ(buildFrame("0a01"), "23050a0124");  // characters kept as typed
  EXPECT_EQ(hexToBytes(*buildFrame("0a01")), hexToBytes(*buildFrame("0A01")));
  EXPECT_FALSE(buildFrame(""));
  EXPECT_FALSE(buildFrame("050"));
  EXPECT_TRUE(buildFrame(std::string(252 * 2, '0')));
  EXPECT_FALSE(buildFrame(std::string(253 * 2, '0')));  // the length byte cannot express it
  EXPECT_EQ(buildFrame(std::string(252 * 2, '0'))->substr(0, 4), "23FF");
}

TEST_F(ExchangeFixture, RefusedPayloadsSendNothingAndLeaveAnswerAlone) {
  exchange.answer = {7, 3, "AB"};
  for (const char* payload : {"", "050", "05 01", "0501 "}) {
    SCOPED_TRACE(payload);
    EXPECT_EQ(exchange.SendToComPort(payload), kResultNotSent);
  }
  host.isConnected = false;
  EXPECT_EQ(exchange.SendToComPort("0501"), kResultNotSent);
  EXPECT_TRUE(host.written.empty());
  EXPECT_EQ(exchange.answer.cmd, 7);
  EXPECT_EQ(exchange.answer.body, "AB");
}

struct ReplyCase {
  const char* name;
  std::vector<std::string> events;
  std::uint8_t result;
  std::uint8_t answerCmd;
  const char* answerBody;
};

class ExchangeReplies : public ExchangeFixture, public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(ExchangeReplies, ResultCodeFollowsWhatTheReaderSent) {
  const ReplyCase& c = GetParam();
  host.replyEvents = c.events;
  EXPECT_EQ(exchange.SendToComPort("0501"), c.result);
  ASSERT_EQ(host.written.size(), 1u);
  EXPECT_EQ(host.written[0], "2305050124");
  EXPECT_EQ(exchange.answer.cmd, c.answerCmd);
  EXPECT_EQ(exchange.answer.body, c.answerBody);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ExchangeReplies,
    ::testing::Values(
        ReplyCase{"Success", {"230800010D010024"}, 0, 0, "0D0100"},
        ReplyCase{"ReaderError14", {"230800010D010E24"}, 14, 0, "0D010E"},
        ReplyCase{"ShortcutIgnoresEndByte", {"230800010D010E00"}, 14, 0, "0D010E"},
        ReplyCase{"ResultRecordWithoutCode", {"230700010D0124"}, 253, 0, "0D01"},
        ReplyCase{"Cmd1EndsWaitBodyKept", {"2308010310030124"}, 254, 1, "100301"},
        ReplyCase{"Cmd2IsStoredButNoResult", {"230702010A0B24"}, 254, 2, "0A0B"},
        ReplyCase{"SplitReplyIsLost", {"23080001", "0D010024"}, 254, 255, ""},
        ReplyCase{"TwoFramesInOneEventAreLost", {"230800010D010024230800010D010024"}, 254, 255, ""},
        ReplyCase{"LengthByteMismatchIgnored", {"230A00010D01000024"}, 254, 255, ""},
        ReplyCase{"WrongEndByteIgnored", {"2307020100AB25"}, 254, 255, ""},
        ReplyCase{"NoReply", {}, 254, 255, ""},
        ReplyCase{"EmptyBodyFrame", {"2305000124"}, 253, 0, ""},
        ReplyCase{"IdentifierMessageIsNotAReply", {"5549443A203141320D0A"}, 254, 255, ""},
        ReplyCase{"LaterReplyAfterGarbage", {"FFFF", "230800010D010024"}, 0, 0, "0D0100"}),
    [](const auto& p) { return p.param.name; });

TEST_F(ExchangeFixture, WaitEndsOnTheFirstResultReply) {
  host.replyEvents = {"230800010D010024", "230800010D010E24"};
  EXPECT_EQ(exchange.SendToComPort("0301"), 0);
  EXPECT_EQ(host.waitsEndedEarly, 1);
}

TEST_F(ExchangeFixture, CardReadRightAfterTheReplyDoesNotChangeTheResult) {
  host.oneBatch = true;
  host.replyEvents = {"230800010D010E24", "5549443A203141320D0A", "230800010D010024"};
  EXPECT_EQ(exchange.SendToComPort("0301"), 14);
  EXPECT_EQ(exchange.answer.body, "0D0100");  // the record still holds the last frame
  host.replyEvents = {"230800010D010024", "5549443A203141320D0A"};
  EXPECT_EQ(exchange.SendToComPort("0501"), 0);
  EXPECT_EQ(exchange.answer.cmd, 255);
}

TEST_F(ExchangeFixture, NoSecondExchangeStartsWhileOneWaits) {
  std::uint8_t nested = 0;
  host.duringWait = [&] { nested = exchange.SendToComPort("0301"); };
  host.replyEvents = {"230800010D010024"};
  EXPECT_EQ(exchange.SendToComPort("0501"), 0);
  EXPECT_EQ(nested, kResultNotSent);
  EXPECT_EQ(host.written, std::vector<std::string>{"2305050124"});
  host.duringWait = nullptr;
  host.replyEvents = {"230800010D010024"};
  EXPECT_EQ(exchange.SendToComPort("0301"), 0);  // the next one after the wait goes out
}

TEST_F(ExchangeFixture, EveryStoredFrameAndIdentifierIsReportedInOrder) {
  exchange.ComPort1RxChar(hexToBytes("230800010D010E24"));
  exchange.ComPort1RxChar("UID: 11\r\nMIR: 22\r\n");
  exchange.ComPort1RxChar(hexToBytes("230702010A0B24"));
  EXPECT_EQ(host.stored, (std::vector<Answer>{{0, 1, "0D010E"}, {2, 1, "0A0B"}}));
  EXPECT_EQ(host.identifiers, (std::vector<IdMessage>{{IdKind::Uid, "11"}, {IdKind::Mir, "22"}}));
}

TEST_F(ExchangeFixture, ConfigurationFrameIsStoredWithItsKind) {
  struct Host : ScriptedHost {
    std::string config;
    void configurationFrame(const std::string& body) override { config = body; }
  } h;
  Exchange ex(h);
  h.exchange = &ex;
  EXPECT_EQ(ex.ComPort1RxChar(hexToBytes("2307010301AA24")), RxOutcome::Frame);
  EXPECT_EQ(h.config, "01AA");
  EXPECT_EQ(ex.answer.ver, 3);
}

TEST(ResultTexts, KnownUnknownAndSharedTexts) {
  EXPECT_EQ(errtotext(11), errtotext(20));
  EXPECT_EQ(errtotext(15), "Ошибочная команда.");
  for (int code : {0, 6, 28, 253, 254, 255}) {
    SCOPED_TRACE(code);
    EXPECT_EQ(errtotext(static_cast<std::uint8_t>(code)), "Неизвестная ошибка №" + std::to_string(code));
  }
  const std::string t27 = errtotext(27);
  EXPECT_EQ(t27[0], 'C');  // Latin C
  EXPECT_NE(t27.find("\r\n"), std::string::npos);
  EXPECT_NE(t27.find("\"Считать конфигурацию с мастер-карты и записать в USB-считыватель\""), std::string::npos);
}
