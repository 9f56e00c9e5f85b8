#pragma once
// The diagnostic terminal's text: how traffic is rendered as hexadecimal
// and/or characters, and the log of lines, which keeps only the most recent.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace terva::app {

// The rendering options ("HEX", "ASCII").
struct TerminalView {
  bool hex = true;
  bool ascii = false;
};

// Renders hex text pair by pair (an odd last character is ignored). Each
// pair's value is read as hextoint reads it (low eight bits); its characters
// are shown as they stand. A byte's character is the Latin-1 character of its
// value (32..255), "." below 32. UTF-8 result; empty with neither option.
std::string toterminal(std::string_view hex, TerminalView view);

inline constexpr std::size_t kTerminalMaxLines = 20000;

class TerminalLog {
 public:
  explicit TerminalLog(std::size_t maxLines = kTerminalMaxLines) : maxLines_(maxLines ? maxLines : 1) {}

  // "> " + the frame's rendering; nothing when the rendering is empty.
  std::optional<std::string> sent(std::string_view frameHex, TerminalView view);
  // "< " + the rendering of one receive event's bytes.
  std::optional<std::string> received(std::string_view hex, TerminalView view);

  // Appends a line, dropping the oldest past the cap.
  void append(std::string line);
  void clear() { lines_.clear(); }
  const std::deque<std::string>& lines() const { return lines_; }
  std::size_t maxLines() const { return maxLines_; }
  // The whole log, one line each, every line ended by "\n".
  std::string text() const;

 private:
  std::optional<std::string> add(const char* prefix, std::string_view hex, TerminalView view);

  std::size_t maxLines_;
  std::deque<std::string> lines_;
};

}  // namespace terva::app
