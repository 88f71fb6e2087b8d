// A recording played back as the converter would send it: 0xFF 0xFF and a record, frame after
// frame, so a recording can be reviewed live or stand in for the device.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "recording/recording_reader.h"

namespace ninetrace::simulator {

class TReplayLine {
 public:
  // Opens the recording; throws TFileError. The zero tail of the last page is left out: it is
  // padding written when the recording stopped, never sent by the converter, and played on a
  // loop it would show as a drop to zero at every turn.
  TReplayLine(const std::filesystem::path& name, bool loop);

  // Appends the next frame to `out`; false when the recording has been played to the end (never
  // while looping, unless there is nothing to play).
  bool AppendNext(std::vector<std::uint8_t>& out);

  std::int64_t RecordsPerPass() const { return records_; }
  TFileIdentity Identity() const { return reader_.Identity(); }
  std::uint64_t FramesMade() const { return frames_; }

 private:
  TRecordingReader reader_;
  bool loop_;
  std::int64_t records_ = 0;  // played per pass
  std::int64_t played_ = 0;   // in this pass
  std::span<const std::uint8_t> chunk_;
  std::uint64_t frames_ = 0;
};

}  // namespace ninetrace::simulator
