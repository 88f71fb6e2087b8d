// Draws a chart once per segment and once merged, from the same starting state, and tells
// what differs. Shared by the randomised drawing test and the line drawing fuzz target.
#pragma once

#include <QImage>

#include <array>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "chart/chart.h"
#include "chart/custom_series.h"

namespace ninetrace::testing {

// Draws the chart once per path from the same starting state and tells what differs: pixels,
// and after each series' pass its PrevX/PrevY/PrevColor and the pen it left on the canvas.
class TTwoPaths {
 public:
  TTwoPaths(TChart& chart, std::vector<TLineSeries*> series) : chart_(chart), series_(std::move(series)) {
    for (TLineSeries* s : series_)
      s->AfterDrawValues = [this](TChartSeries* sender) {
        const auto& l = static_cast<const TLineSeries&>(*sender);
        const TRasterSurface& c = chart_.Canvas().Surface();
        std::ostringstream out;
        out << "prev " << l.PrevX << "," << l.PrevY << "," << l.PrevColor << " pen " << c.PenColor() << ","
            << c.PenWidth() << "," << c.PenStyle() << "," << c.BrushStyle() << " at " << c.PenPos().X << ","
            << c.PenPos().Y;
        passes_.push_back(out.str());
      };
  }

  // Empty when both paths agree.
  std::string Compare() {
    // A chart's very first frame starts from a fresh canvas (opaque text background, for one);
    // every later frame starts from the state the one before left.
    Draw(true);
    const QImage reference = Draw(true);
    const std::vector<std::string> referencePasses = passes_;
    const QImage merged = Draw(false);
    std::ostringstream out;
    std::int64_t differing = 0;
    for (std::int32_t y = 0; y < reference.height(); ++y)
      for (std::int32_t x = 0; x < reference.width(); ++x)
        if (reference.pixel(x, y) != merged.pixel(x, y) && differing++ == 0)
          out << "pixel (" << x << "," << y << ") " << std::hex << reference.pixel(x, y) << " vs " << merged.pixel(x, y)
              << std::dec << "; ";
    if (differing) out << differing << " pixels differ; ";
    for (std::size_t i = 0; i < passes_.size(); ++i)
      if (passes_[i] != referencePasses[i]) out << "pass " << i << ": " << referencePasses[i] << " vs " << passes_[i];
    return out.str();
  }

 private:
  QImage Draw(bool perSegment) {
    std::vector<std::array<std::int32_t, 3>> start;
    for (TLineSeries* s : series_) {
      start.push_back({s->PrevX, s->PrevY, static_cast<std::int32_t>(s->PrevColor)});
      s->PerSegmentDrawing = perSegment;
    }
    passes_.clear();
    chart_.Refresh();
    for (std::size_t i = 0; i < series_.size(); ++i) {
      series_[i]->PrevX = start[i][0];
      series_[i]->PrevY = start[i][1];
      series_[i]->PrevColor = static_cast<TColor>(start[i][2]);
    }
    return chart_.Canvas().OffscreenImage().Image().copy();
  }

  TChart& chart_;
  std::vector<TLineSeries*> series_;
  std::vector<std::string> passes_;
};

}  // namespace ninetrace::testing
