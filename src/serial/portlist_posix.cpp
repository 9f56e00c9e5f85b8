// Linux backend of the port list: the tty class directory of sysfs.

#include "serial/portlist.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace terva::serial {

namespace fs = std::filesystem;

namespace {

// The first line of a small sysfs attribute file, trimmed; empty when unreadable.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line)) {
    return {};
  }
  const auto isSpace = [](unsigned char c) { return std::isspace(c) != 0; };
  line.erase(std::find_if_not(line.rbegin(), line.rend(), isSpace).base(), line.end());
  line.erase(line.begin(), std::find_if_not(line.begin(), line.end(), isSpace));
  return line;
}

// Last component of a symbolic link's target ("usb-serial" for .../bus/usb-serial).
std::string LinkName(const fs::path& link) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(link, ec);
  return ec ? std::string() : target.filename().string();
}

// A tty with hardware behind it: a USB interface (CDC-ACM), a USB-serial
// adapter port, or a serial-core UART whose type is known. Virtual
// terminals and pseudo-terminals have no device link; 8250 slots with no
// chip behind them report type 0.
bool IsHardwarePort(const fs::path& ttyDir) {
  std::error_code ec;
  const fs::path device = ttyDir / "device";
  if (!fs::exists(device, ec)) {
    return false;
  }
  const std::string subsystem = LinkName(device / "subsystem");
  if (subsystem == "usb-serial" || subsystem == "usb" || LinkName(device / "driver") == "cdc_acm") {
    return true;
  }
  const std::string type = ReadAttribute(ttyDir / "type");
  return !type.empty() && std::all_of(type.begin(), type.end(), [](unsigned char c) { return std::isdigit(c); }) &&
         type.find_first_not_of('0') != std::string::npos;
}

}  // namespace

void ListComPortNames(std::vector<std::string>& list, const std::string& sysfsTtyDir, const std::string& devDir) {
  std::error_code ec;
  fs::directory_iterator it(sysfsTtyDir, ec);
  if (ec) {
    return;
  }
  std::vector<std::string> names;
  for (const fs::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) {
      break;  // keep what was gathered so far
    }
    const fs::path entry = it->path();
    if (IsHardwarePort(entry)) {
      names.push_back(entry.filename().string());
    }
  }
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
