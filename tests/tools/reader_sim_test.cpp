#include "sim/reader_sim.h"

#include <gtest/gtest.h>

#include "protocol/hextext.h"

namespace terva::sim {
namespace {

std::string bytes(std::string_view hex) { return hexToBytes(hex); }

// Concatenated hex text of all writes, for compact comparisons.
std::string hexOf(const std::vector<Write>& writes) {
  std::string out;
  for (const auto& w : writes) out += bytesToHex(w.bytes);
  return out;
}

TEST(ReaderSimTest, RepliesToEveryCommandOfTheCatalogue) {
  const char* ok = "230800010D010024";
  const char* refused = "230800010D010F24";
  struct Case {
    const char* name;
    const char* frame;
    const char* reply;
  } cases[] = {
      {"write configuration", "23080101AABBCC24", ok},
      {"configuration for master cards", "230A0102AABB1101AA24", ok},
      {"start writing master cards", "23090201010200" "0324", ok},
      {"clear master cards", "2305030124", ok},
      {"create protected cards", "2305040124", ok},
      {"card reading mode", "2305050124", ok},
      {"clear protected cards", "2305060124", ok},
      {"read master card configuration", "2305070124", ok},
      {"copy master card configuration", "2305080124", ok},
      {"clear all object codes", "2305090124", ok},
      {"end byte inside the body", "23070101242424", ok},
      {"firmware version", "23050A0124", "230A0101100301000824"},
      {"reader configuration (empty)", "23050B0124", "2305010124"},
      {"unknown command", "23050C0124", refused},
      {"result reply sent to the reader", "230800010D010024", refused},
      {"wrong variant", "2305050224", refused},
      {"write configuration, variant 3", "2305010324", refused},
      {"length below the smallest frame", "230324", refused},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReaderSim sim;
    const auto writes = sim.feed(bytes(c.frame));
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(bytesToHex(writes[0].bytes), c.reply);
    EXPECT_EQ(writes[0].delayMs, 0);
    EXPECT_FALSE(writes[0].splitPiece);
    ASSERT_EQ(sim.framesReceived().size(), 1u);
    EXPECT_FALSE(sim.hasPartial());
  }
}

TEST(ReaderSimTest, VersionAndConfigurationAreSettable) {
  ReaderSim sim;
  EXPECT_EQ(sim.command("version 2.10.255").ok, true);
  sim.setConfigHex("0a0B");
  EXPECT_EQ(hexOf(sim.feed(bytes("23050A0124"))), "230A0101100302" "0AFF24");
  EXPECT_EQ(hexOf(sim.feed(bytes("23050B0124"))), "230701010A0B24");
  EXPECT_TRUE(sim.command("config 01 02 03").ok);
  EXPECT_EQ(hexOf(sim.feed(bytes("23050B0124"))), "23080101010203" "24");
  EXPECT_TRUE(sim.command("config").ok);
  EXPECT_EQ(hexOf(sim.feed(bytes("23050B0124"))), "2305010124");
  EXPECT_THROW(sim.setConfigHex("ABC"), std::invalid_argument);
  EXPECT_THROW(sim.setConfigHex(std::string(502, 'A')), std::invalid_argument);
}

// The same stream of noise and frames must give the same replies however the
// tty layer happens to chunk it.
TEST(ReaderSimTest, AssemblesFramesFromAnyChunkingAndSkipsNoise) {
  const std::string stream = bytes(
      "1124"                // noise, including a stray end byte
      "23070000000000"      // a start byte whose candidate frame has no end byte
      "2305030124"          // clear master cards
      "FF"                  // noise between frames
      "23050A0124");        // firmware version
  for (std::size_t chunk : {1u, 2u, 3u, 7u, 100u}) {
    SCOPED_TRACE("chunk " + std::to_string(chunk));
    ReaderSim sim;
    std::vector<Write> writes;
    for (std::size_t i = 0; i < stream.size(); i += chunk) {
      for (auto& w : sim.feed(stream.substr(i, chunk))) writes.push_back(w);
    }
    EXPECT_EQ(hexOf(writes), "230800010D010024" "230A0101100301000824");
    EXPECT_EQ(sim.framesReceived(), (std::vector<std::string>{"2305030124", "23050A0124"}));
    EXPECT_FALSE(sim.hasPartial());
  }
}

TEST(ReaderSimTest, ExpiringAStalledPartialFrameFindsTheFrameInsideIt) {
  ReaderSim sim;
  // The false start claims 9 bytes; the real frame after it is only 5.
  EXPECT_TRUE(sim.feed(bytes("230901" "2305050124")).empty());
  EXPECT_TRUE(sim.hasPartial());
  EXPECT_EQ(hexOf(sim.expirePartial()), "230800010D010024");
  EXPECT_FALSE(sim.hasPartial());
  EXPECT_TRUE(sim.expirePartial().empty());
}

TEST(ReaderSimTest, ModifiersApplyToTheNextReplyOnly) {
  const std::string ok = bytes("230800010D010024");
  struct Case {
    const char* name;
    std::vector<const char*> lines;
    std::vector<Write> expected;
  } cases[] = {
      {"result", {"result 14"}, {{bytes("230800010D010E24"), 0, false}}},
      {"drop", {"drop"}, {}},
      {"delay", {"delay 250"}, {{ok, 250, false}}},
      {"split", {"split"}, {{ok.substr(0, 4), 0, true}, {ok.substr(4), ReaderSim::kSplitPauseMs, true}}},
      {"all together",
       {"delay 100", "split", "result 255"},
       {{bytes("23080001"), 100, true}, {bytes("0D01FF24"), ReaderSim::kSplitPauseMs, true}}},
      {"later setting wins", {"result 1", "result 2"}, {{bytes("230800010D010224"), 0, false}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReaderSim sim;
    for (const char* line : c.lines) ASSERT_TRUE(sim.command(line).ok) << line;
    EXPECT_EQ(sim.feed(bytes("2305030124")), c.expected);
    EXPECT_EQ(sim.feed(bytes("2305030124")), (std::vector<Write>{{ok, 0, false}}));
  }
}

TEST(ReaderSimTest, ResultOverrideIsUsedUpByAFramedReplyWithoutChangingIt) {
  ReaderSim sim;
  sim.command("result 14");
  EXPECT_EQ(hexOf(sim.feed(bytes("23050A0124"))), "230A0101100301000824");
  EXPECT_EQ(hexOf(sim.feed(bytes("2305030124"))), "230800010D010024");
  // A refusal takes the override too.
  sim.command("result 3");
  EXPECT_EQ(hexOf(sim.feed(bytes("23050C0124"))), "230800010D010324");
}

TEST(ReaderSimTest, CardCommandsWriteIdentifierMessagesExactly) {
  struct Case {
    const char* line;
    std::string expected;
  } cases[] = {
      {"card uid 1A2B3C", bytes("5549443A20" "314132423343" "0D0A")},
      {"card phone 0123", "PhoneID: 0123\r\n"},
      {"card mir 9F", "MIR: 9F\r\n"},
      {"card nonunique 04AB", "Nonunic UID: 04AB\r\n"},
      {"card RANDOM 08", "Random UID: 08\r\n"},
      {"cards uid 01 random 02 mir 03", "UID: 01\r\nRandom UID: 02\r\nMIR: 03\r\n"},
      {"raw 23 08 00 01 0d01 0E 24", bytes("230800010D010E24")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ReaderSim sim;
    const auto r = sim.command(c.line);
    EXPECT_TRUE(r.ok) << r.answer;
    EXPECT_EQ(r.action, Action::None);
    // Several messages still go out as one write, so the host sees one event.
    EXPECT_EQ(r.writes, (std::vector<Write>{{c.expected, 0, false}}));
  }
}

TEST(ReaderSimTest, BadCommandLinesAreRefusedAndChangeNothing) {
  const char* lines[] = {
      "card",           "card uid",          "card badge 12",   "card uid 12 34",   "card uid \x01",
      "cards uid",      "cards uid 1 mir",   "cards uid 1 x 2", "raw",              "raw 2",
      "raw zz",         "raw 23 0",          "result",          "result 256",       "result -1",
      "result 1x",      "result 1 2",        "delay",           "delay abc",        "delay 60001",
      "drop now",       "split 2",           "version",         "version 1.2",      "version 1.2.3.4",
      "version 1.2.256", "version a.b.c",    "version 1..2",    "version .1.2",     "config 123",
      "config XY",      "help me",           "quit now",        "unplug 1",         "frobnicate",
  };
  ReaderSim sim;
  for (const char* line : lines) {
    SCOPED_TRACE(line);
    const auto r = sim.command(line);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.answer.rfind("error: ", 0), 0u) << r.answer;
    EXPECT_TRUE(r.writes.empty());
    EXPECT_EQ(r.action, Action::None);
  }
  EXPECT_EQ(hexOf(sim.feed(bytes("2305030124"))), "230800010D010024");
  EXPECT_EQ(hexOf(sim.feed(bytes("23050A0124"))), "230A0101100301000824");
  EXPECT_EQ(hexOf(sim.feed(bytes("23050B0124"))), "2305010124");
}

TEST(ReaderSimTest, ControlCommandsAndHelp) {
  ReaderSim sim;
  EXPECT_EQ(sim.command("unplug").action, Action::Unplug);
  EXPECT_EQ(sim.command("  QUIT\r").action, Action::Quit);
  const auto blank = sim.command("   ");
  EXPECT_TRUE(blank.ok);
  EXPECT_TRUE(blank.answer.empty());
  const std::string help = "\n" + sim.command("help").answer;
  for (const char* name :
       {"card", "cards", "present", "status", "reset", "raw", "result", "delay", "drop", "split", "version", "config",
        "unplug", "help", "quit"}) {
    EXPECT_NE(help.find(std::string("\n") + name + " "), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace terva::sim
