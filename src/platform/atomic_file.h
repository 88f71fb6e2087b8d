// Files written whole (a CSV export, a PNG): the bytes go to a temporary file beside the target,
// which takes the target's name only once complete. A failure, a full disk or a signal before
// that leaves an existing target exactly as it was and no temporary behind.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/file_descriptor.h"

namespace ninetrace {

class TAtomicFile {
 public:
  // Creates the temporary in the target's folder (the folder of the file a symbolic link leads
  // to, so the link stays). A target that is not a regular file, such as /dev/null or a pipe,
  // cannot be replaced and is written in place. Throws TFileError "Cannot create <target>: ...".
  explicit TAtomicFile(const std::filesystem::path& target);
  // Removes the temporary unless Commit succeeded.
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  int Fd() const { return fd_.Get(); }
  const std::filesystem::path& Target() const { return target_; }
  // False when the target is written in place, so a failure may leave part of it.
  bool Replaces() const { return !temporary_.empty(); }

  // Writes all of `bytes`; throws TFileError naming the target.
  void Write(const void* bytes, std::size_t count);
  // Puts the file on the disk and gives it the target's name; throws TFileError, and then the
  // target is as it was.
  void Commit();

 private:
  [[noreturn]] void Fail(const char* action, int error) const;

  std::filesystem::path target_;     // as given, for messages
  std::filesystem::path final_;      // what is replaced: the target, links followed
  std::filesystem::path temporary_;  // empty when written in place or once renamed
  TFileDescriptor fd_;
};

// Writes `count` bytes as the whole new contents of `target`; throws TFileError.
void WriteWholeFile(const std::filesystem::path& target, const void* bytes, std::size_t count);

}  // namespace ninetrace
