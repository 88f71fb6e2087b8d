#include "recording/summary_builder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/data_file.h"

namespace ninetrace {

namespace {

[[noreturn]] void FailRead(const std::string& name, int error) {
  const std::string reason = std::error_code(error, std::generic_category()).message();
  throw TFileError("Cannot read " + name + ": " + reason, reason);
}

}  // namespace

std::int64_t ReadRecordingPage(int fd, std::int64_t page, std::uint8_t* out, const std::string& name) {
  std::int64_t got = 0;
  while (got < SummaryPageBytes) {
    const ssize_t n = ::pread(fd, out + got, static_cast<std::size_t>(SummaryPageBytes - got), page * SummaryPageBytes + got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) FailRead(name, errno);
    if (n == 0) break;
    got += n;
  }
  return got;
}

void PrefetchRecordingPage(int fd, std::int64_t page) {
  ::posix_fadvise(fd, page * SummaryPageBytes, SummaryPageBytes, POSIX_FADV_WILLNEED);
}

TSummaryBuilder::TSummaryBuilder(int fd, std::int64_t size, std::string name)
    : fd_(fd),
      pages_(size / SummaryPageBytes),
      name_(std::move(name)),
      buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(PiecePages * SummaryPageBytes))) {
  ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
  summary_.Reserve(pages_);
}

bool TSummaryBuilder::Step(std::int64_t bytes) {
  for (std::int64_t left = bytes; !Done() && left > 0;) {
    const std::int64_t pages = std::min(PiecePages, pages_ - summary_.Pages());
    const std::int64_t want = pages * SummaryPageBytes;
    std::int64_t got = 0;
    while (got < want) {
      const ssize_t n = ::pread(fd_, buffer_.get() + got, static_cast<std::size_t>(want - got),
                                summary_.Pages() * SummaryPageBytes + got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) FailRead(name_, errno);
      if (n == 0) throw TFileError("Cannot read " + name_ + ": it became shorter while being read", "it became shorter");
      got += n;
    }
    for (std::int64_t p = 0; p < pages; ++p)
      summary_.AddPage(SummariseRecords(buffer_.get() + p * SummaryPageBytes, SummaryPageRecords));
    left -= want;
  }
  return Done();
}

}  // namespace ninetrace
