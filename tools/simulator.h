// The converter played in software: recognisable waveforms on the five channels and square waves
// on the four digital inputs, framed as on the wire, optionally with the faults of a real line.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "acquisition/sample_record.h"

namespace ninetrace::simulator {

using TRecordBytes = std::array<std::uint8_t, RecordSize>;

// Packs five 10-bit codes (0..1023) and four digital inputs (bit d = input d) into a record.
TRecordBytes PackRecord(const std::array<int, 5>& codes, unsigned digital);

// Sample n of every signal, a pure function of the seed and n, so a test can rebuild any record.
class TWaveforms {
 public:
  // Periods in samples; at the line rate about 213 samples pass per second.
  static constexpr std::array<int, 5> ChannelPeriods = {213, 426, 320, 160, 6400};
  static constexpr std::array<int, 4> DigitalPeriods = {16, 54, 200, 640};

  explicit TWaveforms(std::uint64_t seed = 1);

  // Channel 1 sine, 2 triangle, 3 sawtooth, 4 square, 5 slow ramp, each over the whole code range.
  std::array<int, 5> Codes(std::uint64_t n) const;
  unsigned Digital(std::uint64_t n) const;
  TRecordBytes Record(std::uint64_t n) const { return PackRecord(Codes(n), Digital(n)); }

 private:
  std::uint64_t seed_;
  std::array<std::uint64_t, 9> phase_{};  // where each signal starts, from the seed
};

// The byte stream on the line: 0xFF 0xFF and a record, frame after frame. With faults on, the
// stream starts in the middle of a frame and now and then carries a few stray bytes between frames.
class TConverterLine {
 public:
  explicit TConverterLine(std::uint64_t seed = 1, bool faults = false);

  // Appends the next frame (and any stray bytes before it) to `out`.
  void AppendNext(std::vector<std::uint8_t>& out);

  const TWaveforms& Waveforms() const { return waveforms_; }
  std::uint64_t FramesMade() const { return frames_; }
  std::uint64_t StrayBytes() const { return strayBytes_; }

 private:
  std::uint64_t NextRandom();

  TWaveforms waveforms_;
  bool faults_;
  std::uint64_t random_;
  std::uint64_t frames_ = 0;
  std::uint64_t strayBytes_ = 0;
};

}  // namespace ninetrace::simulator
