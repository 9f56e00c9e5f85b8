#pragma once
// The simulator's command input: splits what arrives on standard input into
// lines, runs each, and collects the lines to print. End of input and "quit"
// both end the session. No I/O of its own, so tests drive it with strings.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/reader_sim.h"

namespace terva::sim {

class Console {
 public:
  using Runner = std::function<CommandResult(const std::string& line)>;

  explicit Console(Runner run) : run_(std::move(run)) {}

  // Runs every complete line in the bytes (after what came before); returns
  // the answer lines to print. Input after "quit" is ignored.
  std::vector<std::string> input(std::string_view bytes);
  // End of input: runs a last unterminated line, then the session is over.
  std::vector<std::string> endOfInput();
  // True once "quit" ran or the input ended.
  bool finished() const { return finished_; }

 private:
  void runLine(const std::string& line, std::vector<std::string>& out);

  Runner run_;
  std::string pending_;
  bool finished_ = false;
};

}  // namespace terva::sim
