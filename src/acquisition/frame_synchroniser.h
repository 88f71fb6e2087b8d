// Finds the 7-byte records in the byte stream from the converter by their 0xFF 0xFF sync pair.
#pragma once

#include <array>
#include <cstdint>

#include "acquisition/sample_record.h"

namespace ninetrace {

// Where bytes come from: the serial port in the program, byte vectors in tests.
struct TByteSource {
  virtual ~TByteSource() = default;
  virtual std::uint32_t QueueCount() = 0;
  // Blocks until `count` bytes arrived; returns fewer only when the source has failed.
  virtual std::int32_t Read(std::uint8_t* buffer, std::int32_t count) = 0;
};

class TFrameSynchroniser {
 public:
  using TFrame = std::array<std::uint8_t, RecordSize>;

  // Frames are attempted only while more than this many bytes wait, so an attempt never waits
  // for the line: it reads 9 bytes at most.
  static constexpr std::uint32_t QueueThreshold = 15;

  enum class TAttempt { Frame, Dropped, SourceFailed };

  // One timer tick: takes frames out of the source while `recording` stays true and more than
  // QueueThreshold bytes wait, handing each record to onFrame(TSampleRecord). `recording` is
  // read again before every frame so onFrame may end the recording. Returns the frames handed on.
  template <class TOnFrame>
  std::int64_t Poll(TByteSource& source, const bool& recording, TOnFrame&& onFrame) {
    std::int64_t delivered = 0;
    while (recording && source.QueueCount() > QueueThreshold) {
      const TAttempt attempt = Attempt(source);
      // A source that reports bytes but cannot deliver them would spin here; try next tick.
      if (attempt == TAttempt::SourceFailed) break;
      if (attempt == TAttempt::Frame) {
        ++delivered;
        onFrame(TSampleRecord(frame_));
      }
    }
    return delivered;
  }

  // One frame attempt: a byte, and if it was 0xFF another, and if that was 0xFF the 7-byte
  // record. The bytes of a failed attempt are dropped, never looked at again.
  TAttempt Attempt(TByteSource& source);

  // The record of the last successful attempt.
  const TFrame& Frame() const { return frame_; }
  std::int64_t FramesReceived() const { return framesReceived_; }
  std::int64_t BytesDropped() const { return bytesDropped_; }
  void ResetCounts() { framesReceived_ = bytesDropped_ = 0; }

 private:
  TFrame frame_{};
  std::int64_t framesReceived_ = 0;
  std::int64_t bytesDropped_ = 0;
};

}  // namespace ninetrace
