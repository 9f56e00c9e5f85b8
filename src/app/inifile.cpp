#include "app/inifile.h"

#include <cerrno>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace terva::app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool sameName(std::string_view a, std::string_view b) {
  a = trim(a);
  b = trim(b);
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
  }
  return true;
}

bool hasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// The file split into lines, each with its own ending, so lines that are not
// changed are written back byte for byte.
struct Line {
  std::string text;
  // "\n", "\r\n", "\r" (a lone CR ending the file) or "" (last line without one).
  std::string eol;
};

struct Document {
  bool bom = false;
  std::string eol = "\n";  // ending given to new lines
  std::vector<Line> lines;
};

bool completeEol(std::string_view eol) { return eol == "\n" || eol == "\r\n"; }

Document parse(std::string_view text) {
  Document d;
  if (text.substr(0, kBom.size()) == kBom) {
    d.bom = true;
    text.remove_prefix(kBom.size());
  }
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto nl = text.find('\n', pos);
    std::string_view line = text.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos);
    std::string eol;
    if (nl != std::string_view::npos) eol = "\n";
    // A CR before the LF, or ending the file, belongs to the line ending: a
    // value can never hold one, and a line appended later turns it into CR LF.
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
      eol = "\r" + eol;
    }
    d.lines.push_back(Line{std::string(line), std::move(eol)});
    if (nl == std::string_view::npos) break;
    pos = nl + 1;
  }
  // New lines follow the first line with a complete ending.
  for (const auto& l : d.lines) {
    if (completeEol(l.eol)) {
      d.eol = l.eol;
      return d;
    }
  }
  if (!d.lines.empty() && d.lines.back().eol == "\r") d.eol = "\r\n";
  return d;
}

std::string serialize(const Document& d) {
  std::string out;
  if (d.bom) out += kBom;
  for (const auto& l : d.lines) {
    out += l.text;
    out += l.eol;
  }
  return out;
}

// Inserts a new line before index at. Appended after a last line that has no
// complete ending, that line is given one and the new line takes its place as
// the unended last line, so a file without a final line break keeps that shape.
void insertLine(Document& d, std::size_t at, std::string text) {
  const auto pos = d.lines.begin() + static_cast<std::ptrdiff_t>(at);
  if (at > 0 && at == d.lines.size() && !completeEol(d.lines.back().eol)) {
    Line& last = d.lines.back();
    last.eol = last.eol == "\r" ? "\r\n" : d.eol;
    d.lines.push_back(Line{std::move(text), ""});
  } else {
    d.lines.insert(pos, Line{std::move(text), d.eol});
  }
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct LineInfo {
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name, trimmed
  std::size_t eq = 0;      // position of the first '=' of a key line
};

LineInfo classify(std::string_view line) {
  const auto t = trim(line);
  if (t.empty()) return {LineKind::Blank, {}, 0};
  if (t.front() == ';' || t.front() == '#') return {LineKind::Comment, {}, 0};
  if (t.front() == '[') {
    const auto close = t.find(']');
    if (close != std::string_view::npos) return {LineKind::Section, trim(t.substr(1, close - 1)), 0};
    return {LineKind::Other, {}, 0};
  }
  const auto eq = line.find('=');
  if (eq != std::string_view::npos) return {LineKind::Key, trim(line.substr(0, eq)), eq};
  return {LineKind::Other, {}, 0};
}

// Reads the whole file; returns 0 or the errno of the failure.
int readAll(const fs::path& path, std::string& out) {
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return errno != 0 ? errno : EIO;
  std::ostringstream buf;
  buf << in.rdbuf();
  if (in.bad()) return EIO;
  out = std::move(buf).str();
  // A folder opens fine as a stream on some systems but reads nothing.
  std::error_code ec;
  if (fs::is_directory(path, ec)) return EISDIR;
  return 0;
}

[[noreturn]] void fail(int err, const std::string& what, const fs::path& path) {
  throw std::system_error(err, std::generic_category(), what + " " + path.string());
}

#ifndef _WIN32

std::string randomSuffix() {
  static thread_local std::mt19937_64 gen{std::random_device{}()};
  static constexpr char digits[] = "0123456789abcdef";
  std::string s(12, '0');
  auto v = gen();
  for (char& c : s) {
    c = digits[v & 0xF];
    v >>= 4;
  }
  return s;
}

// Writes all of data at offset 0 of fd; false with errno set on failure.
bool putAll(int fd, const std::string& data) {
  std::size_t done = 0;
  while (done < data.size()) {
    const auto n = ::pwrite(fd, data.data() + done, data.size() - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Rewrites the existing target through its own inode, for a folder that takes
// no new files. On failure the old contents are put back as far as possible.
void writeInPlace(const fs::path& target, const std::string& data, const std::string& old) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) fail(errno, "cannot write", target);
  if (!putAll(fd, data) || ::ftruncate(fd, static_cast<off_t>(data.size())) != 0 || ::fsync(fd) != 0) {
    const int err = errno;
    if (putAll(fd, old)) {
      [[maybe_unused]] const int restored = ::ftruncate(fd, static_cast<off_t>(old.size()));
      ::fsync(fd);
    }
    ::close(fd);
    fail(err, "cannot write", target);
  }
  if (::close(fd) != 0) fail(errno, "cannot write", target);
}

// Writes data to a fresh temporary file beside target, flushes it to disk and
// renames it over target. mode, when given, becomes the new file's permission
// bits; otherwise the process umask decides. old holds the current contents
// when target exists: should the folder refuse the temporary file or the
// rename, target is then rewritten in place.
void replaceFile(const fs::path& target, const std::string& data, std::optional<unsigned> mode,
                 const std::string* old) {
  const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
  fs::path tmp;
  int fd = -1;
  int createErr = EEXIST;
  for (int attempt = 0; attempt < 100 && fd < 0 && createErr == EEXIST; ++attempt) {
    tmp = dir / ("." + target.filename().string() + ".tmp-" + randomSuffix());
    fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) createErr = errno;
  }
  if (fd < 0) {
    if (old && createErr != EEXIST) return writeInPlace(target, data, *old);
    fail(createErr, "cannot create a temporary file in", dir);
  }

  auto abandon = [&](int err, const char* what) {
    if (fd >= 0) ::close(fd);
    ::unlink(tmp.c_str());
    fail(err, what, target);
  };
  if (!putAll(fd, data)) abandon(errno, "cannot write");
  if (mode && ::fchmod(fd, static_cast<mode_t>(*mode)) != 0) abandon(errno, "cannot set the permissions of");
  if (::fsync(fd) != 0) abandon(errno, "cannot flush");
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) abandon(errno, "cannot write");
  if (::rename(tmp.c_str(), target.c_str()) != 0) {
    // A folder that lets files be created but not renamed over (a sticky
    // folder, a file mounted on its own) still allows an in-place write.
    const int err = errno;
    ::unlink(tmp.c_str());
    if (old) return writeInPlace(target, data, *old);
    fail(err, "cannot replace", target);
  }

  // Make the rename itself durable; a failure here loses nothing already written.
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
}

#else

void replaceFile(const fs::path& target, const std::string& data, std::optional<unsigned>, const std::string*) {
  fs::path tmp = target;
  tmp += ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    out << data;
    out.flush();
    if (!out) {
      std::error_code ec;
      fs::remove(tmp, ec);
      fail(EIO, "cannot write", target);
    }
  }
  std::error_code ec;
  fs::rename(tmp, target, ec);
  if (ec) {
    fs::remove(tmp, ec);
    fail(EIO, "cannot replace", target);
  }
}

#endif

void checkEntry(std::string_view section, std::string_view key, std::string_view value) {
  const auto sec = trim(section);
  const auto k = trim(key);
  if (hasLineBreak(value)) throw std::invalid_argument("a settings value cannot hold a line break");
  if (hasLineBreak(section) || sec.find(']') != std::string_view::npos) {
    throw std::invalid_argument("invalid settings section name");
  }
  if (k.empty() || hasLineBreak(key) || k.find('=') != std::string_view::npos || k.front() == ';' ||
      k.front() == '#' || k.front() == '[' || k.substr(0, kBom.size()) == kBom) {
    throw std::invalid_argument("invalid settings key name");
  }
}

// The value read() would find for key in section of d, if any.
std::optional<std::string_view> lookup(const Document& d, std::string_view section, std::string_view key) {
  bool inSection = trim(section).empty();  // keys before any header belong to section ""
  for (const auto& line : d.lines) {
    const auto info = classify(line.text);
    if (info.kind == LineKind::Section) {
      inSection = sameName(info.name, section);
    } else if (info.kind == LineKind::Key && inSection && sameName(info.name, key)) {
      return std::string_view(line.text).substr(info.eq + 1);
    }
  }
  return std::nullopt;
}

// Sets one checked key in d, as write() describes.
void apply(Document& d, std::string_view section, std::string_view key, std::string_view value) {
  const auto sec = trim(section);
  const auto k = trim(key);
  bool inSection = sec.empty();
  bool sectionFound = sec.empty();
  bool firstRange = sec.empty();  // still inside the first matching section
  std::size_t insertAt = 0;       // after the last non-blank line of that section
  for (std::size_t i = 0; i < d.lines.size(); ++i) {
    const auto info = classify(d.lines[i].text);
    if (info.kind == LineKind::Section) {
      firstRange = false;
      inSection = sameName(info.name, sec);
      if (inSection && !sectionFound) {
        sectionFound = true;
        firstRange = true;
        insertAt = i + 1;
      }
      continue;
    }
    if (inSection && info.kind == LineKind::Key && sameName(info.name, k)) {
      d.lines[i].text = d.lines[i].text.substr(0, info.eq + 1) + std::string(value);
      return;
    }
    if (firstRange && info.kind != LineKind::Blank) insertAt = i + 1;
  }
  const std::string newLine = std::string(k) + "=" + std::string(value);
  if (sectionFound) {
    insertLine(d, insertAt, newLine);
    return;
  }
  if (!d.lines.empty() && !trim(d.lines.back().text).empty()) insertLine(d, d.lines.size(), "");
  insertLine(d, d.lines.size(), "[" + std::string(sec) + "]");
  insertLine(d, d.lines.size(), newLine);
}

}  // namespace

IniFile::IniFile(fs::path path) : path_(std::move(path)) {}

std::string IniFile::read(std::string_view section, std::string_view key, std::string_view def) const {
  std::string text;
  if (readAll(path_, text) != 0) return std::string(def);
  const Document d = parse(text);
  const auto value = lookup(d, section, key);
  return std::string(value ? *value : def);
}

void IniFile::write(std::string_view section, std::string_view key, std::string_view value) {
  writeMany({IniEntry{std::string(section), std::string(key), std::string(value)}});
}

void IniFile::writeMany(const std::vector<IniEntry>& entries) {
  if (entries.empty()) return;
  for (const auto& e : entries) checkEntry(e.section, e.key, e.value);

  // Write through a symbolic link to the file it names, not over the link.
  fs::path target = path_;
  std::error_code ec;
  if (fs::is_symlink(fs::symlink_status(target, ec)) && fs::exists(target, ec)) target = fs::canonical(target, ec);
  if (ec) target = path_;

  std::string text;
  std::optional<unsigned> mode;
  const bool exists = fs::exists(fs::symlink_status(target, ec));
  if (exists) {
    if (const int err = readAll(target, text); err != 0) fail(err, "cannot read", target);
#ifndef _WIN32
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;
    // A file made read-only stays unchanged, as it would if written in place.
    if (::access(target.c_str(), W_OK) != 0) fail(errno, "cannot write", target);
#endif
  }

  Document d = parse(text);
  for (const auto& e : entries) {
    apply(d, e.section, e.key, e.value);
    // Refuse what the next read would not give back, whatever the reason.
    if (lookup(parse(serialize(d)), e.section, e.key) != std::string_view(e.value)) {
      throw std::invalid_argument("settings key " + e.key + " could not be read back");
    }
  }
  std::string result = serialize(d);
  // A file that already holds these bytes is left alone: no replace, no flush
  // to disk (the usual close, with nothing changed since the start).
  if (exists && result == text) return;
  replaceFile(target, result, mode, exists ? &text : nullptr);
}

}  // namespace terva::app
