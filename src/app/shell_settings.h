#pragma once
// The operator's choices kept in the settings file, as one typed value, and
// the rules for reading and writing them.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/inifile.h"
#include "ident/view_mode.h"

namespace terva::app {

inline constexpr const char* kSettingsSection = "kelvor";

// Hand-edited files often have blanks around "=": flag and view-mode values
// ignore blanks and tabs around them (templates and port names do not).
std::string_view trimBlanks(std::string_view value);

// A flag is on only when its value, blanks aside, is exactly "1".
inline bool flagOn(std::string_view value) { return trimBlanks(value) == "1"; }
inline const char* flagText(bool on) { return on ? "1" : "0"; }

// "1", "2", "3" (blanks aside) are DEC, HEX, CST; anything else is no view mode.
std::optional<ident::ViewMode> viewModeFromText(std::string_view value);
// "1", "2" or "3".
const char* viewModeText(ident::ViewMode mode);

// The same as a number: 1, 2, 3, or 0 for anything else (the design state).
inline int viewModeFromSetting(std::string_view value) {
  const auto mode = viewModeFromText(value);
  return mode ? static_cast<int>(*mode) : 0;
}

// Everything the settings file holds. Defaults are the window's design state.
struct ShellSettings {
  // Read: the saved port name, unset when empty or missing. Written only when
  // set (a port is selected); otherwise the stored name is left as it is.
  std::optional<std::string> port;
  ident::ViewMode viewMode = ident::ViewMode::Dec;
  // The saved template, exactly as stored. Read only with viewMode Cst (the
  // trial render belongs to the identifier display); written as "" unless Cst.
  std::string templ;
  bool tobuffer = false;
  bool tokeyboard = false;
  bool crlf = false;
  bool debugmode = false;  // set by hand only: read, never written
  bool autoconnect = false;
  bool totray = false;

  bool operator==(const ShellSettings&) const = default;
};

// Reads one key's text, def when it is missing.
using SettingsReader = std::function<std::string(std::string_view key, std::string_view def)>;

// Reads the keys in the order port, viewmode, template (only for CST),
// tobuffer, tokeyboard, crlf, debugmode, autoconnect, totray. Any error ends
// the reading: the keys not yet read keep their defaults. Never throws.
ShellSettings readShellSettings(const SettingsReader& read);
// The same from the section "kelvor" of file; a missing file gives the defaults.
ShellSettings readShellSettings(const std::filesystem::path& file);

// What the close writes, in its order: viewmode, template, port (when set),
// tobuffer, tokeyboard, crlf, totray, autoconnect. Never debugmode.
std::vector<IniEntry> shellSettingsEntries(const ShellSettings& settings);
// Writes those entries into file in one replace. Returns false, leaving the
// file as it was, when nothing could be written. Never throws.
bool writeShellSettings(const std::filesystem::path& file, const ShellSettings& settings);

// The program's version as major.minor.release (the build number is not shown).
std::string versionText();

// The application title, also the main window's design caption.
inline constexpr const char* kApplicationTitle = "ТЕРВА Контроль доступа - RFID";

}  // namespace terva::app
