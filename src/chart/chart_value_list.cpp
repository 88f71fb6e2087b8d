#include "chart/chart_value_list.h"

#include <cmath>

#include "chart/chart_series.h"

namespace ninetrace {

TChartValueList::TChartValueList(TChartSeries* owner, std::string name) : Name(std::move(name)), owner_(owner) {}

// Linear search from the end, never a bisection: slightly late values scan only the tail they pass.
std::int32_t TChartValueList::InsertBySearch(double value) {
  std::int32_t i = values_.Size() - 1;
  if (Order == loAscending)
    while (i >= 0 && values_[i] > value) --i;
  else
    while (i >= 0 && values_[i] < value) --i;
  Insert(i + 1, value);
  return i + 1;
}

void TChartValueList::ReplaceAt(std::int32_t index, double value) {
  CheckListIndex(index, Count());
  values_[static_cast<std::size_t>(index)] = value;
  statsStale_ = true;
}

void TChartValueList::RemoveAt(std::int32_t index) {
  CheckListIndex(index, Count());
  values_.Erase(index);
  statsStale_ = true;
}

void TChartValueList::RemoveAll() {
  values_.Release();
  statsStale_ = true;
}

void TChartValueList::SetMultiplier(double value) {
  if (value == multiplier_) return;
  multiplier_ = value;
  statsStale_ = true;
  if (owner_) owner_->RequestRepaint();
}

void TChartValueList::SetDateTime(bool value) {
  if (value == dateTime_) return;
  dateTime_ = value;
  if (owner_) owner_->RequestRepaint();
}

const TChartValueList::Statistics& TChartValueList::Stats() {
  if (!statsStale_) return stats_;
  stats_ = Statistics{};
  if (!values_.Empty()) {
    const double first = values_[0] * multiplier_;
    stats_ = Statistics{first, first, first, std::fabs(first)};
    for (std::int32_t i = 1; i < values_.Size(); ++i) {
      const double v = values_[i] * multiplier_;
      if (v < stats_.lowest)
        stats_.lowest = v;
      else if (v > stats_.highest)
        stats_.highest = v;
      stats_.sum += v;
      stats_.absSum += std::fabs(v);
    }
  }
  statsStale_ = false;
  return stats_;
}

}  // namespace ninetrace
