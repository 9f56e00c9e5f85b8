#include "app/settings_location.h"

#include <cstdlib>
#include <string>
#include <system_error>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace terva::app {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileName = "settings.ini";
constexpr const char* kAppFolder = "terva-rfid";

bool writable(const fs::path& p) {
#ifndef _WIN32
  return ::access(p.c_str(), W_OK) == 0;
#else
  std::error_code ec;
  const auto perms = fs::status(p, ec).permissions();
  return !ec && (perms & fs::perms::owner_write) != fs::perms::none;
#endif
}

bool exeDirUsable(const fs::path& exeDir) {
  std::error_code ec;
  if (exeDir.empty() || !fs::is_directory(exeDir, ec) || !writable(exeDir)) return false;
  const fs::path file = exeDir / kFileName;
  return !fs::exists(fs::symlink_status(file, ec)) || writable(file);
}

std::string_view env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string_view(v) : std::string_view();
}

}  // namespace

fs::path settingsFilePath(const fs::path& exeDir, std::string_view xdgConfigHome, std::string_view home) {
  if (exeDirUsable(exeDir)) return exeDir / kFileName;
  fs::path folder;
  // A relative XDG_CONFIG_HOME is not valid and is ignored.
  if (!xdgConfigHome.empty() && fs::path(xdgConfigHome).is_absolute()) {
    folder = fs::path(xdgConfigHome) / kAppFolder;
  } else if (!home.empty()) {
    folder = fs::path(home) / ".config" / kAppFolder;
  } else {
    return exeDir / kFileName;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder / kFileName;
}

fs::path settingsFilePath(const fs::path& exeDir) {
  return settingsFilePath(exeDir, env("XDG_CONFIG_HOME"), env("HOME"));
}

}  // namespace terva::app
