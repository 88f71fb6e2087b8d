// The summary's cache file beside the recording ("<recording>.summary"): written page by page
// while recording, or whole for a recording that has none, and believed only while it still
// describes the recording as it is: same file, size and modification time, intact.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/file_descriptor.h"
#include "recording/recording_summary.h"

namespace ninetrace {

// What the summary was made from: the recording's identity, size and last modification.
struct TRecordingStamp {
  std::uint64_t Device = 0, Inode = 0;
  std::int64_t Size = 0;
  std::int64_t ModifiedNs = 0;
  bool operator==(const TRecordingStamp&) const = default;
};

// The stamp of the file open on `fd`; nullopt when it cannot be read.
std::optional<TRecordingStamp> StampOf(int fd);

std::filesystem::path SummaryPathFor(const std::filesystem::path& recording);

// The summary stored for a recording with stamp `stamp`, or nullopt when there is none or it is
// stale (another file, size or time), torn or damaged: then it must be built again.
std::optional<TRecordingSummary> LoadSummary(const std::filesystem::path& summaryPath, const TRecordingStamp& stamp);

// Stores `summary` for the recording with `stamp` through a temporary file renamed into place.
// Returns false when it cannot be stored (a read-only folder): the summary is a cache.
bool SaveSummary(const std::filesystem::path& summaryPath, const TRecordingSummary& summary,
                 const TRecordingStamp& stamp);

// The summary kept up to date while a recording is written: each page appends its block (and the
// blocks it closes), then the header takes the recording's new stamp. It never fails the
// recording: on any error it stops and removes its file, which is built again when needed.
class TSummaryWriter {
 public:
  TSummaryWriter() = default;
  TSummaryWriter(TSummaryWriter&&) noexcept = default;
  TSummaryWriter& operator=(TSummaryWriter&&) noexcept = default;

  // Starts a new summary for the empty recording just created.
  void Start(const std::filesystem::path& recording);
  // After page `page` (7000 bytes) reached the recording open on `recordingFd`.
  void AppendPage(const std::uint8_t* page, int recordingFd) noexcept;
  void Finish() noexcept {
    fd_.Reset();
    started_ = false;
  }

 private:
  bool Open() noexcept;
  void Abandon() noexcept;

  TFileDescriptor fd_;
  std::filesystem::path path_;
  bool started_ = false;  // a recording has started and its first page is still to come
  std::int64_t pages_ = 0;
  std::array<TBlockSummary, TRecordingSummary::Levels> open_{};  // the blocks above pages being filled
  std::int64_t bodyBytes_ = 0;
  std::uint64_t check_ = 0;
};

}  // namespace ninetrace
