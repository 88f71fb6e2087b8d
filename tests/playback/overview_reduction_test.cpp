// The reduced overview against the overview of every record: the same frame, pixel for pixel,
// on generated recordings, with both line widths, unzoomed and zoomed in and out.
#include "playback/overview_reduction.h"

#include <gtest/gtest.h>

#include <QImage>

#include <array>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "../platform/test_files.h"
#include "acquisition/trace_chart.h"
#include "chart/chart.h"
#include "playback/overview_from_summary.h"
#include "playback/page_viewer.h"
#include "playback/record_access.h"
#include "playback/view_from_summary.h"
#include "recording/recording_summary.h"

using namespace ninetrace;
using ninetrace::testing::TTempDirectory;

namespace {

// How one trace's levels move: what long recordings of real signals and faults look like.
enum class TShape { Noise, NarrowNoise, FlatRuns, Extremes, Ramp };

int NextLevel(TShape shape, int previous, std::mt19937& rng) {
  const auto chance = [&rng](int inThousand) { return static_cast<int>(rng() % 1000) < inThousand; };
  switch (shape) {
    case TShape::Noise: return static_cast<int>(rng() % 1024);
    case TShape::NarrowNoise: return std::clamp(previous + static_cast<int>(rng() % 7) - 3, 500, 530);
    case TShape::FlatRuns: return chance(4) ? static_cast<int>(rng() % 1024) : previous;
    case TShape::Extremes: return chance(30) ? 1023 - previous : previous;  // 0 and 1023 in bursts
    case TShape::Ramp: return (previous + 1) % 1024;
  }
  return previous;
}

// A recording of `size` bytes: five channels of random shapes, inputs toggling at random rates.
std::vector<std::uint8_t> MakeRecording(std::int64_t size, std::mt19937& rng) {
  std::array<TShape, 5> shapes{};
  for (TShape& s : shapes) s = static_cast<TShape>(rng() % 5);
  std::array<int, 5> level{0, 1023, 512, 0, 300};
  std::array<int, 4> togglePerMille{};
  for (int& t : togglePerMille) t = static_cast<int>(rng() % 400);
  std::uint8_t inputs = 0;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  for (std::size_t r = 0; (r + 1) * RecordSize <= bytes.size(); ++r) {
    std::uint8_t* rec = bytes.data() + r * RecordSize;
    for (std::size_t c = 0; c < 5; ++c) level[c] = NextLevel(shapes[c], level[c], rng);
    for (std::size_t d = 0; d < 4; ++d)
      if (static_cast<int>(rng() % 1000) < togglePerMille[d]) inputs = static_cast<std::uint8_t>(inputs ^ (1 << d));
    for (std::size_t c = 0; c < 5; ++c) rec[c] = static_cast<std::uint8_t>(level[c] >> 2);
    rec[5] = static_cast<std::uint8_t>((level[0] & 3) | (level[1] & 3) << 2 | (level[2] & 3) << 4 | (level[3] & 3) << 6);
    rec[6] = static_cast<std::uint8_t>(inputs | (level[4] & 3) << 4 | (rng() % 4) << 6);
  }
  for (std::size_t b = bytes.size() / RecordSize * RecordSize; b < bytes.size(); ++b) bytes[b] = static_cast<std::uint8_t>(rng());
  return bytes;
}

// The main window's chart with every trace shown.
struct TTraceChart {
  explicit TTraceChart(std::int32_t width) {
    ConfigureTraceChart(chart);
    chart.SetSize(1000, 713);
    for (std::size_t t = 0; t < TraceCount; ++t) {
      traces[t].LinePen.SetVisible(true);
      traces[t].LinePen.SetWidth(width);
    }
  }
  QImage Frame() {
    chart.Refresh();
    return chart.Canvas().OffscreenImage().Image().copy();
  }
  TChart chart;
  TTraceSet traces{chart};
};

// Where two frames differ, or empty.
std::string Difference(const QImage& expected, const QImage& actual) {
  std::int64_t differing = 0;
  std::ostringstream out;
  for (std::int32_t y = 0; y < expected.height(); ++y)
    for (std::int32_t x = 0; x < expected.width(); ++x)
      if (expected.pixel(x, y) != actual.pixel(x, y) && differing++ == 0)
        out << "first at (" << x << "," << y << "); ";
  if (differing) out << differing << " pixels differ";
  return out.str();
}

struct TView {
  const char* Name;
  std::int32_t StartX, StartY, EndX, EndY;  // a zoom drag; all zero for none
  int Zooms = 1;                            // the same drag again, deeper each time
  bool Undo = false;                        // then back to the full view
  bool BeforeAll = false;                   // zoomed on the page view, "All" pressed afterwards
};

// The frame of "All" against the frame of every record drawn segment by segment, or empty.
std::string CompareWithEveryRecord(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes,
                                   std::int32_t width, const TView& view) {
  const auto size = static_cast<std::int64_t>(bytes.size());
  const auto records = static_cast<std::int64_t>(bytes.size() / RecordSize);
  // Records first..last - 1 at x index xIndex(r), as the viewer used to plot them.
  const auto plot = [&bytes](TTraceChart& c, std::int64_t last, auto xIndex) {
    for (std::int64_t r = 0; r < last; ++r) {
      const TTraceValues v = DecodeTraceValues(TSampleRecord(bytes.data() + r * RecordSize, RecordSize));
      for (std::size_t t = 0; t < TraceCount; ++t) c.traces[t].AddPoint(static_cast<double>(xIndex(r)) * 0.01, v[t]);
    }
  };
  const auto overviewIndex = [size](std::int64_t r) { return OverviewXIndex(0, r, size); };
  TTraceChart reference(width);
  for (std::size_t t = 0; t < TraceCount; ++t) reference.traces[t].PerSegmentDrawing = true;
  if (view.BeforeAll)
    plot(reference, std::min<std::int64_t>(records, 1000), [](std::int64_t r) { return r; });  // the first page
  else
    plot(reference, records, overviewIndex);

  TTraceChart reduced(width);
  TRecorder recorder(reduced.traces, {});
  TPageViewer viewer(recorder, reduced.traces, {}, {}, {});
  viewer.SetSummaryFrom(0);  // every length through the summary, down to a part of a record
  viewer.Open(path);
  if (!view.BeforeAll) viewer.ToggleOverview();

  // As the window does: a zoom or its undo tells the viewer.
  reduced.chart.OnZoom = reduced.chart.OnUndoZoom = [&viewer](TChart*) { viewer.AxesChanged(); };
  for (TTraceChart* c : {&reference, &reduced}) {
    c->Frame();
    for (int zoom = 0; view.EndX != 0 && zoom < view.Zooms; ++zoom) {
      c->chart.ZoomDrag = {};
      c->chart.ZoomDrag.Start(view.StartX, view.StartY);
      c->chart.ZoomDrag.EndX = view.EndX;
      c->chart.ZoomDrag.EndY = view.EndY;
      c->chart.ComputeZoomRanges();
      c->Frame();
    }
    if (view.Undo) c->chart.UndoZoom();
  }
  if (view.BeforeAll) {
    viewer.ToggleOverview();
    reference.traces.Clear();
    plot(reference, records, overviewIndex);
  }
  return Difference(reference.Frame(), reduced.Frame());
}

void Write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(OverviewReduction, DrawsThePixelsOfEveryRecord) {
  const std::vector<TView> views = {
      {"whole chart", 0, 0, 0, 0},
      {"zoomed onto the end", 930, 300, 1000, 600},
      {"zoomed onto a thin band at the top", 100, 2, 700, 20},
      {"zoomed onto a thin band at the bottom", 400, 682, 1000, 700},
      {"zoomed out past the right and bottom", 600, 100, 4000, 3000},
      // Deep enough that levels map beyond the drawing's coordinate guard, then back.
      {"zoomed twice onto a thin band", 100, 340, 900, 358, 2},
      {"zoomed four times onto a thin band", 300, 200, 1000, 218, 4},
      {"zoomed twice and restored", 100, 340, 900, 358, 2, true},
      {"zoomed twice on the page, then All", 100, 340, 900, 358, 2, false, true},
  };
  TTempDirectory dir;
  std::mt19937 rng(20261208);
  for (int file = 0; file < 10; ++file) {
    // Up to eight pages, often a short last page, now and then a partial record; then two whose
    // x positions span pages, drawn from the summary's blocks.
    const std::int64_t pages = file < 8 ? 1 + static_cast<std::int64_t>(rng() % 8) : (file == 8 ? 300 : 1'500);
    const std::int64_t extra = rng() % 3 == 0 ? 0 : static_cast<std::int64_t>(rng() % 7000);
    const std::int64_t size = file == 0 ? 20 : pages * PageBytes + extra;
    const std::vector<std::uint8_t> bytes = MakeRecording(size, rng);
    const auto path = dir / ("recording " + std::to_string(file) + ".bin");
    Write(path, bytes);
    for (const std::int32_t width : {1, 2})
      for (const TView& view : views) {
        // Segments to pixels 30,000 rows away are slow to draw one by one: deep zooms on a few.
        if (view.Zooms > 1 && file > 2) continue;
        if (file >= 8 && (width == 2 || view.BeforeAll || view.Zooms > 1)) continue;
        ASSERT_EQ(CompareWithEveryRecord(path, bytes, width, view), "")
            << "file " << file << " of " << size << " bytes, width " << width << ", " << view.Name;
      }
  }
}

// The trace's last column enters the pixel of its final level, leaves it for a lower one and
// comes back: the pixel is set. Only the point it left from says so, and that point is neither
// the column's first, lowest, highest nor last.
TEST(OverviewReduction, TheLastColumnKeepsThePointThatLeftItsEndPixel) {
  TTraceChart chart(1);
  chart.Frame();
  const TChartAxis& left = chart.chart.LeftAxis();
  int c = 400;  // two codes that share a pixel row
  while (left.ValueToPixel(c / 4.0) != left.ValueToPixel((c + 1) / 4.0)) ++c;
  ASSERT_NE(left.ValueToPixel(c / 4.0), left.ValueToPixel((c - 5) / 4.0));

  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(10 * PageBytes));
  const std::array<int, 10> lastColumn{c - 10, c - 10, c - 10, c - 10, c - 10, c, c - 5, c + 1, c + 1, c + 1};
  for (std::size_t r = 0; r < bytes.size() / RecordSize; ++r) {
    const int code = r >= 9'990 ? lastColumn[r - 9'990] : c - 10;
    bytes[r * RecordSize] = static_cast<std::uint8_t>(code >> 2);
    bytes[r * RecordSize + 5] = static_cast<std::uint8_t>(code & 3);
  }
  TTempDirectory dir;
  Write(dir / "end.bin", bytes);
  EXPECT_EQ(CompareWithEveryRecord(dir / "end.bin", bytes, 1, {"whole chart", 0, 0, 0, 0}), "");
}

// A press on the chart hits a trace of the overview exactly where it hits one drawn from every
// record (the index of the point hit is the overview's own).
TEST(OverviewReduction, HitsTheTracesWhereEveryRecordWould) {
  TTempDirectory dir;
  std::mt19937 rng(99);
  const std::vector<std::uint8_t> bytes = MakeRecording(9 * PageBytes + 3'333, rng);
  Write(dir / "hits.bin", bytes);
  const auto size = static_cast<std::int64_t>(bytes.size());
  TTraceChart reference(1);
  for (std::size_t r = 0; (r + 1) * RecordSize <= bytes.size(); ++r) {
    const TTraceValues v = DecodeTraceValues(TSampleRecord(bytes.data() + r * RecordSize, RecordSize));
    for (std::size_t t = 0; t < TraceCount; ++t)
      reference.traces[t].AddPoint(static_cast<double>(OverviewXIndex(0, static_cast<std::int64_t>(r), size)) * 0.01, v[t]);
  }
  TTraceChart reduced(1);
  TRecorder recorder(reduced.traces, {});
  TPageViewer viewer(recorder, reduced.traces, {}, {}, {});
  viewer.Open(dir / "hits.bin");
  viewer.ToggleOverview();
  reference.Frame();
  reduced.Frame();
  int hits = 0;
  for (int probe = 0; probe < 600; ++probe) {
    // Mostly near the right end, where the last column is special.
    const auto x = static_cast<std::int32_t>(probe % 3 ? 2 + rng() % 999 : 980 + rng() % 21);
    const auto y = static_cast<std::int32_t>(2 + rng() % 701);
    for (std::size_t t = 0; t < TraceCount; ++t) {
      const bool hit = reference.traces[t].ClickedPoint(x, y) != -1;
      ASSERT_EQ(reduced.traces[t].ClickedPoint(x, y) != -1, hit) << "trace " << t << " at " << x << "," << y;
      hits += hit;
    }
  }
  EXPECT_GT(hits, 200);  // the probes do find the traces
}

// A recording whose every x position holds hundreds of noisy records keeps a few points per
// position, however long it is.
TEST(OverviewReduction, KeepsAFewPointsPerPositionHoweverLongTheRecording) {
  std::mt19937 rng(7);
  for (const std::int64_t pages : {300, 3000}) {
    std::int64_t offset = 0;
    const std::int64_t size = pages * PageBytes;
    const TOverviewPoints points = ReduceRecording(
        [&](std::uint8_t* buffer, std::int64_t count) {
          const std::int64_t n = std::min(count, size - offset);
          for (std::int64_t i = 0; i < n; ++i) buffer[i] = static_cast<std::uint8_t>(rng());
          offset += n;
          return n;
        },
        size);
    EXPECT_EQ(offset, size);
    for (std::size_t t = 0; t < TraceCount; ++t) {
      EXPECT_EQ(points[t].front().XIndex, 0);
      EXPECT_EQ(points[t].back().XIndex, 999);
      // Four per position, and the deciding points of the last eight: a few dozen in noise.
      EXPECT_LE(points[t].size(), 4'000u + 200u) << "trace " << t << ", " << pages << " pages";
    }
  }
}

bool Same(const std::vector<TOverviewPoint>& a, const std::vector<TOverviewPoint>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const TOverviewPoint& p, const TOverviewPoint& q) { return p.XIndex == q.XIndex && p.Level == q.Level; });
}

// Levels far out on both sides beyond the guard, as a deep zoom maps them, one view running back.
std::pair<TLevelPixels, TLevelPixels> DeepViews() {
  TLevelPixels monotonic, turning;
  for (std::size_t t = 0; t < TraceCount; ++t)
    for (int level = 0; level < (t < 5 ? 1024 : 2); ++level) {
      monotonic.Pixel[t].push_back(t < 5 ? (level - 512) * 97 : (level ? 300 : -40'000));
      turning.Pixel[t].push_back(t < 5 ? (std::abs(level - 512) < 300 ? (level - 512) * 150 : 351) : (level ? 351 : 40'000));
    }
  return {monotonic, turning};
}

// An x position whose records arrive in two or more reads reduces as if read in one: the first
// and last point the drawing keeps, and the lowest and highest, are found across the reads.
TEST(OverviewReduction, ThePiecesTheFileIsReadInChangeNothing) {
  std::mt19937 rng(5);
  const std::int64_t size = 20 * PageBytes + 3'000;
  const std::vector<std::uint8_t> bytes = MakeRecording(size, rng);
  const auto [monotonic, turning] = DeepViews();
  const auto reduce = [&](const TLevelPixels* pixels, std::int64_t piece) {
    std::int64_t offset = 0;
    return ReduceRecording(
        [&](std::uint8_t* buffer, std::int64_t count) {
          const std::int64_t n = std::min(count, size - offset);
          std::copy_n(bytes.data() + offset, n, buffer);
          offset += n;
          return n;
        },
        size, pixels, piece);
  };
  for (const TLevelPixels* pixels : std::vector<const TLevelPixels*>{nullptr, &monotonic, &turning}) {
    const TOverviewPoints whole = reduce(pixels, OverviewPieceRecords);
    for (const std::int64_t piece : {1, 3, 50, 141}) {
      const TOverviewPoints pieces = reduce(pixels, piece);
      for (std::size_t t = 0; t < TraceCount; ++t)
        ASSERT_TRUE(Same(pieces[t], whole[t])) << "trace " << t << ", pieces of " << piece << (pixels ? ", a view" : "");
    }
  }
}

TRecordingSummary SummaryOf(const std::vector<std::uint8_t>& bytes) {
  TRecordingSummary summary;
  for (std::size_t p = 0; (p + 1) * PageSize <= bytes.size(); ++p)
    summary.AddPage(SummariseRecords(bytes.data() + p * PageSize, SummaryPageRecords));
  return summary;
}

TOverviewPoints ReduceEveryRecord(const std::vector<std::uint8_t>& bytes, const TLevelPixels* pixels = nullptr) {
  std::int64_t offset = 0;
  const auto size = static_cast<std::int64_t>(bytes.size());
  return ReduceRecording(
      [&](std::uint8_t* buffer, std::int64_t count) {
        const std::int64_t n = std::min(count, size - offset);
        std::copy_n(bytes.data() + offset, n, buffer);
        offset += n;
        return n;
      },
      size, pixels);
}

// The summary's blocks and the pages read where x positions start or end inside one give the
// points of every record: lengths whose positions meet anywhere in a page, summaries of one to
// four levels, a short or cut last page, and the points deciding the trace's end.
TEST(OverviewReduction, TheSummaryGivesThePointsOfEveryRecord) {
  struct TRow {
    const char* Name;
    std::int64_t Size;
  };
  const std::vector<TRow> rows = {
      {"less than a record", 6},
      {"a few records and a cut one", 7 * 13 + 4},
      {"one page", PageBytes},
      {"a page and a cut record", PageBytes + 10},
      {"positions narrower than a page, blocks of 16 pages", 33 * PageBytes + 6'998},
      {"positions a page and a bit wide", 1'234 * PageBytes + 3'333},
      {"blocks of 4096 pages, positions meeting mid-page", 4'100 * PageBytes + 6'999},
  };
  const auto [monotonic, turning] = DeepViews();
  TLevelPixels narrow = monotonic;
  for (std::size_t t = 0; t < 5; ++t)
    for (int level = 0; level < 1024; ++level) narrow.Pixel[t][static_cast<std::size_t>(level)] = (level - 517) * 40'000;
  const std::array<TLevelPixels, 3> views{monotonic, turning, narrow};
  std::mt19937 rng(4242);
  for (const TRow& row : rows)
    for (int file = 0; file < (row.Size > 1'000 * PageBytes ? 2 : 6); ++file) {
      const std::vector<std::uint8_t> bytes = MakeRecording(row.Size, rng);
      const TRecordingSummary summary = SummaryOf(bytes);
      // Plain, then for deep views: monotonic, running back, and one of a single in-guard code
      // per channel, whose drawn records the summary must find among blocks that merely span it.
      for (const TLevelPixels* pixels : std::vector<const TLevelPixels*>{nullptr, &views[0], &views[1], &views[2]}) {
        std::int64_t pagesRead = 0;
        const TPageRead read = [&](std::int64_t page, std::uint8_t* out) {
          ++pagesRead;
          const std::int64_t n = std::clamp<std::int64_t>(row.Size - page * PageBytes, 0, PageBytes);
          std::copy_n(bytes.data() + page * PageBytes, n, out);
          return n;
        };
        const TOverviewPoints summarised =
            pixels ? ReduceWithSummaryForView(summary, row.Size, read, *pixels) : ReduceWithSummary(summary, row.Size, read);
        const TOverviewPoints every = ReduceEveryRecord(bytes, pixels);
        const int view = pixels ? static_cast<int>(pixels - views.data()) : -1;
        for (std::size_t t = 0; t < TraceCount; ++t)
          ASSERT_TRUE(Same(summarised[t], every[t])) << row.Name << ", file " << file << ", view " << view << ", trace " << t;
        // From a cold disk a view asks for its first reads ahead; the points stay the same.
        if (pixels && row.Size > 30 * PageBytes) {
          int asked = 0;
          const TPagePrefetch cold{[&asked](std::int64_t) { ++asked; }, [](std::int64_t) { return false; }, 0};
          const TOverviewPoints prefetched = ReduceWithSummaryForView(summary, row.Size, read, *pixels, cold);
          EXPECT_GT(asked, 0);
          for (std::size_t t = 0; t < TraceCount; ++t)
            ASSERT_TRUE(Same(prefetched[t], every[t])) << row.Name << ", asked ahead, view " << view << ", trace " << t;
        }
        // Where positions span pages the summary answers for most of them; a view asks about
        // levels inside the blocks' spans, which full-range noise answers only page by page.
        if (row.Size > 4'000 * PageBytes && !pixels) {
          EXPECT_LT(pagesRead, row.Size / PageBytes / 3) << row.Name << ", view " << view;
        }
      }
    }
}

// Asking ahead from the summary alone names the page the search then reads first, for ranges
// starting and ending anywhere and tests that the summary rules blocks in or out for, and for the
// lowest and highest level by key.
TEST(OverviewReduction, ThePageAskedForAheadIsTheOneTheSearchReadsFirst) {
  std::mt19937 rng(99);
  const std::int64_t size = 300 * PageBytes;
  const std::vector<std::uint8_t> bytes = MakeRecording(size, rng);
  const TRecordingSummary summary = SummaryOf(bytes);
  std::int64_t firstRead = -1;
  const TPageRead read = [&](std::int64_t page, std::uint8_t* out) {
    if (firstRead < 0) firstRead = page;
    std::copy_n(bytes.data() + page * PageBytes, PageBytes, out);
    return PageBytes;
  };
  const std::int64_t records = size / 7;
  int found = 0, extremesRead = 0;
  for (int i = 0; i < 400; ++i) {
    const std::int64_t a = static_cast<std::int64_t>(rng() % static_cast<std::uint32_t>(records));
    const std::int64_t b = a + 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint32_t>(records - a));
    const int t = static_cast<int>(rng() % 5);
    const TLevelTest test{i % 2 == 0, static_cast<std::int64_t>(rng() % 1024), i % 3 == 0};
    for (const bool last : {false, true}) {
      TRecordAccess access(summary, records, read);
      const std::int64_t asked = last ? access.LastPageThatMay(t, a, b, test) : access.FirstPageThatMay(t, a, b, test);
      firstRead = -1;
      found += (last ? access.FindLast(t, a, b, test) : access.FindFirst(t, a, b, test)) >= 0;
      EXPECT_EQ(asked, firstRead) << "records " << a << ".." << b << ", trace " << t << (last ? ", last" : ", first");
    }
    // The lowest or highest kept level by key, for the levels of a window kept, keyed as a
    // view maps them (one way or the other).
    const int from = static_cast<int>(rng() % 1024), to = std::min(1023, from + static_cast<int>(rng() % 200));
    std::vector<std::int64_t> keyOf(1024);
    std::vector<bool> kept(1024);
    for (int level = 0; level < 1024; ++level) {
      keyOf[static_cast<std::size_t>(level)] = i % 2 ? level : 1023 - level;
      kept[static_cast<std::size_t>(level)] = level >= from && level <= to;
    }
    const TLevelKeys keys(keyOf, kept);
    const TBlockSummary span = TRecordAccess(summary, records, read).Range(a, b);
    for (const bool lowest : {false, true}) {
      firstRead = -1;
      const std::int64_t asked = TRecordAccess(summary, records, read).ExtremePageThatMay(t, a, b, keys, lowest, span);
      EXPECT_EQ(firstRead, -1) << "asking ahead read a page";
      TRecordAccess access(summary, records, read);
      extremesRead += access.Extreme(t, a, b, keys, lowest, &span) >= 0 && firstRead >= 0;
      EXPECT_EQ(asked, firstRead) << "records " << a << ".." << b << ", trace " << t << (lowest ? ", lowest" : ", highest");
    }
  }
  EXPECT_GT(found, 200);  // most questions have an answer, so most searches read
  EXPECT_GT(extremesRead, 100);
}

// A summary that does not describe the pages read (the recording was changed under it) is
// refused, never drawn from.
TEST(OverviewReduction, ASummaryOfOtherRecordsIsRefused) {
  std::mt19937 rng(17);
  const std::int64_t size = 40 * PageBytes;
  const std::vector<std::uint8_t> bytes = MakeRecording(size, rng);
  const std::vector<std::uint8_t> changed = MakeRecording(size, rng);
  const auto read = [&](std::int64_t page, std::uint8_t* out) {
    std::copy_n(changed.data() + page * PageBytes, PageBytes, out);
    return PageBytes;
  };
  EXPECT_THROW(ReduceWithSummary(SummaryOf(bytes), size, read), TSummaryMismatch);
  EXPECT_THROW(ReduceWithSummary(SummaryOf(bytes), size - PageBytes, read), TSummaryMismatch);
}

TEST(OverviewReduction, AReadErrorComesThrough) {
  int reads = 0;
  const auto failing = [&](std::uint8_t* buffer, std::int64_t count) -> std::int64_t {
    if (++reads == 2) throw TFileError("Cannot read x.bin: Input/output error", "Input/output error");
    std::fill_n(buffer, count, 0);
    return count;
  };
  EXPECT_THROW(ReduceRecording(failing, 2'000 * PageBytes), TFileError);
}

}  // namespace
