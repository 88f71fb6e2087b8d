#include "acquisition/frame_synchroniser.h"

#include <algorithm>

namespace ninetrace {

TFrameSynchroniser::TAttempt TFrameSynchroniser::Attempt(TByteSource& source) {
  // Bytes already taken by this attempt, dropped if it fails.
  std::int64_t taken = 0;
  const auto fail = [&](std::int32_t got, TAttempt why) {
    bytesDropped_ += taken + std::max(got, 0);
    return why;
  };

  std::int32_t got = source.Read(frame_.data(), 1);
  if (got != 1) return fail(got, TAttempt::SourceFailed);
  taken = 1;
  if (frame_[0] != SyncByte) return fail(0, TAttempt::Dropped);

  got = source.Read(frame_.data(), 1);
  if (got != 1) return fail(got, TAttempt::SourceFailed);
  taken = 2;
  if (frame_[0] != SyncByte) return fail(0, TAttempt::Dropped);

  got = source.Read(frame_.data(), static_cast<std::int32_t>(RecordSize));
  if (got != static_cast<std::int32_t>(RecordSize)) return fail(got, TAttempt::SourceFailed);
  ++framesReceived_;
  return TAttempt::Frame;
}

}  // namespace ninetrace
