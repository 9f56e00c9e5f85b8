#pragma once
// terva-cli: the reader's jobs as commands for scripts and installers, built
// on the same session, configuration and rendering code as the window.
// `run` is the whole program; main() only supplies the real environment.
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "protocol/clock.h"
#include "protocol/connection.h"

namespace terva::cli {

// Exit status of every command.
enum ExitCode : int {
  kExitOk = 0,
  kExitUsage = 1,    // bad command line
  kExitPort = 2,     // no port, port cannot be opened or busy, reader unplugged
  kExitNoReply = 3,  // no reply, malformed reply, master card not presented in time
  kExitRefused = 4,  // the reader refused (its result code is in the message)
  kExitFile = 5,     // configuration file cannot be read, is corrupt or cannot be written
};

// Ctrl+C and friends: main() turns SIGINT/SIGTERM into request(); a running
// command ends cleanly at the next turn of its event loop. Tests call request().
class StopRequest {
 public:
  void request() {
    requested_ = true;
    if (handler) handler();
  }
  bool requested() const { return requested_; }
  std::function<void()> handler;  // set by the running command

 private:
  bool requested_ = false;
};

struct Environment {
  // The window's settings file (saved port, view mode, template); empty: none.
  std::filesystem::path settingsFile;
  // The machine's serial ports, as the window lists them.
  PortLister listPorts;
  // Timers and time; QtClock when null.
  Clock* clock = nullptr;
  // Stop requests (signals); none when null.
  StopRequest* stop = nullptr;
  // Standard error is a terminal: the countdown rewrites one line.
  bool stderrIsTerminal = false;
};

// The real machine: settings beside `exeDir` (or in the user's folder), the
// system's port list.
Environment systemEnvironment(const std::filesystem::path& exeDir);

// Runs one command line (without the program name). Needs a QCoreApplication.
// Output for scripts goes to `out`, messages to `err`.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, const Environment& env);

// POSIX signals SIGINT and SIGTERM to stop.request(), delivered on the event
// loop through a self-pipe. Call once, after the QCoreApplication exists.
void installSignalStop(StopRequest& stop);

}  // namespace terva::cli
