// terva-reader-sim: a simulated card reader on a pseudo-terminal, for tests and
// for trying the program without hardware. Prints the port path first, then
// takes commands on stdin and shows the traffic.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "sim/console.h"
#include "sim/pty_reader.h"

namespace {

std::mutex printMutex;

// One line to stdout, flushed at once: stdout is often a pipe read by a test.
void printLineLocked(std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void printLine(std::string_view line) {
  std::lock_guard lk(printMutex);
  printLineLocked(line);
}

void printLines(const std::vector<std::string>& lines) {
  std::lock_guard lk(printMutex);
  for (const auto& l : lines) printLineLocked(l);
}

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: terva-reader-sim [--help]\n"
               "\n"
               "Simulates the RFID card reader on a pseudo-terminal. The first line of\n"
               "output is the device path to connect to; then commands are read from\n"
               "stdin, one a line, and the traffic is shown as '< ..' (from the host)\n"
               "and '> ..' (to the host). 'quit', end of input, SIGINT or SIGTERM\n"
               "stop the simulator (keep its input open while the program runs).\n"
               "\n"
               "Commands:\n%s\n",
               terva::sim::ReaderSim::helpText().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    }
    std::fprintf(stderr, "terva-reader-sim: unknown option '%s'\n", argv[i]);
    usage(stderr);
    return 2;
  }

  ::signal(SIGPIPE, SIG_IGN);
  // Signals are taken through a descriptor by the main loop; block them before
  // the worker thread starts so that it inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  const int sigFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (sigFd < 0) {
    std::fprintf(stderr, "terva-reader-sim: signalfd: %s\n", std::strerror(errno));
    return 1;
  }

  terva::sim::PtyReader reader;
  reader.setOnFrameFromHost([](const std::string& f) { printLine("< " + terva::sim::spacedHex(f)); });
  reader.setOnWrittenToHost([](const std::string& b) { printLine("> " + terva::sim::spacedHex(b)); });
  try {
    // Hold the print lock so no traffic line can come before the path line.
    std::lock_guard lk(printMutex);
    reader.start();
    printLineLocked(reader.slavePath());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "terva-reader-sim: cannot open a pseudo-terminal: %s\n", e.what());
    return 1;
  }

  terva::sim::Console console([&reader](const std::string& line) { return reader.execute(line); });
  while (!console.finished()) {
    pollfd fds[2] = {{sigFd, POLLIN, 0}, {0, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) break;  // SIGINT or SIGTERM
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL)) {
      char buf[4096];
      const auto n = ::read(0, buf, sizeof buf);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        printLines(console.endOfInput());
      } else {
        printLines(console.input(std::string_view(buf, static_cast<std::size_t>(n))));
      }
    }
  }

  reader.stop();
  ::close(sigFd);
  return 0;
}
