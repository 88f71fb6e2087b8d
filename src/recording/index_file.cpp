#include "recording/index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace ninetrace {

namespace {

bool WriteWhole(int fd, const std::uint8_t* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

void TIndexWriter::Open(const std::filesystem::path& recording) {
  name_ = IndexPathFor(recording);
  problem_.clear();
  constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC | O_NOCTTY;
  fd_.Reset(::open(name_.c_str(), flags, 0644));
  // A stale index of a recording of this name that is gone is replaced; anything else there
  // (a link, a folder) is left alone, and this recording goes without an index.
  struct stat there {};
  if (!fd_.IsOpen() && errno == EEXIST && ::lstat(name_.c_str(), &there) == 0 && S_ISREG(there.st_mode) &&
      ::unlink(name_.c_str()) == 0)
    fd_.Reset(::open(name_.c_str(), flags, 0644));
  if (!fd_.IsOpen()) return Fail("create");
  const auto header = EncodeIndexHeader();
  if (!WriteWhole(fd_.Get(), header.data(), header.size())) Fail("write");
}

void TIndexWriter::Append(const TIndexBlock& block) {
  if (fd_.IsOpen() && !WriteWhole(fd_.Get(), block.data(), block.size())) Fail("write");
}

void TIndexWriter::Sync() {
  if (fd_.IsOpen() && ::fdatasync(fd_.Get()) != 0) Fail("sync");
}

void TIndexWriter::Follow(const std::filesystem::path& recording) {
  if (name_.empty()) return;
  const std::filesystem::path from = name_;
  if (!recording.empty()) {
    name_ = IndexPathFor(recording);
    if (::rename(from.c_str(), name_.c_str()) == 0) return;
    Fail("move the index to");
  }
  ::unlink(from.c_str());
}

void TIndexWriter::Fail(const char* action) {
  problem_ = std::string("cannot ") + action + " " + name_.string() + ": " + std::strerror(errno);
  fd_.Reset();
}

bool TIndexReader::Open(const std::filesystem::path& recording) {
  const std::filesystem::path name = IndexPathFor(recording);
  problem_.clear();
  next_ = IndexHeaderSize;
  nextPage_ = 0;
  fd_.Reset(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!fd_.IsOpen()) {
    if (errno != ENOENT) problem_ = "cannot open " + name.string() + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  std::array<std::uint8_t, IndexHeaderSize> header{};
  if (::fstat(fd_.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      ::pread(fd_.Get(), header.data(), header.size(), 0) != static_cast<ssize_t>(header.size()) || !IsIndexHeader(header)) {
    problem_ = name.string() + " is not an index this version reads; times are estimated";
    fd_.Reset();
    return false;
  }
  return true;
}

bool TIndexReader::ReadMore(TIndexContents& contents) {
  if (!fd_.IsOpen()) return false;
  constexpr std::size_t BlocksPerRead = 512;
  std::vector<std::uint8_t> buffer(BlocksPerRead * IndexEntrySize);
  bool any = false;
  for (;;) {
    const ssize_t got = ::pread(fd_.Get(), buffer.data(), buffer.size(), next_);
    if (got < 0 && errno == EINTR) continue;
    if (got < static_cast<ssize_t>(IndexEntrySize)) return any;
    const std::size_t blocks = static_cast<std::size_t>(got) / IndexEntrySize;
    for (std::size_t i = 0; i < blocks; ++i) {
      const std::span<const std::uint8_t, IndexEntrySize> block(buffer.data() + i * IndexEntrySize, IndexEntrySize);
      const std::optional<TDecodedEntry> entry = DecodeEntry(block);
      if (!entry) return any;
      // Pages come in order, each once; anything else is not this recording's index.
      if (entry->Page && entry->Page->Page != nextPage_) return any;
      if (entry->Page) {
        contents.Pages.push_back(*entry->Page);
        ++nextPage_;
      }
      if (entry->Event) contents.Events.push_back(*entry->Event);
      next_ += static_cast<std::int64_t>(IndexEntrySize);
      any = true;
    }
    if (blocks < BlocksPerRead) return any;
  }
}

}  // namespace ninetrace
