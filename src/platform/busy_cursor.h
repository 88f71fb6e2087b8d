// The wait cursor over every window of the program while a long piece of work runs on the
// user-interface thread. Owned by a scope: the cursor comes back however the scope is left.
#pragma once

namespace ninetrace {

class TBusyCursor {
 public:
  TBusyCursor();
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor&) = delete;
  TBusyCursor& operator=(const TBusyCursor&) = delete;

  // Whether a cursor was set: only where a windowing application runs.
  bool Shown() const { return shown_; }

 private:
  bool shown_ = false;
};

}  // namespace ninetrace
