// A byte source for tests: bytes arrive when the test says so, as on the line between two ticks.
#pragma once

#include <algorithm>
#include <vector>

#include "acquisition/frame_synchroniser.h"

namespace ninetrace::testing {

class TByteQueue final : public TByteSource {
 public:
  explicit TByteQueue(std::vector<std::uint8_t> bytes = {}) : bytes_(std::move(bytes)) {}
  void Arrive(const std::vector<std::uint8_t>& more) { bytes_.insert(bytes_.end(), more.begin(), more.end()); }

  std::uint32_t QueueCount() override { return static_cast<std::uint32_t>(bytes_.size() - next_); }
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override {
    ++reads;
    const auto n = std::min<std::size_t>(static_cast<std::size_t>(count), bytes_.size() - next_);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(next_), n, buffer);
    next_ += n;
    return static_cast<std::int32_t>(n);
  }
  std::size_t Consumed() const { return next_; }

  int reads = 0;

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t next_ = 0;
};

// Every record the synchroniser finds in one poll of `source`.
inline std::vector<TFrameSynchroniser::TFrame> PollRecords(TFrameSynchroniser& sync, TByteSource& source,
                                                            bool recording = true) {
  std::vector<TFrameSynchroniser::TFrame> records;
  sync.Poll(source, recording, [&](TSampleRecord r) {
    TFrameSynchroniser::TFrame copy;
    std::copy(r.begin(), r.end(), copy.begin());
    records.push_back(copy);
  });
  return records;
}

}  // namespace ninetrace::testing
