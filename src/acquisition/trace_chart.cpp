#include "acquisition/trace_chart.h"

#include "chart/chart.h"

namespace ninetrace {

namespace {

void FixRange(TChartAxis& axis) {
  axis.SetAutomatic(false);
  axis.SetAutomaticMinimum(false);
  axis.SetAutomaticMaximum(false);
}

// Axes that only carry a line and a grid: no labels, no major ticks.
void PlainAxis(TChartAxis& axis) {
  FixRange(axis);
  axis.SetTickLength(0);
  axis.SetTickOnLabelsOnly(false);
  axis.SetLabels(false);
  axis.SetRoundFirstLabel(false);
}

}  // namespace

void ConfigureTraceChart(TChart& chart) {
  chart.SetColor(clBlack);
  chart.SetMargins(0, 0, 0, 0);
  chart.SetView3D(false);
  chart.SetView3DWalls(false);
  chart.SetAllowPanning(pmNoPanning);
  chart.BackWall.SetBrushColor(clWhite);
  chart.Frame().SetColor(clSilver);
  chart.LeftWall.SetColor(clBlack);
  chart.BottomWall.SetColor(clBlack);
  chart.Title.SetVisible(false);
  chart.Title.SetText(QStringList{QString()});
  chart.Legend.SetVisible(false);

  for (std::size_t i = 0; i < TCustomAxisPanel::AxisCount; ++i) chart.Axis(i).Loading = true;

  TChartAxis& bottom = chart.BottomAxis();
  FixRange(bottom);
  bottom.SetMaximum(10);
  bottom.SetIncrement(1);
  bottom.Grid.SetSmallDots(true);
  bottom.SetTickLength(0);
  bottom.SetTickOnLabelsOnly(false);
  bottom.SetLabelsSize(8);

  TChartAxis& top = chart.TopAxis();
  PlainAxis(top);
  top.SetLabelsOnAxis(false);

  TChartAxis& left = chart.LeftAxis();
  PlainAxis(left);
  left.SetMinimum(-1);
  left.SetMaximum(255);
  left.SetIncrement(17);
  left.Axis.SetWidth(1);
  left.Grid.SetSmallDots(true);
  left.SetMinorTickCount(0);
  left.SetLabelsSize(8);
  left.SetLabelsSeparation(0);

  TChartAxis& right = chart.RightAxis();
  PlainAxis(right);
  right.SetLabelsOnAxis(false);

  TChartAxis& depth = chart.DepthAxis();
  depth.SetLabels(false);
  depth.SetTickLength(0);
  depth.SetTickOnLabelsOnly(false);

  for (std::size_t i = 0; i < TCustomAxisPanel::AxisCount; ++i) chart.Axis(i).Loading = false;
}

}  // namespace ninetrace
