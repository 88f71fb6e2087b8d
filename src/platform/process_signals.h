// Signals that would end the process (a closed terminal, a logout, Ctrl-C, a stray kill) turned
// into something the one thread can wait for, so a recording is stopped by ordinary code rather
// than cut off.
#pragma once

#include "platform/file_descriptor.h"

namespace ninetrace {

// While one lives, no signal that a handler can catch ends the process any more (SIGHUP, SIGTERM,
// SIGINT, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,
// SIGSTKFLT and the real-time signals): their handler only writes the signal's number into a pipe,
// whose read end becomes readable. Only one may exist at
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

// A reader gone from a pipe the window writes to (its standard error) fails that write instead
// of ending the program mid-page.
void IgnoreBrokenPipeSignal();

}  // namespace ninetrace
