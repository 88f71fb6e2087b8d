// Starting the window where there is no display: the toolkit would abort with a page about
// platform plugins; a person at a text console gets one line and a failure status instead.
#pragma once

#include <QString>

namespace ninetrace {

// While alive, the toolkit's start-up messages about its window system are held back; should
// the toolkit give up (no display, or one that cannot be reached), the program prints
// DisplayFailureMessage() to standard error and exits with status 1. Held messages are passed
// on when the guard ends without a failure.
class TDisplayGuard {
 public:
  TDisplayGuard();
  ~TDisplayGuard();
  TDisplayGuard(const TDisplayGuard&) = delete;
  TDisplayGuard& operator=(const TDisplayGuard&) = delete;
};

// The line printed, from the display settings of the environment.
QString DisplayFailureMessage();

}  // namespace ninetrace
