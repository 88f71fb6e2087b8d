// The chart's ordered list of its series: attachment order is drawing order.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace ninetrace {

class TChartSeries;

class TChartSeriesList {
 public:
  std::int32_t Count() const { return static_cast<std::int32_t>(items_.size()); }
  TChartSeries* operator[](std::int32_t i) const { return items_[static_cast<std::size_t>(i)]; }
  std::int32_t IndexOf(const TChartSeries* s) const {
    const auto it = std::find(items_.begin(), items_.end(), s);
    return it == items_.end() ? -1 : static_cast<std::int32_t>(it - items_.begin());
  }
  bool Contains(const TChartSeries* s) const { return IndexOf(s) >= 0; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  void Add(TChartSeries* s) { items_.push_back(s); }
  void Remove(const TChartSeries* s) { std::erase(items_, s); }

 private:
  std::vector<TChartSeries*> items_;  // not owning
};

}  // namespace ninetrace
