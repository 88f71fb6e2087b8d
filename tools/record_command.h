// `ninetrace-cli record`: records from the converter exactly as the window does (same
// synchroniser, file naming, whole pages and zero tail), without a display.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace ninetrace::cli {

struct TRecordOptions {
  std::string Port;                 // as typed in the window's port field: a number or a device path
  double Seconds = 0;               // 0: no time limit
  std::int64_t Pages = 0;           // 0: no page limit; else stop with exactly this many pages
  std::filesystem::path Directory;  // empty: the current directory
};

// Records until the limit or SIGINT/SIGTERM; returns the process exit code.
int Record(const TRecordOptions& options);

}  // namespace ninetrace::cli
