// The toolkit ends the process with exit() when the connection to the display breaks (the X
// server died, the session went): a recording running then is stopped as Stop stops it, from an
// exit handler, so the page in progress reaches the file.
#pragma once

#include "acquisition/recorder.h"

namespace ninetrace {

class TStopAtExit {
 public:
  // While this lives, an exit() stops `recorder` first and says on standard error what was kept.
  explicit TStopAtExit(TRecorder& recorder);
  ~TStopAtExit();
  TStopAtExit(const TStopAtExit&) = delete;
  TStopAtExit& operator=(const TStopAtExit&) = delete;
};

}  // namespace ninetrace
