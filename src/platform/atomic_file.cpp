#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <system_error>

#include "platform/data_file.h"

namespace ninetrace {

namespace {

// Names that no one else picks: hidden, after the target, with the process and a counter.
std::filesystem::path TemporaryName(const std::filesystem::path& final, unsigned attempt) {
  const auto ticks = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
  std::string name(1, '.');
  name += final.filename().string();
  name += '.';
  name += std::to_string(::getpid());
  name += '-';
  name += std::to_string((ticks + attempt) % 1000000);
  name += ".part";
  return final.parent_path() / name;
}

}  // namespace

void TAtomicFile::Fail(const char* action, int error) const {
  const std::string reason = std::error_code(error, std::generic_category()).message();
  throw TFileError(std::string(action) + " " + target_.string() + ": " + reason, reason);
}

TAtomicFile::TAtomicFile(const std::filesystem::path& target) : target_(target), final_(target) {
  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) Fail("Cannot create", errno);
  if (exists && !S_ISREG(existing.st_mode)) {
    // A device or a pipe has no contents to keep; O_TRUNC is ignored by those.
    fd_.Reset(::open(target.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_TRUNC));
    if (!fd_.IsOpen()) Fail("Cannot create", errno);
    return;
  }
  std::error_code unresolved;
  if (exists) final_ = std::filesystem::canonical(target, unresolved);
  if (unresolved || final_.empty()) final_ = target;
  if (final_.filename().empty()) Fail("Cannot create", EISDIR);
  for (unsigned attempt = 0; !fd_.IsOpen(); ++attempt) {
    temporary_ = TemporaryName(final_, attempt);
    fd_.Reset(::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0644));
    if (!fd_.IsOpen() && (errno != EEXIST || attempt > 100)) {
      const int error = errno;
      temporary_.clear();
      Fail("Cannot create", error);
    }
  }
  // A file replaced keeps who may read it.
  if (exists) ::fchmod(fd_.Get(), existing.st_mode & 07777);
}

TAtomicFile::~TAtomicFile() {
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

void TAtomicFile::Write(const void* bytes, std::size_t count) {
  const auto* from = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t n = ::write(fd_.Get(), from, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail("Cannot write", n < 0 ? errno : ENOSPC);
    from += n;
    count -= static_cast<std::size_t>(n);
  }
}

void TAtomicFile::Commit() {
  if (temporary_.empty()) {
    if (::close(fd_.Release()) != 0 && errno != EINTR) Fail("Cannot write", errno);
    return;
  }
  // On the disk before it takes the name: a crash must not leave an empty file under it.
  if (::fsync(fd_.Get()) != 0 && errno != EINVAL) Fail("Cannot write", errno);
  if (::close(fd_.Release()) != 0 && errno != EINTR) Fail("Cannot write", errno);
  if (::rename(temporary_.c_str(), final_.c_str()) != 0) Fail("Cannot create", errno);
  temporary_.clear();
  const std::filesystem::path folder = final_.parent_path().empty() ? "." : final_.parent_path();
  const TFileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (directory.IsOpen()) ::fsync(directory.Get());
}

void WriteWholeFile(const std::filesystem::path& target, const void* bytes, std::size_t count) {
  TAtomicFile file(target);
  file.Write(bytes, count);
  file.Commit();
}

}  // namespace ninetrace
