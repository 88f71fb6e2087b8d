// The serial devices present, as sysfs describes them: built-in UARTs, USB serial adapters and
// USB modems (ACM), with their driver, USB identity and stable /dev/serial/by-id names.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace ninetrace::cli {

struct TSerialPortInfo {
  std::string Name;              // "ttyUSB0"
  std::filesystem::path Device;  // "/dev/ttyUSB0"
  bool NodeExists = false;
  std::string Driver;            // "ftdi_sio"; empty when sysfs names none
  std::string UsbId;             // "0403:6001"; empty for a device not on USB
  std::string Maker, Product, Serial;
  std::vector<std::filesystem::path> StableNames;  // /dev/serial/by-id links to the device
};

// Lists the devices under `sysRoot` (normally /sys) whose nodes live under `devRoot` (normally
// /dev), ordered ttyS, ttyACM, ttyUSB and by number. Throws std::filesystem::filesystem_error
// when sysfs's tty class cannot be read.
std::vector<TSerialPortInfo> FindSerialPorts(const std::filesystem::path& sysRoot,
                                             const std::filesystem::path& devRoot);

}  // namespace ninetrace::cli
