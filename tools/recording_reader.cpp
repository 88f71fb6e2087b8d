#include "recording_reader.h"

#include <algorithm>

namespace ninetrace::cli {

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
  const std::int64_t got = file_.Read(buffer_.data(), wanted * static_cast<std::int64_t>(RecordSize));
  // A file cut shorter since it was opened ends early, and on a record boundary.
  const std::int64_t records = got / static_cast<std::int64_t>(RecordSize);
  next_ += records;
  if (records < wanted) size_ = next_ * static_cast<std::int64_t>(RecordSize);
  return {buffer_.data(), static_cast<std::size_t>(records) * RecordSize};
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

}  // namespace ninetrace::cli
