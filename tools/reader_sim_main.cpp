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

void printAnswer(const std::string& answer) {
  std::lock_guard lk(printMutex);
  std::string_view rest = answer;
  while (!rest.empty()) {
    const auto nl = rest.find('\n');
    printLineLocked(rest.substr(0, nl));
    if (nl == std::string_view::npos) break;
    rest.remove_prefix(nl + 1);
  }
}

void usage(std::FILE* to) {
  std::fprintf(to,
               "usage: terva-reader-sim [--help]\n"
               "\n"
               "Simulates the RFID card reader on a pseudo-terminal. The first line of\n"
               "output is the device path to connect to; then commands are read from\n"
               "stdin, one a line, and the traffic is shown as '< ..' (from the host)\n"
               "and '> ..' (to the host). End of input does not stop the simulator;\n"
               "'quit', SIGINT or SIGTERM do.\n"
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

  bool stdinOpen = true;
  bool quit = false;
  std::string pending;
  auto runLine = [&](std::string line) {
    const auto r = reader.execute(line);
    printAnswer(r.answer);
    if (r.action == terva::sim::Action::Quit) quit = true;
  };

  while (!quit) {
    pollfd fds[2] = {{sigFd, POLLIN, 0}, {stdinOpen ? 0 : -1, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents & POLLIN) break;  // SIGINT or SIGTERM
    if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buf[4096];
      const auto n = ::read(0, buf, sizeof buf);
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      if (n <= 0) {
        // End of input: run a last unterminated line, then keep serving.
        stdinOpen = false;
        if (!pending.empty()) runLine(std::exchange(pending, {}));
        continue;
      }
      pending.append(buf, static_cast<std::size_t>(n));
      std::size_t nl;
      while (!quit && (nl = pending.find('\n')) != std::string::npos) {
        std::string line = pending.substr(0, nl);
        pending.erase(0, nl + 1);
        runLine(std::move(line));
      }
    }
  }

  reader.stop();
  ::close(sigFd);
  return 0;
}
