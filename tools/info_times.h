// The part of `ninetrace-cli info` that says when: start, end, real records and padding, the
// record rate and the events, from the index beside the recording or estimated without one.
#pragma once

#include <cstdint>
#include <filesystem>

#include "recording/record_times.h"

namespace ninetrace::cli {

// Prints the lines; `zeroTail` stands in for the padding when there is no index.
void PrintTimes(const std::filesystem::path& file, const TRecordTimes& times, std::int64_t zeroTail);

}  // namespace ninetrace::cli
