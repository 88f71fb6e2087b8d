#include "platform/positioned_io.h"

#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace ninetrace {

std::int64_t ReadAt(int fd, std::uint8_t* bytes, std::int64_t count, std::int64_t offset) {
  std::int64_t got = 0;
  while (got < count) {
    const ssize_t n = ::pread(fd, bytes + got, static_cast<std::size_t>(count - got), static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    got += n;
  }
  return got;
}

bool WriteAllAt(int fd, const std::uint8_t* bytes, std::int64_t count, std::int64_t offset) {
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd, bytes + done, static_cast<std::size_t>(count - done), static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) {
      errno = ENOSPC;
      return false;
    }
    done += n;
  }
  return true;
}

bool InMemoryAt(int fd, std::int64_t offset) {
  std::uint8_t byte = 0;
  iovec one{&byte, 1};
  // A read that may not wait fails with EAGAIN when the data is not in memory yet.
  for (;;) {
    const ssize_t n = ::preadv2(fd, &one, 1, static_cast<off_t>(offset), RWF_NOWAIT);
    if (n < 0 && errno == EINTR) continue;
    return n >= 0;
  }
}

}  // namespace ninetrace
