// One list of values of a series (x or y): ordered insertion, multiplier and lazy statistics.
#pragma once

#include <cstdint>
#include <string>

#include "chart/growable_array.h"

namespace ninetrace {

class TChartSeries;

enum TChartListOrder { loNone = 0, loAscending = 1, loDescending = 2 };

class TChartValueList {
 public:
  TChartValueList(TChartSeries* owner, std::string name);

  std::int32_t Count() const { return values_.Size(); }
  std::int32_t Capacity() const { return values_.Capacity(); }

  // Stored value i times Multiplier; throws EListError outside 0..Count-1.
  double ValueAt(std::int32_t index) const {
    CheckListIndex(index, Count());
    return values_[index] * multiplier_;
  }
  double LastValue() const { return ValueAt(Count() - 1); }

  // Raw stored values (before Multiplier), for drawing loops that walk many points.
  const double* Data() const { return values_.Data(); }

  // Appends without a scan whenever the order allows it: the overview's hot path.
  std::int32_t AddInOrder(double value) {
    const std::int32_t n = values_.Size();
    if (Order == loNone || n == 0 || !(Order == loAscending ? values_.Back() > value : values_.Back() < value)) {
      values_.Append(value);
      statsStale_ = true;
      return n;
    }
    return InsertBySearch(value);
  }
  void InsertAt(std::int32_t index, double value) {
    if (index == values_.Size()) {
      values_.Append(value);
      statsStale_ = true;
      return;
    }
    CheckListIndex(index, values_.Size() + 1);
    Insert(index, value);
  }
  void ReplaceAt(std::int32_t index, double value);
  void RemoveAt(std::int32_t index);
  void RemoveAll();

  double LowestValue() { return Stats().lowest; }
  double HighestValue() { return Stats().highest; }
  double Sum() { return Stats().sum; }
  double AbsSum() { return Stats().absSum; }
  bool StatsStale() const { return statsStale_; }

  double Multiplier() const { return multiplier_; }
  void SetMultiplier(double value);
  bool DateTime() const { return dateTime_; }
  void SetDateTime(bool value);

  TChartListOrder Order = loNone;
  std::string Name;
  std::string ValueSource;
  double PendingValue = 0;

  TChartSeries* Owner() const { return owner_; }

 private:
  struct Statistics {
    double lowest = 0, highest = 0, sum = 0, absSum = 0;
  };
  const Statistics& Stats();
  std::int32_t InsertBySearch(double value);
  void Insert(std::int32_t index, double value) {
    values_.Insert(index, value);
    statsStale_ = true;
  }

  TChartSeries* owner_;
  TPodArray<double> values_;
  double multiplier_ = 1.0;
  bool dateTime_ = false;
  bool statsStale_ = true;
  Statistics stats_;
};

}  // namespace ninetrace
