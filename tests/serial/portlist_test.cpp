// The port list against a small fake sysfs tree laid out like the real one:
// /sys/class/tty/<name> links to the tty's directory under devices/, whose
// `device` link leads to the hardware (USB interface, USB-serial port, UART).

#include "serial/portlist.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace terva::serial {
namespace {

namespace fs = std::filesystem;

class FakeSysfs {
 public:
  FakeSysfs() {
    root_ = fs::temp_directory_path() / ("terva_sysfs_" + std::to_string(::getpid()) + "_" +
                                         std::to_string(counter_++));
    fs::remove_all(root_);
    fs::create_directories(ClassDir());
    Bus("usb", "cdc_acm");
    Bus("usb-serial", "ftdi_sio");
    Bus("pnp", "serial");
    Bus("platform", "serial8250");
  }
  ~FakeSysfs() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  std::string ClassDir() const { return (root_ / "class" / "tty").string(); }

  // A hardware device directory bound to a bus and (optionally) a driver.
  fs::path Device(const std::string& rel, const std::string& bus, const std::string& driver = "") {
    const fs::path dir = root_ / "devices" / rel;
    fs::create_directories(dir);
    fs::create_directory_symlink(root_ / "bus" / bus, dir / "subsystem");
    if (!driver.empty()) fs::create_directory_symlink(root_ / "bus" / bus / "drivers" / driver, dir / "driver");
    return dir;
  }

  // A tty under device (or a virtual one when device is empty).
  void Tty(const std::string& name, const fs::path& device, const std::string& type = "") {
    const fs::path dir = (device.empty() ? root_ / "devices" / "virtual" : device) / "tty" / name;
    fs::create_directories(dir);
    if (!device.empty()) fs::create_directory_symlink(fs::relative(device, dir), dir / "device");
    if (!type.empty()) Write(dir / "type", type + "\n");
    fs::create_directory_symlink(fs::relative(dir, ClassDir()), fs::path(ClassDir()) / name);
  }

  static void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

 private:
  void Bus(const std::string& bus, const std::string& driver) {
    fs::create_directories(root_ / "bus" / bus / "drivers" / driver);
  }

  static inline int counter_ = 0;
  fs::path root_;
};

// A machine with two USB readers, an FTDI adapter, one real UART, a
// phantom UART slot and the usual virtual terminals.
class PortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path reader = sys.Device("pci0/usb1/1-2", "usb");
    FakeSysfs::Write(reader / "product", "RFID Reader\n");
    FakeSysfs::Write(reader / "manufacturer", "Terva\n");
    sys.Tty("ttyACM0", sys.Device("pci0/usb1/1-2/1-2:1.0", "usb", "cdc_acm"));
    sys.Tty("ttyACM10", sys.Device("pci0/usb1/1-4/1-4:1.0", "usb", "cdc_acm"));
    sys.Tty("ttyACM2", sys.Device("pci0/usb1/1-5/1-5:1.0", "usb", "cdc_acm"));

    const fs::path adapter = sys.Device("pci0/usb1/1-3", "usb");
    FakeSysfs::Write(adapter / "product", "FT232R USB UART\n");
    FakeSysfs::Write(adapter / "manufacturer", "FTDI\n");
    sys.Device("pci0/usb1/1-3/1-3:1.0", "usb", "ftdi_sio");
    sys.Tty("ttyUSB0", sys.Device("pci0/usb1/1-3/1-3:1.0/ttyUSB0", "usb-serial", "ftdi_sio"));

    sys.Tty("ttyS0", sys.Device("pnp0/00:05", "pnp", "serial"), "4");
    sys.Tty("ttyS1", sys.Device("platform/serial8250", "platform", "serial8250"), "0");
    for (const char* name : {"tty0", "tty1", "console", "ptmx"}) sys.Tty(name, {});
  }

  FakeSysfs sys;
};

TEST_F(PortListTest, ListsOnlyPortsWithHardwareSortedCaseInsensitively) {
  std::vector<std::string> list{"/dev/stale"};
  ListComPortNames(list, sys.ClassDir());
  EXPECT_EQ(list, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyACM10", "/dev/ttyACM2", "/dev/ttyS0",
                                            "/dev/ttyUSB0"}));

  ListComPortNames(list, sys.ClassDir(), "/devroot");
  EXPECT_EQ(list.front(), "/devroot/ttyACM0");
}

TEST_F(PortListTest, AnUnreadableTtyDirectoryLeavesTheListAsItWas) {
  std::vector<std::string> list{"/dev/ttyACM0", "/dev/ttyUSB3"};
  ListComPortNames(list, sys.ClassDir() + "/missing");
  EXPECT_EQ(list, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB3"}));
}

TEST_F(PortListTest, DescriptionComesFromTheUsbDeviceAboveThePort) {
  const struct {
    const char* path;
    const char* description;
  } cases[] = {
      {"/dev/ttyACM0", "RFID Reader (Terva)"},
      {"/dev/ttyUSB0", "FT232R USB UART (FTDI)"},
      {"/dev/ttyACM10", ""},  // USB device without product text
      {"/dev/ttyS0", ""},
      {"/dev/tty0", ""},
      {"/dev/ttyACM99", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(PortDescription(c.path, sys.ClassDir()), c.description);
  }
}

TEST(PortNameOrderTest, IgnoresCaseAndComparesTextNotNumbers) {
  const struct {
    const char* a;
    const char* b;
    bool less;
  } cases[] = {
      {"ttyACM10", "ttyACM2", true}, {"ttyACM2", "ttyACM10", false}, {"COM10", "COM2", true},
      {"ttyacm1", "ttyACM2", true},  {"ttyACM2", "ttyacm1", false},  {"ttyUSB0", "ttyusb0", true},
      {"ttyusb0", "ttyUSB0", false}, {"ttyS0", "ttyS0", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " < " + c.b);
    EXPECT_EQ(PortNameLess(c.a, c.b), c.less);
  }
}

}  // namespace
}  // namespace terva::serial
