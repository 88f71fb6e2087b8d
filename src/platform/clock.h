// Wall-clock time behind an interface, so recordings can be named at a chosen instant in tests.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace ninetrace {

// A wall-clock instant with the local zone's offset then: local = UTC + offset.
struct TWallTime {
  std::int64_t UnixNanoseconds = 0;
  std::int32_t UtcOffsetSeconds = 0;
};

class TClock {
 public:
  virtual ~TClock() = default;
  virtual std::tm LocalNow() const = 0;
  // The wall clock, for the recording index; the machine's unless a test sets it.
  virtual TWallTime WallNow() const;
  // A clock that never jumps (nanoseconds from an arbitrary start): what arrival times are
  // measured in, so a wall clock set while recording cannot bend them.
  virtual std::int64_t MonotonicNanoseconds() const;
};

class TSystemClock final : public TClock {
 public:
  std::tm LocalNow() const override;
};

// The offset of the local zone from UTC at `unixSeconds`, in seconds.
std::int32_t UtcOffsetAt(std::int64_t unixSeconds);

// The clock of the machine, shared by everything that has not been given another one.
const TClock& SystemClock();

// "yymmdd hhnnss.bin" for the instant a recording starts. Copy 2, 3, ... of the same second get
// "_2", "_3", ... before the extension so a quick second recording never overwrites the first.
std::string RecordingFileName(const std::tm& time, int copy = 1);

}  // namespace ninetrace
