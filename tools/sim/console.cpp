#include "sim/console.h"

namespace terva::sim {

void Console::runLine(const std::string& line, std::vector<std::string>& out) {
  const CommandResult r = run_(line);
  std::string_view rest = r.answer;
  while (!rest.empty()) {
    const auto nl = rest.find('\n');
    out.emplace_back(rest.substr(0, nl));
    if (nl == std::string_view::npos) break;
    rest.remove_prefix(nl + 1);
  }
  if (r.action == Action::Quit) finished_ = true;
}

std::vector<std::string> Console::input(std::string_view bytes) {
  std::vector<std::string> out;
  if (finished_) return out;
  pending_.append(bytes);
  std::size_t nl;
  while (!finished_ && (nl = pending_.find('\n')) != std::string::npos) {
    const std::string line = pending_.substr(0, nl);
    pending_.erase(0, nl + 1);
    runLine(line, out);
  }
  if (finished_) pending_.clear();
  return out;
}

std::vector<std::string> Console::endOfInput() {
  std::vector<std::string> out;
  if (!finished_ && !pending_.empty()) runLine(pending_, out);
  pending_.clear();
  finished_ = true;
  return out;
}

}  // namespace terva::sim
