#include "sim/pty_reader.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <optional>
#include <set>

#include "protocol/hextext.h"

namespace terva::sim {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Reads until n bytes have arrived or the timeout passes; returns what came.
std::string readUpTo(int fd, std::size_t n, std::chrono::milliseconds timeout) {
  std::string out;
  const auto end = Clock::now() + timeout;
  while (out.size() < n) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char buf[256];
    const auto got = ::read(fd, buf, std::min(sizeof buf, n - out.size()));
    if (got <= 0) break;
    out.append(buf, static_cast<std::size_t>(got));
  }
  return out;
}

class PtyReaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (host >= 0) ::close(host);
  }
  void startAndOpen() {
    reader.start();
    host = ::open(reader.slavePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(host, 0) << reader.slavePath();
  }
  void send(std::string_view hex) {
    const std::string b = hexToBytes(hex);
    ASSERT_EQ(::write(host, b.data(), b.size()), static_cast<ssize_t>(b.size()));
  }
  std::string receive(std::size_t n, std::chrono::milliseconds timeout = 2000ms) {
    return bytesToHex(readUpTo(host, n, timeout));
  }

  // Traffic seen by the callbacks; declared before the reader so that it
  // outlives the reader's worker thread.
  std::mutex m;
  std::vector<std::string> frames;
  std::vector<std::pair<Clock::time_point, std::string>> written;
  PtyReader reader;
  int host = -1;
};

TEST_F(PtyReaderTest, RoundTripWithTrafficCallbacks) {
  reader.setOnFrameFromHost([this](const std::string& b) {
    std::lock_guard lk(m);
    frames.push_back(bytesToHex(b));
  });
  reader.setOnWrittenToHost([this](const std::string& b) {
    std::lock_guard lk(m);
    written.emplace_back(Clock::now(), bytesToHex(b));
  });
  startAndOpen();
  EXPECT_EQ(reader.slavePath().rfind("/dev/pts/", 0), 0u);

  send("11" "2305050124");  // a stray byte first
  EXPECT_EQ(receive(8), "230800010D010024");
  EXPECT_TRUE(reader.waitForFrame("2305050124", 1000ms));
  EXPECT_EQ(reader.receivedFromHost(), hexToBytes("112305050124"));
  EXPECT_TRUE(reader.waitForReceived([](const std::string& s) { return s.size() == 6; }, 1000ms));
  EXPECT_FALSE(reader.waitForReceived([](const std::string& s) { return s.size() > 6; }, 10ms));

  EXPECT_EQ(reader.command("card uid 1A2B3C"), "sent UID 1A2B3C");
  EXPECT_EQ(receive(13), "5549443A20" "314132423343" "0D0A");
  reader.writeRaw(hexToBytes("230800010D011324"));
  EXPECT_EQ(receive(8), "230800010D011324");

  ASSERT_TRUE(reader.waitIdle(1000ms));
  std::lock_guard lk(m);
  EXPECT_EQ(frames, (std::vector<std::string>{"2305050124"}));
  std::vector<std::string> writtenBytes;
  for (const auto& w : written) writtenBytes.push_back(w.second);
  EXPECT_EQ(writtenBytes, (std::vector<std::string>{"230800010D010024", "5549443A203141324233430D0A", "230800010D011324"}));
  EXPECT_EQ(reader.framesFromHost(), frames);
}

std::chrono::nanoseconds processCpuTime() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return std::chrono::seconds(ts.tv_sec) + std::chrono::nanoseconds(ts.tv_nsec);
}

// A host that closes the port must neither make the worker spin on a hang-up
// nor stop it answering when the port is opened again.
TEST_F(PtyReaderTest, HostMayCloseAndReopenThePort) {
  startAndOpen();
  send("2305030124");
  EXPECT_EQ(receive(8), "230800010D010024");
  ::close(host);
  const auto cpuBefore = processCpuTime();
  EXPECT_FALSE(reader.waitForReceived([](const std::string& s) { return s.size() > 5; }, 200ms));
  EXPECT_LT(processCpuTime() - cpuBefore, 100ms);
  host = ::open(reader.slavePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(host, 0);
  send("2305050124");
  EXPECT_EQ(receive(8), "230800010D010024");
}

TEST_F(PtyReaderTest, DelayedReplyDoesNotHoldBackOtherTraffic) {
  startAndOpen();
  ASSERT_EQ(reader.command("delay 300").rfind("next reply", 0), 0u);
  const auto sent = Clock::now();
  send("2305030124");
  ASSERT_TRUE(reader.waitForFrame("2305030124", 1000ms));
  reader.command("card mir 77");
  EXPECT_EQ(receive(9), bytesToHex("MIR: 77\r\n"));
  EXPECT_EQ(receive(8), "230800010D010024");
  EXPECT_GE(Clock::now() - sent, 290ms);
}

TEST_F(PtyReaderTest, SplitReplyGoesOutAsTwoWritesWithAPause) {
  reader.setOnWrittenToHost([this](const std::string& b) {
    std::lock_guard lk(m);
    written.emplace_back(Clock::now(), bytesToHex(b));
  });
  startAndOpen();
  reader.command("split");
  send("2305030124");
  EXPECT_EQ(receive(8), "230800010D010024");
  ASSERT_TRUE(reader.waitIdle(1000ms));
  std::lock_guard lk(m);
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0].second, "23080001");
  EXPECT_EQ(written[1].second, "0D010024");
  EXPECT_GE(written[1].first - written[0].first, 20ms);
}

TEST_F(PtyReaderTest, StalledPartialFrameIsGivenUp) {
  startAndOpen();
  send("230901");  // claims 9 bytes that never come
  send("2305050124");
  EXPECT_EQ(receive(8), "230800010D010024");
}

TEST_F(PtyReaderTest, UnplugHangsUpTheHostAndRefusesCommands) {
  startAndOpen();
  EXPECT_EQ(reader.command("unplug"), "unplugged");
  EXPECT_TRUE(reader.unplugged());

  pollfd p{host, POLLIN, 0};
  ASSERT_EQ(::poll(&p, 1, 1000), 1);
  EXPECT_TRUE(p.revents & POLLHUP);
  char c;
  const auto n = ::read(host, &c, 1);
  EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;

  EXPECT_EQ(reader.command("card uid 01").rfind("error: ", 0), 0u);
  reader.writeRaw("x");  // ignored
  reader.unplug();       // idempotent
  reader.stop();
}

TEST(PtyReaderLifecycleTest, CardsCannotBeSentUnlessRunning) {
  PtyReader reader;
  EXPECT_EQ(reader.command("card uid 01"), "error: the reader is not running");
  EXPECT_EQ(reader.command("delay 10"), "next reply: 10 ms late");  // settings are fine
  reader.start();
  EXPECT_THROW(reader.start(), std::logic_error);
  reader.stop();
  EXPECT_EQ(reader.command("raw 00"), "error: the reader is not running");
}

TEST_F(PtyReaderTest, StopIsPromptWithADelayedReplyPending) {
  startAndOpen();
  reader.command("delay 60000");
  send("2305030124");
  ASSERT_TRUE(reader.waitForFrame("2305030124", 1000ms));
  const auto t0 = Clock::now();
  reader.stop();
  EXPECT_LT(Clock::now() - t0, 1000ms);
  EXPECT_TRUE(reader.waitIdle(0ms));
}

// A master-card run as the program makes it: the bytes the reader received and
// the replies it sent, through the real tty layer.
TEST_F(PtyReaderTest, MasterCardsWrittenAndReadBack) {
  const std::string record = "02021000" "0303000040" "060101" "040100" "050100" "0C081F04E00700F800FC";
  startAndOpen();
  const std::vector<std::string> hostFrames = {
      "2324" "0102" + record + "110100" "24", "2309" "0201010200" "02" "24", "2305050124", "2305070124"};
  const std::string ok = "230800010D010024";

  send(hostFrames[0]);
  EXPECT_EQ(receive(8), ok);
  send(hostFrames[1]);
  EXPECT_EQ(receive(8), ok);
  ASSERT_TRUE(reader.waitForFrame(hostFrames[1], 1000ms));  // the reply went out after the frame was taken
  EXPECT_EQ(reader.cardMode(), CardMode::WriteMasters);
  EXPECT_TRUE(reader.execute("present blank").ok);
  EXPECT_EQ(receive(8), ok);
  EXPECT_TRUE(reader.execute("present blank classic").ok);  // mode 1 with Mifare Plus ticked
  EXPECT_EQ(receive(8), "230800010D011724");
  EXPECT_TRUE(reader.execute("present blank").ok);
  EXPECT_EQ(receive(8), ok);
  send(hostFrames[2]);
  EXPECT_EQ(receive(8), ok);
  send(hostFrames[3]);
  EXPECT_EQ(receive(8), ok);
  ASSERT_TRUE(reader.waitForFrame(hostFrames[3], 1000ms));
  reader.command("present 3");

  const auto cards = reader.cards();
  ASSERT_EQ(cards.size(), 3u);
  EXPECT_EQ(cards[1].kind, CardKind::Blank);
  const std::string configFrame = "2329" "0103" "01020102" + record +
                                  ReaderSim::checksumItem(record, cards[2].objectCode) + "24";
  EXPECT_EQ(receive(41), configFrame);

  EXPECT_EQ(reader.framesFromHost(), hostFrames);
  ASSERT_TRUE(reader.waitIdle(1000ms));
  EXPECT_EQ(bytesToHex(reader.sentToHost()), ok + ok + ok + "230800010D011724" + ok + ok + ok + configFrame);
  send(hostFrames[2]);
  EXPECT_TRUE(reader.waitForFrame(hostFrames[2], 1000ms, 2));
  EXPECT_TRUE(reader.waitForSent([](const std::string& s) { return s.size() == 8 * 8 + 41; }, 1000ms));
}

// A card presented to a reader that is not running or unplugged changes nothing.
TEST_F(PtyReaderTest, CardsNeedARunningReaderButQuitAlwaysWorks) {
  EXPECT_EQ(reader.command("present blank"), "error: the reader is not running");
  startAndOpen();
  EXPECT_TRUE(reader.execute("present blank").ok);
  const std::string message = "UID: " + reader.cards()[0].uid + "\r\n";
  EXPECT_EQ(reader.cards()[0].uid.size(), 14u);  // seven bytes, as Mifare cards have
  EXPECT_EQ(receive(message.size()), bytesToHex(message));
  reader.command("unplug");
  for (const char* line : {"present blank", "present 1", "card uid 01", "raw 00"}) {
    const auto r = reader.execute(line);
    EXPECT_FALSE(r.ok) << line;
    EXPECT_EQ(r.answer, "error: the reader is unplugged");
  }
  EXPECT_EQ(reader.cards().size(), 1u);
  EXPECT_TRUE(reader.execute("status").ok);
  EXPECT_TRUE(reader.execute("result 3").ok);
  EXPECT_EQ(reader.execute("quit").action, Action::Quit);
}

// ---- the terva-reader-sim executable ----

struct Child {
  pid_t pid = -1;
  int in = -1;   // its stdin
  int out = -1;  // its stdout
  std::string buffered;

  ~Child() {
    if (in >= 0) ::close(in);
    if (out >= 0) ::close(out);
    if (pid > 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  bool spawn(const std::string& exe, const char* arg = nullptr) {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) return false;
    pid = ::fork();
    if (pid == 0) {
      ::dup2(toChild[0], 0);
      ::dup2(fromChild[1], 1);
      const int devNull = ::open("/dev/null", O_WRONLY);
      if (devNull >= 0) ::dup2(devNull, 2);  // keep usage errors out of the test log
      ::execl(exe.c_str(), exe.c_str(), arg, static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    in = toChild[1];
    out = fromChild[0];
    return pid > 0;
  }

  // Next line of its stdout, or nullopt on timeout or end of output.
  std::optional<std::string> line(std::chrono::milliseconds timeout = 3000ms) {
    const auto end = Clock::now() + timeout;
    for (;;) {
      const auto nl = buffered.find('\n');
      if (nl != std::string::npos) {
        std::string l = buffered.substr(0, nl);
        buffered.erase(0, nl + 1);
        return l;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
      pollfd p{out, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return std::nullopt;
      char buf[512];
      const auto n = ::read(out, buf, sizeof buf);
      if (n <= 0) return std::nullopt;
      buffered.append(buf, static_cast<std::size_t>(n));
    }
  }

  // Collects lines until all of `want` have been seen (in any order).
  bool expectLines(std::set<std::string> want) {
    while (!want.empty()) {
      const auto l = line();
      if (!l) return false;
      want.erase(*l);
    }
    return true;
  }

  void type(const std::string& text) { ASSERT_EQ(::write(in, text.data(), text.size()), static_cast<ssize_t>(text.size())); }

  // Waits for it to end and returns its exit status: -1 for not a normal
  // exit, -2 when it is still running after a few seconds.
  int exitCode() {
    while (line()) {
    }
    const auto end = Clock::now() + 3000ms;
    int status = 0;
    pid_t got = 0;
    while ((got = ::waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < end) {
      pollfd p{out, POLLIN, 0};
      ::poll(&p, 1, 20);  // a short pause without sleeping the whole wait
    }
    if (got != pid) return -2;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

std::string simExecutable() {
  // Built into the same folder as this test binary.
  return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "terva-reader-sim").string();
}

// However it is asked to stop, it stops, also once the reader is unplugged
// (then every command used to be refused, quit included).
TEST(ReaderSimExecutableTest, ServesAndStopsOnQuitEndOfInputOrSignal) {
  const std::string exe = simExecutable();
  if (!std::filesystem::exists(exe)) GTEST_SKIP() << "terva-reader-sim is not built";
  enum class Stop { Signal, Quit, EndOfInput };
  struct Case {
    const char* name;
    Stop stop;
    int signal;
    bool unplugFirst;
  } cases[] = {
      {"SIGTERM", Stop::Signal, SIGTERM, false},
      {"SIGINT", Stop::Signal, SIGINT, false},
      {"quit", Stop::Quit, 0, false},
      {"end of input", Stop::EndOfInput, 0, false},
      {"quit after unplug", Stop::Quit, 0, true},
      {"end of input after unplug", Stop::EndOfInput, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Child child;
    ASSERT_TRUE(child.spawn(exe));
    const auto path = child.line();
    ASSERT_TRUE(path.has_value());
    ASSERT_EQ(path->rfind("/dev/pts/", 0), 0u) << *path;

    child.type("card uid 01\nbogus\n");
    EXPECT_TRUE(child.expectLines({"sent UID 01", "> 55 49 44 3A 20 30 31 0D 0A", "error: unknown command 'bogus' (type help)"}));

    const int host = ::open(path->c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(host, 0);
    readUpTo(host, 9, 1000ms);  // the card message
    ASSERT_EQ(::write(host, "\x23\x05\x05\x01\x24", 5), 5);
    EXPECT_EQ(bytesToHex(readUpTo(host, 8, 2000ms)), "230800010D010024");
    EXPECT_TRUE(child.expectLines({"< 23 05 05 01 24", "> 23 08 00 01 0D 01 00 24"}));
    ::close(host);

    if (c.unplugFirst) {
      child.type("unplug\ncard uid 02\n");
      EXPECT_TRUE(child.expectLines({"unplugged", "error: the reader is unplugged"}));
    }
    switch (c.stop) {
      case Stop::Signal: ::kill(child.pid, c.signal); break;
      case Stop::Quit: child.type("quit\n"); break;
      case Stop::EndOfInput:
        child.type("status");  // an unterminated last line still runs
        ::close(child.in);
        child.in = -1;
        EXPECT_TRUE(child.expectLines({"card mode: card reading"}));
        break;
    }
    EXPECT_EQ(child.exitCode(), 0);
  }
}

TEST(ReaderSimExecutableTest, HelpAndBadOptions) {
  const std::string exe = simExecutable();
  if (!std::filesystem::exists(exe)) GTEST_SKIP() << "terva-reader-sim is not built";
  Child help;
  ASSERT_TRUE(help.spawn(exe, "--help"));
  const auto first = help.line();
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->rfind("usage: terva-reader-sim", 0), 0u);
  EXPECT_EQ(help.exitCode(), 0);

  Child bad;
  ASSERT_TRUE(bad.spawn(exe, "--bogus"));
  EXPECT_EQ(bad.exitCode(), 2);
}

}  // namespace
}  // namespace terva::sim
