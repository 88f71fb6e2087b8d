// Signals that end a session (a closed terminal, a logout, Ctrl-C) turned into something the one
// thread can wait for, so a recording is stopped by ordinary code rather than cut off.
#pragma once

#include "platform/file_descriptor.h"

namespace ninetrace {

// While one lives, SIGHUP, SIGTERM and SIGINT no longer end the process: their handler only
// writes the signal's number into a pipe, whose read end becomes readable. Only one may exist at
// a time; the handlers in place before are put back when it goes.
class TStopSignals {
 public:
  // Throws std::system_error when the pipe or a handler cannot be set up.
  TStopSignals();
  ~TStopSignals();
  TStopSignals(const TStopSignals&) = delete;
  TStopSignals& operator=(const TStopSignals&) = delete;

  // Readable once a stop signal has arrived: for poll() or a socket notifier.
  int Fd() const { return readEnd_.Get(); }
  // The number of a signal that arrived and was not taken yet, 0 when none. Never blocks.
  int Take();

 private:
  TFileDescriptor readEnd_;
  TFileDescriptor writeEnd_;
};

// A file-size limit (ulimit -f) then fails a write with EFBIG, which the writers report and
// recover from like a full disk, instead of killing the process mid-page.
void IgnoreFileSizeSignal();

}  // namespace ninetrace
