// A port that stays silent after Run is worth saying: the wrong port, a converter switched off
// and a loose cable all look like a recording that simply waits. The window and `record` both
// say it once the line has been quiet for two seconds, and stop saying it at the first frame.
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial_port.h"

namespace ninetrace {

inline constexpr double SilentPortSeconds = 2.0;

class TSilentPortWatch {
 public:
  // A recording has started at `now` (seconds on any steady clock).
  void Start(double now) {
    started_ = now;
    watching_ = true;
  }
  void Stop() { watching_ = false; }
  // True while no frame has arrived since Start and the line has been silent long enough to say
  // so. The first frame ends the watch for this recording.
  bool Silent(std::int64_t framesReceived, double now) {
    if (framesReceived > 0) watching_ = false;
    return watching_ && now - started_ >= SilentPortSeconds;
  }

 private:
  double started_ = 0;
  bool watching_ = false;
};

// The device path says which line to check, also when the person typed a port number.
inline std::string SilentPortText(const TPortName& port) { return "no data from " + port.Device + " yet"; }

}  // namespace ninetrace
