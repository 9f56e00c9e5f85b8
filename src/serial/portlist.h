#pragma once

// The serial ports of the machine, for the port selection list.

#include <string>
#include <vector>

namespace terva::serial {

// Replaces the contents of list with the paths of the serial devices that
// have hardware behind them (USB CDC-ACM, USB-serial adapters, built-in
// UARTs that are present), sorted case-insensitively. When the tty class
// directory cannot be read the list is left as it was.
void ListComPortNames(std::vector<std::string>& list, const std::string& sysfsTtyDir = "/sys/class/tty",
                      const std::string& devDir = "/dev");

// The USB product and manufacturer of a port, such as
// "FT232R USB UART (FTDI)"; empty when the device reports none.
std::string PortDescription(const std::string& devicePath, const std::string& sysfsTtyDir = "/sys/class/tty");

// Order of port names: ASCII case-insensitive, so ttyACM10 comes before
// ttyACM2; names equal but for case fall back to byte order.
bool PortNameLess(const std::string& a, const std::string& b);

}  // namespace terva::serial
