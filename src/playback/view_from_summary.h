// The overview for a view that maps levels beyond the drawing's coordinate guard (a deep zoom),
// from the recording's summary: the same points as reducing every record for that view. The
// view's level-to-pixel mapping turns each question the reduction asks of an x position (its
// lowest and highest level by pixel, of all records and of those drawn; its first and last drawn
// record) into one the summary's lowest and highest levels per block can rule blocks in or out
// for, so only the pages where an answer may lie are read.
#pragma once

#include <cstdint>

#include "playback/overview_from_summary.h"
#include "playback/overview_reduction.h"
#include "recording/recording_summary.h"

namespace ninetrace {

// Equal to ReduceRecording(read, size, &pixels). Throws TSummaryMismatch when a page read
// contradicts the summary; errors of `read` propagate.
TOverviewPoints ReduceWithSummaryForView(const TRecordingSummary& summary, std::int64_t size, const TPageRead& read,
                                         const TLevelPixels& pixels, const TPagePrefetch& prefetch = {},
                                         TCheckedPages* checked = nullptr);

}  // namespace ninetrace
