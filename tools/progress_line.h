// A progress line redrawn in place on a terminal: percentage and rate, shown only once a job has
// run long enough to need it, so short jobs and logs stay clean.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace ninetrace::cli {

class TProgressLine {
 public:
  using TClock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds FirstAfter{500};
  static constexpr std::chrono::milliseconds Every{250};

  // `out` is written only when `enabled` (the caller's test for a terminal).
  TProgressLine(std::FILE* out, bool enabled, std::string what, std::int64_t totalBytes, TClock::time_point start)
      : out_(out), enabled_(enabled), what_(std::move(what)), total_(totalBytes), start_(start),
        next_(start + FirstAfter) {}

  void Update(std::int64_t doneBytes, TClock::time_point now);
  // Ends a shown line at 100 %, so whatever follows starts on a line of its own.
  void Finish(TClock::time_point now);

 private:
  void Show(std::int64_t doneBytes, TClock::time_point now);

  std::FILE* out_;
  bool enabled_;
  std::string what_;
  std::int64_t total_;
  TClock::time_point start_, next_;
  bool shown_ = false;
};

}  // namespace ninetrace::cli
