// Labelled axes, a toggle that is off by default: the left axis numbered in codes (or in the unit
// of the first visible scaled channel), the bottom axis in clock time. It goes through the
// engine's own axis labelling and its label-text hook; turned off, every setting it changed is
// put back, so the frame is the default one again, pixel for pixel.
#pragma once

#include <functional>
#include <optional>

#include "recording/channel_scales.h"
#include "acquisition/trace_set.h"
#include "recording/record_times.h"
#include "chart/chart.h"

namespace ninetrace {

class TLabelledAxes {
 public:
  // The time and the record at an x value of the bottom axis in the view now shown.
  using TTimeAt = std::function<std::optional<TRecordTime>(double x)>;
  using TRecordAt = std::function<std::optional<std::int64_t>(double x)>;
  struct TBottomSource {
    TTimeAt TimeAt;
    TRecordAt RecordAt;
    std::function<bool()> Overview;  // times to the second there, to the millisecond on pages
  };
  // A code step of 100 between left labels: 25 in plotted values (codes / 4).
  static constexpr double LeftIncrement = 25;

  // All references must outlive this.
  TLabelledAxes(TChart& chart, const TTraceSet& traces, const TChannelScales& channels, TBottomSource bottom);

  bool On() const { return saved_.has_value(); }
  void SetOn(bool on);
  void Toggle() { SetOn(!On()); }

  // The label texts (public for tests): a left value as a code or in the unit, a bottom value as
  // a time of day ("07:12:34.567") or, without times, a record number.
  QString LeftText(double value) const;
  QString BottomText(double value) const;

 private:
  struct TAxisSettings {
    bool Labels, RoundFirstLabel;
    std::int32_t LabelsSize, LabelsSeparation;
    double Increment;
    TChartFont Font;
  };
  static TAxisSettings Take(const TChartAxis& axis);
  static void Put(TChartAxis& axis, const TAxisSettings& settings);
  const TChannelScale* LeftScale() const;

  TChart& chart_;
  const TTraceSet& traces_;
  const TChannelScales& channels_;
  TBottomSource bottom_;
  struct TSaved {
    TAxisSettings Bottom, Left;
  };
  std::optional<TSaved> saved_;
};

}  // namespace ninetrace
