// The settings file: reading and writing keys of an arbitrary file.
//
// Input: the file's bytes, then (each after a 0 byte) section, key and value
// of the keys to write, three parts a key; with no key given, "viewmode" of
// section "kelvor" is set to "2". Properties:
//  - every key reads as a plain reference reader of the format reads it (the
//    line ending, a lone CR ending the file too, is no part of a value);
//  - a value holding CR or LF is refused, and a refused write changes nothing;
//  - after the writes each key reads back as written, every other key of the
//    file reads as before, and every line the writes did not change keeps its
//    bytes and its line ending, in order (a last line without a complete
//    ending may gain one when a line is appended after it);
//  - writeMany gives byte for byte what the single writes give.
// Define TERVA_FUZZ_NO_WRITEMANY to build against a settings file without
// writeMany.
#include "app/inifile.h"
#include "fuzz_check.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

using terva::app::IniFile;
using terva::fuzz::shown;
namespace fs = std::filesystem;

namespace {

struct Entry {
  std::string section, key, value;
};

const fs::path& workDir() {
  static const fs::path dir = [] {
    std::string base = fs::exists("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string tmpl = base + "/terva-fuzz-settings-XXXXXX";
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    // Remove the folder when the fuzzer exits.
    static const struct Cleanup {
      fs::path p;
      ~Cleanup() {
        std::error_code ec;
        fs::remove_all(p, ec);
      }
    } cleanup{tmpl};
    return fs::path(tmpl);
  }();
  return dir;
}

void putFile(const fs::path& p, std::string_view bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string getFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return std::move(s).str();
}

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool sameName(std::string_view a, std::string_view b) {
  a = trim(a);
  b = trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto low = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (low(a[i]) != low(b[i])) return false;
  }
  return true;
}

constexpr std::string_view kBom = "\xEF\xBB\xBF";

struct Line {
  std::string text, eol;  // eol: "\n", "\r\n", or on the last line "\r" or ""
};

std::vector<Line> splitLines(std::string_view s) {
  if (s.substr(0, kBom.size()) == kBom) s.remove_prefix(kBom.size());
  std::vector<Line> lines;
  while (!s.empty()) {
    const std::size_t nl = s.find('\n');
    std::string_view piece = s.substr(0, nl == std::string_view::npos ? s.size() : nl + 1);
    s.remove_prefix(piece.size());
    Line l;
    if (!piece.empty() && piece.back() == '\n') {
      piece.remove_suffix(1);
      l.eol = "\n";
    }
    if (!piece.empty() && piece.back() == '\r') {
      piece.remove_suffix(1);
      l.eol = "\r" + l.eol;
    }
    l.text = std::string(piece);
    lines.push_back(std::move(l));
  }
  return lines;
}

// The key name of a key line, if it is one.
std::optional<std::string_view> keyOf(std::string_view text) {
  const auto t = trim(text);
  if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[') return std::nullopt;
  const auto eq = text.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return trim(text.substr(0, eq));
}

// Every (section, key) the file names, as the probes for "reads as before".
std::vector<std::pair<std::string, std::string>> namesIn(std::string_view file) {
  std::vector<std::pair<std::string, std::string>> names;
  std::string section;
  for (const Line& l : splitLines(file)) {
    const auto t = trim(l.text);
    if (!t.empty() && t[0] == '[') {
      const auto close = t.find(']');
      if (close != std::string_view::npos) section = std::string(trim(t.substr(1, close - 1)));
    } else if (const auto k = keyOf(l.text)) {
      names.emplace_back(section, std::string(*k));
    }
    if (names.size() >= 24) break;
  }
  return names;
}

bool ofWrittenKey(const Line& l, const std::vector<Entry>& entries) {
  const auto k = keyOf(l.text);
  if (!k) return false;
  for (const Entry& e : entries) {
    if (sameName(*k, e.key)) return true;
  }
  return false;
}

// Whether the old lines are kept, bytes and endings, in order in the new
// file, where the new file may have lines of its own (blank lines, section
// headers, lines of written keys) and may lack old lines of written keys. A
// last old line without a complete ending may have gained one.
bool keptInOrder(const std::vector<Line>& oldLines, const std::vector<Line>& newLines, const std::vector<Entry>& entries) {
  const std::size_t n = oldLines.size(), m = newLines.size();
  if (n * m > 4'000'000) return true;  // too large to check here
  auto same = [&](std::size_t i, std::size_t j) {
    const Line& o = oldLines[i];
    const Line& w = newLines[j];
    if (o.text != w.text) return false;
    if (o.eol == w.eol) return true;
    return i + 1 == n && o.eol != "\n" && o.eol != "\r\n" && (w.eol == "\n" || w.eol == "\r\n");
  };
  auto added = [&](std::size_t j) {
    const Line& w = newLines[j];
    const auto t = trim(w.text);
    return t.empty() || t[0] == '[' || ofWrittenKey(w, entries);
  };
  // reach[j]: the first i old lines can be matched within the first j new lines.
  std::vector<char> reach(m + 1, 0), next(m + 1, 0);
  reach[0] = 1;
  for (std::size_t j = 1; j <= m; ++j) reach[j] = reach[j - 1] && added(j - 1);
  for (std::size_t i = 0; i < n; ++i) {
    const bool dropped = ofWrittenKey(oldLines[i], entries);
    next[0] = dropped && reach[0];
    for (std::size_t j = 1; j <= m; ++j) {
      next[j] = (reach[j - 1] && same(i, j - 1)) || (next[j - 1] && added(j - 1)) || (dropped && reach[j]);
    }
    reach.swap(next);
  }
  return reach[m] != 0;
}

const char kMissing[] = "\x01missing";

// What a read must give, from the file's rules: lines end at LF, a CR
// before the LF or ending the file belongs to the ending; keys before any
// section header are in section ""; the first key of a matching section wins.
std::string refRead(std::string_view file, std::string_view section, std::string_view key) {
  bool inSection = trim(section).empty();
  for (const Line& l : splitLines(file)) {
    const auto t = trim(l.text);
    if (!t.empty() && t[0] == '[') {
      const auto close = t.find(']');
      if (close != std::string_view::npos) {
        inSection = sameName(t.substr(1, close - 1), section);
        continue;
      }
    }
    const auto k = keyOf(l.text);
    if (k && inSection && sameName(*k, key)) return l.text.substr(l.text.find('=') + 1);
  }
  return kMissing;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  for (std::size_t pos = 0;;) {
    const std::size_t z = in.find('\0', pos);
    parts.emplace_back(in.substr(pos, z == std::string_view::npos ? std::string_view::npos : z - pos));
    if (z == std::string_view::npos) break;
    pos = z + 1;
  }
  const std::string file = parts[0];
  std::vector<Entry> entries;
  for (std::size_t i = 1; i + 2 < parts.size() && entries.size() < 4; i += 3) entries.push_back({parts[i], parts[i + 1], parts[i + 2]});
  if (entries.empty()) entries.push_back({"kelvor", "viewmode", "2"});
  const std::string what = "file " + shown(file) + [&] {
    std::string s;
    for (const Entry& e : entries) s += ", write [" + shown(e.section) + "] " + shown(e.key) + " = " + shown(e.value);
    return s;
  }();

  const fs::path path = workDir() / "settings.ini";
  putFile(path, file);
  IniFile ini(path);

  auto probes = namesIn(file);
  for (const Entry& e : entries) probes.emplace_back(e.section, e.key);
  std::vector<std::string> before;
  for (const auto& [s, k] : probes) {
    before.push_back(ini.read(s, k, kMissing));
    FUZZ_CHECK(before.back() == refRead(file, s, k), "[" + shown(s) + "] " + shown(k) + " reads as " + shown(before.back()) +
                                                         ", not " + shown(refRead(file, s, k)) + ", from " + shown(file));
  }

  // A refused write leaves the file as the writes before it made it.
  bool refused = false;
  for (const Entry& e : entries) {
    const std::string was = getFile(path);
    try {
      ini.write(e.section, e.key, e.value);
    } catch (const std::invalid_argument&) {
      refused = true;
      FUZZ_CHECK(getFile(path) == was, "a refused write changed the file: " + what);
      break;
    } catch (const std::system_error& err) {
      FUZZ_CHECK(false, std::string("write failed: ") + err.what() + " for " + what);
    }
  }
  const std::string after = getFile(path);
  bool lineBreakInValue = false;
  for (const Entry& e : entries) lineBreakInValue = lineBreakInValue || e.value.find_first_of("\r\n") != std::string::npos;
  if (lineBreakInValue) FUZZ_CHECK(refused, "a value with a line break was written: " + what);
  if (refused) {
#ifndef TERVA_FUZZ_NO_WRITEMANY
    // writeMany checks every entry first: nothing changes.
    putFile(path, file);
    std::vector<terva::app::IniEntry> many;
    for (const Entry& e : entries) many.push_back({e.section, e.key, e.value});
    bool manyRefused = false;
    try {
      ini.writeMany(many);
    } catch (const std::invalid_argument&) {
      manyRefused = true;
    }
    FUZZ_CHECK(manyRefused && getFile(path) == file, "writeMany did not refuse as the single writes did: " + what);
#endif
    return 0;
  }

  // Each key reads back as last written.
  for (std::size_t i = 0; i < entries.size(); ++i) {
    bool overwritten = false;
    for (std::size_t j = i + 1; j < entries.size(); ++j)
      overwritten = overwritten || (sameName(entries[j].section, entries[i].section) && sameName(entries[j].key, entries[i].key));
    if (overwritten) continue;
    const std::string got = ini.read(entries[i].section, entries[i].key, kMissing);
    FUZZ_CHECK(got == entries[i].value, "key reads back as " + shown(got) + " after " + what + ", file now " + shown(after));
  }
  // Every other key reads as before.
  for (std::size_t p = 0; p < probes.size(); ++p) {
    bool written = false;
    for (const Entry& e : entries) written = written || (sameName(e.section, probes[p].first) && sameName(e.key, probes[p].second));
    const std::string got = ini.read(probes[p].first, probes[p].second, kMissing);
    FUZZ_CHECK(got == refRead(after, probes[p].first, probes[p].second),
               "[" + shown(probes[p].first) + "] " + shown(probes[p].second) + " reads as " + shown(got) + " from " + shown(after));
    if (written) continue;
    FUZZ_CHECK(got == before[p], "[" + shown(probes[p].first) + "] " + shown(probes[p].second) + " read " + shown(before[p]) +
                                     ", now " + shown(got) + " after " + what + ", file now " + shown(after));
  }
  // The byte-order mark stays; unchanged lines keep their bytes, in order.
  FUZZ_CHECK((file.substr(0, 3) == kBom) == (after.substr(0, 3) == kBom), "byte-order mark changed: " + what);
  const auto oldLines = splitLines(file);
  const auto newLines = splitLines(after);
  FUZZ_CHECK(newLines.size() <= oldLines.size() + 3 * entries.size(), "too many lines added: " + what + " -> " + shown(after));
  FUZZ_CHECK(keptInOrder(oldLines, newLines, entries), "a line not written lost its bytes: " + what + " -> " + shown(after));

#ifndef TERVA_FUZZ_NO_WRITEMANY
  // writeMany: the same file as the single writes.
  putFile(path, file);
  std::vector<terva::app::IniEntry> many;
  for (const Entry& e : entries) many.push_back({e.section, e.key, e.value});
  try {
    ini.writeMany(many);
  } catch (const std::exception& e) {
    FUZZ_CHECK(false, std::string("writeMany refused what single writes took: ") + e.what() + " for " + what);
  }
  FUZZ_CHECK(getFile(path) == after, "writeMany gave " + shown(getFile(path)) + ", single writes " + shown(after) + ": " + what);
#endif
  return 0;
}
