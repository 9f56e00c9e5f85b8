#include "app/terminal.h"

#include "protocol/hextext.h"

namespace terva::app {

namespace {

// A Latin-1 code (32..255) as UTF-8.
void appendLatin1(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string toterminal(std::string_view hex, TerminalView view) {
  std::string out;
  if (!view.hex && !view.ascii) return out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const std::string_view pair = hex.substr(i, 2);
    const auto value = static_cast<unsigned>(hextoint(pair) & 0xFFu);
    if (view.hex && view.ascii) {
      out += pair;
      if (value >= 32) {
        out += '(';
        appendLatin1(out, value);
        out += ") ";
      } else {
        out += "(.) ";
      }
    } else if (view.ascii) {
      if (value >= 32) {
        appendLatin1(out, value);
      } else {
        out += '.';
      }
    } else {
      out += pair;
      out += ' ';
    }
  }
  return out;
}

std::optional<std::string> TerminalLog::add(const char* prefix, std::string_view hex, TerminalView view) {
  std::string rendered = toterminal(hex, view);
  if (rendered.empty()) return std::nullopt;
  std::string line = prefix + rendered;
  append(line);
  return line;
}

std::optional<std::string> TerminalLog::sent(std::string_view frameHex, TerminalView view) {
  return add("> ", frameHex, view);
}

std::optional<std::string> TerminalLog::received(std::string_view hex, TerminalView view) {
  return add("< ", hex, view);
}

void TerminalLog::append(std::string line) {
  lines_.push_back(std::move(line));
  while (lines_.size() > maxLines_) lines_.pop_front();
}

std::string TerminalLog::text() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l;
    out += '\n';
  }
  return out;
}

}  // namespace terva::app
