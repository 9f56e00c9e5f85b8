// Benchmarks against the simulated reader over pseudo-terminals. Prints a
// table for people and then one "name = value" line per figure.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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
#include "sim/pty_reader.h"

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

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int exchanges = 300;
  const int cards = 1000;
  const int kWarmUp = 50;

  // Floor for a round trip: frame out, result reply back, plain blocking calls.
  std::vector<double> floorRtt;
  {
    terva::sim::PtyReader reader;
    reader.start();
    const int fd = openBlocking(reader.slavePath());
    const std::string frame("\x23\x05\x05\x01\x24", 5);
    for (int i = -kWarmUp; i < exchanges; ++i) {
      const auto t0 = Clock::now();
      if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return 1;
      readExactly(fd, 8);
      if (i >= 0) floorRtt.push_back(micros(Clock::now() - t0));
    }
    ::close(fd);
  }

  // Floor for an identifier: from asking the simulated reader for a card until a
// blocking read has the whole message. The program is timed the same way.
  std::vector<double> floorId;
  {
    terva::sim::PtyReader reader;
    reader.start();
    const int fd = openBlocking(reader.slavePath());
    for (int i = 0; i < cards; ++i) {
      const auto t0 = Clock::now();
      reader.command("card uid 1A2B3C");
      readExactly(fd, 13);
      floorId.push_back(micros(Clock::now() - t0));
    }
    ::close(fd);
  }

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

  std::vector<double> rtt;
  for (int i = -kWarmUp; i < exchanges; ++i) {
    const auto t0 = Clock::now();
    const auto result = program.session().SendToComPort("0501");
    if (i >= 0) rtt.push_back(micros(Clock::now() - t0));
    if (result != 0) {
      std::fprintf(stderr, "exchange %d failed with %d\n", i, result);
      return 1;
    }
  }

  std::vector<double> idLatency;
  {
    Clock::rep shownAt = 0;
    int shown = 0;
    QObject::connect(&program.readingPage(), &terva::ident::ReadingPage::identifierShown, [&] {
      shownAt = Clock::now().time_since_epoch().count();
      ++shown;
    });
    for (int i = 0; i < cards; ++i) {
      const int before = shown;
      const auto t0 = Clock::now().time_since_epoch().count();
      reader.command("card uid 1A2B3C");
      QElapsedTimer guard;
      guard.start();
      while (shown == before && guard.elapsed() < 2000) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      if (shown == before) {
        std::fprintf(stderr, "card %d was not shown\n", i);
        return 1;
      }
      idLatency.push_back(micros(Clock::duration(shownAt - t0)));
    }
  }

  // Idle: connected, nothing happening, for 10 s.
  const double cpu0 = processCpuSeconds();
  const auto wall0 = Clock::now();
  runEventLoopFor(10s);
  const double idleCpu = (processCpuSeconds() - cpu0) / std::chrono::duration<double>(Clock::now() - wall0).count() * 100.0;
  form.close();

  const double rttMedian = percentile(rtt, 0.5), rttFloor = percentile(floorRtt, 0.5);
  const double idMedian = percentile(idLatency, 0.5), idP99 = percentile(idLatency, 0.99);
  const double idFloor = percentile(floorId, 0.5), idFloorP99 = percentile(floorId, 0.99);

  std::printf("%-44s %12s %12s %8s\n", "figure", "program", "floor", "ratio");
  std::printf("%-44s %12.1f %12.1f %8.2f\n", "round trip SendToComPort(\"0501\"), median us", rttMedian, rttFloor,
              rttMedian / rttFloor);
  std::printf("%-44s %12.1f %12.1f %8.2f\n", "identifier to Label32, median us", idMedian, idFloor, idMedian / idFloor);
  std::printf("%-44s %12.1f %12.1f %8.2f\n", "identifier to Label32, p99 us", idP99, idFloorP99, idP99 / idFloorP99);
  std::printf("%-44s %12.3f %12s %8s\n", "idle CPU while connected, % of one core", idleCpu, "-", "-");
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
  return 0;
}
