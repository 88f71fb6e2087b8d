// Builds the summary of a recording that has none, a slice at a time, so the window can show
// progress and take a cancel between slices, and the command line can print a progress line.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "recording/recording_summary.h"

namespace ninetrace {

// Reads page `page` of the recording open on `fd` into `out` (7000 bytes, fewer at its end);
// returns the bytes read. Throws TFileError naming `name` when the read fails.
std::int64_t ReadRecordingPage(int fd, std::int64_t page, std::uint8_t* out, const std::string& name);
// Asks the system to fetch page `page` now, so that many pages from a cold disk come at once.
void PrefetchRecordingPage(int fd, std::int64_t page);
// Whether page `page` can be read without waiting for the disk.
bool RecordingPageInMemory(int fd, std::int64_t page);

class TSummaryBuilder {
 public:
  // Reads the whole pages of the first `size` bytes of the file open on `fd` (not owned; it
  // must stay open while building); `name` names the file in error messages.
  TSummaryBuilder(int fd, std::int64_t size, std::string name);

  // Summarises about `bytes` more of the recording; returns true once all of it is done. Throws
  // TFileError when the file cannot be read or has become shorter.
  bool Step(std::int64_t bytes = DefaultSlice);
  bool Done() const { return summary_.Pages() == pages_; }
  std::int64_t BytesDone() const { return summary_.Pages() * SummaryPageBytes; }
  std::int64_t BytesTotal() const { return pages_ * SummaryPageBytes; }
  TRecordingSummary Take() { return std::move(summary_); }

  // About 30 ms of work on the development machine, warm.
  static constexpr std::int64_t DefaultSlice = 64 * 1024 * 1024;

 private:
  static constexpr std::int64_t PiecePages = 512;

  int fd_;
  std::int64_t pages_;
  std::string name_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  TRecordingSummary summary_;
};

}  // namespace ninetrace
