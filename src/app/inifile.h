#pragma once
// The settings file: a small INI file read and written one key at a time.
//
// Section and key names are matched without regard to ASCII letter case and
// with blanks around them ignored. A value is everything after the first '='
// of its line up to the line ending, exactly as stored: no quoting, escaping or
// trimming, so blanks and further '=' signs survive. Text is UTF-8; LF and
// CR LF line endings (mixed too), a lone CR ending the last line and a UTF-8
// byte-order mark are accepted.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace terva::app {

// One key to set by IniFile::writeMany.
struct IniEntry {
  std::string section;
  std::string key;
  std::string value;
};

class IniFile {
 public:
  explicit IniFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return path_; }

  // The value of key in section, or def when the file, the section or the key
  // is missing or the file cannot be read. Reads the file afresh every call.
  std::string read(std::string_view section, std::string_view key, std::string_view def) const;

  // Sets key in section to value. Every line the write does not change keeps
  // its bytes, its line ending included, and so does the byte-order mark. A
  // missing key is added at the end of its section, a missing section at the
  // end of the file, each with the line ending of the file's first line; the
  // first write creates the file. The new contents go to a temporary file in
  // the same folder, are flushed to disk and then renamed over the old file, so
  // the file is never left half-written. When the folder takes no new file (or
  // the rename is refused) but the file itself is writable, it is rewritten in
  // place instead, and put back as it was if that fails.
  // Throws std::invalid_argument (nothing changed) for a value holding CR or LF
  // or for a name that could not be read back (line breaks, '=' or ']' in the
  // wrong place, a key opening with ';', '#', '[' or a byte-order mark), and
  // std::system_error when the file cannot be read or written.
  void write(std::string_view section, std::string_view key, std::string_view value);

  // The same as write() for each entry in turn, but the file is read once and
  // replaced once: the result is byte for byte what the single writes would
  // give. Every entry is checked first; on any error nothing is changed.
  // An empty list, or one that changes no byte of the file, leaves the file
  // alone (it is not replaced).
  void writeMany(const std::vector<IniEntry>& entries);

 private:
  std::filesystem::path path_;
};

}  // namespace terva::app
