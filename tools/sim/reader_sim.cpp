#include "sim/reader_sim.h"

#include <algorithm>
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
  for (const char ch : id) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F) return false;
  }
  return true;
}

// Configuration items by tag, read the way the program reads them: tag and
// length through hextoint, a value cut short keeps what is there, a later item
// with the same tag wins.
std::array<std::string, 256> items(std::string_view hex) {
  std::array<std::string, 256> out;
  while (!hex.empty()) {
    const auto tag = static_cast<std::size_t>(hextoint(hex.substr(0, 2)) & 0xFF);
    const auto len = static_cast<std::size_t>(hextoint(hex.substr(2, 2)) & 0xFF);
    hex.remove_prefix(std::min<std::size_t>(4, hex.size()));
    const auto take = std::min(hex.size(), 2 * len);
    out[tag] = std::string(hex.substr(0, take));
    hex.remove_prefix(take);
  }
  return out;
}

std::uint16_t crc16(std::string_view bytes) {
  std::uint16_t crc = 0xFFFF;  // CRC-16/CCITT-FALSE
  for (unsigned char b : bytes) {
    crc = static_cast<std::uint16_t>(crc ^ (b << 8));
    for (int i = 0; i < 8; ++i) {
      crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

std::uint32_t fnv1a(std::string_view bytes) {
  std::uint32_t h = 2166136261u;
  for (unsigned char b : bytes) {
    h ^= b;
    h *= 16777619u;
  }
  return h;
}

std::string hex32(std::uint32_t v) {
  return byteHex(v >> 24) + byteHex((v >> 16) & 0xFF) + byteHex((v >> 8) & 0xFF) + byteHex(v & 0xFF);
}

// Family of card the master cards of a record must be written on; none in mode 0.
std::optional<CardFamily> requiredFamily(std::string_view recordHex) {
  const auto mode = ReaderSim::readingModeOf(recordHex);
  if (mode == 0) return std::nullopt;
  if (mode == 1) {
    const std::string mask = items(recordHex)[0x02];
    const auto low = hextoint(std::string_view(mask).substr(0, 2));
    // Mode 1 offers Mifare Classic (bit value 8) and Mifare Plus (16).
    if ((low & 8) && !(low & 16)) return CardFamily::Classic;
  }
  return CardFamily::Plus;
}

const char* familyName(CardFamily f) { return f == CardFamily::Classic ? "Mifare Classic" : "Mifare Plus"; }

// Refusal for a card of the wrong family, 0 when it fits.
std::uint8_t familyCheck(const Card& card, std::string_view recordHex) {
  const auto need = requiredFamily(recordHex);
  if (!need || *need == card.family) return 0;
  return *need == CardFamily::Plus ? ReaderSim::kPlusOnly : ReaderSim::kClassicOnly;
}

const char* resultName(std::uint8_t code) {
  switch (code) {
    case 0: return "success";
    case ReaderSim::kWrongCard: return "wrong card";
    case ReaderSim::kBadParameters: return "bad command parameters";
    case ReaderSim::kAllMastersWritten: return "all master cards written";
    case ReaderSim::kMasterNotBlank: return "master card not blank";
    case ReaderSim::kRefusal: return "unknown command";
    case ReaderSim::kNoMasterData: return "no data on the master card";
    case ReaderSim::kCodeExists: return "object code already on the card";
    case ReaderSim::kMasterPresented: return "a master card was presented";
    case ReaderSim::kPlusOnly: return "Mifare Plus cards only";
    case ReaderSim::kClassicOnly: return "Mifare Classic cards only";
    case ReaderSim::kEmptyCard: return "empty card";
    case ReaderSim::kModeMismatch: return "protected modes of card and reader differ";
    case ReaderSim::kLocked: return "reader locked to the master cards that made it";
    default: return "chosen code";
  }
}

// Zone flags of a mode-3 record: the first 8 bytes of item 0B.
std::string zonesOf(std::string_view recordHex) { return items(recordHex)[0x0B].substr(0, 16); }

}  // namespace

unsigned ReaderSim::readingModeOf(std::string_view recordHex) {
  return static_cast<unsigned>(hextoint(items(recordHex)[0x06]) & 0xFF);
}

std::string ReaderSim::checksumItem(std::string_view recordHex, std::string_view objectCodeHex) {
  const auto mode = readingModeOf(recordHex);
  std::uint16_t crc = 0;
  if (mode == 1 || mode == 3) {
    crc = crc16(hexToBytes(objectCodeHex));
  } else if (mode == 2) {
    crc = crc16(hexToBytes(items(recordHex)[0x0B]));
  } else {
    return "";
  }
  return "0E02" + byteHex(crc >> 8) + byteHex(crc & 0xFF);
}

const char* ReaderSim::modeName(CardMode mode) {
  switch (mode) {
    case CardMode::Reading: return "card reading";
    case CardMode::ObjectCode: return "waiting for the master card with the object code (0101)";
    case CardMode::WriteMasters: return "writing master cards (0201)";
    case CardMode::ClearMasters: return "clearing master cards (0301)";
    case CardMode::CreateProtected: return "creating protected cards (0401)";
    case CardMode::ClearProtected: return "clearing protected cards (0601)";
    case CardMode::ReadMaster: return "reading a master card (0701)";
    case CardMode::CopyMaster: return "copying a master card into the reader (0801)";
    case CardMode::ClearAllCodes: return "clearing all object codes (0901)";
  }
  return "?";
}

std::string ReaderSim::describe(const Card& card) {
  std::string out = std::to_string(card.number) + ": " + familyName(card.family) + ", uid " + card.uid + ", ";
  switch (card.kind) {
    case CardKind::Blank: out += "blank"; break;
    case CardKind::Master:
      out += "master card " + std::to_string(card.index + 1) + " of " + std::to_string(card.count) +
             ", reading mode " + std::to_string(readingModeOf(card.recordHex));
      if (!card.objectCode.empty()) out += ", object code " + card.objectCode;
      if (card.lock) out += ", locked";
      out += ", record " + card.recordHex;
      break;
    case CardKind::Protected:
      out += "protected:";
      for (const auto& c : card.codes) {
        out += " object code " + c.objectCode + " (mode " + std::to_string(c.mode);
        if (c.mode == 3) out += ", zones " + c.zones;
        out += ")";
      }
      break;
  }
  return out;
}

std::string spacedHex(std::string_view bytes) {
  std::string out;
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
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
  return "card KIND ID               send an identifier message (KIND: uid, phone, mir, nonunique, random)\n"
         "cards KIND ID [KIND ID..]  several identifier messages in one write\n"
         "present blank [FAM] [N]    present a new blank card (FAM: plus, the default, or classic)\n"
         "present CARD [N]           present card number CARD again; N: answer result N, card unchanged\n"
         "cards list                 the cards the reader has seen: blank, master and protected\n"
         "status                     card mode, configuration, object code and lock of the reader\n"
         "reset                      forget configuration, object code and lock (the cards stay)\n"
         "raw HEX                    write raw bytes, e.g. raw 23 08 00 01 0D 01 00 24\n"
         "result N                   next result reply (to a command or a card) carries code N (0-255)\n"
         "delay MS                   next reply goes out MS milliseconds late (0-60000)\n"
         "drop                       next reply is not sent\n"
         "split                      next reply goes out in two writes\n"
         "version A.B.C              firmware version reported for 0A01\n"
         "config [HEX]               configuration record the reader holds (none: empty)\n"
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
  const std::string body(f.substr(4, f.size() - kMinFrame));
  if (cmd == 0x0A && ver == 0x01) {
    const char v[] = {0x10, 0x03, static_cast<char>(version_[0]), static_cast<char>(version_[1]),
                      static_cast<char>(version_[2])};
    return send(frame(0x01, 0x01, std::string_view(v, sizeof v)), false);
  }
  if (cmd == 0x0B && ver == 0x01) {
    std::string record = configHex_;
    const std::string sum = checksumItem(configHex_, objectCode_);
    if (record.size() + sum.size() <= 2 * kMaxConfigBytes) record += sum;
    return send(frame(0x01, 0x01, hexToBytes(record)), false);
  }
  return finish(handle(cmd, ver, body), std::nullopt, nullptr);
}

ReaderSim::Outcome ReaderSim::handle(std::uint8_t cmd, std::uint8_t ver, const std::string& body) {
  Outcome o;
  const std::string hex = bytesToHex(body);
  auto enter = [this](CardMode m) {
    return [this, m] {
      mode_ = m;
      authorising_.reset();
    };
  };
  if (ver != 0x01 && !(cmd == 0x01 && ver == 0x02)) {
    o.code = kRefusal;
    return o;
  }
  switch (cmd) {
    case 0x01:
      if (ver == 0x01) {
        // Room must stay for the checksum item of the reply to "0B01".
        if (locked_) {
          o.code = kLocked;
        } else if (body.size() + 4 > kMaxConfigBytes) {
          o.code = kBadParameters;
        } else {
          o.commit = [this, hex] {
            configHex_ = hex;
            const auto m = readingModeOf(hex);
            mode_ = (m == 1 || m == 3) ? CardMode::ObjectCode : CardMode::Reading;
            authorising_.reset();
          };
        }
        return o;
      }
      {
        // Master-card configuration: the record, then the option item 11.
        const bool lock = hex.size() >= 6 && hex.compare(hex.size() - 6, 6, "1101AA") == 0;
        const bool free = hex.size() >= 6 && hex.compare(hex.size() - 6, 6, "110100") == 0;
        // A master card's frame adds item 01 and the checksum item to the record.
        if ((!lock && !free) || body.size() - 3 + 8 > kMaxConfigBytes) {
          o.code = kBadParameters;
          return o;
        }
        o.commit = [this, record = hex.substr(0, hex.size() - 6), lock] {
          pendingRecord_ = record;
          pendingLock_ = lock;
          havePending_ = true;
        };
      }
      return o;
    case 0x02: {
      // The body has the form of item 01: first index and number of cards.
      const auto* b = reinterpret_cast<const unsigned char*>(body.data());
      if (body.size() != 4 || b[0] != 0x01 || b[1] != 0x02 || b[3] < 1 || b[3] > 5 || b[2] >= b[3]) {
        o.code = kBadParameters;
        return o;
      }
      o.commit = [this, first = int{b[2]}, count = int{b[3]}] {
        // Without a "0102" first the reader writes its own configuration.
        if (!havePending_) {
          pendingRecord_ = configHex_;
          pendingLock_ = false;
        }
        havePending_ = false;
        setRecord_ = pendingRecord_;
        setLock_ = pendingLock_;
        setIndex_ = first;
        setCount_ = count;
        const auto m = readingModeOf(setRecord_);
        setObjectCode_.clear();
        if (m == 1 || m == 3) {
          ++setsWritten_;
          setObjectCode_ = hex32(fnv1a(hexToBytes(setRecord_) + "set" + std::to_string(setsWritten_)));
        }
        mode_ = CardMode::WriteMasters;
        authorising_.reset();
      };
      return o;
    }
    case 0x03: o.commit = enter(CardMode::ClearMasters); return o;
    case 0x04: o.commit = enter(CardMode::CreateProtected); return o;
    case 0x05: o.commit = enter(CardMode::Reading); return o;
    case 0x06: o.commit = enter(CardMode::ClearProtected); return o;
    case 0x07: o.commit = enter(CardMode::ReadMaster); return o;
    case 0x08: o.commit = enter(CardMode::CopyMaster); return o;
    case 0x09: o.commit = enter(CardMode::ClearAllCodes); return o;
    default: o.code = kRefusal; return o;
  }
}

ReaderSim::Outcome ReaderSim::cardOutcome(Card& card) {
  Outcome o;
  const int n = card.number;
  auto at = [this](int number) -> Card& { return cards_[static_cast<std::size_t>(number - 1)]; };
  auto refuse = [&](std::uint8_t code) {
    o.code = code;
    return o;
  };
  const bool master = card.kind == CardKind::Master;
  const bool blank = card.kind == CardKind::Blank;
  // Modes that want a master card refuse the others alike.
  auto notMaster = [&]() { return refuse(blank ? kNoMasterData : kWrongCard); };

  switch (mode_) {
    case CardMode::Reading:
      o.frame = identifierMessage(IdKind::Uid, card.uid);
      o.what = "identifier message UID " + card.uid;
      return o;
    case CardMode::ObjectCode:
      if (!master) return notMaster();
      if (card.objectCode.empty() || readingModeOf(card.recordHex) != readingModeOf(configHex_)) {
        return refuse(kModeMismatch);
      }
      o.what = "object code " + card.objectCode + " taken";
      o.commit = [this, code = card.objectCode, lock = card.lock] {
        objectCode_ = code;
        locked_ = lock;
      };
      return o;
    case CardMode::WriteMasters: {
      if (setIndex_ >= setCount_) return refuse(kAllMastersWritten);
      if (!blank) return refuse(kMasterNotBlank);
      if (const auto f = familyCheck(card, setRecord_)) return refuse(f);
      o.what = "master card " + std::to_string(setIndex_ + 1) + " of " + std::to_string(setCount_) + " written";
      o.commit = [this, at, n] {
        Card& c = at(n);
        c.kind = CardKind::Master;
        c.index = setIndex_++;
        c.count = setCount_;
        c.recordHex = setRecord_;
        c.objectCode = setObjectCode_;
        c.lock = setLock_;
        c.codes.clear();
      };
      return o;
    }
    case CardMode::ClearMasters:
      if (blank) return refuse(kEmptyCard);
      if (!master) return refuse(kWrongCard);
      o.what = "master card cleared";
      o.commit = [at, n] {
        Card& c = at(n);
        Card fresh;
        fresh.number = c.number;
        fresh.family = c.family;
        fresh.uid = c.uid;
        c = std::move(fresh);
      };
      return o;
    case CardMode::CreateProtected:
    case CardMode::ClearProtected: {
      const bool creating = mode_ == CardMode::CreateProtected;
      if (!authorising_) {
        if (!master) return notMaster();
        if (card.objectCode.empty()) return refuse(kNoMasterData);
        o.what = "master card with object code " + card.objectCode + " accepted";
        o.commit = [this, copy = card] { authorising_ = copy; };
        return o;
      }
      if (master) return refuse(kMasterPresented);
      const Card& m = *authorising_;
      const auto mode = static_cast<std::uint8_t>(readingModeOf(m.recordHex));
      const ProtectedCode code{m.objectCode, mode, mode == 3 ? zonesOf(m.recordHex) : std::string()};
      auto has = std::find_if(card.codes.begin(), card.codes.end(),
                              [&](const ProtectedCode& c) { return c.objectCode == m.objectCode; });
      if (creating) {
        if (const auto f = familyCheck(card, m.recordHex)) return refuse(f);
        if (has != card.codes.end()) return refuse(kCodeExists);
        o.what = "object code " + m.objectCode + " written";
        o.commit = [at, n, code] {
          Card& c = at(n);
          c.kind = CardKind::Protected;
          c.codes.push_back(code);
        };
      } else {
        if (blank) return refuse(kEmptyCard);
        if (has == card.codes.end()) return refuse(kWrongCard);
        o.what = "object code " + m.objectCode + " removed";
        o.commit = [at, n, object = m.objectCode] {
          Card& c = at(n);
          std::erase_if(c.codes, [&](const ProtectedCode& x) { return x.objectCode == object; });
          if (c.codes.empty()) c.kind = CardKind::Blank;
        };
      }
      return o;
    }
    case CardMode::ReadMaster: {
      if (!master) return notMaster();
      const std::string item01 = "0102" + byteHex(static_cast<unsigned>(card.index)) +
                                 byteHex(static_cast<unsigned>(card.count));
      const std::string body = item01 + card.recordHex + checksumItem(card.recordHex, card.objectCode);
      o.frame = frame(0x01, 0x03, hexToBytes(body));
      o.what = "configuration frame sent";
      return o;
    }
    case CardMode::CopyMaster:
      if (!master) return notMaster();
      if (locked_ && card.objectCode != objectCode_) return refuse(kLocked);
      o.what = "configuration copied into the reader";
      o.commit = [this, copy = card] {
        configHex_ = copy.recordHex;
        objectCode_ = copy.objectCode;
        locked_ = copy.lock;
      };
      return o;
    case CardMode::ClearAllCodes:
      if (master) return refuse(kMasterPresented);
      if (blank) return refuse(kEmptyCard);
      o.what = "all object codes removed";
      o.commit = [at, n] {
        Card& c = at(n);
        c.codes.clear();
        c.kind = CardKind::Blank;
      };
      return o;
  }
  return o;
}

// Sends an outcome: a frame as it is, or a result reply whose code a pending
// "result" or the person's explicit choice may replace. The state changes only
// when the reader really succeeded and says so.
std::vector<Write> ReaderSim::finish(Outcome o, std::optional<std::uint8_t> explicitCode, std::uint8_t* finalCode) {
  if (!o.frame.empty() && !explicitCode) {
    if (finalCode) *finalCode = 0;
    return send(std::move(o.frame), false);
  }
  const std::uint8_t natural = o.frame.empty() ? o.code : 0;
  const std::uint8_t code = explicitCode ? *explicitCode : nextResult_.value_or(natural);
  if (code == 0 && natural == 0 && o.commit) o.commit();
  if (finalCode) *finalCode = code;
  return send(resultReply(code), false);
}

Card& ReaderSim::newCard(CardFamily family) {
  Card c;
  c.number = static_cast<int>(cards_.size()) + 1;
  c.family = family;
  c.uid = uidFor(c.number);
  cards_.push_back(std::move(c));
  return cards_.back();
}

// Seven-byte UIDs as Mifare cards have, distinct for every card number.
std::string ReaderSim::uidFor(int number) const {
  const auto n = static_cast<unsigned>(number);
  return "04" + hex32(fnv1a("card " + std::to_string(number))) + byteHex((n >> 8) & 0xFF) + byteHex(n & 0xFF);
}

CommandResult ReaderSim::present(int number, CardFamily family, std::optional<std::uint8_t> code) {
  if (number < 0 || number > static_cast<int>(cards_.size())) {
    return refused("no card " + std::to_string(number) + " (cards list shows them; present blank makes one)");
  }
  Card& card = number == 0 ? newCard(family) : cards_[static_cast<std::size_t>(number - 1)];
  const std::string before = describe(card);
  Outcome o = cardOutcome(card);
  std::string what = o.what;
  std::uint8_t finalCode = 0;
  const bool isFrame = !o.frame.empty() && !code;
  CommandResult r;
  r.needsLine = true;
  r.writes = finish(std::move(o), code, &finalCode);
  r.answer = "card " + before + "\n";
  if (isFrame) {
    r.answer += what;
  } else {
    r.answer += "result " + std::to_string(finalCode) + " (" + resultName(finalCode) + ")";
    if (finalCode == 0 && !what.empty()) r.answer += ": " + what;
  }
  return r;
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

  if (name == "cards" && args == 1 && lower(t[1]) == "list") {
    if (cards_.empty()) return done("no cards yet (present blank makes one)");
    std::string out;
    for (const auto& c : cards_) out += (out.empty() ? "" : "\n") + describe(c);
    return done(out);
  }
  if (name == "present") {
    const char* usage = "usage: present blank [plus|classic] [CODE] or present CARD [CODE] (CODE: 0-255)";
    if (args == 0) return refused(usage);
    std::size_t i = 1;
    int cardNo = 0;
    CardFamily family = CardFamily::Plus;
    if (lower(t[1]) == "blank") {
      ++i;
      if (i < t.size() && (lower(t[i]) == "plus" || lower(t[i]) == "classic")) {
        family = lower(t[i]) == "classic" ? CardFamily::Classic : CardFamily::Plus;
        ++i;
      }
    } else {
      const auto v = number(t[1], 1, 1000000);
      if (!v) return refused(usage);
      cardNo = static_cast<int>(*v);
      ++i;
    }
    std::optional<std::uint8_t> code;
    if (i < t.size()) {
      const auto v = number(t[i], 0, 255);
      if (!v) return refused(usage);
      code = static_cast<std::uint8_t>(*v);
      ++i;
    }
    if (i != t.size()) return refused(usage);
    return present(cardNo, family, code);
  }
  if (name == "status") {
    if (auto e = expectNoArgs()) return *e;
    std::string out = std::string("card mode: ") + modeName(mode_);
    out += "\nconfiguration: " + std::to_string(configHex_.size() / 2) + " bytes, reading mode " +
           std::to_string(readingModeOf(configHex_));
    if (!configHex_.empty()) out += ", record " + configHex_;
    out += "\nobject code: " + (objectCode_.empty() ? std::string("none") : objectCode_);
    if (locked_) out += " (locked: the protected mode can be removed only with its master cards)";
    if (mode_ == CardMode::WriteMasters) {
      out += "\nmaster cards written: " + std::to_string(setIndex_) + " of " + std::to_string(setCount_);
    }
    if (authorising_) out += "\nmaster card accepted: " + std::to_string(authorising_->number);
    out += "\nfirmware version: " + std::to_string(version_[0]) + "." + std::to_string(version_[1]) + "." +
           std::to_string(version_[2]);
    out += "\ncards: " + std::to_string(cards_.size());
    return done(out);
  }
  if (name == "reset") {
    if (auto e = expectNoArgs()) return *e;
    configHex_.clear();
    objectCode_.clear();
    locked_ = false;
    mode_ = CardMode::Reading;
    authorising_.reset();
    havePending_ = false;
    return done("reader memory cleared (the cards stay)");
  }
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
    r.needsLine = true;
    return r;
  }
  if (name == "raw") {
    std::string hex;
    for (std::size_t i = 1; i < t.size(); ++i) hex.append(t[i]);
    const auto bytes = strictHex(hex);
    if (hex.empty() || !bytes) return refused("usage: raw HEX (pairs of hex digits, blanks allowed between pairs)");
    CommandResult r = done("sent " + std::to_string(bytes->size()) + " bytes");
    r.writes.push_back(Write{*bytes, 0, false});
    r.needsLine = true;
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
