#include "sim/reader_sim.h"

#include <charconv>
#include <stdexcept>

#include "protocol/hextext.h"

namespace terva::sim {

namespace {

constexpr char kStart = 0x23;
constexpr char kEnd = 0x24;
constexpr std::size_t kMinFrame = 5;
constexpr std::size_t kMaxConfigBytes = 250;  // 255 minus start, length, cmd, ver, end
constexpr int kMaxDelayMs = 60000;

std::vector<std::string_view> tokens(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r' || line[i] == '\n')) ++i;
    std::size_t j = i;
    while (j < line.size() && !(line[j] == ' ' || line[j] == '\t' || line[j] == '\r' || line[j] == '\n')) ++j;
    if (j > i) out.push_back(line.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// Whole token as a decimal number within [lo, hi].
std::optional<long> number(std::string_view s, long lo, long hi) {
  long v = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || p != s.data() + s.size() || v < lo || v > hi) return std::nullopt;
  return v;
}

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Strict hex text to bytes: digits only, even count. Returns nullopt otherwise.
std::optional<std::string> strictHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  for (char c : hex) {
    if (!isHexDigit(c)) return std::nullopt;
  }
  return hexToBytes(hex);
}

CommandResult refused(std::string message) {
  CommandResult r;
  r.ok = false;
  r.answer = "error: " + std::move(message);
  return r;
}

CommandResult done(std::string message) {
  CommandResult r;
  r.answer = std::move(message);
  return r;
}

const char* kindName(IdKind kind) {
  switch (kind) {
    case IdKind::Uid: return "UID";
    case IdKind::Phone: return "Phone ID";
    case IdKind::Mir: return "MIR";
    case IdKind::NonUnique: return "Nonunique UID";
    case IdKind::Random: return "Random UID";
  }
  return "?";
}

// An identifier as the reader sends it: printable ASCII without blanks.
bool validId(std::string_view id) {
  if (id.empty()) return false;
  for (unsigned char c : id) {
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  return true;
}

}  // namespace

std::string spacedHex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (!out.empty()) out.push_back(' ');
    out += byteHex(c);
  }
  return out;
}

std::string ReaderSim::frame(std::uint8_t cmd, std::uint8_t ver, std::string_view body) {
  if (body.size() > kMaxConfigBytes) throw std::length_error("frame body longer than 250 bytes");
  std::string out;
  out.push_back(kStart);
  out.push_back(static_cast<char>(body.size() + kMinFrame));
  out.push_back(static_cast<char>(cmd));
  out.push_back(static_cast<char>(ver));
  out.append(body);
  out.push_back(kEnd);
  return out;
}

std::string ReaderSim::resultReply(std::uint8_t code) {
  const char body[] = {0x0D, 0x01, static_cast<char>(code)};
  return frame(0x00, 0x01, std::string_view(body, sizeof body));
}

std::string_view ReaderSim::prefix(IdKind kind) {
  switch (kind) {
    case IdKind::Uid: return "UID: ";
    case IdKind::Phone: return "PhoneID: ";
    case IdKind::Mir: return "MIR: ";
    case IdKind::NonUnique: return "Nonunic UID: ";
    case IdKind::Random: return "Random UID: ";
  }
  return "";
}

std::string ReaderSim::identifierMessage(IdKind kind, std::string_view id) {
  std::string out(prefix(kind));
  out.append(id);
  out.append("\r\n");
  return out;
}

std::optional<IdKind> ReaderSim::kindFromName(std::string_view name) {
  const std::string n = lower(name);
  if (n == "uid") return IdKind::Uid;
  if (n == "phone") return IdKind::Phone;
  if (n == "mir") return IdKind::Mir;
  if (n == "nonunique") return IdKind::NonUnique;
  if (n == "random") return IdKind::Random;
  return std::nullopt;
}

std::string ReaderSim::helpText() {
  return "card KIND ID               present a card (KIND: uid, phone, mir, nonunique, random)\n"
         "cards KIND ID [KIND ID..]  several identifier messages in one write\n"
         "raw HEX                    write raw bytes, e.g. raw 23 08 00 01 0D 01 00 24\n"
         "result N                   next reply carries result code N (0-255)\n"
         "delay MS                   next reply goes out MS milliseconds late (0-60000)\n"
         "drop                       next reply is not sent\n"
         "split                      next reply goes out in two writes\n"
         "version A.B.C              firmware version reported for 0A01\n"
         "config [HEX]               configuration record reported for 0B01 (none: empty)\n"
         "unplug                     close the port as if the reader were pulled out\n"
         "help                       this list\n"
         "quit                       end the simulator";
}

void ReaderSim::setConfigHex(std::string_view hex) {
  const auto bytes = strictHex(hex);
  if (!bytes) throw std::invalid_argument("configuration must be hex text of even length");
  if (bytes->size() > kMaxConfigBytes) throw std::invalid_argument("configuration longer than 250 bytes");
  configHex_ = bytesToHex(*bytes);
}

std::vector<Write> ReaderSim::feed(std::string_view hostBytes) {
  input_.append(hostBytes);
  return drainFrames();
}

bool ReaderSim::hasPartial() const { return !input_.empty(); }

std::vector<Write> ReaderSim::expirePartial() {
  if (input_.empty()) return {};
  input_.erase(0, 1);
  return drainFrames();
}

std::vector<Write> ReaderSim::drainFrames() {
  std::vector<Write> out;
  for (;;) {
    // Resynchronise: everything before a start byte is noise.
    const auto start = input_.find(kStart);
    if (start == std::string::npos) {
      input_.clear();
      break;
    }
    input_.erase(0, start);
    if (input_.size() < 2) break;
    const std::size_t length = static_cast<unsigned char>(input_[1]);
    if (length < kMinFrame) {
      // No frame can be this short: refuse it and look past its first two bytes.
      frames_.push_back(bytesToHex(input_.substr(0, 2)));
      input_.erase(0, 2);
      auto w = send(resultReply(kRefusal), true);
      out.insert(out.end(), w.begin(), w.end());
      continue;
    }
    if (input_.size() < length) break;
    if (input_[length - 1] != kEnd) {
      // Not a frame after all: skip its start byte and look for the next one.
      input_.erase(0, 1);
      continue;
    }
    const std::string f = input_.substr(0, length);
    input_.erase(0, length);
    frames_.push_back(bytesToHex(f));
    auto w = replyTo(f);
    out.insert(out.end(), w.begin(), w.end());
  }
  return out;
}

std::vector<Write> ReaderSim::replyTo(std::string_view f) {
  const auto cmd = static_cast<unsigned char>(f[2]);
  const auto ver = static_cast<unsigned char>(f[3]);
  if (cmd == 0x0A && ver == 0x01) {
    const char body[] = {0x10, 0x03, static_cast<char>(version_[0]), static_cast<char>(version_[1]),
                         static_cast<char>(version_[2])};
    return send(frame(0x01, 0x01, std::string_view(body, sizeof body)), false);
  }
  if (cmd == 0x0B && ver == 0x01) return send(frame(0x01, 0x01, hexToBytes(configHex_)), false);
  const bool known = (cmd == 0x01 && (ver == 0x01 || ver == 0x02)) || (cmd >= 0x02 && cmd <= 0x09 && ver == 0x01);
  return send(resultReply(known ? 0x00 : kRefusal), true);
}

// Applies and clears the one-shot modifiers. A result override replaces the
// code of a result reply; any reply uses them all up.
std::vector<Write> ReaderSim::send(std::string bytes, bool isResultReply) {
  if (nextResult_ && isResultReply) bytes = resultReply(*nextResult_);
  const int delay = nextDelayMs_;
  const bool drop = nextDrop_;
  const bool split = nextSplit_;
  nextResult_.reset();
  nextDelayMs_ = 0;
  nextDrop_ = false;
  nextSplit_ = false;
  if (drop) return {};
  if (split && bytes.size() >= 2) {
    const std::size_t half = bytes.size() / 2;
    return {Write{bytes.substr(0, half), delay, true}, Write{bytes.substr(half), kSplitPauseMs, true}};
  }
  return {Write{std::move(bytes), delay, false}};
}

CommandResult ReaderSim::command(std::string_view line) {
  const auto t = tokens(line);
  if (t.empty()) return done("");
  const std::string name = lower(t[0]);
  const std::size_t args = t.size() - 1;
  auto expectNoArgs = [&]() -> std::optional<CommandResult> {
    if (args != 0) return refused("'" + name + "' takes no arguments");
    return std::nullopt;
  };

  if (name == "card" || name == "cards") {
    if (args == 0 || args % 2 != 0 || (name == "card" && args != 2)) {
      return refused(name == "card" ? "usage: card KIND ID" : "usage: cards KIND ID [KIND ID ...]");
    }
    std::string bytes;
    std::string shown;
    for (std::size_t i = 1; i < t.size(); i += 2) {
      const auto kind = kindFromName(t[i]);
      if (!kind) {
        return refused("unknown card kind '" + std::string(t[i]) + "' (uid, phone, mir, nonunique, random)");
      }
      if (!validId(t[i + 1])) return refused("identifier must be printable ASCII");
      bytes += identifierMessage(*kind, t[i + 1]);
      if (!shown.empty()) shown += ", ";
      shown += std::string(kindName(*kind)) + " " + std::string(t[i + 1]);
    }
    CommandResult r = done("sent " + shown);
    r.writes.push_back(Write{std::move(bytes), 0, false});
    return r;
  }
  if (name == "raw") {
    std::string hex;
    for (std::size_t i = 1; i < t.size(); ++i) hex.append(t[i]);
    const auto bytes = strictHex(hex);
    if (hex.empty() || !bytes) return refused("usage: raw HEX (pairs of hex digits, blanks allowed between pairs)");
    CommandResult r = done("sent " + std::to_string(bytes->size()) + " bytes");
    r.writes.push_back(Write{*bytes, 0, false});
    return r;
  }
  if (name == "result") {
    const auto v = args == 1 ? number(t[1], 0, 255) : std::nullopt;
    if (!v) return refused("usage: result N (0-255)");
    nextResult_ = static_cast<std::uint8_t>(*v);
    return done("next reply: result " + std::to_string(*v));
  }
  if (name == "delay") {
    const auto v = args == 1 ? number(t[1], 0, kMaxDelayMs) : std::nullopt;
    if (!v) return refused("usage: delay MS (0-60000)");
    nextDelayMs_ = static_cast<int>(*v);
    return done("next reply: " + std::to_string(*v) + " ms late");
  }
  if (name == "drop") {
    if (auto e = expectNoArgs()) return *e;
    nextDrop_ = true;
    return done("next reply: dropped");
  }
  if (name == "split") {
    if (auto e = expectNoArgs()) return *e;
    nextSplit_ = true;
    return done("next reply: split in two writes");
  }
  if (name == "version") {
    std::array<std::uint8_t, 3> v{};
    bool good = args == 1;
    std::string_view s = good ? t[1] : std::string_view();
    for (std::size_t i = 0; i < 3 && good; ++i) {
      const auto dot = s.find('.');
      // The first two parts end at a dot, the last one at the end of the text.
      if ((i < 2) == (dot == std::string_view::npos)) good = false;
      const auto part = good ? number(s.substr(0, dot), 0, 255) : std::nullopt;
      good = part.has_value();
      if (good) v[i] = static_cast<std::uint8_t>(*part);
      if (dot != std::string_view::npos) s.remove_prefix(dot + 1);
    }
    if (!good) return refused("usage: version A.B.C (each 0-255)");
    version_ = v;
    return done("firmware version " + std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]));
  }
  if (name == "config") {
    std::string hex;
    for (std::size_t i = 1; i < t.size(); ++i) hex.append(t[i]);
    const auto bytes = strictHex(hex);
    if (!bytes || bytes->size() > kMaxConfigBytes) {
      return refused("usage: config [HEX] (at most 250 bytes as pairs of hex digits)");
    }
    configHex_ = bytesToHex(*bytes);
    return done("configuration: " + std::to_string(bytes->size()) + " bytes");
  }
  if (name == "unplug") {
    if (auto e = expectNoArgs()) return *e;
    CommandResult r = done("unplugged");
    r.action = Action::Unplug;
    return r;
  }
  if (name == "help") {
    if (auto e = expectNoArgs()) return *e;
    return done(helpText());
  }
  if (name == "quit") {
    if (auto e = expectNoArgs()) return *e;
    CommandResult r = done("bye");
    r.action = Action::Quit;
    return r;
  }
  return refused("unknown command '" + std::string(t[0]) + "' (type help)");
}

}  // namespace terva::sim
