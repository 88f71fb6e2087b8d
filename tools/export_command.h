// `ninetrace-cli export`: a recording as CSV, one row per record, streamed in constant memory.
#pragma once

#include <cstdint>
#include <filesystem>

#include "recording/channel_scales.h"

namespace ninetrace::cli {

struct TExportOptions {
  std::filesystem::path File;
  std::int64_t FromPage = 1;     // pages numbered from 1, as the window shows them
  std::int64_t ToPage = 0;       // 0: the last page
  std::filesystem::path Output;  // empty: standard output
  bool Time = false;             // add the seconds and wall-clock columns
  TChannelScales Channels = DefaultChannelScales();  // names, units and scales from --channel
  bool KeepPadding = false;      // also the padding after the last real record, as the index tells it
};

// Writes the CSV; returns the process exit code.
int Export(const TExportOptions& options);

}  // namespace ninetrace::cli
