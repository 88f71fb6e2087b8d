#include "platform/serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <pthread.h>
#include <signal.h>
#include <termios.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <numeric>
#include <thread>
#include <vector>

#include "platform/serial_pty.h"
#include "../support/as_ordinary_user.h"
#include "test_files.h"

using namespace ninetrace;
using ninetrace::testing::AsOrdinaryUser;

namespace {

std::string OpenMessage(std::string_view portText) {
  try {
    TSerialPort port;
    port.Open(portText);
    return "opened";
  } catch (const TPortError& e) {
    return e.what();
  }
}

// Bytes written to the master reach the slave's queue a moment later.
bool WaitForQueue(const TSerialPort& port, std::uint32_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (port.QueueCount() < count) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

TEST(SerialPortName, NumbersAreComPortsAndPathsAreUsedAsTheyStand) {
  const auto check = [](std::string_view text, const char* device, const char* label) {
    const TPortName name = ResolvePortName(text);
    EXPECT_EQ(name.Device, device) << text;
    EXPECT_EQ(name.Label, label) << text;
  };
  check("1", "/dev/ttyS0", "COM1");
  check("4", "/dev/ttyS3", "COM4");
  check(" 12 ", "/dev/ttyS11", "COM12");
  check("/dev/ttyUSB0", "/dev/ttyUSB0", "");
  check("./my port", "./my port", "");

  for (const char* bad : {"", "0", "-1", "abc", "COM4", "1.5", "3x", "99999999999"}) {
    try {
      ResolvePortName(bad);
      ADD_FAILURE() << "accepted \"" << bad << "\"";
    } catch (const TPortError& e) {
      EXPECT_NE(std::string(e.what()).find("Enter a port number such as 1 for COM1"), std::string::npos) << e.what();
    }
  }
}

TEST(SerialPort, MissingDevicesAndOtherFilesAreExplained) {
  EXPECT_EQ(OpenMessage("/dev/ninetrace-no-such-port"),
            "Cannot open /dev/ninetrace-no-such-port: no such device. "
            "Check the port number and that the converter is plugged in.");
  EXPECT_EQ(OpenMessage("250"),
            "Cannot open /dev/ttyS249 (COM250): no such device. "
            "Check the port number and that the converter is plugged in.");

  ninetrace::testing::TTempDirectory dir;
  const auto file = dir / "not-a-port";
  std::ofstream(file) << "x";
  EXPECT_EQ(OpenMessage(file.string()),
            "Cannot open " + file.string() + ": this is not a serial port. Check the port number or device path.");
}

// The pseudo-terminal comes raw; a real port comes as the last program left it. Cooked, slow
// and 7E1 with flow control, so whatever raw 19200 8N1 the test sees is the port's own doing.
void MakeLineCooked(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  termios tty{};
  ASSERT_EQ(::tcgetattr(fd, &tty), 0);
  tty.c_iflag |= ICRNL | IXON | ISTRIP | BRKINT;
  tty.c_oflag |= OPOST;
  tty.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
  tty.c_cflag = (tty.c_cflag & ~static_cast<tcflag_t>(CSIZE | CLOCAL)) | CS7 | PARENB | CSTOPB | CRTSCTS;
  ::cfsetispeed(&tty, B9600);
  ::cfsetospeed(&tty, B9600);
  ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tty), 0);
  ::close(fd);
}

TEST(SerialPort, EveryByteValuePassesUnchanged) {
  TSerialPty pty;
  MakeLineCooked(pty.SlavePath());
  TSerialPort port;
  port.Open(pty.SlavePath());
  ASSERT_TRUE(port.IsOpen());
  {
    const int fd = ::open(pty.SlavePath().c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios tty{};
    ASSERT_EQ(::tcgetattr(fd, &tty), 0);
    ::close(fd);
    EXPECT_EQ(::cfgetispeed(&tty), static_cast<speed_t>(B19200));
    EXPECT_EQ(tty.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD), static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
  }
  // A cooked line would turn 0x0D into 0x0A and swallow 0x03, 0x11, 0x13, 0x7F and friends.
  std::vector<std::uint8_t> sent(512);
  std::iota(sent.begin(), sent.end(), 0);
  ASSERT_EQ(pty.Write(sent), sent.size());
  ASSERT_TRUE(WaitForQueue(port, 512));
  EXPECT_EQ(port.QueueCount(), 512u);
  std::vector<std::uint8_t> got(512);
  EXPECT_EQ(port.Read(got.data(), 512), 512);
  EXPECT_EQ(got, sent);
  EXPECT_EQ(port.QueueCount(), 0u);

  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.QueueCount(), 0u);
}

// A signal that arrives while a read waits (a timer, a child ending) is not the line failing.
TEST(SerialPort, ASignalDuringAReadDoesNotCutTheFrameShort) {
  TSerialPty pty;
  TSerialPort port;
  port.Open(pty.SlavePath());
  struct sigaction quiet {}, before {};
  quiet.sa_handler = [](int) {};
  ::sigemptyset(&quiet.sa_mask);
  quiet.sa_flags = 0;  // no SA_RESTART: the waiting read returns EINTR
  ASSERT_EQ(::sigaction(SIGALRM, &quiet, &before), 0);
  const pthread_t reader = ::pthread_self();
  std::thread line([&pty, reader] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::pthread_kill(reader, SIGALRM);  // to the waiting reader, not to whichever thread
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    pty.Write(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7});
  });
  std::uint8_t got[7] = {};
  EXPECT_EQ(port.Read(got, 7), 7);
  line.join();
  ::sigaction(SIGALRM, &before, nullptr);
  EXPECT_EQ(got[6], 7);
}

TEST(SerialPort, ReadWaitsForEveryByte) {
  TSerialPty pty;
  TSerialPort port;
  port.Open(pty.SlavePath());
  const std::vector<std::uint8_t> first{1, 2, 3, 4}, rest{5, 6, 7, 8, 9};
  ASSERT_EQ(pty.Write(first), first.size());
  ASSERT_TRUE(WaitForQueue(port, 4));
  std::thread later([&] { pty.Write(rest); });
  std::uint8_t got[9] = {};
  EXPECT_EQ(port.Read(got, 9), 9);
  later.join();
  EXPECT_EQ(std::vector<std::uint8_t>(got, got + 9), (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

// A quiet line is an empty queue; a line whose other end has gone (the pseudo-terminal's master
// closed, as when a USB adapter is pulled) is a lost device, for the queue count and reads alike.
TEST(SerialPort, AVanishedDeviceIsLostWhileAQuietLineIsJustEmpty) {
  TSerialPty pty;
  TSerialPort port;
  port.Open(pty.SlavePath());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(port.QueueCount(), 0u);

  pty.CloseMaster();
  const std::string expected = pty.SlavePath() + " is gone";
  try {
    port.QueueCount();
    ADD_FAILURE() << "the queue count of a vanished device read as a number";
  } catch (const TPortLost& e) {
    EXPECT_EQ(std::string(e.what()).rfind(expected, 0), 0u) << e.what();
  }
  std::uint8_t got[9] = {};
  EXPECT_THROW(port.Read(got, 9), TPortLost);
}

// Root ignores the exclusive-open flag, so only the advisory lock keeps a second recorder of
// root's off the line; an ordinary user meets both.
TEST(SerialPort, APortInUseIsRefusedWithTheReasonEvenForRoot) {
  TSerialPty pty;
  ASSERT_EQ(::chmod(pty.SlavePath().c_str(), 0666), 0);
  const auto open = [&] { return OpenMessage(pty.SlavePath()); };
  const std::string inUse =
      "Cannot open " + pty.SlavePath() + ": the port is in use by another program. Close that program, or choose another port.";
  TSerialPort owner;
  owner.Open(pty.SlavePath());
  EXPECT_EQ(AsOrdinaryUser(open), inUse);
  EXPECT_EQ(open(), inUse) << "as root";
  // A program that knows nothing of the lock is kept off by the exclusive-open flag.
  const std::function<std::string()> plainOpen = [&] {
    const TFileDescriptor fd(::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    return fd.IsOpen() ? std::string("opened") : std::string(std::strerror(errno));
  };
  EXPECT_EQ(AsOrdinaryUser(plainOpen), std::strerror(EBUSY));
  owner.Close();
  EXPECT_EQ(AsOrdinaryUser(open), "opened");
  EXPECT_EQ(open(), "opened");
}

// A terminal given as the port (`record --port /dev/tty`) must not be left raw and silent.
TEST(SerialPort, TheLineSettingsAreGivenBackAsFoundOnEveryWayOut) {
  const auto settings = [](const std::string& path) {
    termios tty{};
    const TFileDescriptor fd(::open(path.c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC));
    ::tcgetattr(fd.Get(), &tty);
    return std::vector<tcflag_t>{tty.c_iflag, tty.c_oflag, tty.c_cflag, tty.c_lflag, ::cfgetispeed(&tty),
                                 tty.c_cc[VMIN], tty.c_cc[VINTR]};
  };
  const std::function<void(TSerialPort&)> endings[] = {
      [](TSerialPort& port) { port.Close(); },
      [](TSerialPort& port) { TSerialPort moved = std::move(port); },  // destroyed, never closed
  };
  for (const auto& end : endings) {
    TSerialPty pty;
    MakeLineCooked(pty.SlavePath());
    const std::vector<tcflag_t> found = settings(pty.SlavePath());
    TSerialPort port;
    port.Open(pty.SlavePath());
    ASSERT_NE(settings(pty.SlavePath()), found) << "the port was not made raw";
    end(port);
    EXPECT_EQ(settings(pty.SlavePath()), found);
  }
}

// Joining a group is advised only when that group may read and write the port and is not the
// administrators' group; otherwise the owner is named with the way to get access.
TEST(SerialPort, PermissionAdviceNamesAGroupOnlyWhenJoiningItWouldHelp) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the opener as another user";
  const group* dialout = ::getgrnam("dialout");
  if (dialout == nullptr) GTEST_SKIP() << "no group dialout";
  const gid_t dialoutId = dialout->gr_gid;
  const std::string joinDialout = "permission denied. The port belongs to the group dialout: add your user to that group "
                                  "(sudo usermod -aG dialout $USER), then log out and in again.";
  const std::string askForAccess = "permission denied. The port belongs to root and no group may use it: ask the "
                                   "administrator for access, for example a udev rule that gives the port a group of "
                                   "users such as dialout with mode 0660.";
  const struct {
    const char* Name;
    gid_t Group;
    mode_t Mode;
    const std::string& Advice;
  } rows[] = {
      {"group may read and write", dialoutId, 0660, joinDialout},
      {"owner alone, root:root 0600", 0, 0600, askForAccess},
      {"group may only read", dialoutId, 0640, askForAccess},
      {"the administrators' group", 0, 0660, askForAccess},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    TSerialPty pty;
    ASSERT_EQ(::chown(pty.SlavePath().c_str(), 0, row.Group), 0);
    ASSERT_EQ(::chmod(pty.SlavePath().c_str(), row.Mode), 0);
    EXPECT_EQ(AsOrdinaryUser([&] { return OpenMessage(pty.SlavePath()); }),
              "Cannot open " + pty.SlavePath() + ": " + row.Advice);
  }
}

}  // namespace
