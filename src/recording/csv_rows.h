// The CSV rows of a recording: a header, then one row per record with its index, the five
// channels' values (the plotted value, or the scaled value of a channel given a scale), their
// codes and the four digital inputs, optionally with the time columns. Shared by `export` and the
// window's "export the records on screen", so both write exactly the same rows.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "recording/channel_scales.h"
#include "recording/export_time.h"
#include "recording/recording_reader.h"

namespace ninetrace {

// Told the bytes of records written so far, now and then.
using TCsvProgress = std::function<void(std::int64_t doneBytes)>;

// The header row, newline included: the plain column names while no channel is customised,
// otherwise "NAME [UNIT]", "NAME code" and the digital inputs' names.
std::string CsvHeader(const TChannelScales& channels, const TTimeColumns* time);

// Writes the header and records [first, end) of `reader` to `fd` (named `outputName` in
// messages); `time` is null without the time columns, `progress` may be empty. Throws
// std::system_error when a write fails and TFileError when the recording cannot be read.
void WriteCsv(TRecordingReader& reader, std::int64_t first, std::int64_t end, int fd, const std::string& outputName,
              const TChannelScales& channels, TTimeColumns* time, const TCsvProgress& progress = {});

}  // namespace ninetrace
