#include "ports_command.h"

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "port_access.h"
#include "serial_ports.h"

namespace ninetrace::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char* PortsUsage = R"(usage: ninetrace-cli ports [--sysfs DIR] [--dev DIR]

Lists the serial devices present: built-in UARTs (/dev/ttyS*, only those where a UART answered),
USB serial adapters (/dev/ttyUSB*) and USB modems (/dev/ttyACM*), with the driver, the USB
vendor:product id, maker, product and serial number where the system knows them, the stable
/dev/serial/by-id names, and whether you may open each device, and if not, why and what to do.
The devices are not opened.

options:
  --sysfs DIR    read the device descriptions from DIR instead of /sys
  --dev DIR      look for the device nodes in DIR instead of /dev
  --help         show this text
)";

int Fail(const std::string& message) {
  std::fprintf(stderr, "ninetrace-cli: %s\n\n%s", message.c_str(), PortsUsage);
  return 2;
}

std::string UsbLine(const TSerialPortInfo& port) {
  std::string line = port.UsbId;
  for (const std::string* part : {&port.Maker, &port.Product})
    if (!part->empty()) line += ", " + *part;
  if (!port.Serial.empty()) line += ", serial number " + port.Serial;
  return line;
}

std::string AccessLine(const TSerialPortInfo& port, const TUserIdentity& user, const TIdNames& names) {
  struct stat node {};
  if (!port.NodeExists || ::stat(port.Device.c_str(), &node) != 0)
    return "no: there is no device node " + port.Device.string() + " (is udev running?)";
  const TAccessVerdict verdict = JudgeAccess({node.st_uid, node.st_gid, node.st_mode}, user, names);
  return verdict.MayOpen ? "yes" : "no: " + verdict.Why;
}

void Print(const TSerialPortInfo& port, const TUserIdentity& user, const TIdNames& names) {
  std::string heading = port.Device.string();
  // Built-in UARTs are what the window's port numbers mean: COMn is ttyS(n-1).
  if (port.Name.starts_with("ttyS")) {
    const std::string number = std::to_string(std::stoul(port.Name.substr(4)) + 1);
    heading += "  (COM" + number + ": port " + number + ")";
  }
  std::printf("%s\n", heading.c_str());
  if (!port.Driver.empty()) std::printf("  driver: %s\n", port.Driver.c_str());
  if (!port.UsbId.empty()) std::printf("  USB: %s\n", UsbLine(port).c_str());
  for (const fs::path& link : port.StableNames) std::printf("  stable name: %s\n", link.c_str());
  std::printf("  you may open it: %s\n", AccessLine(port, user, names).c_str());
}

}  // namespace

int RunPorts(int argc, char** argv) {
  fs::path sysRoot = "/sys";
  fs::path devRoot = "/dev";
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") {  // ends the options; ports takes no other arguments
      if (i + 1 < argc) return Fail("unexpected argument " + std::string(argv[i + 1]));
      break;
    }
    if (arg == "--help") {
      std::fputs(PortsUsage, stdout);
      return 0;
    }
    if (arg != "--sysfs" && arg != "--dev")
      return Fail((arg.starts_with("-") ? "unknown option " : "unexpected argument ") + std::string(arg));
    if (i + 1 >= argc) return Fail(std::string(arg) + " needs a value");
    (arg == "--sysfs" ? sysRoot : devRoot) = argv[++i];
  }

  std::vector<TSerialPortInfo> ports;
  try {
    ports = FindSerialPorts(sysRoot, devRoot);
  } catch (const fs::filesystem_error& e) {
    std::fprintf(stderr, "ninetrace-cli ports: cannot list the serial devices: cannot read %s: %s\n",
                 e.path1().c_str(), e.code().message().c_str());
    return 1;
  }
  if (ports.empty()) {
    std::printf("No serial ports found. Plug in the converter's USB adapter and run this again.\n");
  }
  const TUserIdentity user = CurrentUser();
  const TIdNames names = SystemIdNames();
  for (const TSerialPortInfo& port : ports) Print(port, user, names);
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "ninetrace-cli ports: cannot write to standard output\n");
    return 1;
  }
  return 0;
}

}  // namespace ninetrace::cli
