#include "recording/summary_builder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/data_file.h"
#include "platform/positioned_io.h"

namespace ninetrace {

namespace {

[[noreturn]] void FailRead(const std::string& name, int error) {
  const std::string reason = std::error_code(error, std::generic_category()).message();
  throw TFileError("Cannot read " + name + ": " + reason, reason);
}

}  // namespace

std::int64_t ReadRecordingPage(int fd, std::int64_t page, std::uint8_t* out, const std::string& name) {
  const std::int64_t got = ReadAt(fd, out, SummaryPageBytes, page * SummaryPageBytes);
  if (got < 0) FailRead(name, errno);
  return got;
}

void PrefetchRecordingPage(int fd, std::int64_t page) {
  ::posix_fadvise(fd, page * SummaryPageBytes, SummaryPageBytes, POSIX_FADV_WILLNEED);
}

bool RecordingPageInMemory(int fd, std::int64_t page) {
  return InMemoryAt(fd, page * SummaryPageBytes) && InMemoryAt(fd, (page + 1) * SummaryPageBytes - 1);
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
    const std::int64_t got = ReadAt(fd_, buffer_.get(), want, summary_.Pages() * SummaryPageBytes);
    if (got < 0) FailRead(name_, errno);
    if (got < want) throw TFileError("Cannot read " + name_ + ": it became shorter while being read", "it became shorter");
    for (std::int64_t p = 0; p < pages; ++p)
      summary_.AddPage(SummariseRecords(buffer_.get() + p * SummaryPageBytes, SummaryPageRecords));
    left -= want;
  }
  return Done();
}

}  // namespace ninetrace
