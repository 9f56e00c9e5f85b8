// Benchmarks against the simulated reader over pseudo-terminals. Prints a
// table for people and then one "name = value" line per figure.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ui/services.h"
#include "app/ui/program.h"
#include "app/ui/tform1.h"
#include "ident/ui/reading_page.h"
#include "protocol/qt_clock.h"
#include "ident/keyboard.h"
#include "big_template.h"
#include "ident/render.h"
#include "protocol/dispatch.h"
#include "protocol/hextext.h"
#include "protocol/session.h"
#include "sim/pty_reader.h"

extern char** environ;

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

double micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  const std::size_t i = std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

// The slave side of a pseudo-terminal opened with plain blocking calls.
int openBlocking(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  if (fd < 0) throw std::runtime_error("cannot open " + path);
  termios t{};
  tcgetattr(fd, &t);
  cfmakeraw(&t);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &t);
  return fd;
}

void readExactly(int fd, std::size_t n) {
  char buf[256];
  std::size_t got = 0;
  while (got < n) {
    const ssize_t r = ::read(fd, buf, std::min(sizeof buf, n - got));
    if (r <= 0) throw std::runtime_error("read failed");
    got += static_cast<std::size_t>(r);
  }
}

class NullPrompts : public terva::Prompts {
 public:
  void error(const std::string&) override {}
  void message(const std::string&) override {}
  bool question(const std::string&) override { return true; }
};

void runEventLoopFor(std::chrono::milliseconds d) {
  QEventLoop loop;
  QTimer::singleShot(d, &loop, &QEventLoop::quit);
  loop.exec();
}

double processCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}


double millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One receive event's worth of identifier messages: 315 distinct "UID: ...\r\n"
// messages, 4095 bytes, the last one "UID: FFFFFF\r\n".
std::string identifierBurst(int& messages) {
  std::string bytes;
  messages = 0;
  char line[32];
  while (bytes.size() + 13 <= 4096) {
    const unsigned id = bytes.size() + 26 > 4096 ? 0xFFFFFFu : 0x100000u + static_cast<unsigned>(messages);
    std::snprintf(line, sizeof line, "UID: %06X\r\n", id);
    bytes += line;
    ++messages;
  }
  return bytes;
}

struct ChildRun {
  double wallMs = 0;
  long maxRssKiB = 0;
  int status = 0;
};

// Starts the executable with its output thrown away and waits for its end.
// Linux keeps a process's peak RSS across exec, counting the memory of the
// process that exec'd: the launcher below, small and forked before anything
// else, does the starting, so the figure is the child's own.
ChildRun runChildHere(const std::vector<std::string>& args) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string v(*e);
    if (v.rfind("QT_QPA_PLATFORM=", 0) == 0 || v.rfind("TERVA_QUIT_AFTER_SHOW=", 0) == 0) continue;
    env.push_back(v);
  }
  env.emplace_back("QT_QPA_PLATFORM=offscreen");
  env.emplace_back("TERVA_QUIT_AFTER_SHOW=1");
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> argStore(args);
  std::vector<char*> argv;
  for (auto& a : argStore) argv.push_back(a.data());
  argv.push_back(nullptr);

  ChildRun run;
  const auto t0 = Clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::dup2(null, 2);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  if (pid < 0) {
    run.status = -1;
    return run;
  }
  rusage usage{};
  if (::wait4(pid, &run.status, 0, &usage) != pid) run.status = -1;
  run.wallMs = millis(Clock::now() - t0);
  run.maxRssKiB = usage.ru_maxrss;
  return run;
}

// The launcher: a child process reading one request a line (arguments split by
// tabs) and answering "wall-ms max-rss-KiB status" a line.
class Launcher {
 public:
  void start() {
    int toChild[2], fromChild[2];
    if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      ::close(toChild[1]);
      ::close(fromChild[0]);
      FILE* in = ::fdopen(toChild[0], "r");
      FILE* out = ::fdopen(fromChild[1], "w");
      char line[4096];
      while (std::fgets(line, sizeof line, in) != nullptr) {
        std::vector<std::string> args(1);
        for (const char* c = line; *c != '\0' && *c != '\n'; ++c) {
          if (*c == '\t') {
            args.emplace_back();
          } else {
            args.back() += *c;
          }
        }
        const ChildRun r = runChildHere(args);
        std::fprintf(out, "%.3f %ld %d\n", r.wallMs, r.maxRssKiB, r.status);
        std::fflush(out);
      }
      ::_exit(0);
    }
    ::close(toChild[0]);
    ::close(fromChild[1]);
    to_ = ::fdopen(toChild[1], "w");
    from_ = ::fdopen(fromChild[0], "r");
  }

  ChildRun run(const std::vector<std::string>& args) {
    std::string line;
    for (const auto& a : args) line += (line.empty() ? "" : "\t") + a;
    std::fprintf(to_, "%s\n", line.c_str());
    std::fflush(to_);
    ChildRun r;
    if (std::fscanf(from_, "%lf %ld %d", &r.wallMs, &r.maxRssKiB, &r.status) != 3) {
      throw std::runtime_error("the launcher did not answer");
    }
    if (!WIFEXITED(r.status) || WEXITSTATUS(r.status) != 0) throw std::runtime_error(args[0] + " did not exit cleanly");
    return r;
  }

  ~Launcher() {
    if (to_ != nullptr) std::fclose(to_);
    if (from_ != nullptr) std::fclose(from_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_ = -1;
  FILE* to_ = nullptr;
  FILE* from_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  Launcher launcher;
  launcher.start();
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int exchanges = 300;
  const int cards = 1000;
  const int kWarmUp = 50;

  // Floors, each on a simulated reader of its own with plain blocking calls:
  // a round trip (frame out, result reply back), and an identifier (from
  // asking the reader for a card until a blocking read has the whole
  // message; the program is timed the same way).
  terva::sim::PtyReader floorRttReader, floorIdReader;
  floorRttReader.start();
  floorIdReader.start();
  const int floorRttFd = openBlocking(floorRttReader.slavePath());
  const int floorIdFd = openBlocking(floorIdReader.slavePath());
  const std::string frame("\x23\x05\x05\x01\x24", 5);
  const auto floorRoundTrip = [&] {
    const auto t0 = Clock::now();
    if (::write(floorRttFd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) {
      std::fprintf(stderr, "the floor's write failed\n");
      std::exit(1);
    }
    readExactly(floorRttFd, 8);
    return micros(Clock::now() - t0);
  };
  const auto floorIdentifier = [&] {
    const auto t0 = Clock::now();
    floorIdReader.command("card uid 1A2B3C");
    readExactly(floorIdFd, 13);
    return micros(Clock::now() - t0);
  };

  // The program: the main window connected to the simulated reader.
  QTemporaryDir dir;
  NullPrompts prompts;
  terva::sim::PtyReader reader;
  reader.start();
  terva::QtClock clock;
  terva::app::ProgramServices s;
  s.clock = &clock;
  s.prompts = &prompts;
  s.settingsFile = dir.filePath("settings.ini").toStdString();
  s.commandLinePort = reader.slavePath();
  terva::app::Program program(std::move(s));
  terva::app::TForm1& form = program.window();
  form.show();
  program.connection().Connect();
  if (!program.session().connected()) {
    std::fprintf(stderr, "could not connect to the simulated reader\n");
    return 1;
  }
  const auto programRoundTrip = [&] {
    const auto t0 = Clock::now();
    const auto result = program.session().SendToComPort("0501");
    const double us = micros(Clock::now() - t0);
    if (result != 0) {
      std::fprintf(stderr, "an exchange failed with %d\n", result);
      std::exit(1);
    }
    return us;
  };
  Clock::rep shownAt = 0;
  int shown = 0;
  QObject::connect(&program.readingPage(), &terva::ident::ReadingPage::identifierShown, [&] {
    shownAt = Clock::now().time_since_epoch().count();
    ++shown;
  });
  const auto programIdentifier = [&] {
    // Cards come seconds apart: the window has repainted the last one before
    // the next is presented.
    QCoreApplication::processEvents();
    const int before = shown;
    const auto t0 = Clock::now().time_since_epoch().count();
    reader.command("card uid 1A2B3C");
    QElapsedTimer guard;
    guard.start();
    while (shown == before && guard.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (shown == before) {
      std::fprintf(stderr, "a card was not shown\n");
      std::exit(1);
    }
    return micros(Clock::duration(shownAt - t0));
  };

  // Floor and program take turns in small blocks, so that a slow spell of
  // the machine falls on both alike.
  std::vector<double> floorRtt, rtt, floorId, idLatency;
  for (int i = 0; i < kWarmUp; ++i) {
    floorRoundTrip();
    programRoundTrip();
  }
  const int kBlocks = 10;
  for (int b = 0; b < kBlocks; ++b) {
    for (int i = 0; i < exchanges / kBlocks; ++i) floorRtt.push_back(floorRoundTrip());
    for (int i = 0; i < exchanges / kBlocks; ++i) rtt.push_back(programRoundTrip());
    for (int i = 0; i < cards / kBlocks; ++i) floorId.push_back(floorIdentifier());
    for (int i = 0; i < cards / kBlocks; ++i) idLatency.push_back(programIdentifier());
  }
  ::close(floorRttFd);
  ::close(floorIdFd);

  // A burst: one receive event of 315 identifier messages, from the write on
  // the reader's side until the last of them is on the label.
  int burstMessages = 0;
  const std::string burst = identifierBurst(burstMessages);
  const int kBursts = 100;
  std::vector<double> burstMs, burstInProgramMs;
  int burstEventsMax = 0;
  {
    int shownInBurst = 0;
    int events = 0;
    Clock::time_point lastShownAt, firstEventAt;
    const QString lastText = QString::fromStdString(terva::ident::renderDecimal("FFFFFF"));
    bool lastSeen = false;
    QObject listener;  // its end takes the connections below with it
    QObject::connect(&program.readingPage(), &terva::ident::ReadingPage::identifierShown, &listener,
                               [&](const QString& text) {
                                 lastShownAt = Clock::now();
                                 ++shownInBurst;
                                 if (text == lastText) lastSeen = true;
                               });
    QObject::connect(&program.session(), &terva::ReaderSession::bytesReceived, &listener, [&] {
      if (events++ == 0) firstEventAt = Clock::now();
    });
    for (int i = -3; i < kBursts; ++i) {
      shownInBurst = 0;
      events = 0;
      lastSeen = false;
      const auto t0 = Clock::now();
      reader.writeRaw(burst);
      QElapsedTimer guard;
      guard.start();
      while (!(lastSeen && shownInBurst >= burstMessages) && guard.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      }
      if (!lastSeen) {
        std::fprintf(stderr, "burst %d: the last identifier was not shown (%d shown)\n", i, shownInBurst);
        return 1;
      }
      if (i >= 0) {
        burstMs.push_back(millis(lastShownAt - t0));
        burstInProgramMs.push_back(millis(lastShownAt - firstEventAt));
        burstEventsMax = std::max(burstEventsMax, events);
      }
      runEventLoopFor(20ms);  // let the repaint of the label happen between bursts
    }
  }
  std::vector<double> burstFloorMs;
  for (int i = -20; i < 400; ++i) {
    const auto t0 = Clock::now();
    const terva::RxEvent ev = terva::classifyReceiveEvent(burst, terva::bytesToHex(burst));
    if (i >= 0) burstFloorMs.push_back(millis(Clock::now() - t0));
    if (ev.identifiers.size() != static_cast<std::size_t>(burstMessages)) {
      std::fprintf(stderr, "the burst classifies as %zu identifiers\n", ev.identifiers.size());
      return 1;
    }
  }

  // A 32 Ki-character template with distinct conversions, beside copying it.
  const std::string tmpl = terva::bench::bigTemplate();
  std::vector<double> templateMs, templateFloorMs;
  {
    const auto start = Clock::now();
    for (int i = 0; i < 30 && (i < 3 || Clock::now() - start < 5s); ++i) {
      const auto t0 = Clock::now();
      const std::string out = terva::ident::cstuid("1A2B3C4D5E6F7081", tmpl);
      templateMs.push_back(millis(Clock::now() - t0));
      if (out == terva::ident::kTemplateError) {
        std::fprintf(stderr, "the big template renders as an error\n");
        return 1;
      }
    }
    volatile std::size_t sink = 0;
    for (int i = -20; i < 400; ++i) {
      const auto t0 = Clock::now();
      const std::string copy(tmpl);
      sink = sink + copy.size();
      if (i >= 0) templateFloorMs.push_back(millis(Clock::now() - t0));
    }
  }

  // Idle: connected, nothing happening, for 10 s.
  const double cpu0 = processCpuSeconds();
  const auto wall0 = Clock::now();
  runEventLoopFor(10s);
  const double idleCpu = (processCpuSeconds() - cpu0) / std::chrono::duration<double>(Clock::now() - wall0).count() * 100.0;
  // Close: from the window's close to the settings file written, on the
  // connected program; then a few more programs made only to be closed.
  std::vector<double> closeMs;
  {
    const auto t0 = Clock::now();
    form.close();
    closeMs.push_back(millis(Clock::now() - t0));
  }
  for (int i = 0; i < 10; ++i) {
    terva::app::ProgramServices cs;
    cs.clock = &clock;
    cs.prompts = &prompts;
    cs.settingsFile = dir.filePath("settings.ini").toStdString();
    cs.commandLinePort = reader.slavePath();
    terva::app::Program p(std::move(cs));
    p.window().show();
    QCoreApplication::processEvents();
    p.connection().Connect();
    if (!p.session().connected()) {
      std::fprintf(stderr, "could not connect to the simulated reader for the close\n");
      return 1;
    }
    // A changed option, so that every close writes the file (the last one
    // leaves it as the first program found it).
    p.readingPage().setDelivery({i % 2 == 0, false, false});
    const auto t0 = Clock::now();
    p.window().close();
    closeMs.push_back(millis(Clock::now() - t0));
    if (p.session().connected()) {
      std::fprintf(stderr, "the close left the port open\n");
      return 1;
    }
  }

  // Start-up: the program and a bare window with three tabs, each quitting once
  // its window is shown, alternating. The program reads the settings file the
  // closes above wrote.
  const std::string binDir = QCoreApplication::applicationDirPath().toStdString();
  const std::string programExe = binDir + "/terva-rfid", bareExe = binDir + "/terva-bench-bare";
  const std::vector<std::string> programArgs{programExe, "--settings", dir.filePath("settings.ini").toStdString()};
  const std::vector<std::string> bareArgs{bareExe};
  const int kPairs = 21;
  std::vector<double> programStart, bareStart, programRss, bareRss;
  try {
    launcher.run(programArgs);  // warm the page cache
    launcher.run(bareArgs);
    for (int i = 0; i < kPairs; ++i) {
      const ChildRun a = launcher.run(programArgs);
      const ChildRun b = launcher.run(bareArgs);
      programStart.push_back(a.wallMs);
      bareStart.push_back(b.wallMs);
      programRss.push_back(static_cast<double>(a.maxRssKiB));
      bareRss.push_back(static_cast<double>(b.maxRssKiB));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "start-up: %s\n", e.what());
    return 1;
  }

  const double rttMedian = percentile(rtt, 0.5), rttFloor = percentile(floorRtt, 0.5);
  const double idMedian = percentile(idLatency, 0.5), idP99 = percentile(idLatency, 0.99);
  const double idFloor = percentile(floorId, 0.5), idFloorP99 = percentile(floorId, 0.99);

  std::printf("%-44s %12s %12s %8s\n", "figure", "program", "floor", "ratio");
  std::printf("%-44s %12.1f %12.1f %8.2f\n", "round trip SendToComPort(\"0501\"), median us", rttMedian, rttFloor,
              rttMedian / rttFloor);
  std::printf("%-44s %12.1f %12.1f %8.2f\n", "identifier to Label32, median us", idMedian, idFloor, idMedian / idFloor);
  std::printf("%-44s %12.1f %12.1f %8.2f\n", "identifier to Label32, p99 us", idP99, idFloorP99, idP99 / idFloorP99);
  const double burstMedian = percentile(burstMs, 0.5), burstFloor = percentile(burstFloorMs, 0.5);
  const double burstInProgram = percentile(burstInProgramMs, 0.5);
  const double templMedian = percentile(templateMs, 0.5), templFloor = percentile(templateFloorMs, 0.5);
  const double closeMedian = percentile(closeMs, 0.5);
  const double progStartMedian = percentile(programStart, 0.5), bareStartMedian = percentile(bareStart, 0.5);
  const double progRssMedian = percentile(programRss, 0.5), bareRssMedian = percentile(bareRss, 0.5);
  std::printf("%-44s %12.3f %12s %8s\n", "idle CPU while connected, % of one core", idleCpu, "-", "-");
  std::printf("%-44s %12.3f %12.3f %8.2f\n", "4 KiB burst (315 ids) to last shown, ms", burstMedian, burstFloor,
              burstMedian / burstFloor);
  std::printf("%-44s %12.3f %12.3f %8.2f\n", "  of which first receive event to last shown", burstInProgram,
              burstFloor, burstInProgram / burstFloor);
  std::printf("%-44s %12.3f %12.3f %8.2f\n", "32 Ki-char template rendered, median ms", templMedian, templFloor,
              templMedian / templFloor);
  std::printf("%-44s %12.3f %12s %8s\n", "close to settings written, median ms", closeMedian, "-", "-");
  std::printf("%-44s %12.1f %12.1f %8.2f\n", "start-up to first show and exit, median ms", progStartMedian,
              bareStartMedian, progStartMedian / bareStartMedian);
  std::printf("%-44s %12.0f %12.0f %8.2f\n", "peak memory (max RSS), median KiB", progRssMedian, bareRssMedian,
              progRssMedian / bareRssMedian);
  std::printf("(floors: the burst through classifyReceiveEvent alone, a copy of the template, a bare window; "
              "receive events per burst at most %d)\n",
              burstEventsMax);
  std::printf("\n");
  std::printf("rtt_median_us = %.1f\n", rttMedian);
  std::printf("rtt_floor_median_us = %.1f\n", rttFloor);
  std::printf("rtt_ratio = %.2f\n", rttMedian / rttFloor);
  std::printf("identifier_median_us = %.1f\n", idMedian);
  std::printf("identifier_p99_us = %.1f\n", idP99);
  std::printf("identifier_floor_median_us = %.1f\n", idFloor);
  std::printf("identifier_floor_p99_us = %.1f\n", idFloorP99);
  std::printf("identifier_median_ratio = %.2f\n", idMedian / idFloor);
  std::printf("idle_cpu_percent = %.3f\n", idleCpu);
  std::printf("burst_4k_ms = %.3f\n", burstMedian);
  std::printf("burst_4k_floor_ms = %.3f\n", burstFloor);
  std::printf("burst_4k_in_program_ms = %.3f\n", burstInProgram);
  std::printf("template_32k_ms = %.3f\n", templMedian);
  std::printf("template_32k_floor_ms = %.4f\n", templFloor);
  std::printf("close_ms = %.3f\n", closeMedian);
  std::printf("startup_ms = %.1f\n", progStartMedian);
  std::printf("startup_bare_ms = %.1f\n", bareStartMedian);
  std::printf("startup_ratio = %.2f\n", progStartMedian / bareStartMedian);
  std::printf("peak_memory_kib = %.0f\n", progRssMedian);
  std::printf("peak_memory_bare_kib = %.0f\n", bareRssMedian);
  std::printf("peak_memory_ratio = %.2f\n", progRssMedian / bareRssMedian);
  return 0;
}
