#pragma once
// The settings file: a small INI file read and written one key at a time.
//
// Section and key names are matched without regard to ASCII letter case and
// with blanks around them ignored. A value is everything after the first '='
// of its line up to the line ending, exactly as stored: no quoting, escaping or
// trimming, so blanks and further '=' signs survive. Text is UTF-8; LF and
// CR LF line endings and a UTF-8 byte-order mark are accepted.
#include <filesystem>
#include <string>
#include <string_view>

namespace terva::app {

class IniFile {
 public:
  explicit IniFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return path_; }

  // The value of key in section, or def when the file, the section or the key
  // is missing or the file cannot be read. Reads the file afresh every call.
  std::string read(std::string_view section, std::string_view key, std::string_view def) const;

  // Sets key in section to value, keeping every other line of the file, its
  // line-ending style and byte-order mark. A missing key is added at the end of
  // its section, a missing section at the end of the file; the first write
  // creates the file. The new contents go to a temporary file in the same
  // folder, are flushed to disk and then renamed over the old file, so the file
  // is never left half-written.
  // Throws std::invalid_argument (nothing changed) for a value holding CR or LF
  // or for a name that cannot be stored, and std::system_error when the file
  // cannot be read or written.
  void write(std::string_view section, std::string_view key, std::string_view value);

 private:
  std::filesystem::path path_;
};

}  // namespace terva::app
