// Linux backend of the port list: the tty class directory of sysfs.

#include "serial/portlist.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace terva::serial {

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs attribute file (path relative to dir), trimmed;
// empty when unreadable.
std::string ReadAttributeAt(int dir, const char* path) {
  const int fd = ::openat(dir, path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    return {};
  }
  char buffer[4096];  // a sysfs attribute is at most a page
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  ::close(fd);
  if (n <= 0) {
    return {};
  }
  std::string_view line(buffer, static_cast<std::size_t>(n));
  line = line.substr(0, line.find('\n'));
  const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
  while (!line.empty() && isSpace(static_cast<unsigned char>(line.back()))) line.remove_suffix(1);
  while (!line.empty() && isSpace(static_cast<unsigned char>(line.front()))) line.remove_prefix(1);
  return std::string(line);
}

std::string ReadAttribute(const fs::path& file) { return ReadAttributeAt(AT_FDCWD, file.c_str()); }

// Last component of a symbolic link's target ("usb-serial" for .../bus/usb-serial).
std::string LinkNameAt(int dir, const char* link) {
  char target[PATH_MAX];
  const ssize_t n = ::readlinkat(dir, link, target, sizeof target);
  if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target) {
    return {};
  }
  std::string_view name(target, static_cast<std::size_t>(n));
  const std::size_t slash = name.rfind('/');
  return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

// A tty with hardware behind it: a USB interface (CDC-ACM), a USB-serial
// adapter port, or a serial-core UART whose type is known. Virtual
// terminals and pseudo-terminals have no device link; 8250 slots with no
// chip behind them report type 0. Paths go relative to the class directory
// (one look-up per virtual terminal, which are most of the entries).
bool IsHardwarePort(int classDir, const std::string& name) {
  const std::string device = name + "/device";
  struct stat st {};
  if (::fstatat(classDir, device.c_str(), &st, 0) != 0) {
    return false;
  }
  const std::string subsystem = LinkNameAt(classDir, (device + "/subsystem").c_str());
  if (subsystem == "usb-serial" || subsystem == "usb" || LinkNameAt(classDir, (device + "/driver").c_str()) == "cdc_acm") {
    return true;
  }
  const std::string type = ReadAttributeAt(classDir, (name + "/type").c_str());
  return !type.empty() && std::all_of(type.begin(), type.end(), [](unsigned char c) { return std::isdigit(c); }) &&
         type.find_first_not_of('0') != std::string::npos;
}

}  // namespace

void ListComPortNames(std::vector<std::string>& list, const std::string& sysfsTtyDir, const std::string& devDir) {
  DIR* dir = ::opendir(sysfsTtyDir.c_str());
  if (dir == nullptr) {
    return;
  }
  const int classDir = ::dirfd(dir);
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != ".." && IsHardwarePort(classDir, name)) {
      names.push_back(name);
    }
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end(), PortNameLess);
  list.clear();
  list.reserve(names.size());
  for (const std::string& name : names) {
    list.push_back(devDir + "/" + name);
  }
}

std::string PortDescription(const std::string& devicePath, const std::string& sysfsTtyDir) {
  const std::string name = fs::path(devicePath).filename().string();
  if (name.empty() || name == "." || name == "..") {
    return {};
  }
  std::error_code ec;
  fs::path dir = fs::canonical(fs::path(sysfsTtyDir) / name / "device", ec);
  if (ec) {
    return {};
  }
  // The USB device that carries product and manufacturer sits a few levels
  // above the interface or adapter port the tty hangs off.
  constexpr int kMaxLevels = 8;
  for (int level = 0; level < kMaxLevels && dir.has_relative_path(); ++level, dir = dir.parent_path()) {
    if (!fs::exists(dir / "product", ec)) {
      continue;
    }
    const std::string product = ReadAttribute(dir / "product");
    const std::string manufacturer = ReadAttribute(dir / "manufacturer");
    if (product.empty()) {
      return manufacturer;
    }
    if (manufacturer.empty() || product.find(manufacturer) != std::string::npos) {
      return product;
    }
    return product + " (" + manufacturer + ")";
  }
  return {};
}

}  // namespace terva::serial
