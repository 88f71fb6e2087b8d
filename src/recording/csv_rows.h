// The CSV rows of a recording: a header, then one row per record with its index, the five
// channels' values (the plotted value, or the scaled value of a channel given a scale), their
// codes and the four digital inputs, optionally with the time columns. Shared by `export` and the
// window's "export the records on screen", so both write exactly the same rows.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "recording/channel_scales.h"
#include "recording/export_time.h"
#include "recording/indexed_time_columns.h"
#include "recording/recording_reader.h"

namespace ninetrace {

// Either kind of time columns (arrival times from the index, or estimated ones), or none.
struct TCsvTime {
  TTimeColumns* Estimated = nullptr;
  TIndexedTimeColumns* Indexed = nullptr;
  static constexpr std::size_t MaxLength = std::max(TTimeColumns::MaxLength, TIndexedTimeColumns::MaxLength);
  const char* Header() const {
    return Indexed != nullptr ? TIndexedTimeColumns::Header : Estimated != nullptr ? Estimated->Header() : "";
  }
  char* Write(char* out, std::int64_t record) const {
    if (Indexed != nullptr) return Indexed->Write(out, record);
    return Estimated != nullptr ? Estimated->Write(out, record) : out;
  }
};

// Told the bytes of records written so far, now and then.
using TCsvProgress = std::function<void(std::int64_t doneBytes)>;

// The header row, newline included: the plain column names while no channel is customised,
// otherwise "NAME [UNIT]", "NAME code" and the digital inputs' names.
std::string CsvHeader(const TChannelScales& channels, const TCsvTime& time);

// Writes the header and records [first, end) of `reader` to `fd` (named `outputName` in
// messages); `time` holds no columns without --time, `progress` may be empty. Throws
// std::system_error when a write fails and TFileError when the recording cannot be read.
void WriteCsv(TRecordingReader& reader, std::int64_t first, std::int64_t end, int fd, const std::string& outputName,
              const TChannelScales& channels, const TCsvTime& time, const TCsvProgress& progress = {});

}  // namespace ninetrace
