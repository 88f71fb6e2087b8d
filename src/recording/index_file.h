// The index file's two sides: the recorder appends entries as it records, and readers take in
// what has been appended so far, again and again for a recording that grows.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_descriptor.h"
#include "recording/index_format.h"

namespace ninetrace {

// Appends to a recording's index. The index only helps: a failure to write it never stops a
// recording. The first failure closes it, so what is there stays a correct prefix, and
// Problem() says what happened.
class TIndexWriter {
 public:
  // Creates the index beside `recording`, replacing a stale one left by a recording of that name
  // that is gone (the recording itself has just been created new); never follows a link there.
  void Open(const std::filesystem::path& recording);
  void Append(const TIndexBlock& block);
  // Puts what was appended on the disk; called right after the pages it describes are synced.
  void Sync();
  void Close() { fd_.Reset(); }
  // The recording's records now live under another name (`recording`), or under none this
  // program knows (empty): the index follows them, or leaves the old name, where it would
  // describe some other file.
  void Follow(const std::filesystem::path& recording);
  bool IsOpen() const { return fd_.IsOpen(); }
  const std::string& Problem() const { return problem_; }

 private:
  void Fail(const char* action);

  TFileDescriptor fd_;
  std::filesystem::path name_;
  std::string problem_;
};

// What an index holds: page entries in page order, and events in the order they happened.
struct TIndexContents {
  std::vector<TPageEntry> Pages;
  std::vector<TIndexEvent> Events;
};

class TIndexReader {
 public:
  // Opens the index beside `recording`; false when there is none, or it is not an index this
  // version reads (then Problem() says so).
  bool Open(const std::filesystem::path& recording);
  // Adds the entries appended since the last call to `contents`; true when any came. Stops at a
  // torn or damaged entry, and tries that entry again next time (a writer may be finishing it).
  bool ReadMore(TIndexContents& contents);
  bool IsOpen() const { return fd_.IsOpen(); }
  const std::string& Problem() const { return problem_; }

 private:
  TFileDescriptor fd_;
  std::int64_t next_ = IndexHeaderSize;  // offset of the first entry not taken in yet
  std::int64_t nextPage_ = 0;            // the page the next page entry must describe
  std::string problem_;
};

}  // namespace ninetrace
