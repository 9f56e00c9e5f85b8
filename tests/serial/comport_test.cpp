// The serial port component against pseudo-terminals: the test holds the
// master side and plays the reader.

#include "serial/comport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace terva::serial {
namespace {

// One QCoreApplication for the whole test program (created only if no
// other test file made one).
class QtEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QCoreApplication::instance() == nullptr) {
      static int argc = 1;
      static char arg0[] = "terva_serial_tests";
      static char* argv[] = {arg0, nullptr};
      app_ = new QCoreApplication(argc, argv);
    }
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
  }

 private:
  QCoreApplication* app_ = nullptr;
};
[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

// Runs the event loop until cond holds or the timeout passes.
bool WaitUntil(const std::function<bool()>& cond, int timeoutMs = 3000) {
  if (cond()) return true;
  QEventLoop loop;
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, &loop, [&] {
    if (cond()) loop.quit();
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  check.start(5);
  loop.exec();
  return cond();
}

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// Runs the event loop for ms milliseconds with nothing to do and returns
// the CPU time this thread used meanwhile (near zero unless something spins).
double CpuMsWhileIdle(int ms) {
  const double start = ThreadCpuMs();
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
  return ThreadCpuMs() - start;
}

std::string AllByteValues() {
  std::string s;
  for (int i = 0; i < 256; ++i) s.push_back(static_cast<char>(i));
  return s;
}

// A pseudo-terminal; the port opens the slave, the test drives the master.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
      throw std::runtime_error("cannot create a pseudo-terminal");
    }
    slave_ = ptsname(master_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& SlavePath() const { return slave_; }
  int Master() const { return master_; }

  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

  void Send(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
      ASSERT_GT(n, 0) << "write to master failed: errno " << errno;
      done += static_cast<std::size_t>(n);
    }
  }

  // What the port sent: reads until want bytes arrived or the timeout passed.
  std::string Receive(std::size_t want, int timeoutMs = 2000) {
    std::string got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (got.size() < want && std::chrono::steady_clock::now() < deadline) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
        char buf[4096];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) got.append(buf, static_cast<std::size_t>(n));
      }
    }
    return got;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// Runs f and returns the EComPort it raised; fails the test if none.
EComPort Raised(const std::function<void()>& f) {
  try {
    f();
  } catch (const EComPort& e) {
    return e;
  }
  ADD_FAILURE() << "no EComPort raised";
  return EComPort(0, -1);
}

TEST(EComPortTest, MessageIsCodeTextWithErrnoWhenThereIsOne) {
  const struct {
    int code;
    int err;
    const char* message;
    int winCode;
  } cases[] = {
      {CE_OpenFailed, ENOENT, "Unable to open com port (Error: 2)", ENOENT},
      {CE_SetStateFailed, EINVAL, "SetCommState function failed (Error: 22)", EINVAL},
      {CEPortNotOpen, -1, "Port Not Open", -1},
      {CE_ReadFailed, 0, "ReadFile function failed", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const EComPort e(c.code, c.err);
    EXPECT_EQ(e.Code, c.code);
    EXPECT_EQ(e.WinCode, c.winCode);
    EXPECT_STREQ(e.what(), c.message);
  }
}

TEST(LineErrorsTest, EveryMovedCounterSetsItsBit) {
  const TLineErrorCounters base{5, 5, 5, 5, 5};
  const auto with = [&](auto field, std::uint32_t value) {
    TLineErrorCounters c = base;
    c.*field = value;
    return c;
  };
  const struct {
    const char* name;
    TLineErrorCounters after;
    bool parityCheck;
    TComErrors expected;
  } cases[] = {
      {"nothing moved", base, true, 0},
      {"frame", with(&TLineErrorCounters::Frame, 6), false, ceFrame},
      {"overrun", with(&TLineErrorCounters::Overrun, 9), false, ceOverrun},
      {"break", with(&TLineErrorCounters::Break, 6), false, ceBreak},
      {"buffer overrun", with(&TLineErrorCounters::BufferOverrun, 6), false, ceRxOver},
      {"parity, checked", with(&TLineErrorCounters::Parity, 6), true, ceRxParity},
      {"parity, not checked", with(&TLineErrorCounters::Parity, 6), false, 0},
      {"several at once", {6, 6, 5, 6, 5}, false, ceFrame | ceOverrun | ceBreak},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(LineErrorsFromCounters(base, c.after, c.parityCheck), c.expected);
  }
  // The kernel's counters wrap around.
  TLineErrorCounters nearWrap{};
  nearWrap.Frame = 0xFFFFFFFFu;
  EXPECT_EQ(LineErrorsFromCounters(nearWrap, TLineErrorCounters{}, false), ceFrame);
}

TEST(PortErrorKinds, SystemErrorsMapToWhatTheyMean) {
  const struct {
    int err;
    PortErrorKind kind;
  } cases[] = {
      {ENOENT, PortErrorKind::NotFound},       {ENODEV, PortErrorKind::NotFound},
      {ENXIO, PortErrorKind::NotFound},        {EBUSY, PortErrorKind::Busy},
      {EWOULDBLOCK, PortErrorKind::Busy},      {EACCES, PortErrorKind::PermissionDenied},
      {EPERM, PortErrorKind::PermissionDenied}, {EIO, PortErrorKind::DeviceGone},
      {EINVAL, PortErrorKind::Other},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.err);
    EXPECT_EQ(PortErrorKindFromSystem(c.err), c.kind);
    EXPECT_EQ(EComPort(CE_OpenFailed, c.err).Kind, c.kind);
  }
  EXPECT_EQ(EComPort(CEPortNotOpen, -1).Kind, PortErrorKind::None);
}

TEST(PortErrorKinds, AccessGroupIsTheGroupThatOwnsTheDevice) {
  char dir[] = "/tmp/terva_serial_XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string device = std::string(dir) + "/ttyACM0";
  close(open(device.c_str(), O_CREAT | O_WRONLY, 0660));
  const group* tty = getgrnam("tty");
  const bool owned = tty != nullptr && chown(device.c_str(), static_cast<uid_t>(-1), tty->gr_gid) == 0;
  const std::string found = DeviceAccessGroup(device);
  unlink(device.c_str());
  rmdir(dir);
  EXPECT_EQ(DeviceAccessGroup("/nonexistent/ttyUSB9"), "dialout");
  if (!owned) GTEST_SKIP() << "cannot give the file to group tty";
  EXPECT_EQ(found, "tty");
}

class ComPortTest : public ::testing::Test {
 protected:
  void SetUp() override { port.SetPort(pty.SlavePath()); }

  Pty pty;
  TComPort port;
};

TEST_F(ComPortTest, OpeningAMissingDeviceFailsAndLeavesThePortClosed) {
  bool afterOpenCalled = false;
  port.OnAfterOpen = [&](TCustomComPort*) { afterOpenCalled = true; };
  port.SetPort("/dev/terva-no-such-device");
  const EComPort e = Raised([&] { port.Open(); });
  EXPECT_EQ(e.Code, CE_OpenFailed);
  EXPECT_EQ(e.WinCode, ENOENT);
  EXPECT_STREQ(e.what(), "Unable to open com port (Error: 2)");
  EXPECT_FALSE(port.Connected());
  EXPECT_FALSE(afterOpenCalled);
}

TEST_F(ComPortTest, CallsOnAClosedPortRaisePortNotOpen) {
  const struct {
    const char* name;
    std::function<void()> call;
  } cases[] = {
      {"Read", [&] { char b[4]; port.Read(b, 4); }},
      {"ReadStr", [&] { std::string s; port.ReadStr(s, 4); }},
      {"WriteStr", [&] { port.WriteStr("x"); }},
      {"InputCount", [&] { port.InputCount(); }},
      {"ClearBuffer", [&] { port.ClearBuffer(true, true); }},
      {"LastErrors", [&] { port.LastErrors(); }},
      {"Probe", [&] { port.Probe(); }},
  };
  for (int round = 0; round < 2; ++round) {  // before any Open, and after Open + Close
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (round == 0 ? " never opened" : " after close"));
      const EComPort e = Raised(c.call);
      EXPECT_EQ(e.Code, CEPortNotOpen);
      EXPECT_EQ(e.WinCode, -1);
      EXPECT_STREQ(e.what(), "Port Not Open");
    }
    port.Open();
    port.Close();
    port.Close();  // closing twice is harmless
  }
}

TEST_F(ComPortTest, ASecondOpenerIsRefusedUntilTheFirstLetsGo) {
  port.Open();
  {
    TComPort second;
    second.SetPort(pty.SlavePath());
    const EComPort e = Raised([&] { second.Open(); });
    EXPECT_EQ(e.Code, CE_OpenFailed);
    EXPECT_EQ(e.WinCode, EBUSY);
    EXPECT_FALSE(second.Connected());

    port.Close();
    second.Open();
    EXPECT_TRUE(second.Connected());
  }  // destroying the open port closes it
  port.Open();
  EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortTest, OpenMakesTheLineRaw8N1AtTheChosenRate) {
  port.Open();
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.Master(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));
  EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | ICRNL), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_cc[VMIN], 0);
  EXPECT_EQ(tio.c_cc[VTIME], 0);

  port.SetBaudRate(br115200);  // applied at once on an open port
  ASSERT_EQ(tcgetattr(pty.Master(), &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B115200));
}

TEST_F(ComPortTest, RatesTheLineCannotTakeAreRefused) {
  port.Open();
  EComPort e = Raised([&] { port.SetBaudRate(br14400); });
  EXPECT_EQ(e.Code, CE_SetStateFailed);
  EXPECT_EQ(e.WinCode, EINVAL);
  port.Close();

  port.SetBaudRate(br56000);
  e = Raised([&] { port.Open(); });
  EXPECT_EQ(e.Code, CE_SetStateFailed);
  EXPECT_EQ(e.WinCode, EINVAL);
  EXPECT_FALSE(port.Connected());
  port.SetBaudRate(br9600);
  port.Open();  // the failed attempt left no lock behind
  EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortTest, OnAfterOpenRunsInsideOpenOnTheOpenPort) {
  int calls = 0;
  port.OnAfterOpen = [&](TCustomComPort* sender) {
    EXPECT_EQ(sender, &port);
    EXPECT_TRUE(sender->Connected());
    ++calls;
  };
  port.Open();
  EXPECT_EQ(calls, 1);
  port.Open();  // already open: nothing happens
  EXPECT_EQ(calls, 1);
}

TEST_F(ComPortTest, ReadReturnsAtOnceWithWhatIsWaiting) {
  port.Open();
  char buf[16];
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.Read(buf, sizeof buf), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

  pty.Send("abcde");
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 5; }));
  EXPECT_EQ(port.Read(buf, 2), 2);
  EXPECT_EQ(std::string(buf, 2), "ab");
  std::string rest;
  EXPECT_EQ(port.ReadStr(rest, 100), 3);
  EXPECT_EQ(rest, "cde");
  EXPECT_EQ(port.ReadStr(rest, 0), 0);
  EXPECT_EQ(rest, "");
}

TEST_F(ComPortTest, EveryByteValuePassesUnchangedBothWays) {
  port.Open();
  const std::string all = AllByteValues();

  pty.Send(all);
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 256; }));
  std::string got;
  ASSERT_EQ(port.ReadStr(got, 256), 256);
  EXPECT_EQ(got, all);
  EXPECT_EQ(static_cast<unsigned char>(got[0x23]), 35);
  EXPECT_EQ(static_cast<unsigned char>(got[0x00]), 0);
  EXPECT_EQ(static_cast<unsigned char>(got[0xFF]), 255);

  EXPECT_EQ(port.WriteStr(all), 256);
  EXPECT_EQ(pty.Receive(256), all);

  EXPECT_EQ(port.WriteStr(""), 0);
  EXPECT_EQ(pty.Receive(1, 100), "");
}

TEST_F(ComPortTest, OnRxCharGetsTheWaitingCountAndIsNeverReEntered) {
  std::string received;
  std::vector<int> counts;
  int depth = 0;
  int maxDepth = 0;
  port.OnRxChar = [&](TCustomComPort* sender, int count) {
    maxDepth = std::max(maxDepth, ++depth);
    counts.push_back(count);
    std::string chunk;
    EXPECT_EQ(sender->ReadStr(chunk, count), count);
    received += chunk;
    if (counts.size() == 1) {
      // More bytes arrive while this handler waits in a nested loop.
      pty.Send("world");
      WaitUntil([] { return false; }, 100);
    }
    --depth;
  };
  port.Open();
  pty.Send("hello");
  ASSERT_TRUE(WaitUntil([&] { return received == "helloworld"; })) << received;
  EXPECT_EQ(maxDepth, 1);
  ASSERT_GE(counts.size(), 2u);
  EXPECT_EQ(counts[0], 5);
}

TEST_F(ComPortTest, BytesLeftUnreadAreReportedAgainOnlyWhenMoreArrive) {
  std::vector<int> counts;
  port.OnRxChar = [&](TCustomComPort*, int count) { counts.push_back(count); };
  port.Open();
  pty.Send("ab");
  ASSERT_TRUE(WaitUntil([&] { return !counts.empty(); }));

  EXPECT_LT(CpuMsWhileIdle(400), 80.0);
  EXPECT_EQ(counts, std::vector<int>{2});

  pty.Send("c");
  ASSERT_TRUE(WaitUntil([&] { return counts.size() == 2; }));
  EXPECT_EQ(counts[1], 3);

  // Read later, the bytes come in the order they arrived, a piece at a time;
  // an input flush drops what is left.
  EXPECT_EQ(port.InputCount(), 3);
  std::string got;
  ASSERT_EQ(port.ReadStr(got, 2), 2);
  EXPECT_EQ(got, "ab");
  pty.Send("d");
  ASSERT_TRUE(WaitUntil([&] { return counts.size() == 3; }));
  EXPECT_EQ(counts[2], 2);
  ASSERT_EQ(port.ReadStr(got, 1), 1);
  EXPECT_EQ(got, "c");
  port.ClearBuffer(true, false);
  EXPECT_EQ(port.InputCount(), 0);
  EXPECT_EQ(port.ReadStr(got, 10), 0);
}

TEST_F(ComPortTest, HangUpIsReportedByProbeAndDoesNotSpin) {
  int notifications = 0;
  port.OnRxChar = [&](TCustomComPort*, int) { ++notifications; };
  port.OnError = [&](TCustomComPort*, TComErrors) { ++notifications; };
  port.Open();
  EXPECT_NO_THROW(port.Probe());
  EXPECT_EQ(port.LastErrors(), 0);  // pseudo-terminals keep no line error counters

  pty.CloseMaster();
  EXPECT_LT(CpuMsWhileIdle(400), 80.0);
  EXPECT_EQ(notifications, 0);

  EComPort e = Raised([&] { port.Probe(); });
  EXPECT_EQ(e.Code, CE_ReadFailed);
  EXPECT_EQ(e.WinCode, EIO);
  e = Raised([&] { port.WriteStr("x"); });
  EXPECT_EQ(e.Code, CE_WriteFailed);
  EXPECT_EQ(e.WinCode, EIO);

  EXPECT_TRUE(port.Connected());
  port.Close();
  EXPECT_FALSE(port.Connected());
}

TEST_F(ComPortTest, AHandlerThatRaisesStopsNotificationsUntilReopened) {
  int calls = 0;
  port.OnRxChar = [&](TCustomComPort*, int) {
    ++calls;
    throw std::runtime_error("handler failed");
  };
  port.Open();
  pty.Send("a");
  ASSERT_TRUE(WaitUntil([&] { return calls == 1; }));
  pty.Send("b");
  WaitUntil([&] { return calls > 1; }, 200);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(port.Connected());

  port.Close();
  port.Open();
  pty.Send("c");
  EXPECT_TRUE(WaitUntil([&] { return calls == 2; }));
}

TEST_F(ComPortTest, WriteStopsAtTheTimeLimitAndReportsWhatWentOut) {
  port.Timeouts().WriteTotalMultiplier = 0;
  port.Timeouts().WriteTotalConstant = 100;
  port.Open();
  const std::string big(1 << 20, 'x');  // far more than the pseudo-terminal buffers
  const auto start = std::chrono::steady_clock::now();
  const int written = port.WriteStr(big);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(big.size()));
  EXPECT_GE(elapsed, std::chrono::milliseconds(90));
  EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
}

TEST_F(ComPortTest, ClearBufferDiscardsWaitingInput) {
  port.Open();
  pty.Send("abc");
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 3; }));
  port.ClearBuffer(true, false);
  EXPECT_EQ(port.InputCount(), 0);
}

TEST_F(ComPortTest, ChangingThePortWhileOpenMovesToTheNewDevice) {
  Pty other;
  std::string received;
  port.OnRxChar = [&](TCustomComPort* sender, int count) {
    std::string chunk;
    sender->ReadStr(chunk, count);
    received += chunk;
  };
  port.Open();
  port.SetPort(other.SlavePath());
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.Port(), other.SlavePath());

  TComPort first;  // the old device is free again
  first.SetPort(pty.SlavePath());
  EXPECT_NO_THROW(first.Open());

  other.Send("new");
  EXPECT_TRUE(WaitUntil([&] { return received == "new"; }));
}

// A port whose line error check can be fed by the test.
class LineErrorPort : public TComPort {
 public:
  TComErrors inject = 0;

 protected:
  TComErrors PendingLineErrors() override { return std::exchange(inject, TComErrors{0}); }
};

TEST(ComPortNotificationTest, LineErrorsAreReportedBeforeReceivedBytes) {
  Pty pty;
  LineErrorPort port;
  port.SetPort(pty.SlavePath());
  std::vector<std::string> events;
  port.OnError = [&](TCustomComPort*, TComErrors errors) { events.push_back("error " + std::to_string(errors)); };
  port.OnRxChar = [&](TCustomComPort* sender, int count) {
    std::string s;
    sender->ReadStr(s, count);
    events.push_back("rx " + s);
  };
  port.Open();
  port.inject = ceFrame | ceBreak;
  pty.Send("xyz");
  ASSERT_TRUE(WaitUntil([&] { return events.size() >= 2; }));
  EXPECT_EQ(events, (std::vector<std::string>{"error 9", "rx xyz"}));
}

// What a receive handler does to its own port.
enum class Teardown { Close, CloseThenWait, DeleteLaterThenWait, DeleteNow };

class HandlerTeardownTest : public ::testing::TestWithParam<Teardown> {};

TEST_P(HandlerTeardownTest, TheHandlerMayEndThePortItIsCalledFor) {
  Pty pty;
  auto* port = new TComPort;
  QPointer<TComPort> alive(port);
  port->SetPort(pty.SlavePath());
  int calls = 0;
  port->OnRxChar = [&](TCustomComPort* sender, int) {
    ++calls;
    switch (GetParam()) {
      case Teardown::Close: sender->Close(); break;
      case Teardown::CloseThenWait:
        sender->Close();
        WaitUntil([] { return false; }, 50);
        break;
      case Teardown::DeleteLaterThenWait:
        sender->deleteLater();
        WaitUntil([] { return false; }, 50);
        break;
      case Teardown::DeleteNow: delete sender; break;
    }
  };
  port->Open();
  pty.Send("a");
  ASSERT_TRUE(WaitUntil([&] { return calls == 1; }));
  const bool deleted = GetParam() == Teardown::DeleteLaterThenWait || GetParam() == Teardown::DeleteNow;
  if (deleted) {
    EXPECT_TRUE(WaitUntil([&] { return alive.isNull(); }));
  } else {
    EXPECT_FALSE(port->Connected());
  }
  pty.Send("b");
  WaitUntil([&] { return calls > 1; }, 150);
  EXPECT_EQ(calls, 1);
  delete alive.data();
}

INSTANTIATE_TEST_SUITE_P(Ways, HandlerTeardownTest,
                         ::testing::Values(Teardown::Close, Teardown::CloseThenWait,
                                           Teardown::DeleteLaterThenWait, Teardown::DeleteNow),
                         [](const auto& p) {
                           switch (p.param) {
                             case Teardown::Close: return std::string("Close");
                             case Teardown::CloseThenWait: return std::string("CloseThenWait");
                             case Teardown::DeleteLaterThenWait: return std::string("DeleteLaterThenWait");
                             case Teardown::DeleteNow: return std::string("DeleteNow");
                           }
                           return std::string("Unknown");
                         });

}  // namespace
}  // namespace terva::serial
