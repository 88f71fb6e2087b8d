#include "chart/chart_value_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using namespace ninetrace;

namespace {

std::vector<double> Read(const TChartValueList& list) {
  std::vector<double> out;
  for (std::int32_t i = 0; i < list.Count(); ++i) out.push_back(list.ValueAt(i));
  return out;
}

TEST(ChartValueList, AscendingOrderPlacesEqualValuesAfterExistingOnesAndSmallerOnesFirst) {
  TChartValueList x(nullptr, "X");
  x.Order = loAscending;
  std::vector<std::int32_t> indices;
  // The last 2 arrives late: it goes after the 2 already there, so its y follows that one's.
  for (double v : {2.0, 3.0, 1.0, 3.0, 2.5, 2.0}) indices.push_back(x.AddInOrder(v));
  EXPECT_EQ(indices, (std::vector<std::int32_t>{0, 1, 0, 3, 2, 2}));
  EXPECT_EQ(Read(x), (std::vector<double>{1, 2, 2, 2.5, 3, 3}));
}

TEST(ChartValueList, AscendingValueEqualToInteriorOnesLandsAfterThem) {
  struct Row {
    const char* name;
    double value;
    std::int32_t index;
  };
  const Row rows[] = {{"equal_to_a_run_inside", 2, 4}, {"equal_to_the_first", 1, 1},  {"below_all", 0, 0},
                      {"equal_to_the_last", 5, 6},     {"between_runs", 2.5, 4},      {"equal_to_a_single_inside", 3, 5}};
  for (const Row& row : rows) {
    TChartValueList x(nullptr, "X");
    x.Order = loAscending;
    for (double v : {1.0, 2.0, 2.0, 2.0, 3.0, 5.0}) x.AddInOrder(v);
    EXPECT_EQ(x.AddInOrder(row.value), row.index) << row.name;
    std::vector<double> read = Read(x);
    EXPECT_TRUE(std::is_sorted(read.begin(), read.end())) << row.name;
  }
}

TEST(ChartValueList, NonDecreasingInputAlwaysAppends) {
  TChartValueList x(nullptr, "X");
  x.Order = loAscending;
  for (int i = 0; i < 300; ++i) EXPECT_EQ(x.AddInOrder(1.0), i);
  EXPECT_EQ(x.AddInOrder(1.5), 300);
}

TEST(ChartValueList, NaNIsAppendedAndNoneOrderIgnoresValues) {
  TChartValueList x(nullptr, "X");
  x.Order = loAscending;
  x.AddInOrder(5);
  EXPECT_EQ(x.AddInOrder(std::numeric_limits<double>::quiet_NaN()), 1);

  TChartValueList y(nullptr, "Y");
  for (double v : {5.0, 1.0, 3.0}) y.AddInOrder(v);
  EXPECT_EQ(Read(y), (std::vector<double>{5, 1, 3}));
}

TEST(ChartValueList, DescendingOrderMirrorsAscending) {
  TChartValueList x(nullptr, "X");
  x.Order = loDescending;
  EXPECT_EQ(x.AddInOrder(3), 0);
  EXPECT_EQ(x.AddInOrder(1), 1);
  EXPECT_EQ(x.AddInOrder(2), 1);
  EXPECT_EQ(x.AddInOrder(3), 1);
  EXPECT_EQ(x.AddInOrder(4), 0);
  EXPECT_EQ(Read(x), (std::vector<double>{4, 3, 3, 2, 1}));
}

TEST(ChartValueList, ChangingOrderLaterDoesNotReorderStoredValues) {
  TChartValueList x(nullptr, "X");
  for (double v : {3.0, 1.0, 2.0}) x.AddInOrder(v);
  x.Order = loAscending;
  EXPECT_EQ(Read(x), (std::vector<double>{3, 1, 2}));
  EXPECT_EQ(x.AddInOrder(1.5), 2);  // scans back past 2 only: 1 <= 1.5 stops it
}

TEST(ChartValueList, MultiplierScalesReadsButNotOrdering) {
  TChartValueList x(nullptr, "X");
  x.Order = loAscending;
  x.AddInOrder(3);
  x.AddInOrder(1);
  x.SetMultiplier(2);
  EXPECT_EQ(Read(x), (std::vector<double>{2, 6}));
  EXPECT_EQ(x.AddInOrder(2), 1);  // compared with the stored 1 and 3, not 2 and 6
  EXPECT_DOUBLE_EQ(x.HighestValue(), 6);
}

TEST(ChartValueList, StatisticsAreLazyAndFollowEveryChange) {
  TChartValueList y(nullptr, "Y");
  EXPECT_EQ(y.LowestValue(), 0);
  EXPECT_EQ(y.AbsSum(), 0);
  for (double v : {5.0, -2.0, 7.0}) y.AddInOrder(v);
  EXPECT_TRUE(y.StatsStale());
  EXPECT_EQ(y.LowestValue(), -2);
  EXPECT_FALSE(y.StatsStale());
  EXPECT_EQ(y.HighestValue(), 7);
  EXPECT_EQ(y.Sum(), 10);
  EXPECT_EQ(y.AbsSum(), 14);

  y.ReplaceAt(1, 9);
  EXPECT_EQ(y.HighestValue(), 9);
  y.SetMultiplier(-1);
  EXPECT_EQ(y.LowestValue(), -9);
  EXPECT_EQ(y.AbsSum(), 21);
  y.RemoveAt(1);
  EXPECT_EQ(y.Sum(), -12);
  y.RemoveAll();
  EXPECT_EQ(y.HighestValue(), 0);
}

TEST(ChartValueList, CapacityGrowsByFixedStepsAndIsReleasedByRemoveAll) {
  TChartValueList y(nullptr, "Y");
  std::vector<std::int32_t> capacities;
  for (int i = 0; i < 100; ++i) {
    y.AddInOrder(i);
    if (capacities.empty() || capacities.back() != y.Capacity()) capacities.push_back(y.Capacity());
  }
  EXPECT_EQ(capacities, (std::vector<std::int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
  y.RemoveAll();
  EXPECT_EQ(y.Count(), 0);
  EXPECT_EQ(y.Capacity(), 0);
}

TEST(ChartValueList, BadIndicesRaiseTheListErrorWithTheIndex) {
  TChartValueList y(nullptr, "Y");
  y.AddInOrder(1);
  try {
    y.ValueAt(1);
    FAIL() << "no error";
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (1)");
  }
  EXPECT_THROW(y.ValueAt(-1), EListError);
  EXPECT_THROW(y.InsertAt(2, 0), EListError);
  EXPECT_NO_THROW(y.InsertAt(1, 0));
  y.RemoveAll();
  EXPECT_THROW(y.LastValue(), EListError);
  EXPECT_EQ(y.Count(), 0);
}

}  // namespace
