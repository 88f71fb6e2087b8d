#include "acquisition/trace_set.h"

namespace ninetrace {

TTraceSet::TTraceSet(TCustomAxisPanel& chart) {
  for (std::size_t t = 0; t < TraceCount; ++t) {
    auto s = std::make_unique<TLineSeries>();
    s->Name = Traces[t].Name;
    s->SetTitle(Traces[t].Title);
    s->SetSeriesColor(Traces[t].Color);
    // D3 and D4 belong to the bottom axis only; the rest also to the top axis.
    s->SetHorizAxis(t < 7 ? aBothHorizAxis : aBottomAxis);
    // D1 and D2 start hidden; the window's check boxes show them.
    s->LinePen.SetVisible(t != 5 && t != 6);
    s->Dark3D = t >= 7;
    s->SetParentChart(&chart);
    series_[t] = std::move(s);
  }
}

void TTraceSet::PlotRecord(const TPageBuffer& page, std::size_t record, std::int64_t xIndex) const {
  const TTraceValues values = DecodeTraceValues(RecordAt(page, record));
  const double x = static_cast<double>(xIndex) * 0.01;
  for (std::size_t t = 0; t < TraceCount; ++t) series_[t]->AddPoint(x, values[t]);
}

void TTraceSet::Clear() const {
  for (const auto& s : series_) s->Clear();
}

}  // namespace ninetrace
