// Where the companions write: standard output, which may be closed or full, and output files,
// which must never be one of the command's own inputs.
#pragma once

#include <filesystem>
#include <string>

#include "platform/data_file.h"
#include "platform/file_descriptor.h"

namespace ninetrace::cli {

// Call first thing: puts a descriptor that cannot be written on standard descriptors that are
// closed, so no file opened later lands on them (progress text would end up inside a recording)
// while output meant for a closed stream still fails and is reported.
void GuardStandardStreams();

// Flushes standard output. Returns false, after saying so once on standard error under `prefix`,
// when a write to it failed: closed, a full disk, a closed pipe.
bool FinishStandardOutput(const std::string& prefix);

// A file that an output must not be: what is read, under the name the user gave.
struct TInput {
  TFileIdentity Identity;
  std::filesystem::path Name;
};

enum class TOutputMode { Replace, Append };

// Opens `path` for writing, creating it when missing. Throws std::runtime_error with a message
// when it cannot be opened or when it is `input` itself, under any name or link: then the file
// is left exactly as it was. Replace empties the file only once that has been checked.
TFileDescriptor OpenOutput(const std::filesystem::path& path, TOutputMode mode, const TInput* input);

// Throws std::runtime_error when `path` leads to `input`, under any name or link. Changes nothing.
void CheckOutputIsNot(const std::filesystem::path& path, const TInput& input);

// True when the two names lead to one file, or both to the same file yet to be made.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Throws std::runtime_error when standard output is `input` (`cmd >> input`).
void CheckStandardOutputIsNot(const TInput& input);

}  // namespace ninetrace::cli
