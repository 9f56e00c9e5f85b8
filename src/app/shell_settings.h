#pragma once
// Keys of the settings file and the rules for reading them.
#include <string>
#include <string_view>

namespace terva::app {

inline constexpr const char* kSettingsSection = "kelvor";

// A flag is on only when its value is exactly "1".
inline bool flagOn(std::string_view value) { return value == "1"; }
inline const char* flagText(bool on) { return on ? "1" : "0"; }

// "1", "2", "3" select DEC, HEX, CST; anything else keeps the design state (0 here).
inline int viewModeFromSetting(std::string_view value) {
  if (value == "1") return 1;
  if (value == "2") return 2;
  if (value == "3") return 3;
  return 0;
}

// The program's version as major.minor.release (the build number is not shown).
std::string versionText();

// The application title, also the main window's design caption.
inline constexpr const char* kApplicationTitle = "ТЕРВА Контроль доступа - RFID";

}  // namespace terva::app
