// Reads a recording file a few pages at a time, so the tools work in the same small memory
// whatever the length of the recording.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/data_file.h"
#include "recording/record_layout.h"

namespace ninetrace {

class TRecordingReader {
 public:
  // Pages read per call: large enough that the read calls cost nothing next to the work on the
  // records, small enough to stay in the cache.
  static constexpr std::size_t ChunkPages = 32;

  // Opens `name` read-only; throws TFileError. The size is taken once, so a file still being
  // recorded reads as it was when opened; a file that becomes shorter than that while being read
  // is an error (TFileError), never a quiet early end.
  explicit TRecordingReader(const std::filesystem::path& name);

  // The file read, for refusing an output that is this very file.
  TFileIdentity Identity() const { return file_.Identity(); }

  std::int64_t Size() const { return size_; }
  std::int64_t WholePages() const { return size_ / static_cast<std::int64_t>(PageSize); }
  // Pages as the window counts them: a last page only partly written is a page too.
  std::int64_t Pages() const {
    const auto perPage = static_cast<std::int64_t>(RecordsPerPage);
    return (Records() + perPage - 1) / perPage;
  }
  std::int64_t Records() const { return size_ / static_cast<std::int64_t>(RecordSize); }
  // Bytes of a record cut short at the end of the file, 0..6.
  std::int64_t PartialRecordBytes() const { return size_ % static_cast<std::int64_t>(RecordSize); }

  // All-zero records at the end of the last page: what stopping a recording pads the page with.
  // Reads that page only; leaves the read position at its end.
  std::int64_t ZeroTailRecords();

  // Continues reading at record `index`.
  void SeekRecord(std::int64_t index);
  // The next whole records, at most `limit` and at most a chunk; empty at the end of the file.
  // The bytes stay valid until the next call. Throws TFileError when the file has shrunk.
  std::span<const std::uint8_t> Next(std::int64_t limit);

 private:
  TDataFile file_;
  std::int64_t size_ = 0;
  std::int64_t next_ = 0;  // record index of the read position
  std::vector<std::uint8_t> buffer_;
};

}  // namespace ninetrace
