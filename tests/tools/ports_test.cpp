// ports: who may open a device and why not, and the listing of a made-up sysfs and /dev tree.
#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "../platform/test_files.h"
#include "cli_run.h"
#include "port_access.h"

using namespace ninetrace;
using namespace ninetrace::testing;

namespace {

namespace fs = std::filesystem;

// --- the verdict ---------------------------------------------------------------------------

constexpr uid_t Me = 1000, Other = 1001;
constexpr gid_t Root = 0, Dialout = 20, Plugdev = 46, Mine = 1000;

const cli::TIdNames Names{
    [](uid_t uid) { return uid == 0 ? std::string("root") : uid == Me ? std::string("me") : std::to_string(uid); },
    [](gid_t gid) {
      return gid == Root ? std::string("root") : gid == Dialout ? std::string("dialout")
                                                                : gid == Plugdev ? std::string("plugdev")
                                                                                 : std::to_string(gid);
    },
};

struct TAccessCase {
  const char* Name;
  cli::TNodeOwnership Node;
  cli::TUserIdentity User;
  bool MayOpen;
  const char* WhyContains;  // "" when allowed
  const char* WhyLacks;     // advice that must not be given
};

TEST(PortAccess, VerdictAndAdvice) {
  const cli::TUserIdentity plain{Me, {Mine}, {Mine}};
  const cli::TUserIdentity inDialout{Me, {Mine, Dialout}, {Mine, Dialout}};
  const cli::TUserIdentity joinedDialoutLater{Me, {Mine}, {Mine, Dialout}};
  const TAccessCase cases[] = {
      {"a member of the device's group", {Root, Dialout, 0660}, inDialout, true, "", ""},
      {"root opens anything", {Other, Plugdev, 0600}, {0, {0}, {0}}, true, "", ""},
      {"everyone may", {Root, Dialout, 0666}, plain, true, "", ""},
      {"the owner may", {Me, Plugdev, 0600}, plain, true, "", ""},
      {"not in the group that may: name it", {Root, Dialout, 0660}, plain, false, "usermod -aG dialout", ""},
      {"joined the group after logging in", {Root, Dialout, 0660}, joinedDialoutLater, false, "log out and in again",
       "usermod"},
      {"only root may: never advise the root group", {Root, Root, 0600}, plain, false, "ask the administrator",
       "usermod"},
      {"the root group may, but that is no advice to give", {Root, Root, 0660}, plain, false, "udev rule", "usermod"},
      {"a group that may only read is no help", {Root, Dialout, 0640}, plain, false, "owned by root:dialout, mode 0640",
       "usermod"},
      // The kernel judges a member by the group bits alone, whatever the others may do.
      {"a member of a group with fewer rights than others", {Root, Dialout, 0606}, inDialout, false,
       "owned by root:dialout", "usermod"},
      {"a stranger, where others may and the group may not", {Root, Dialout, 0606}, plain, true, "", ""},
      {"the owner without write permission", {Me, Dialout, 0466}, inDialout, false, "chmod u+rw", "usermod"},
  };
  for (const TAccessCase& c : cases) {
    const cli::TAccessVerdict verdict = cli::JudgeAccess(c.Node, c.User, Names);
    EXPECT_EQ(verdict.MayOpen, c.MayOpen) << c.Name << ": " << verdict.Why;
    if (c.MayOpen) {
      EXPECT_EQ(verdict.Why, "") << c.Name;
      continue;
    }
    EXPECT_NE(verdict.Why.find(c.WhyContains), std::string::npos) << c.Name << ": " << verdict.Why;
    if (*c.WhyLacks != '\0') {
      EXPECT_EQ(verdict.Why.find(c.WhyLacks), std::string::npos) << c.Name << ": " << verdict.Why;
    }
  }
}

// --- the listing ---------------------------------------------------------------------------

void WriteAttribute(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << text << "\n";
}

// A machine with a built-in UART, an unpopulated ttyS1 and ttyS2, a USB serial adapter with a stable
// name, a USB modem, an adapter whose node udev never made, and a virtual console.
class PortsListing : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path usb = sys_ / "devices/pci0000:00/0000:00:14.0/usb1";
    // Built-in UART as newer kernels show it: the tty hangs off a generic port and controller.
    const fs::path uart = sys_ / "devices/pnp0/00:01";
    Driver(uart, "pnp/drivers/serial");
    Driver(uart / "00:01:0", "serial-base/drivers/ctrl");
    AddTty("ttyS0", uart / "00:01:0/00:01:0.0", "serial-base/drivers/port", "4");
    AddTty("ttyS1", sys_ / "devices/platform/serial8250", "platform/drivers/serial8250", "0");
    AddTty("ttyS2", sys_ / "devices/platform/serial8250", "", "");  // no UART type known: not listed
    // USB serial adapter: the tty's device is the adapter's port; the identity sits two levels up.
    Identity(usb / "1-2", "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI");
    AddTty("ttyUSB0", usb / "1-2/1-2:1.0/ttyUSB0", "usb-serial/drivers/ftdi_sio", "");
    fs::create_directories(dev_ / "serial/by-id");
    fs::create_symlink("../../ttyUSB0", dev_ / "serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
    fs::create_symlink("../../ttyUSB7", dev_ / "serial/by-id/usb-gone-if00-port0");  // dangling
    // USB modem without a serial number.
    Identity(usb / "1-3", "2341", "0043", "Arduino (www.arduino.cc)", "", "");
    AddTty("ttyACM0", usb / "1-3/1-3:1.0", "usb/drivers/cdc_acm", "");
    // Known to the kernel but without a node.
    Identity(usb / "1-4", "067b", "2303", "Prolific Technology Inc.", "USB-Serial Controller", "");
    AddTty("ttyUSB1", usb / "1-4/1-4:1.0/ttyUSB1", "usb-serial/drivers/pl2303", "");
    fs::remove(dev_ / "ttyUSB1");
    // Not a serial port at all.
    AddTty("tty0", sys_ / "devices/virtual/tty", "", "");
  }

  void Identity(const fs::path& dir, const std::string& vendor, const std::string& product, const std::string& maker,
                const std::string& name, const std::string& serial) {
    WriteAttribute(dir / "idVendor", vendor);
    WriteAttribute(dir / "idProduct", product);
    WriteAttribute(dir / "manufacturer", maker);
    if (!name.empty()) WriteAttribute(dir / "product", name);
    if (!serial.empty()) WriteAttribute(dir / "serial", serial);
  }

  void Driver(const fs::path& device, const std::string& driver) {
    fs::create_directories(device);
    fs::create_directories(sys_ / "bus" / driver);
    fs::create_directory_symlink(sys_ / "bus" / driver, device / "driver");
  }

  // The class entry, its device and driver links, and an openable node in the fake /dev.
  void AddTty(const std::string& name, const fs::path& device, const std::string& driver, const std::string& type) {
    const fs::path classDir = device / "tty" / name;
    fs::create_directories(classDir);
    fs::create_directories(sys_ / "class/tty");
    fs::create_directory_symlink(classDir, sys_ / "class/tty" / name);
    if (!type.empty()) WriteAttribute(classDir / "type", type);
    fs::create_directory_symlink(device, classDir / "device");
    if (!driver.empty()) Driver(device, driver);
    fs::create_directories(dev_);
    std::ofstream(dev_ / name).put('\0');
    fs::permissions(dev_ / name, fs::perms(0666));
  }

  TCliResult Ports() { return RunCli({"ports", "--sysfs", sys_.string(), "--dev", dev_.string()}, dir_.Path()); }

  TTempDirectory dir_;
  fs::path sys_ = dir_ / "sys";
  fs::path dev_ = dir_ / "dev";
};

TEST_F(PortsListing, EveryPortWithWhatTheSystemKnows) {
  const TCliResult r = Ports();
  ASSERT_EQ(r.Status, 0) << r.Err;
  const std::string d = dev_.string();
  EXPECT_EQ(r.Out, d + "/ttyS0  (COM1: port 1)\n"
                       "  driver: serial\n"
                       "  you may open it: yes\n" +
                       d + "/ttyACM0\n"
                           "  driver: cdc_acm\n"
                           "  USB: 2341:0043, Arduino (www.arduino.cc)\n"
                           "  you may open it: yes\n" +
                       d + "/ttyUSB0\n"
                           "  driver: ftdi_sio\n"
                           "  USB: 0403:6001, FTDI, FT232R USB UART, serial number A50285BI\n"
                           "  stable name: " +
                       d + "/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n" +
                       "  you may open it: yes\n" + d + "/ttyUSB1\n" +
                       "  driver: pl2303\n"
                       "  USB: 067b:2303, Prolific Technology Inc., USB-Serial Controller\n"
                       "  you may open it: no: there is no device node " +
                       d + "/ttyUSB1 (is udev running?)\n");
}

// Root may open every port, so the verdicts are judged as an ordinary user, from the real
// identity and group database: who owns each node and which group may read and write it.
TEST_F(PortsListing, APersonIsToldWhatWouldLetThemOpenEachPort) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the nodes to other owners";
  const group* dialout = ::getgrnam("dialout");
  if (dialout == nullptr) GTEST_SKIP() << "no group dialout";
  fs::permissions(dir_.Path(), fs::perms(0755));
  const struct {
    const char* Node;
    gid_t Group;
    mode_t Mode;
  } nodes[] = {{"ttyS0", dialout->gr_gid, 0660}, {"ttyACM0", 0, 0660}, {"ttyUSB0", OrdinaryUser().Gid, 0660}};
  for (const auto& node : nodes) {
    ASSERT_EQ(::chown((dev_ / node.Node).c_str(), 0, node.Group), 0);
    ASSERT_EQ(::chmod((dev_ / node.Node).c_str(), node.Mode), 0);
  }
  TCliSetup person;
  person.OrdinaryUser = true;
  const TCliResult r = RunCli({"ports", "--sysfs", sys_.string(), "--dev", dev_.string()}, dir_.Path(), 60s, person);
  ASSERT_EQ(r.Status, 0) << r.Err;
  std::vector<std::string> verdicts;
  std::istringstream lines(r.Out);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("  you may open it: ", 0) == 0) verdicts.push_back(line.substr(19));
  const std::string noGroupOfYours = ", which gives no group of yours read and write access; ask the administrator, or "
                                     "add a udev rule that gives the device to a group you are in (see ninetrace-cli(1))";
  const std::vector<std::string> expected{
      "no: the group dialout may read and write it; add your user to that group (sudo usermod -aG dialout $USER), "
      "then log out and in again",
      "no: owned by root:root, mode 0660" + noGroupOfYours,
      "yes",  // the user's own primary group may
      "no: there is no device node " + (dev_ / "ttyUSB1").string() + " (is udev running?)",
  };
  EXPECT_EQ(verdicts, expected) << r.Out;
}

TEST_F(PortsListing, NoneFoundAndAnUnreadableSysfs) {
  fs::remove_all(sys_ / "class/tty");
  fs::create_directories(sys_ / "class/tty");
  const TCliResult none = Ports();
  EXPECT_EQ(none.Status, 0);
  EXPECT_NE(none.Out.find("No serial ports found"), std::string::npos) << none.Out;

  fs::remove_all(sys_);
  const TCliResult missing = Ports();
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Err.find("cannot list the serial devices: cannot read " + (sys_ / "class/tty").string()),
            std::string::npos)
      << missing.Err;
}

TEST(PortsCommandLine, BadArgumentsAreRefusedWithTheUsage) {
  TTempDirectory dir;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"ports", "--sysfs"},
                                               std::vector<std::string>{"ports", "--bogus"},
                                               std::vector<std::string>{"ports", "extra"}}) {
    const TCliResult r = RunCli(args, dir.Path());
    EXPECT_EQ(r.Status, 2) << args.back();
    EXPECT_NE(r.Err.find("usage: ninetrace-cli ports"), std::string::npos) << r.Err;
  }
}

}  // namespace
