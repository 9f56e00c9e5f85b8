// The simulated reader's card modes, driven the way the program and a person
// drive it: frames from the host, command lines from the person, and the bytes
// the reader writes back.
#include <gtest/gtest.h>

#include "protocol/hextext.h"
#include "sim/console.h"
#include "sim/reader_sim.h"

namespace terva::sim {
namespace {

// Configuration records as the program builds them.
const std::string kColours = "0C081F04E00700F800FC";
const std::string kTail = "040100" "050100" + kColours;
const std::string R0 = "02026700" "0303000040" "060100" + kTail;                  // mode 0
const std::string R1 = "02021000" "0303000040" "060101" + kTail;                  // mode 1, Mifare Plus
const std::string R1c = "02020800" "0303000040" "060101" + kTail;                 // mode 1, Mifare Classic
const std::string R3 = "02021000" "0303000040" "060103" "08020300"                 // mode 3, zones 1 and 64
                       "0B10" "8000000000000001" "0000000000000000" + kTail;

const std::string ok = "230800010D010024";
std::string res(unsigned code) { return "230800010D01" + byteHex(code) + "24"; }

// Host payload (cmd, ver, body as hex text) as a frame.
std::string frameOf(const std::string& payload) {
  const std::string b = hexToBytes(payload);
  return ReaderSim::frame(static_cast<std::uint8_t>(b[0]), static_cast<std::uint8_t>(b[1]), b.substr(2));
}

std::string hexOf(const std::vector<Write>& writes) {
  std::string out;
  for (const auto& w : writes) out += bytesToHex(w.bytes);
  return out;
}

// '?' in the expectation stands for any one hex digit (object codes, checksums).
bool matches(const std::string& want, const std::string& got) {
  if (want.size() != got.size()) return false;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (want[i] != '?' && want[i] != got[i]) return false;
  }
  return true;
}

// One step: a frame from the host (payload hex) or a line the person types,
// and the bytes the reader writes in answer ("" for none).
struct Step {
  std::string host;
  std::string person;
  std::string reply;
};
Step H(std::string payload, std::string reply) { return {std::move(payload), "", std::move(reply)}; }
Step P(std::string line, std::string reply) { return {"", std::move(line), std::move(reply)}; }

void run(ReaderSim& sim, const std::vector<Step>& steps) {
  for (std::size_t i = 0; i < steps.size(); ++i) {
    const Step& s = steps[i];
    SCOPED_TRACE("step " + std::to_string(i + 1) + ": " + (s.host.empty() ? s.person : "host " + s.host));
    std::string got;
    if (!s.host.empty()) {
      got = hexOf(sim.feed(frameOf(s.host)));
    } else {
      const auto r = sim.command(s.person);
      EXPECT_TRUE(r.ok) << r.answer;
      got = hexOf(r.writes);
    }
    EXPECT_TRUE(matches(s.reply, got)) << "want " << s.reply << "\n got " << got;
  }
}

// Frame a master card of record `rec` sends after "0701": item 01, the
// record, the checksum item.
std::string masterFrame(unsigned index, unsigned count, const std::string& rec) {
  const std::size_t len = 5 + 4 + rec.size() / 2 + 4;
  return "23" + byteHex(static_cast<unsigned>(len)) + "0103" + "0102" + byteHex(index) + byteHex(count) + rec +
         "0E02????24";
}

std::string uidMessage(const Card& c) { return bytesToHex("UID: " + c.uid + "\r\n"); }

TEST(ReaderCardModesTest, CommandsAndCardsAnswerAsAReaderWould) {
  struct Case {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"stored configuration comes back, mode 0 without a checksum",
       {H("0101" + R0, ok), H("0B01", "2321" "0101" + R0 + "24")}},
      {"mode 1 configuration comes back with a checksum",
       {H("0101" + R1, ok), H("0B01", "2325" "0101" + R1 + "0E02????24")}},
      {"version", {P("version 2.1.0", ""), H("0A01", "230A0101100302010024")}},
      {"master-card configuration needs the option item",
       {H("0102" + R1, res(12)), H("0102" + R1 + "1101AB", res(12)), H("0102" + R1 + "110100", ok)}},
      {"start command checks its count and index",
       {H("0201010200" "06", res(12)), H("0201010200" "00", res(12)), H("0201010205" "05", res(12)),
        H("0201", res(12)), H("02010102", res(12)), H("0201010200" "05", ok)}},
      {"writing a set of two",
       {H("0102" + R1 + "110100", ok), H("0201010200" "02", ok),
        P("present blank", ok),          // card 1: master 1 of 2
        P("present 1", res(14)),         // not blank any more
        P("present blank classic", res(23)),  // card 2: mode 1 Plus wants Mifare Plus
        P("present blank", ok),          // card 3: master 2 of 2
        P("present blank", res(13)),     // card 4: the set is complete
        H("0501", ok), H("0701", ok), P("present 3", masterFrame(1, 2, R1)), P("present 4", res(16)),
        P("present 2", res(16))}},
      {"Mifare Classic set",
       {H("0102" + R1c + "110100", ok), H("0201010200" "01", ok), P("present blank", res(24)),
        P("present blank classic", ok)}},
      {"mode 0 set on any card, read back without a checksum",
       {H("0102" + R0 + "110100", ok), H("0201010200" "01", ok), P("present blank classic", ok),
        H("0701", ok), P("present 1", "2325" "0103" "01020001" + R0 + "24")}},
      {"index in the start command: the last card of three",
       {H("0102" + R3 + "110100", ok), H("0201010202" "03", ok), P("present blank", ok), H("0701", ok),
        P("present 1", masterFrame(2, 3, R3))}},
      {"card refusals a person chooses leave the card blank",
       {H("0102" + R0 + "110100", ok), H("0201010200" "01", ok), P("present blank 21", res(21)),
        P("result 17", ""), P("present 1", res(17)), P("present 1", ok)}},
      {"clearing master cards",
       {H("0102" + R0 + "110100", ok), H("0201010200" "01", ok), P("present blank", ok), P("present blank", res(13)),
        H("0301", ok), P("present 1", ok), P("present 1", res(25)), P("present 2", res(25))}},
      {"unknown command and a wrong variant change nothing",
       {H("0C01", res(15)), H("0502", res(15)), H("0B01", "2305010124")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ReaderSim sim;
    run(sim, c.steps);
  }
}

// A whole run of the protected modes: master cards with the object code,
// the reader taking it, protected cards written, cleared and cleared again.
TEST(ReaderCardModesTest, ProtectedModeRunFromMasterCardsToProtectedCards) {
  ReaderSim sim;
  run(sim, {H("0102" + R1 + "110100", ok), H("0201010200" "02", ok), P("present blank", ok), P("present blank", ok),
            H("0501", ok)});
  ASSERT_EQ(sim.cards().size(), 2u);
  const Card m1 = sim.cards()[0];
  EXPECT_EQ(m1.kind, CardKind::Master);
  EXPECT_EQ(m1.index, 0);
  EXPECT_EQ(m1.count, 2);
  EXPECT_EQ(m1.recordHex, R1);
  ASSERT_EQ(m1.objectCode.size(), 8u);
  EXPECT_EQ(sim.cards()[1].objectCode, m1.objectCode);  // one set, one object code
  EXPECT_EQ(sim.cards()[1].index, 1);

  // Writing a protected configuration: the reader waits for a master card.
  run(sim, {H("0101" + R3, ok), P("present 1", res(26)),  // mode 1 card, mode 3 reader
            H("0101" + R1, ok), P("present blank", res(16)), P("present 2", ok)});
  EXPECT_EQ(sim.cardMode(), CardMode::ObjectCode);
  EXPECT_EQ(sim.objectCode(), m1.objectCode);
  EXPECT_FALSE(sim.locked());
  // The reader reports the same checksum as the master card.
  const std::string sum = ReaderSim::checksumItem(R1, m1.objectCode);
  run(sim, {H("0B01", "2325" "0101" + R1 + sum + "24"), H("0701", ok),
            P("present 1", "2329" "0103" "01020002" + R1 + sum + "24")});

  // Card 3 is the blank presented above; card 4 a Mifare Classic one, refused
  // by the reader still waiting for a master card.
  run(sim, {P("present blank classic", res(16)), H("0401", ok),  // still waiting for a master card
            P("present 3", res(16)),  // a master card comes first
            P("present 1", ok), P("present 3", ok), P("present 3", res(18)), P("present 1", res(19)),
            P("present 4", res(23)), H("0501", ok)});
  ASSERT_EQ(sim.cards().size(), 4u);
  EXPECT_EQ(sim.cards()[2].kind, CardKind::Protected);
  EXPECT_EQ(sim.cards()[2].codes, (std::vector<ProtectedCode>{{m1.objectCode, 1, ""}}));
  EXPECT_EQ(sim.cards()[3].kind, CardKind::Blank);

  // In card reading mode every card is an identifier message.
  run(sim, {P("present 3", uidMessage(sim.cards()[2])), P("present 1", uidMessage(sim.cards()[0]))});
  EXPECT_NE(sim.cards()[2].uid, sim.cards()[0].uid);

  run(sim, {H("0601", ok), P("present 2", ok), P("present 4", res(25)), P("present 3", ok), P("present 3", res(25)),
            H("0501", ok)});
  EXPECT_EQ(sim.cards()[2].kind, CardKind::Blank);

  // Clearing all codes needs no master card and refuses one.
  run(sim, {H("0401", ok), P("present 1", ok), P("present 3", ok), P("present 4", res(23)), H("0901", ok),
            P("present 1", res(19)), P("present 3", ok), P("present 3", res(25)), H("0501", ok)});
  EXPECT_EQ(sim.cards()[2].kind, CardKind::Blank);
}

TEST(ReaderCardModesTest, ZonesTravelFromAMasterCardOntoProtectedCards) {
  ReaderSim sim;
  run(sim, {H("0102" + R3 + "110100", ok), H("0201010200" "01", ok), P("present blank", ok), H("0401", ok),
            P("present 1", ok), P("present blank", ok)});
  ASSERT_EQ(sim.cards().size(), 2u);
  EXPECT_EQ(sim.cards()[1].codes,
            (std::vector<ProtectedCode>{{sim.cards()[0].objectCode, 3, "8000000000000001"}}));
}

TEST(ReaderCardModesTest, LockedReaderAcceptsOnlyItsOwnMasterCards) {
  ReaderSim sim;
  run(sim, {H("0102" + R1 + "1101AA", ok), H("0201010200" "01", ok), P("present blank", ok),  // card 1, locked set
            H("0102" + R1 + "110100", ok), H("0201010200" "01", ok), P("present blank", ok),  // card 2, other set
            H("0101" + R1, ok), P("present 1", ok)});
  ASSERT_NE(sim.cards()[0].objectCode, sim.cards()[1].objectCode);
  EXPECT_TRUE(sim.cards()[0].lock);
  EXPECT_TRUE(sim.locked());
  run(sim, {H("0101" + R0, res(27)), H("0801", ok), P("present 2", res(27)), P("present 1", ok)});
  EXPECT_EQ(sim.configHex(), R1);
  EXPECT_TRUE(sim.command("reset").ok);
  run(sim, {H("0101" + R0, ok)});
  EXPECT_EQ(sim.configHex(), R0);
}

TEST(ReaderCardModesTest, CopyingAMasterCardReplacesTheReadersConfiguration) {
  ReaderSim sim;
  run(sim, {H("0101" + R0, ok), H("0102" + R3 + "110100", ok), H("0201010200" "01", ok), P("present blank", ok),
            H("0801", ok), P("present blank", res(16)), P("present 1", ok), H("0501", ok)});
  EXPECT_EQ(sim.configHex(), R3);
  EXPECT_EQ(sim.objectCode(), sim.cards()[0].objectCode);
  run(sim, {H("0B01", "233B" "0101" + R3 + ReaderSim::checksumItem(R3, sim.objectCode()) + "24")});
}

TEST(ReaderCardModesTest, ChecksumItemIsACrcOverObjectCodeOrAccessCode) {
  // CRC-16/CCITT-FALSE of "123456789" is 29B1.
  const std::string digits = bytesToHex("123456789");
  EXPECT_EQ(ReaderSim::checksumItem("060101", digits), "0E0229B1");
  EXPECT_EQ(ReaderSim::checksumItem("060103", digits), "0E0229B1");
  EXPECT_EQ(ReaderSim::checksumItem("060102" "0B09" + digits, "00"), "0E0229B1");
  EXPECT_EQ(ReaderSim::checksumItem("060100", digits), "");
  EXPECT_EQ(ReaderSim::checksumItem("", digits), "");
  EXPECT_EQ(ReaderSim::readingModeOf(R3), 3u);
  EXPECT_EQ(ReaderSim::readingModeOf("0601030601" "02"), 2u);  // a later item wins
}

TEST(ReaderCardModesTest, RefusedCommandsAndOverridesLeaveTheReaderAsItWas) {
  ReaderSim sim;
  run(sim, {H("0101" + R0, ok), P("result 14", ""), H("0101" + R1, res(14)), P("result 3", ""), H("0301", res(3))});
  EXPECT_EQ(sim.configHex(), R0);
  EXPECT_EQ(sim.cardMode(), CardMode::Reading);
  // A dropped reply is lost on the line, but the reader did the work.
  run(sim, {H("0102" + R0 + "110100", ok), H("0201010200" "01", ok), P("drop", ""), P("present blank", "")});
  EXPECT_EQ(sim.cards()[0].kind, CardKind::Master);
}

TEST(ReaderCardModesTest, PersonCommandsForCards) {
  ReaderSim sim;
  struct Bad {
    const char* line;
  } bad[] = {{"present"}, {"present 1"}, {"present 0"}, {"present x"}, {"present blank gold"},
             {"present blank plus 256"}, {"present blank 1 2"}, {"status now"}, {"reset 1"}};
  for (const auto& b : bad) {
    SCOPED_TRACE(b.line);
    const auto r = sim.command(b.line);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.answer.rfind("error: ", 0), 0u) << r.answer;
    EXPECT_TRUE(r.writes.empty());
  }
  EXPECT_TRUE(sim.cards().empty());
  EXPECT_EQ(sim.command("cards list").answer, "no cards yet (present blank makes one)");

  run(sim, {H("0102" + R1 + "1101AA", ok), H("0201010200" "01", ok)});
  const auto r = sim.command("present blank");
  EXPECT_TRUE(r.needsLine);
  EXPECT_EQ(r.answer.substr(r.answer.find('\n') + 1), "result 0 (success): master card 1 of 1 written");
  const std::string list = sim.command("cards list").answer;
  EXPECT_EQ(list.rfind("1: Mifare Plus, uid " + sim.cards()[0].uid + ", master card 1 of 1, reading mode 1, object code " +
                           sim.cards()[0].objectCode + ", locked, record " + R1,
                       0),
            0u)
      << list;
  const std::string status = sim.command("status").answer;
  EXPECT_NE(status.find("card mode: writing master cards"), std::string::npos) << status;
  EXPECT_NE(status.find("master cards written: 1 of 1"), std::string::npos) << status;
}

TEST(ConsoleTest, RunsLinesAsTheyCompleteAndStopsOnQuitOrEndOfInput) {
  std::vector<std::string> ran;
  ReaderSim sim;
  Console console([&](const std::string& line) {
    ran.push_back(line);
    return sim.command(line);
  });
  EXPECT_TRUE(console.input("resu").empty());
  EXPECT_EQ(console.input("lt 14\r\nversion 1.2.3\nbogus"),
            (std::vector<std::string>{"next reply: result 14", "firmware version 1.2.3"}));
  EXPECT_FALSE(console.finished());
  EXPECT_EQ(console.endOfInput(), (std::vector<std::string>{"error: unknown command 'bogus' (type help)"}));
  EXPECT_TRUE(console.finished());
  EXPECT_TRUE(console.input("status\n").empty());

  Console quitting([&](const std::string& line) {
    ran.push_back(line);
    return sim.command(line);
  });
  ran.clear();
  EXPECT_EQ(quitting.input("quit\nstatus\n"), (std::vector<std::string>{"bye"}));
  EXPECT_TRUE(quitting.finished());
  EXPECT_TRUE(quitting.endOfInput().empty());
  EXPECT_EQ(ran, (std::vector<std::string>{"quit"}));

  // Answers of several lines come out line by line.
  Console help([&](const std::string& line) { return sim.command(line); });
  const auto lines = help.input("help\n");
  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ(lines.back(), "quit                       end the simulator");
}

}  // namespace
}  // namespace terva::sim
