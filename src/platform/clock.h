// Wall-clock time behind an interface, so recordings can be named at a chosen instant in tests.
#pragma once

#include <ctime>
#include <string>

namespace ninetrace {

class TClock {
 public:
  virtual ~TClock() = default;
  virtual std::tm LocalNow() const = 0;
};

class TSystemClock final : public TClock {
 public:
  std::tm LocalNow() const override;
};

// The clock of the machine, shared by everything that has not been given another one.
const TClock& SystemClock();

// "yymmdd hhnnss.bin" for the instant a recording starts. Copy 2, 3, ... of the same second get
// "_2", "_3", ... before the extension so a quick second recording never overwrites the first.
std::string RecordingFileName(const std::tm& time, int copy = 1);

}  // namespace ninetrace
