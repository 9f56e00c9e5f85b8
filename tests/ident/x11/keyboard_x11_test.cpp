// Keystroke output typed into a real X window on a virtual X server (Xvfb):
// the window records the text its KeyPress events translate to, the way an
// ordinary application would.
// GoogleTest comes first: Xlib defines macros (None, Bool) that clash with it.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QThread>
// clang-format off
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
// clang-format on
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ident/keyboard.h"

extern char** environ;

namespace terva::ident {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string findOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// Runs a program to its end; its exit status, or -1 when it could not run.
int runProgram(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// An Xvfb process that picks a free display number itself (-displayfd).
class VirtualXServer {
 public:
  VirtualXServer(const std::string& binary, const std::vector<std::string>& extraArgs) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {binary,     "-displayfd", std::to_string(fds[1]), "-noreset",
                                     "-nolisten", "tcp",        "-screen",              "0",
                                     "320x240x24"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_ = fork();
    if (pid_ == 0) {
      fcntl(fds[1], F_SETFD, 0);  // the one descriptor Xvfb has to inherit
      const int devNull = open("/dev/null", O_RDWR);
      dup2(devNull, STDOUT_FILENO);
      dup2(devNull, STDERR_FILENO);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    if (pid_ > 0) display_ = readDisplayNumber(fds[0]);
    close(fds[0]);
  }
  ~VirtualXServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + 5s;
    while (waitpid(pid_, nullptr, WNOHANG) == 0) {
      if (Clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(5ms);
    }
  }
  VirtualXServer(const VirtualXServer&) = delete;
  VirtualXServer& operator=(const VirtualXServer&) = delete;

  // ":N", empty when the server did not come up.
  const std::string& display() const { return display_; }

 private:
  static std::string readDisplayNumber(int fd) {
    std::string number;
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      char c = 0;
      if (read(fd, &c, 1) != 1) return {};  // Xvfb exited without a display
      if (c == '\n') return number.empty() ? std::string{} : ":" + number;
      number += c;
    }
    return {};
  }

  pid_t pid_ = -1;
  std::string display_;
};

// The keyboard state that typing must leave as it found it.
struct KeyboardSnapshot {
  int group = 0;
  bool capsLock = false;
  std::vector<KeySym> mapping;  // the core keymap of every keycode

  bool operator==(const KeyboardSnapshot&) const = default;
};

class KeystrokeOutputX11 : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    xvfb_ = findOnPath("Xvfb");
    if (!xvfb_.empty()) server_ = std::make_unique<VirtualXServer>(xvfb_, std::vector<std::string>{});
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override {
    if (xvfb_.empty()) GTEST_SKIP() << "Xvfb is not installed (package xvfb): no X server to type into";
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
    const std::string display = server_->display();
    setenv("DISPLAY", display.c_str(), 1);

    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    ASSERT_TRUE(XSupportsLocale());
    XSetLocaleModifiers("@im=none");

    dpy_ = XOpenDisplay(display.c_str());
    ASSERT_NE(dpy_, nullptr);
    int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    ASSERT_TRUE(XkbQueryExtension(dpy_, &opcode, &xkbEventBase_, &error, &major, &minor));
    XkbSelectEvents(dpy_, XkbUseCoreKbd, XkbMapNotifyMask, XkbMapNotifyMask);

    ASSERT_NO_FATAL_FAILURE(useLayouts("us"));
    setKeyboardState(0, false);

    window_ = XCreateSimpleWindow(dpy_, DefaultRootWindow(dpy_), 0, 0, 200, 100, 0, 0, 0);
    XSelectInput(dpy_, window_, KeyPressMask | StructureNotifyMask);
    im_ = XOpenIM(dpy_, nullptr, nullptr, nullptr);
    ASSERT_NE(im_, nullptr);
    ic_ = XCreateIC(im_, XNInputStyle, XIMPreeditNothing | XIMStatusNothing, XNClientWindow,
                    window_, XNFocusWindow, window_, nullptr);
    ASSERT_NE(ic_, nullptr);
    XMapWindow(dpy_, window_);
    ASSERT_TRUE(pumpUntil([this] { return mapped_; }, 5s)) << "the window was not mapped";
    XSetInputFocus(dpy_, window_, RevertToParent, CurrentTime);
    XSetICFocus(ic_);
    drain();
    received_.clear();
    mappingChanges_ = 0;

    output_ = makeSystemKeystrokeOutput();
    ASSERT_TRUE(output_->available()) << output_->unavailableReason();
  }

  void TearDown() override {
    output_.reset();
    if (ic_ != nullptr) XDestroyIC(ic_);
    if (im_ != nullptr) XCloseIM(im_);
    if (dpy_ != nullptr) XCloseDisplay(dpy_);
  }

  void useLayouts(const std::string& layouts) {
    static const std::string setxkbmap = findOnPath("setxkbmap");
    ASSERT_FALSE(setxkbmap.empty()) << "setxkbmap is not installed (package x11-xkb-utils)";
    ASSERT_EQ(runProgram({setxkbmap, "-display", server_->display(), "-layout", layouts}), 0);
    XSync(dpy_, False);
  }

  void setKeyboardState(int group, bool capsLock) {
    XkbLockGroup(dpy_, XkbUseCoreKbd, group);
    XkbLockModifiers(dpy_, XkbUseCoreKbd, LockMask, capsLock ? LockMask : 0);
    XSync(dpy_, False);
  }

  KeyboardSnapshot snapshot() {
    KeyboardSnapshot s;
    XkbStateRec state{};
    XkbGetState(dpy_, XkbUseCoreKbd, &state);
    s.group = state.locked_group;
    s.capsLock = (state.locked_mods & LockMask) != 0;
    int minKey = 0, maxKey = 0, perKey = 0;
    XDisplayKeycodes(dpy_, &minKey, &maxKey);
    KeySym* syms = XGetKeyboardMapping(dpy_, static_cast<KeyCode>(minKey), maxKey - minKey + 1, &perKey);
    s.mapping.assign(syms, syms + (maxKey - minKey + 1) * perKey);
    XFree(syms);
    return s;
  }

  void handle(XEvent& ev) {
    if (XFilterEvent(&ev, None)) return;
    if (ev.type == MapNotify) {
      mapped_ = true;
    } else if (ev.type == KeyPress) {
      char buf[64];
      KeySym sym = NoSymbol;
      Status status = 0;
      const int n = Xutf8LookupString(ic_, &ev.xkey, buf, sizeof buf, &sym, &status);
      if (status == XLookupChars || status == XLookupBoth) received_.append(buf, n);
    } else if (ev.type == MappingNotify) {
      XRefreshKeyboardMapping(&ev.xmapping);
      ++mappingChanges_;
    } else if (ev.type == xkbEventBase_ &&
               reinterpret_cast<XkbEvent&>(ev).any.xkb_type == XkbMapNotify) {
      ++mappingChanges_;
    }
  }

  // Handles events as they come until `done` or the timeout; false on timeout.
  bool pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      while (!done() && XPending(dpy_) > 0) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        handle(ev);
      }
      if (done()) return true;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left <= 0ms) return false;
      pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(std::min<long>(left.count(), 50)));
    }
  }

  // Handles every event the server has sent up to now.
  void drain() {
    XSync(dpy_, False);
    pumpUntil([] { return false; }, 0ms);
  }

  // Types, collects the text in the window while it is typed (a spare
  // keycode is only mapped for a moment), then waits for the output to be
  // done and picks up anything typed beyond what was expected.
  std::string typeAndReceive(const std::u32string& text, bool enter, std::size_t expectedBytes) {
    output_->type(text, enter);
    pumpUntil([&] { return received_.size() >= expectedBytes; }, 5s);
    output_->flush();
    drain();
    return received_;
  }

  static inline std::string xvfb_;
  static inline std::unique_ptr<VirtualXServer> server_;

  Display* dpy_ = nullptr;
  int xkbEventBase_ = 0;
  Window window_ = 0;
  XIM im_ = nullptr;
  XIC ic_ = nullptr;
  bool mapped_ = false;
  std::string received_;
  int mappingChanges_ = 0;
  std::unique_ptr<KeystrokeOutput> output_;
};

struct TypingCase {
  const char* name;
  const char* layouts;  // setxkbmap -layout
  int group;            // the operator's active group
  bool capsLock;
  std::u32string text;
  bool enter;
  std::string expected;  // UTF-8, as the window translates it
  bool viaSpareKeycode;  // the keymap lacks a character: the mapping changes for a moment
};

void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.name; }

class TypesExactly : public KeystrokeOutputX11, public ::testing::WithParamInterface<TypingCase> {};

TEST_P(TypesExactly, TextArrivesAndKeyboardIsLeftAsFound) {
  const TypingCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(useLayouts(c.layouts));
  setKeyboardState(c.group, c.capsLock);
  drain();
  mappingChanges_ = 0;
  const KeyboardSnapshot before = snapshot();
  ASSERT_EQ(before.group, c.group);
  ASSERT_EQ(before.capsLock, c.capsLock);

  EXPECT_EQ(typeAndReceive(c.text, c.enter, c.expected.size()), c.expected);

  EXPECT_TRUE(snapshot() == before) << "group, Caps Lock or keymap not restored";
  if (c.viaSpareKeycode) {
    EXPECT_GT(mappingChanges_, 0);
  } else {
    EXPECT_EQ(mappingChanges_, 0) << "typed through a spare keycode although the keymap has the text";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypesExactly,
    ::testing::Values(
        TypingCase{"IdentifierTemplate", "us", 0, false,
                   U"UID = 026-11068 = 001A2B3C = 000000000001715004", false,
                   "UID = 026-11068 = 001A2B3C = 000000000001715004", false},
        TypingCase{"MixedCaseAndPunctuation", "us", 0, false, U"1a2b3c-=", false, "1a2b3c-=", false},
        TypingCase{"CapsLockOn", "us", 0, true, U"UID = 1a2B3c-=", false, "UID = 1a2B3c-=", false},
        TypingCase{"RussianGroupActive", "us,ru", 1, false, U"UID = 026-11068 = 001A2B3C", false,
                   "UID = 026-11068 = 001A2B3C", false},
        TypingCase{"RussianGroupAndCapsLock", "us,ru", 1, true, U"1a2b3c-=AbC", false,
                   "1a2b3c-=AbC", false},
        TypingCase{"CyrillicFromUsGroup", "us,ru", 0, false, U"Карта Ёж 15", false, "Карта Ёж 15",
                   false},
        TypingCase{"AltGrAndShiftLevelsOnGermanLayout", "de", 0, false, U"@€{_!Zy", false,
                   "@€{_!Zy", false},
        TypingCase{"EuroMissingFromKeymap", "us", 0, false, U"€5", false, "€5", true},
        TypingCase{"CyrillicMissingFromKeymap", "us", 0, true, U"жЖ1a", false, "жЖ1a", true},
        TypingCase{"ControlCharactersDroppedThenEnter", "us", 0, false,
                   U"12\t3\n4\r\x7f\x85\x9f" U"5\x1b", true, "12345\r", false},
        TypingCase{"EnterAlone", "us", 0, false, U"", true, "\r", false}),
    [](const ::testing::TestParamInfo<TypingCase>& p) { return std::string(p.param.name); });

TEST_F(KeystrokeOutputX11, RequestsAreTypedInOrderAndFlushWaitsForThem) {
  output_->type(U"abc", false);
  output_->type(U"DEF", false);
  output_->type(U"", true);
  output_->flush();
  drain();  // no waiting: flush() returned only once all keys were processed
  EXPECT_EQ(received_, "abcDEF\r");
}

TEST_F(KeystrokeOutputX11, DestroyingWhileTypingStopsAndRestoresKeyboard) {
  ASSERT_NO_FATAL_FAILURE(useLayouts("us,ru"));
  setKeyboardState(1, true);
  drain();
  const KeyboardSnapshot before = snapshot();

  // Latin letters in the Russian group, Caps Lock and a spare keycode in use.
  std::u32string text = U"ab€";
  for (int i = 0; i < 200; ++i) text += U"Zz";
  output_->type(text, true);
  ASSERT_TRUE(pumpUntil([this] { return received_.size() >= 8; }, 5s));

  const auto start = Clock::now();
  output_.reset();
  EXPECT_LT(Clock::now() - start, 1s);

  drain();
  EXPECT_LT(received_.size(), 100u);
  EXPECT_EQ(received_.substr(0, 5), "ab€");
  EXPECT_TRUE(snapshot() == before) << "group, Caps Lock or keymap not restored";
}

// Completions run through the event loop of the requesting thread.
QCoreApplication& application() {
  static int argc = 1;
  static char name[] = "keyboard_x11_test";
  static char* argv[] = {name, nullptr};
  static QCoreApplication app(argc, argv);
  return app;
}

TEST_F(KeystrokeOutputX11, CompletionComesBackOnTheRequestingThreadAfterTheKeys) {
  application();
  std::vector<std::string> seen;  // what the window had received at each completion
  QThread* ranOn = nullptr;
  output_->type(U"abc", false, [&] {
    drain();
    seen.push_back(received_);
    ranOn = QThread::currentThread();
  });
  output_->type(U"D", true, [&] {
    drain();
    seen.push_back(received_);
  });
  const auto deadline = Clock::now() + 5s;
  while (seen.size() < 2 && Clock::now() < deadline) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    pumpUntil([] { return false; }, 5ms);
  }
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].substr(0, 3), "abc");  // the next request may be typed by then too
  EXPECT_EQ(seen[1], "abcD\r");
  EXPECT_EQ(ranOn, QThread::currentThread());
}

TEST_F(KeystrokeOutputX11, StopEndsTypingAtOnceAndDropsTheRest) {
  application();
  ASSERT_NO_FATAL_FAILURE(useLayouts("us,ru"));
  setKeyboardState(1, true);
  drain();
  const KeyboardSnapshot before = snapshot();
  bool completed = false;
  std::u32string text = U"ab€";  // a spare keycode is held while typing it
  for (int i = 0; i < 200; ++i) text += U"Zz";
  output_->type(text, true, [&] { completed = true; });
  output_->type(U"later", true, [&] { completed = true; });
  ASSERT_TRUE(pumpUntil([this] { return received_.size() >= 4; }, 5s));

  const auto start = Clock::now();
  output_->stop();
  EXPECT_LT(Clock::now() - start, 150ms);

  for (int i = 0; i < 10; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  drain();
  EXPECT_FALSE(completed);
  EXPECT_LT(received_.size(), 100u);
  EXPECT_EQ(received_.find("later"), std::string::npos);
  EXPECT_TRUE(snapshot() == before) << "group, Caps Lock or keymap not restored";

  // Requests after stop() are typed as usual.
  received_.clear();
  EXPECT_EQ(typeAndReceive(U"ok", false, 2), "ok");
}

TEST_F(KeystrokeOutputX11, ClosingWhileIdleIsPrompt) {
  output_->type(U"1", false);
  output_->flush();
  const auto start = Clock::now();
  output_->stop();
  output_.reset();
  EXPECT_LT(Clock::now() - start, 50ms);
}

// Puts DISPLAY back as it was when the test is over.
class DisplayVariableGuard {
 public:
  DisplayVariableGuard() {
    if (const char* value = std::getenv("DISPLAY")) saved_ = value;
  }
  ~DisplayVariableGuard() {
    if (saved_) {
      setenv("DISPLAY", saved_->c_str(), 1);
    } else {
      unsetenv("DISPLAY");
    }
  }

 private:
  std::optional<std::string> saved_;
};

TEST(KeystrokeOutputX11Unavailable, WithoutDisplayNothingIsTyped) {
  DisplayVariableGuard guard;
  unsetenv("DISPLAY");

  auto output = makeSystemKeystrokeOutput();
  EXPECT_FALSE(output->available());
  EXPECT_NE(output->unavailableReason().find("DISPLAY"), std::string::npos)
      << output->unavailableReason();
  output->type(U"1A2B3C", true);
  output->flush();
}

TEST(KeystrokeOutputX11Unavailable, WithoutXTestNothingIsTyped) {
  const std::string xvfb = findOnPath("Xvfb");
  if (xvfb.empty()) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
  VirtualXServer server(xvfb, {"-extension", "XTEST"});
  ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
  DisplayVariableGuard guard;
  setenv("DISPLAY", server.display().c_str(), 1);

  auto output = makeSystemKeystrokeOutput();
  EXPECT_FALSE(output->available());
  EXPECT_NE(output->unavailableReason().find("XTest"), std::string::npos)
      << output->unavailableReason();
  output->type(U"1A2B3C", true);
  output->flush();
}

}  // namespace
}  // namespace terva::ident
