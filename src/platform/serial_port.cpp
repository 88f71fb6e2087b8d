#include "platform/serial_port.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <system_error>
#include <utility>
#include <vector>

namespace ninetrace {

namespace {

std::string Describe(const TPortName& name) {
  return name.Label.empty() ? name.Device : name.Device + " (" + name.Label + ")";
}

std::string GroupName(gid_t gid) {
  std::vector<char> buffer(4096);
  group entry{};
  group* found = nullptr;
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->gr_name;
  return "with id " + std::to_string(gid);
}

std::string UserName(uid_t uid) {
  std::vector<char> buffer(4096);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return found->pw_name;
  return "the user with id " + std::to_string(uid);
}

// Joining the device's group is good advice only when that group may read and write it, and
// never for the administrators' group, which would grant far more than one port.
std::string PermissionAdvice(const std::string& device) {
  struct stat info {};
  if (::stat(device.c_str(), &info) != 0)
    return "permission denied. Ask the administrator for access to the port.";
  constexpr mode_t groupReadWrite = S_IRGRP | S_IWGRP;
  if ((info.st_mode & groupReadWrite) == groupReadWrite && info.st_gid != 0) {
    const std::string group = GroupName(info.st_gid);
    return "permission denied. The port belongs to the group " + group +
           ": add your user to that group (sudo usermod -aG " + group + " $USER), then log out and in again.";
  }
  return "permission denied. The port belongs to " + UserName(info.st_uid) +
         " and no group may use it: ask the administrator for access, for example a udev rule that gives the port "
         "a group of users such as dialout with mode 0660.";
}

// What went wrong, phrased so the user knows what to do about it.
std::string Advice(const TPortName& name, int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return "no such device. Check the port number and that the converter is plugged in.";
    case EACCES:
    case EPERM:
      return PermissionAdvice(name.Device);
    case EBUSY:
      return "the port is in use by another program. Close that program, or choose another port.";
    case ENOTTY:
      return "this is not a serial port. Check the port number or device path.";
    default:
      return std::error_code(error, std::generic_category()).message() + ".";
  }
}

[[noreturn]] void Fail(const TPortName& name, const char* action, int error) {
  throw TPortError(std::string(action) + " " + Describe(name) + ": " + Advice(name, error));
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

TPortName ResolvePortName(std::string_view portText) {
  const std::string_view text = Trimmed(portText);
  if (text.find('/') != std::string_view::npos) return {std::string(text), {}};
  int number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size() || number < 1)
    throw TPortError("\"" + std::string(portText) +
                     "\" is not a port. Enter a port number such as 1 for COM1, or a device path such as /dev/ttyUSB0.");
  return {"/dev/ttyS" + std::to_string(number - 1), "COM" + std::to_string(number)};
}

void TSerialPort::Open(std::string_view portText) {
  Close();
  const TPortName name = ResolvePortName(portText);
  // Opened non-blocking: a port without carrier-detect would otherwise hang the open until the
  // modem lines say so. Blocking reads are switched back on once CLOCAL is set.
  TFileDescriptor fd(::open(name.Device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.IsOpen()) Fail(name, "Cannot open", errno);
  // Another program reading the same line would take bytes out of the middle of frames. The
  // exclusive-open flag does not stop root; the advisory lock, which other serial programs
  // honour too, stops every recorder, root's included.
  if (::ioctl(fd.Get(), TIOCEXCL) != 0) Fail(name, "Cannot open", errno == ENOTTY ? ENOTTY : EBUSY);
  if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0) Fail(name, "Cannot open", errno == EWOULDBLOCK ? EBUSY : errno);

  termios found{};
  if (::tcgetattr(fd.Get(), &found) != 0) Fail(name, "Cannot read the settings of", errno);
  // From here on a failure puts the line back as it was found, like a close does.
  fd_ = std::move(fd);
  name_ = name;
  found_ = found;
  try {
    Configure(found);
  } catch (...) {
    Close();
    throw;
  }
}

void TSerialPort::Configure(termios tty) const {
  // Raw: a cooked line would turn 0x0D into 0x0A, swallow 0x11 and 0x13 as flow control and
  // treat 0x03 as an interrupt, all of which are ordinary bytes of a sample record.
  tty.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                                        IXANY | INPCK | IUCLC | IMAXBEL);
  tty.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  tty.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  tty.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  tty.c_cflag |= CS8 | CREAD | CLOCAL;
  tty.c_cc[VMIN] = 1;  // a read waits for at least one byte, without a timeout
  tty.c_cc[VTIME] = 0;
  if (::cfsetispeed(&tty, B19200) != 0 || ::cfsetospeed(&tty, B19200) != 0)
    Fail(name_, "Cannot set 19200 baud on", errno);
  if (::tcsetattr(fd_.Get(), TCSANOW, &tty) != 0) Fail(name_, "Cannot configure", errno);
  // tcsetattr succeeds when any one setting took; check the ones a frame depends on.
  termios applied{};
  if (::tcgetattr(fd_.Get(), &applied) != 0) Fail(name_, "Cannot read the settings of", errno);
  if (::cfgetispeed(&applied) != B19200 || (applied.c_cflag & CSIZE) != CS8 || (applied.c_lflag & ICANON) != 0)
    throw TPortError("Cannot configure " + Describe(name_) + ": the port does not accept 19200 baud, 8 data bits, no parity.");

  const int flags = ::fcntl(fd_.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd_.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) Fail(name_, "Cannot configure", errno);
}

TSerialPort& TSerialPort::operator=(TSerialPort&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::move(other.fd_);
    name_ = std::move(other.name_);
    found_ = std::exchange(other.found_, std::nullopt);
  }
  return *this;
}

void TSerialPort::Close() noexcept {
  if (fd_.IsOpen()) {
    // A terminal left raw would not echo or edit lines any more (`record --port /dev/tty`); a
    // device already gone refuses, and there is nothing left to put back.
    if (found_) ::tcsetattr(fd_.Get(), TCSANOW, &*found_);
    ::ioctl(fd_.Get(), TIOCNXCL);
  }
  found_.reset();
  fd_.Reset();  // the advisory lock goes with the last descriptor
}

void TSerialPort::Lost(int error) const {
  const std::string why = error == 0 ? "the line was hung up"
                                     : std::error_code(error, std::generic_category()).message();
  throw TPortLost(Describe(name_) + " is gone (" + why + "): the converter was unplugged, switched off or closed.");
}

std::uint32_t TSerialPort::QueueCount() const {
  if (!fd_.IsOpen()) return 0;
  int waiting = 0;
  if (::ioctl(fd_.Get(), FIONREAD, &waiting) != 0) Lost(errno);
  // With a frame and more waiting, the reads that follow meet a failure themselves; the hang-up
  // check costs a system call, so it is left for a short queue, which is where a vanished
  // device shows only as an ordinary-looking count.
  if (waiting >= static_cast<int>(HangUpCheckBelow)) return static_cast<std::uint32_t>(waiting);
  pollfd state{fd_.Get(), POLLIN, 0};
  int ready = 0;
  while ((ready = ::poll(&state, 1, 0)) < 0 && errno == EINTR) {
  }
  if (ready < 0) Lost(errno);
  if ((state.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) Lost(state.revents & POLLHUP ? 0 : EIO);
  return waiting < 0 ? 0 : static_cast<std::uint32_t>(waiting);
}

std::int32_t TSerialPort::Read(std::uint8_t* buffer, std::int32_t count) {
  std::int32_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_.Get(), buffer + done, static_cast<std::size_t>(count - done));
    if (n > 0) {
      done += static_cast<std::int32_t>(n);
    } else if (n == 0) {
      Lost(0);  // a terminal reads the end of its data only once it is hung up
    } else if (errno != EINTR) {
      Lost(errno);
    }
  }
  return done;
}

}  // namespace ninetrace
