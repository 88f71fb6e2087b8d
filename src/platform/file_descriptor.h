// An owned POSIX file descriptor: closed exactly once, moved but never copied.
#pragma once

#include <unistd.h>

#include <utility>

namespace ninetrace {

class TFileDescriptor {
 public:
  TFileDescriptor() = default;
  explicit TFileDescriptor(int fd) noexcept : fd_(fd) {}
  ~TFileDescriptor() { Reset(); }
  TFileDescriptor(TFileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  TFileDescriptor& operator=(TFileDescriptor&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd_, -1));
    return *this;
  }
  TFileDescriptor(const TFileDescriptor&) = delete;
  TFileDescriptor& operator=(const TFileDescriptor&) = delete;

  int Get() const noexcept { return fd_; }
  bool IsOpen() const noexcept { return fd_ >= 0; }

  // Gives the descriptor up without closing it, for a caller that closes it and checks the result.
  [[nodiscard]] int Release() noexcept { return std::exchange(fd_, -1); }

  // Closes the descriptor held (if any) and takes `fd` instead.
  void Reset(int fd = -1) noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace ninetrace
