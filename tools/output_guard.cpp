#include "output_guard.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace ninetrace::cli {

namespace {

bool outputFailureReported = false;

std::string SameFileMessage(const std::string& output, const TInput& input) {
  return "will not write to " + output + ": it is " + input.Name.string() +
         ", which is being read; give another output file";
}

}  // namespace

void GuardStandardStreams() {
  for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // open() takes the lowest free descriptor, which is this one. Read-only, so that writing to
    // a stream that was closed still fails, as it would have, and gets reported.
    const int placeholder = ::open("/dev/null", O_RDONLY);
    if (placeholder != fd && placeholder >= 0) ::close(placeholder);
  }
}

bool FinishStandardOutput(const std::string& prefix) {
  errno = 0;
  const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
  const int error = errno;
  if (flushed) return true;
  if (!outputFailureReported) {
    outputFailureReported = true;
    std::fprintf(stderr, "%s: cannot write standard output: %s\n", prefix.c_str(),
                 error == EBADF ? "it is closed" : error != 0 ? std::strerror(error) : "write error");
  }
  return false;
}

TFileDescriptor OpenOutput(const std::filesystem::path& path, TOutputMode mode, const TInput* input) {
  // Never truncated on opening: whether this is the input is known only once it is open, by
  // device and inode, which sees through symbolic and hard links alike.
  const int flags = O_WRONLY | O_CREAT | O_NOCTTY | O_CLOEXEC | (mode == TOutputMode::Append ? O_APPEND : 0);
  TFileDescriptor fd(::open(path.c_str(), flags, 0644));
  if (!fd.IsOpen())
    throw std::runtime_error(std::string(mode == TOutputMode::Replace ? "cannot create " : "cannot open ") +
                             path.string() + ": " + std::strerror(errno));
  if (input != nullptr && IdentityOf(fd.Get()) == input->Identity)
    throw std::runtime_error(SameFileMessage(path.string(), *input));
  struct stat info {};
  if (mode == TOutputMode::Replace && ::fstat(fd.Get(), &info) == 0 && S_ISREG(info.st_mode) &&
      ::ftruncate(fd.Get(), 0) != 0)
    throw std::runtime_error("cannot empty " + path.string() + ": " + std::strerror(errno));
  return fd;
}

void CheckOutputIsNot(const std::filesystem::path& path, const TInput& input) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return;
  const TFileIdentity output{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
  if (output == input.Identity) throw std::runtime_error(SameFileMessage(path.string(), input));
}

bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code aMissing, bMissing;
  const bool same = std::filesystem::equivalent(a, b, aMissing);
  if (!aMissing) return same;
  if (std::filesystem::exists(a, aMissing) || std::filesystem::exists(b, bMissing)) return false;
  return std::filesystem::weakly_canonical(a, aMissing) == std::filesystem::weakly_canonical(b, bMissing) && !aMissing;
}

void CheckStandardOutputIsNot(const TInput& input) {
  if (IdentityOf(STDOUT_FILENO) == input.Identity)
    throw std::runtime_error(SameFileMessage("standard output", input));
}

}  // namespace ninetrace::cli
