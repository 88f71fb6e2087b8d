#include "recording/recording_reader.h"

#include <algorithm>
#include <string>

namespace ninetrace {

TRecordingReader::TRecordingReader(const std::filesystem::path& name) : buffer_(ChunkPages * PageSize) {
  file_.OpenRead(name);
  size_ = file_.Size();
}

void TRecordingReader::SeekRecord(std::int64_t index) {
  next_ = std::clamp<std::int64_t>(index, 0, Records());
  file_.SeekTo(next_ * static_cast<std::int64_t>(RecordSize));
}

std::span<const std::uint8_t> TRecordingReader::Next(std::int64_t limit) {
  const std::int64_t chunkRecords = static_cast<std::int64_t>(ChunkPages * RecordsPerPage);
  const std::int64_t wanted = std::min({limit, chunkRecords, Records() - next_});
  if (wanted <= 0) return {};
  const std::int64_t bytes = wanted * static_cast<std::int64_t>(RecordSize);
  const std::int64_t got = file_.Read(buffer_.data(), bytes);
  // Someone cut the file while it was read: what follows would be a wrong count, a CSV missing
  // rows or a replay ending early, all looking like success.
  if (got < bytes) {
    const std::string reason = "it became shorter while being read (" + std::to_string(size_) + " bytes when opened, it ended after " +
                               std::to_string(next_ * static_cast<std::int64_t>(RecordSize) + got) + ")";
    throw TFileError("Cannot read " + file_.Name().string() + ": " + reason, reason);
  }
  next_ += wanted;
  return {buffer_.data(), static_cast<std::size_t>(bytes)};
}

std::int64_t TRecordingReader::ZeroTailRecords() {
  const std::int64_t records = Records();
  if (records == 0) return 0;
  const std::int64_t perPage = static_cast<std::int64_t>(RecordsPerPage);
  SeekRecord((records - 1) / perPage * perPage);
  const std::span<const std::uint8_t> page = Next(perPage);
  std::int64_t zeros = 0;
  for (std::size_t end = page.size(); end > 0 && IsZeroRecord(page.data() + end - RecordSize); end -= RecordSize) ++zeros;
  return zeros;
}

}  // namespace ninetrace
