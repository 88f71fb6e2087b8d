// A recording file on disk: created fresh, appended a page at a time, read back page by page.
// Offsets are 64-bit so recordings of any length can be paged through.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "platform/file_descriptor.h"

namespace ninetrace {

class TFileError : public std::runtime_error {
 public:
  TFileError(const std::string& message, std::string reason) : std::runtime_error(message), reason_(std::move(reason)) {}
  // Why the operation failed, without the file name, e.g. "No space left on device".
  const std::string& Reason() const { return reason_; }

 private:
  std::string reason_;
};

// A file's device and inode: two names are the same file exactly when these are equal.
struct TFileIdentity {
  std::uint64_t Device = 0;
  std::uint64_t Inode = 0;
  bool operator==(const TFileIdentity&) const = default;
};

// The identity of the file open on `fd`; nullopt when it cannot be told (a closed descriptor).
std::optional<TFileIdentity> IdentityOf(int fd);

// What became of a file since it was created, seen through its descriptor and its name.
struct TFileState {
  std::int64_t Size = 0;
  bool Unlinked = false;       // no name leads to it any more
  bool NameLeadsHere = false;  // the name it was created under is still this very file
  bool NameTaken = false;      // something, this file or another, has that name
};

class TDataFile {
 public:
  TDataFile() = default;
  TDataFile(TDataFile&&) noexcept = default;
  TDataFile& operator=(TDataFile&&) noexcept = default;

  // Creates `name` for reading and writing, never replacing a file already there. Returns false
  // when the name is taken, so the caller can try another; throws TFileError on other failures.
  [[nodiscard]] bool CreateNew(const std::filesystem::path& name);
  // Opens an existing regular file read-only; throws TFileError "Cannot open <name>: <reason>".
  // Never waits: a FIFO, socket or device is refused rather than read.
  void OpenRead(const std::filesystem::path& name);

  std::int64_t Size() const;
  void SeekTo(std::int64_t offset);
  std::int64_t SeekEnd();  // returns the new offset, the file size
  // Reads up to `count` bytes, fewer only at the end of the file.
  std::int64_t Read(std::uint8_t* buffer, std::int64_t count);
  // Writes all `count` bytes or throws TFileError naming the file and the reason.
  void WriteAll(const std::uint8_t* buffer, std::int64_t count);
  // Writes all `count` bytes at `offset`, whatever another program did to the file's end since.
  void WriteAt(const std::uint8_t* buffer, std::int64_t count, std::int64_t offset);
  // Copies the first `count` bytes into `target`, from its start; throws TFileError.
  void CopyTo(TDataFile& target, std::int64_t count) const;
  // Puts what was written on the disk, so a crash cannot take it; throws TFileError.
  void Sync();
  // Cuts the file back to `size` bytes, e.g. to drop a page that only partly reached the disk.
  void Truncate(std::int64_t size);

  // Which file this is, whatever name or link it was opened by.
  TFileIdentity Identity() const;
  // Whether it still has its name, and its size; throws TFileError.
  TFileState State() const;
  // Removes the name the file was created under, but only while that name still leads to this
  // very file: a name given to another file meanwhile is left alone.
  void RemoveOwnName() const noexcept;

  // For asking the system about this very file (its stamp, reads at an offset).
  int Descriptor() const { return fd_.Get(); }

  void Close() { fd_.Reset(); }
  bool IsOpen() const { return fd_.IsOpen(); }
  const std::filesystem::path& Name() const { return name_; }

 private:
  [[noreturn]] void Fail(const char* action, int error) const;
  [[noreturn]] void NotARecording(mode_t mode) const;

  TFileDescriptor fd_;
  std::filesystem::path name_;
};

}  // namespace ninetrace
