// `ninetrace-cli summary`: makes sure a recording has its summary beside it, building it once.
#pragma once

#include <filesystem>

namespace ninetrace::cli {

// Loads or builds the summary of `file` and says which on standard output; returns the exit code.
int Summary(const std::filesystem::path& file);

}  // namespace ninetrace::cli
