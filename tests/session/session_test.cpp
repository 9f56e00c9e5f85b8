// The session and the connection controller against the simulated reader,
// through the real serial code on a pseudo-terminal.
#include "protocol/connection.h"
#include "protocol/session.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "protocol/hextext.h"
#include "protocol/messages.h"
#include "protocol/qt_clock.h"
#include "protocol/results.h"
#include "support/wait.h"
#include "sim/pty_reader.h"
#include "support/manual_clock.h"

using namespace terva;
using namespace std::chrono_literals;

namespace {

using terva::testing::waitUntil;

class RecordingPrompts : public Prompts {
 public:
  std::vector<std::string> shown;
  void error(const std::string& t) override { shown.push_back("error: " + t); }
  void message(const std::string& t) override { shown.push_back(t); }
  bool question(const std::string& t) override {
    shown.push_back("question: " + t);
    return true;
  }
};

struct SessionFixture : ::testing::Test {
  sim::PtyReader reader;
  terva::testing::ManualClock clock;
  ReaderSession session{clock};
  std::vector<IdMessage> ids;
  std::vector<Answer> frames;

  void SetUp() override {
    reader.start();
    QObject::connect(&session, &ReaderSession::identifierReceived, [this](const IdMessage& m) { ids.push_back(m); });
    QObject::connect(&session, &ReaderSession::frameReceived, [this](const Answer& a) { frames.push_back(a); });
    ASSERT_EQ(session.open(reader.slavePath()), std::nullopt);
  }
};

}  // namespace

TEST_F(SessionFixture, ReplyIdentifierAndBothInOneEvent) {
  EXPECT_EQ(session.SendToComPort("0501"), kResultOk);
  EXPECT_EQ(reader.framesFromHost(), std::vector<std::string>{"2305050124"});
  EXPECT_EQ(session.answer(), (Answer{0, 1, "0D0100"}));

  reader.command("card uid 1A2B3C");
  ASSERT_TRUE(waitUntil([&] { return ids.size() == 1; }));
  EXPECT_EQ(ids[0], (IdMessage{IdKind::Uid, "1A2B3C"}));
  EXPECT_EQ(session.answer().cmd, 255);  // an identifier is no reply

  // A reply and an identifier delivered in one receive event: the identifier
  // messages win, as they are looked for first after a whole result reply.
  ids.clear();
  frames.clear();
  reader.writeRaw(hexToBytes("230800010D0100245549443A2031320D0A"));
  ASSERT_TRUE(waitUntil([&] { return !ids.empty(); }));
  EXPECT_EQ(ids, (std::vector<IdMessage>{{IdKind::Uid, "12"}}));
  EXPECT_TRUE(frames.empty());
  EXPECT_EQ(session.answer().cmd, 255);
}

TEST_F(SessionFixture, WatchNoticesTheUnpluggedReaderOnItsTick) {
  std::vector<std::string> events;
  QObject::connect(&session, &ReaderSession::unplugging, [&] { events.push_back("unplugging"); });
  QObject::connect(&session, &ReaderSession::unplugged, [&] {
    events.push_back(session.connected() ? "unplugged, still open" : "unplugged");
  });
  reader.unplug();
  clock.advance(199ms);
  EXPECT_TRUE(events.empty());
  clock.advance(1ms);
  EXPECT_EQ(events, (std::vector<std::string>{"unplugging", "unplugged"}));
  EXPECT_EQ(clock.activeTimers(), 0u);
}

TEST_F(SessionFixture, ReplyLimitIsNeverCutShort) {
  reader.command("drop");
  QElapsedTimer t;
  t.start();
  EXPECT_EQ(session.SendToComPort("0501"), kResultNoReply);
  EXPECT_GE(t.elapsed(), 2000);
}

TEST(ConnectionControllerTest, AutoConnectTickWhileConnectedDoesNothingAndSilentReaderIsShown) {
  sim::PtyReader reader;
  reader.start();
  terva::testing::ManualClock clock;
  ReaderSession session(clock);
  RecordingPrompts prompts;
  ConnectionController c(session, prompts, clock, {}, reader.slavePath());
  c.FillDeviceList();
  ASSERT_EQ(c.selectedName(), reader.slavePath());

  c.connectLater(500ms);
  c.Connect();  // the operator was quicker
  ASSERT_TRUE(session.connected());
  clock.advance(1000ms);
  EXPECT_EQ(reader.framesFromHost(), std::vector<std::string>{"2305050124"});
  EXPECT_EQ(c.status(), "");
  EXPECT_TRUE(prompts.shown.empty());
  c.Disconnect();

  reader.command("drop");
  c.Connect();
  EXPECT_EQ(c.status(), kNoAnswerStatus);
  reader.command("card uid 01");
  ASSERT_TRUE(waitUntil([&] { return c.status().empty(); }));

  // Again, and a reply clears it as well.
  c.Disconnect();
  reader.command("drop");
  c.Connect();
  EXPECT_EQ(c.status(), kNoAnswerStatus);
  EXPECT_EQ(session.SendToComPort("0501"), kResultOk);
  EXPECT_EQ(c.status(), "");
}

TEST(ConnectionControllerTest, UnplugTellsTheOperatorAndRefillsTheList) {
  sim::PtyReader reader;
  reader.start();
  terva::testing::ManualClock clock;
  ReaderSession session(clock);
  RecordingPrompts prompts;
  std::vector<PortEntry> machine = {{"/dev/ttyACM0", "Reader"}, {"/dev/ttyACM0", ""}, {"/dev/ttyS0", ""}};
  ConnectionController c(session, prompts, clock, [&] { return machine; }, reader.slavePath());
  std::vector<bool> states;
  QObject::connect(&c, &ConnectionController::stateChanged, [&](bool on) { states.push_back(on); });
  c.FillDeviceList();
  EXPECT_EQ(c.ports().size(), 3u);  // the command-line port first, duplicates removed
  c.Connect();
  machine.clear();
  reader.unplug();
  clock.advance(200ms);
  EXPECT_EQ(states, (std::vector<bool>{true, false}));
  EXPECT_EQ(prompts.shown, std::vector<std::string>{"USB-считыватель отключен"});
  EXPECT_EQ(c.ports().size(), 1u);
}

TEST(ConnectionControllerTest, OpenFailureIsShownWithItsCause) {
  terva::testing::ManualClock clock;
  ReaderSession session(clock);
  RecordingPrompts prompts;
  ConnectionController c(session, prompts, clock, {}, "/dev/terva-no-such-port");
  c.FillDeviceList();
  c.Connect();
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].rfind("error: Ошибка открытия порта\nУстройство /dev/terva-no-such-port не найдено", 0), 0u)
      << prompts.shown[0];
  EXPECT_FALSE(session.connected());
  EXPECT_EQ(clock.activeTimers(), 0u);
}
