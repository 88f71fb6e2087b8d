// The whole-file overview in memory that does not grow with the file. The overview puts every
// record at one of at most 1000 x positions, and the line drawing turns the run of points that
// share one x into the pixels between its lowest and highest point, joined to its neighbours at
// its first and last point. So per x position and trace only the first, lowest, highest and
// last level are kept, which draws and hit-tests exactly as every record would.
//
// One place needs more: where the trace ends. There the last column's topmost or bottommost
// pixel is set only if the chain of points left it again before the end, and which pixels count
// as "the same" depends on the zoom. The last few x positions therefore keep every point that
// decides it for any zoom: the points lower (higher) than all that follow them, each with the
// highest (lowest) point of its x position before it.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "acquisition/sample_record.h"

namespace ninetrace {

struct TOverviewPoint {
  std::int64_t XIndex;
  std::int16_t Level;  // TraceLevel of the record it stands for
};
using TOverviewPoints = std::array<std::vector<TOverviewPoint>, TraceCount>;

// Reads on from where the last read ended; returns fewer bytes than asked only at the end.
using TSequentialRead = std::function<std::int64_t(std::uint8_t* buffer, std::int64_t count)>;

// X positions from the last one back that keep their deciding points: a column of the chart
// holds one or two of them at its own scale or zoomed in, so eight cover a view stretched to
// about seven times the chart's width.
inline constexpr std::int64_t ExactTailPositions = 8;

// Records read at a time, about 3.5 MB: few system calls, and the buffer stays in the cache it fills.
inline constexpr std::int64_t OverviewPieceRecords = std::int64_t{1} << 19;

// The drawing leaves out points whose pixel lies beyond this on either axis.
inline constexpr std::int32_t PixelGuard = 32766;

// The pixel row of every level of every trace under the current vertical axis, for views where
// the plain levels do not do: a deep zoom maps levels beyond the guard, or (far beyond) all to
// the axis' centre. Keeping first, lowest, highest and last by pixel, of all records and of
// those inside the guard, is then exact for that one view.
struct TLevelPixels {
  std::array<std::vector<std::int32_t>, TraceCount> Pixel;
  bool operator==(const TLevelPixels&) const = default;
};

// The overview points of a recording of `size` bytes read from its start through `read`: the
// whole records of the file, record j at x index 7j * 1000 / size. Without `pixels` the points
// are exact for every view whose level-to-pixel mapping never runs backwards and stays inside
// the guard. Errors of `read` propagate. The file is read `pieceRecords` records at a time.
TOverviewPoints ReduceRecording(const TSequentialRead& read, std::int64_t size, const TLevelPixels* pixels = nullptr,
                                std::int64_t pieceRecords = OverviewPieceRecords);

}  // namespace ninetrace
