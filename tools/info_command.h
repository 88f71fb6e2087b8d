// `ninetrace-cli info`: what a recording holds, read in one pass in constant memory.
#pragma once

#include <filesystem>

namespace ninetrace::cli {

// Prints the summary of `file` on standard output; returns the process exit code.
int Info(const std::filesystem::path& file);

}  // namespace ninetrace::cli
