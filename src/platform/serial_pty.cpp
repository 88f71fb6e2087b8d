#include "platform/serial_pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace ninetrace {

namespace {

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

TSerialPty::TSerialPty() {
  master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!master_.IsOpen()) Fail("posix_openpt");
  if (::grantpt(master_.Get()) != 0) Fail("grantpt");
  if (::unlockpt(master_.Get()) != 0) Fail("unlockpt");
  char path[256];
  if (::ptsname_r(master_.Get(), path, sizeof path) != 0) Fail("ptsname_r");
  slavePath_ = path;

  slave_.Reset(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave_.IsOpen()) Fail("open pty slave");
  termios tty{};
  if (::tcgetattr(slave_.Get(), &tty) != 0) Fail("tcgetattr");
  ::cfmakeraw(&tty);
  ::cfsetispeed(&tty, B19200);
  ::cfsetospeed(&tty, B19200);
  if (::tcsetattr(slave_.Get(), TCSANOW, &tty) != 0) Fail("tcsetattr");
}

std::size_t TSerialPty::Write(std::span<const std::uint8_t> bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_.Get(), bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else if (n < 0 && errno != EINTR) {
      Fail("write to pty");
    }
  }
  return done;
}

std::uint32_t TSerialPty::SlaveQueueCount() const {
  int waiting = 0;
  if (::ioctl(slave_.Get(), FIONREAD, &waiting) != 0 || waiting < 0) return 0;
  return static_cast<std::uint32_t>(waiting);
}

}  // namespace ninetrace
