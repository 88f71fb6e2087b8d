// The whole-file overview from the recording's summary: the same points as reducing every record
// (overview_reduction.h), read from the summary's blocks plus the few pages where an x position
// starts or ends inside a page, and where the trace's end needs its deciding points. So "All"
// costs about the same for a recording of a day or of a month.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <vector>

#include "playback/overview_reduction.h"
#include "recording/recording_summary.h"

namespace ninetrace {

// Reads page `page` of the recording (7000 bytes, fewer at its end) into `out`; returns the bytes read.
using TPageRead = std::function<std::int64_t(std::int64_t page, std::uint8_t* out)>;
// Pages asked for ahead of their reads, so that from a cold disk they arrive together.
struct TPagePrefetch {
  std::function<void(std::int64_t page)> Ask;
  std::function<bool(std::int64_t page)> InMemory;  // whether the page would be read without waiting
  // A deep zoom asks ahead only where x positions lie this many pages apart or more: nearer, the
  // read-ahead of its own reads is quicker (a day's positions, 18 pages apart: 0.11 s without,
  // 0.2 s with; a week's, 129 apart: 0.2 s with, 0.57 s without, from a cold disk).
  std::int64_t FarApartPages = 64;
  explicit operator bool() const { return Ask && InMemory; }
};

class TRecordAccess;

// Pages of a recording already found to agree with their summary blocks. Kept beside the
// summary they were checked against and dropped with it: a page is checked once, not at every
// zoom that reads it.
class TCheckedPages {
 public:
  bool Has(std::int64_t page) const {
    return static_cast<std::size_t>(page) < pages_.size() && pages_[static_cast<std::size_t>(page)];
  }
  void Add(std::int64_t page) {
    if (static_cast<std::size_t>(page) >= pages_.size()) pages_.resize(static_cast<std::size_t>(page) + 1);
    pages_[static_cast<std::size_t>(page)] = true;
  }
  void Clear() { pages_.clear(); }

 private:
  std::vector<bool> pages_;
};

// A page read disagrees with the summary: the recording changed under it. Build it again.
class TSummaryMismatch : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// An x position of the overview: its index and its records [Start, End).
struct TOverviewPosition {
  std::int64_t K, Start, End;
};
// The positions of a recording of `size` bytes, as ReduceRecording places its records.
std::vector<TOverviewPosition> OverviewPositions(std::int64_t size);
// Where the exact tail (see overview_reduction.h) of `positions` starts.
std::vector<TOverviewPosition>::const_iterator ExactTailOf(const std::vector<TOverviewPosition>& positions);
// Checks that `summary` is of a recording of `size` bytes and asks for the pages where
// positions meet inside a page, all at once: from a cold disk they then arrive together.
void PrepareSummaryReads(const TRecordingSummary& summary, std::int64_t size,
                         const std::vector<TOverviewPosition>& positions, const TPagePrefetch& prefetch);
// Appends a level at x index k, as the record-by-record reduction does: a step to the level
// just appended draws nothing.
void AppendOverviewPoint(std::vector<TOverviewPoint>& points, std::int64_t k, int level, bool firstOfColumn);
// Appends, in record order, trace t's level of each record in `marks` at x index k (the exact
// tail's deciding records of one position); sorts `marks`.
void AppendMarkedRecords(std::vector<TOverviewPoint>& points, std::int64_t k, std::vector<std::int64_t>& marks,
                         TRecordAccess& access, int t);

// The overview points of a recording of `size` bytes whose whole pages `summary` describes:
// equal to ReduceRecording(read, size) without a view. Throws TSummaryMismatch when a page read
// contradicts the summary; errors of `read` propagate.
TOverviewPoints ReduceWithSummary(const TRecordingSummary& summary, std::int64_t size, const TPageRead& read,
                                  const TPagePrefetch& prefetch = {}, TCheckedPages* checked = nullptr);

}  // namespace ninetrace
