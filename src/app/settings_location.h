#pragma once
// Where the settings file lives: beside the executable when that folder can be
// written, otherwise in the user's configuration folder.
#include <filesystem>
#include <string_view>

namespace terva::app {

// exeDir/"settings.ini" when exeDir is a writable folder (and the file, if it
// exists, is writable too); otherwise $XDG_CONFIG_HOME/terva-rfid/settings.ini,
// or ~/.config/terva-rfid/settings.ini when XDG_CONFIG_HOME is unset, empty or
// not an absolute path. The configuration folder is created (errors ignored).
std::filesystem::path settingsFilePath(const std::filesystem::path& exeDir);

// The same with the environment given: empty means unset. With neither
// variable usable the executable's folder is returned anyway.
std::filesystem::path settingsFilePath(const std::filesystem::path& exeDir, std::string_view xdgConfigHome,
                                       std::string_view home);

}  // namespace terva::app
