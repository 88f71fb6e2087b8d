#include "platform/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <vector>

#include "platform/positioned_io.h"

namespace ninetrace {

namespace {

std::string Reason(int error) { return std::error_code(error, std::generic_category()).message(); }

std::string KindOf(mode_t mode) {
  if (S_ISFIFO(mode)) return "a pipe (FIFO)";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "a special file";
}

}  // namespace

void TDataFile::Fail(const char* action, int error) const {
  const std::string reason = Reason(error);
  throw TFileError(std::string(action) + " " + name_.string() + ": " + reason, reason);
}

bool TDataFile::CreateNew(const std::filesystem::path& name) {
  Close();
  name_ = name;
  fd_.Reset(::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0644));
  if (fd_.IsOpen()) {
    // The new name must reach the disk too, or pages synced later would have no name after a crash.
    const std::filesystem::path parent = name.parent_path().empty() ? "." : name.parent_path();
    const TFileDescriptor directory(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.IsOpen()) ::fsync(directory.Get());
    return true;
  }
  if (errno == EEXIST) return false;
  Fail("Cannot create", errno);
}

void TDataFile::OpenRead(const std::filesystem::path& name) {
  Close();
  name_ = name;
  // Opened without waiting: a plain open of a FIFO waits for a writer, and reading a device or
  // socket may never end, which would freeze the window. Only a regular file is then read.
  TFileDescriptor fd(::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  struct stat info {};
  if (!fd.IsOpen()) {
    // A socket cannot be opened at all; say what it is rather than "no such device".
    const int error = errno;
    if (::stat(name.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) NotARecording(info.st_mode);
    Fail("Cannot open", error);
  }
  if (::fstat(fd.Get(), &info) != 0) Fail("Cannot open", errno);
  // A folder keeps the system's own words, which say it well enough.
  if (S_ISDIR(info.st_mode)) Fail("Cannot read", EISDIR);
  if (!S_ISREG(info.st_mode)) NotARecording(info.st_mode);
  const int flags = ::fcntl(fd.Get(), F_GETFL);
  if (flags < 0 || ::fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) Fail("Cannot open", errno);
  fd_ = std::move(fd);
}

void TDataFile::NotARecording(mode_t mode) const {
  const std::string kind = KindOf(mode);
  throw TFileError("Cannot open " + name_.string() + ": it is " + kind + ", not a recording file.", "it is " + kind);
}

TFileIdentity TDataFile::Identity() const {
  const std::optional<TFileIdentity> identity = IdentityOf(fd_.Get());
  if (!identity) Fail("Cannot read the details of", errno);
  return *identity;
}

std::optional<TFileIdentity> IdentityOf(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::nullopt;
  return TFileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::int64_t TDataFile::Size() const {
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) Fail("Cannot read the size of", errno);
  return info.st_size;
}

void TDataFile::SeekTo(std::int64_t offset) {
  if (::lseek(fd_.Get(), static_cast<off_t>(offset), SEEK_SET) < 0) Fail("Cannot seek in", errno);
}

std::int64_t TDataFile::SeekEnd() {
  const off_t end = ::lseek(fd_.Get(), 0, SEEK_END);
  if (end < 0) Fail("Cannot seek in", errno);
  return end;
}

std::int64_t TDataFile::Read(std::uint8_t* buffer, std::int64_t count) {
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::read(fd_.Get(), buffer + done, static_cast<std::size_t>(count - done));
    if (n > 0) {
      done += n;
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      Fail("Cannot read", errno);
    }
  }
  return done;
}

void TDataFile::WriteAll(const std::uint8_t* buffer, std::int64_t count) {
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_.Get(), buffer + done, static_cast<std::size_t>(count - done));
    if (n > 0) {
      done += n;
    } else if (n == 0) {
      // A write that moves nothing without an error would repeat forever; treat the disk as full.
      Fail("Cannot write to", ENOSPC);
    } else if (errno != EINTR) {
      Fail("Cannot write to", errno);
    }
  }
}

void TDataFile::WriteAt(const std::uint8_t* buffer, std::int64_t count, std::int64_t offset) {
  // As WriteAll: no progress and no error is a full disk.
  if (!WriteAllAt(fd_.Get(), buffer, count, offset)) Fail("Cannot write to", errno);
}

void TDataFile::CopyTo(TDataFile& target, std::int64_t count) const {
  std::vector<std::uint8_t> block(256 * 1024);
  for (std::int64_t at = 0; at < count;) {
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(count - at, static_cast<std::int64_t>(block.size())));
    const ssize_t n = ::pread(fd_.Get(), block.data(), want, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("Cannot read", n < 0 ? errno : EIO);
    target.WriteAt(block.data(), n, at);
    at += n;
  }
}

TFileState TDataFile::State() const {
  struct stat own {}, named {};
  if (::fstat(fd_.Get(), &own) != 0) Fail("Cannot read the details of", errno);
  TFileState state;
  state.Size = own.st_size;
  state.Unlinked = own.st_nlink == 0;
  // lstat: a symbolic link put in the name's place is another file, even one that points here.
  state.NameTaken = ::lstat(name_.c_str(), &named) == 0;
  state.NameLeadsHere = state.NameTaken && named.st_dev == own.st_dev && named.st_ino == own.st_ino;
  return state;
}

void TDataFile::RemoveOwnName() const noexcept {
  struct stat own {}, named {};
  if (::fstat(fd_.Get(), &own) != 0 || ::lstat(name_.c_str(), &named) != 0) return;
  if (named.st_dev == own.st_dev && named.st_ino == own.st_ino) ::unlink(name_.c_str());
}

void TDataFile::Sync() {
  if (::fdatasync(fd_.Get()) != 0 && errno != EINVAL) Fail("Cannot write to", errno);
}

void TDataFile::Truncate(std::int64_t size) {
  if (::ftruncate(fd_.Get(), static_cast<off_t>(size)) != 0) Fail("Cannot shorten", errno);
}

}  // namespace ninetrace
