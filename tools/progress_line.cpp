#include "progress_line.h"

namespace ninetrace::cli {

void TProgressLine::Update(std::int64_t doneBytes, TClock::time_point now) {
  if (!enabled_ || now < next_) return;
  next_ = now + Every;
  Show(doneBytes, now);
}

void TProgressLine::Finish(TClock::time_point now) {
  if (!shown_) return;
  Show(total_, now);
  std::fputc('\n', out_);
  std::fflush(out_);
  shown_ = false;
}

void TProgressLine::Show(std::int64_t doneBytes, TClock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double percent = total_ > 0 ? 100.0 * static_cast<double>(doneBytes) / static_cast<double>(total_) : 100.0;
  const double rate = seconds > 0 ? static_cast<double>(doneBytes) / seconds / 1e6 : 0.0;
  std::fprintf(out_, "\r%s: %3.0f%% of %.1f MB, %.0f MB/s   ", what_.c_str(), percent,
               static_cast<double>(total_) / 1e6, rate);
  std::fflush(out_);
  shown_ = true;
}

}  // namespace ninetrace::cli
