// Zone names files (.znm) and the zone bit string.
//
// Names: a file either gives the error and changes nothing, or names at most
// its first 64 lines, each a UTF-8 text without control characters and
// without blanks at its ends; the other zones keep their names; the names
// saved and read again come back the same. Bit string: what is accepted
// shows as 64 bits that read back to the same zones, and a plain string of
// 1 to 64 bits is always accepted.
#include "config/zones.h"
#include "fuzz_check.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <string>

using namespace terva::config;
using terva::fuzz::shown;

namespace {

// Decodes UTF-8 strictly; false when the bytes are not UTF-8.
bool decodeUtf8(std::string_view s, std::u32string& out) {
  out.clear();
  for (std::size_t i = 0; i < s.size();) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int n = b0 < 0x80 ? 0 : (b0 & 0xE0) == 0xC0 ? 1 : (b0 & 0xF0) == 0xE0 ? 2 : (b0 & 0xF8) == 0xF0 ? 3 : -1;
    if (n < 0) return false;
    char32_t c = n == 0 ? b0 : n == 1 ? (b0 & 0x1Fu) : n == 2 ? (b0 & 0x0Fu) : (b0 & 0x07u);
    for (int k = 1; k <= n; ++k) {
      if (i + static_cast<std::size_t>(k) >= s.size()) return false;
      const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
      if ((b & 0xC0) != 0x80) return false;
      c = (c << 6) | (b & 0x3Fu);
    }
    const char32_t min = n == 1 ? 0x80 : n == 2 ? 0x800 : n == 3 ? 0x10000 : 0;
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.push_back(c);
    i += static_cast<std::size_t>(n) + 1;
  }
  return true;
}

bool blankOrControl(char32_t c) { return c <= 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F); }

// Lines of a names file: endings CR LF, LF or CR; an ending after the last line adds none.
std::size_t lineCount(std::string_view bytes) {
  std::size_t n = 0;
  bool pending = false;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      ++n;
      pending = false;
    } else {
      pending = true;
    }
  }
  return n + (pending ? 1 : 0);
}

const QTemporaryDir& workDir() {
  // In memory where the system has it: the files here are rewritten every run.
  static const QTemporaryDir dir((QDir("/dev/shm").exists() ? QString("/dev/shm") : QDir::tempPath()) + "/terva-fuzz-znm-XXXXXX");
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  ZoneNames current;
  for (std::size_t i = 0; i < current.size(); ++i) current[i] = "keep " + std::to_string(i + 1);

  const NamesRead r = namesFromText(in, current);
  if (r.error) {
    FUZZ_CHECK(!r.error->empty(), "empty error text for " + shown(in));
    FUZZ_CHECK(r.names == current, "names changed by a refused file " + shown(in));
  } else {
    const std::size_t lines = lineCount(in);
    for (std::size_t i = 0; i < r.names.size(); ++i) {
      const std::string& name = r.names[i];
      if (i >= lines) {
        FUZZ_CHECK(name == current[i], "zone " + std::to_string(i + 1) + " past the last line renamed to " + shown(name) +
                                           " by " + shown(in));
        continue;
      }
      std::u32string chars;
      FUZZ_CHECK(decodeUtf8(name, chars), "zone " + std::to_string(i + 1) + " name is not UTF-8: " + shown(name));
      for (char32_t c : chars) {
        FUZZ_CHECK(c == 0x20 || !blankOrControl(c),
                   "zone " + std::to_string(i + 1) + " name holds a control character: " + shown(name) + " from " + shown(in));
      }
      FUZZ_CHECK(chars.empty() || (!blankOrControl(chars.front()) && !blankOrControl(chars.back())),
                 "zone " + std::to_string(i + 1) + " name not trimmed: " + shown(name));
    }
    // Saved and read again, the names come back. A name Windows-1251 cannot
    // hold is refused with a message instead.
    const QString path = workDir().filePath("names.znm");
    if (const auto err = saveNamesFile(path, r.names); !err) {
      const NamesRead back = readNamesFile(path, defaultZoneNames());
      FUZZ_CHECK(!back.error, "a saved names file was refused: " + back.error.value_or("") + " for " + shown(in));
      FUZZ_CHECK(back.names == r.names, "saved names read back differently for " + shown(in));
    } else {
      FUZZ_CHECK(!err->empty(), std::string("empty save error"));
    }
  }

  // The zone bit string of the same bytes.
  if (const auto mask = parseZoneBitString(in)) {
    const std::string bits = zonesToBitString(*mask);
    FUZZ_CHECK(bits.size() == 64 && bits.find_first_not_of("01") == std::string::npos, "zonesToBitString gives " + bits);
    FUZZ_CHECK(parseZoneBitString(bits) == mask, "bit string " + bits + " does not read back");
  }
  if (!in.empty() && in.size() <= 64 && in.find_first_not_of("01") == std::string_view::npos) {
    std::uint64_t v = 0;
    for (char c : in) v = (v << 1) | (c == '1' ? 1u : 0u);
    FUZZ_CHECK(parseZoneBitString(in) == v, "plain bit string " + shown(in) + " not read as its value");
  }
  return 0;
}
