#pragma once
// The configuration file (.rcf): the MD5 digest of the hex text T, then T's
// bytes, where T is the version byte 01 followed by the record.
#include <QByteArray>
#include <QString>

#include <optional>
#include <string>
#include <string_view>

namespace terva::config {

inline constexpr std::string_view kConfigFileDescription = "Файл конфигурации";
inline constexpr std::string_view kConfigFilePattern = "*.rcf";
inline constexpr std::string_view kConfigFileSuffix = "rcf";

inline constexpr std::string_view kBadFileText = "Неверный формат файла.";
inline constexpr std::string_view kBadDigestText = "Неверный формат файла - ошибка CRC.";
inline constexpr std::string_view kBadVersionText = "Неверный формат файла - ошибка версии.";
inline constexpr std::string_view kReadFromFileText = "Конфигурация считана из файла";

inline constexpr qint64 kMaxConfigFileBytes = 64 * 1024;
inline constexpr std::size_t kMinConfigFileBytes = 20;

// The whole file for a record (hex text).
QByteArray buildConfigFile(std::string_view recordHex);

// A file's contents judged: the record's hex text (after the version), or
// the message to show.
struct ConfigFileContents {
  std::optional<std::string> error;
  std::string recordHex;
};
ConfigFileContents parseConfigFile(const QByteArray& bytes);

// Reads and judges a file. A file that is not a regular file or is larger
// than 64 KiB gives kBadFileText without being read; one that cannot be
// opened gives the system's error text.
ConfigFileContents readConfigFile(const QString& path);

// Writes the file through a temporary file in the same folder that replaces
// the target only once complete and flushed. The system's error text on
// failure; the old file is then untouched.
std::optional<std::string> writeConfigFile(const QString& path, const QByteArray& bytes);

}  // namespace terva::config
