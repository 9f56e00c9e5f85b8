#pragma once
// Passage zones: the 64 zone flags as a bit string (dialog TForm9), zone
// names and the names files (.znm) kept in the settings folder.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace terva::config {

inline constexpr std::uint64_t kAllZones = ~std::uint64_t{0};

// ---- bit string ----

inline constexpr std::string_view kBadBitStringText = "Неверная строка.";

// 64 characters "0"/"1", zone 64 first, zone 1 last.
std::string zonesToBitString(std::uint64_t mask);
// The dialog's text accepted: blanks and control characters at both ends
// are removed; 1 to 64 characters "0"/"1", filled on the left with "0".
// Nothing for anything else (show kBadBitStringText, keep the ticks).
std::optional<std::uint64_t> parseZoneBitString(std::string_view text);
// Key filter of TForm9's field: "0", "1" and backspace pass.
std::optional<char32_t> Edit1KeyPress(char32_t key);

// ---- names ----

using ZoneNames = std::array<std::string, 64>;  // UTF-8, zone 1 first

// "Зона прохода N".
std::string defaultZoneName(int zone);
ZoneNames defaultZoneNames();

inline constexpr std::string_view kNamesFileDescription = "Наименования зон прохода (*.znm)";
inline constexpr std::string_view kNamesFilePattern = "*.znm";
inline constexpr std::string_view kNamesFileSuffix = "znm";
inline constexpr std::string_view kWarningCaption = "Предупреждение";
inline constexpr std::string_view kOtherFolderQuestion =
    "Вы сохраняете файл в отличную от родительской директорию. Продолжить сохранение?";
inline constexpr qint64 kMaxNamesFileBytes = 64 * 1024;

// The names-set selector: item 0 is "стандартные имена", then the names
// files of the folder by file name.
struct NamesList {
  std::vector<std::string> items;
  int selected = 0;
};
// Rebuilds the list from `folder` and selects the file named `name`, or
// item 0. Selecting does not apply the names.
NamesList fillnamelist(const QString& folder, std::string_view name = {});
// The list after a save to `savedPath`: the saved file is selected only
// when it was saved into `folder` itself.
NamesList namesListAfterSave(const QString& folder, const QString& savedPath);

// Choosing item `index` of the selector (ComboBox1Change).
struct NamesChoice {
  ZoneNames names;                   // the grid's names afterwards
  int selected = 0;                  // the selector's item afterwards
  std::optional<std::string> error;  // to show; names and selection then unchanged
};
NamesChoice chooseNamesSet(const NamesList& list, int index, int previousSelected, const QString& folder,
                           const ZoneNames& current);

// Reads a names file onto `current`: line i names zone i, at most 64 lines,
// blanks and control characters at both ends removed; zones past the last
// line keep their names. Valid UTF-8 (with or without BOM) is read as UTF-8,
// anything else as Windows-1251. A file that cannot be read, is larger than
// 64 KiB or holds a control character inside a name gives the error and
// changes nothing.
struct NamesRead {
  std::optional<std::string> error;
  ZoneNames names;
};
NamesRead readNamesFile(const QString& path, const ZoneNames& current);
// The names of a file's contents, as readNamesFile reads them.
NamesRead namesFromText(std::string_view bytes, const ZoneNames& current);

// Writes the 64 names, each followed by CR LF, in Windows-1251, through a
// temporary file renamed over the target. A name the code page cannot hold
// or that holds a control character is refused with a message naming the
// zone, and nothing is written. The system's error text on a write failure.
std::optional<std::string> saveNamesFile(const QString& path, const ZoneNames& names);

// Whether a save into `chosenFolder` asks kOtherFolderQuestion first: the
// two folders compared as cleaned absolute paths.
bool isOtherFolder(const QString& chosenFolder, const QString& settingsFolder);

// The zone area's names side: the grid's names and the names-set selector,
// with names files in the settings folder given at construction.
class ZoneNamesModel {
 public:
  // Start: default names, the selector on "стандартные имена".
  explicit ZoneNamesModel(QString settingsFolder);

  const QString& folder() const { return folder_; }
  const ZoneNames& names() const { return names_; }
  // A name edited in the grid (zone 1..64); the selection stays.
  void setName(int zone, std::string name);
  const NamesList& list() const { return list_; }
  // Rebuilds the selector (fillnamelist) and selects `name`, if listed.
  void refreshList(std::string_view name = {});

  // ComboBox1Change: applies item `index`; the error to show, if any.
  std::optional<std::string> choose(int index);
  // Whether saving to `path` asks kOtherFolderQuestion first.
  bool asksBeforeSaving(const QString& path) const;
  // Saves the names to `path` and refreshes the selector; the error to show.
  std::optional<std::string> save(const QString& path);

 private:
  QString folder_;
  ZoneNames names_;
  NamesList list_;
};

}  // namespace terva::config
