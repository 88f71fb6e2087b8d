#include "serial_ports.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <map>
#include <optional>
#include <string_view>
#include <system_error>

namespace ninetrace::cli {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view Families[] = {"ttyS", "ttyACM", "ttyUSB"};

// The family index and number of a name such as "ttyUSB3"; nothing for any other tty.
std::optional<std::pair<std::size_t, unsigned>> SerialName(std::string_view name) {
  for (std::size_t family = 0; family < std::size(Families); ++family) {
    const std::string_view prefix = Families[family];
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) continue;
    const std::string_view digits = name.substr(prefix.size());
    unsigned number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error == std::errc{} && end == digits.data() + digits.size()) return std::pair{family, number};
  }
  return std::nullopt;
}

// A sysfs attribute's first line; empty when it is missing or unreadable.
std::string Attribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

std::optional<fs::path> Resolved(const fs::path& link) {
  std::error_code error;
  fs::path target = fs::canonical(link, error);
  if (error) return std::nullopt;
  return target;
}

// The kernel creates ttyS0..ttyS31 whether or not a UART answers; "type" 0 means none did.
bool HasUart(const fs::path& classDir) {
  const std::string type = Attribute(classDir / "type");
  return !type.empty() && type != "0";
}

void ReadUsbIdentity(const fs::path& sysRoot, const fs::path& deviceDir, TSerialPortInfo& port) {
  // The USB device that carries the port is the nearest ancestor with a vendor id.
  const fs::path top = Resolved(sysRoot).value_or(sysRoot);
  for (fs::path dir = deviceDir; dir != top && dir != dir.parent_path(); dir = dir.parent_path()) {
    std::error_code error;
    if (!fs::exists(dir / "idVendor", error)) continue;
    port.UsbId = Attribute(dir / "idVendor") + ":" + Attribute(dir / "idProduct");
    port.Maker = Attribute(dir / "manufacturer");
    port.Product = Attribute(dir / "product");
    port.Serial = Attribute(dir / "serial");
    return;
  }
}

// Newer kernels put a generic port and controller of the "serial-base" bus between a UART and
// its tty; the driver worth naming is the one of the hardware above them.
std::string DriverOf(fs::path device) {
  for (int level = 0; level < 3; ++level) {
    const auto driver = Resolved(device / "driver");
    if (!driver) return {};
    if (driver->parent_path().parent_path().filename() != "serial-base") return driver->filename().string();
    device = device.parent_path();
  }
  return {};
}

TSerialPortInfo Describe(const fs::path& sysRoot, const fs::path& devRoot, const fs::path& classDir,
                         const std::string& name) {
  TSerialPortInfo port;
  port.Name = name;
  port.Device = devRoot / name;
  std::error_code error;
  port.NodeExists = fs::exists(port.Device, error);
  if (const auto device = Resolved(classDir / "device")) {
    port.Driver = DriverOf(*device);
    ReadUsbIdentity(sysRoot, *device, port);
  }
  return port;
}

// Maps each device name to the by-id links that point at it.
std::map<std::string, std::vector<fs::path>> StableNames(const fs::path& devRoot) {
  std::map<std::string, std::vector<fs::path>> names;
  std::error_code error;
  for (fs::directory_iterator it(devRoot / "serial" / "by-id", error), end; !error && it != end; it.increment(error)) {
    if (const auto target = Resolved(it->path())) names[target->filename().string()].push_back(it->path());
  }
  for (auto& [device, links] : names) std::sort(links.begin(), links.end());
  return names;
}

}  // namespace

std::vector<TSerialPortInfo> FindSerialPorts(const fs::path& sysRoot, const fs::path& devRoot) {
  // (family, number) and the port, sorted by the first.
  std::vector<std::pair<std::pair<std::size_t, unsigned>, TSerialPortInfo>> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(sysRoot / "class" / "tty")) {
    const std::string name = entry.path().filename().string();
    const auto serial = SerialName(name);
    if (!serial) continue;
    if (serial->first == 0 && !HasUart(entry.path())) continue;
    found.emplace_back(*serial, Describe(sysRoot, devRoot, entry.path(), name));
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

  const auto stable = StableNames(devRoot);
  std::vector<TSerialPortInfo> ports;
  for (auto& entry : found) {
    TSerialPortInfo& port = entry.second;
    if (const auto links = stable.find(port.Name); links != stable.end()) port.StableNames = links->second;
    ports.push_back(std::move(port));
  }
  return ports;
}

}  // namespace ninetrace::cli
