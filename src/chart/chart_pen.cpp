#include "chart/chart_pen.h"

namespace ninetrace {

void TChartPen::Assign(const TChartPen& other) {
  SetVisible(other.visible_);
  SetSmallDots(other.smallDots_);
  SetColor(other.color_);
  SetWidth(other.width_);
  SetStyle(other.style_);
  SetMode(other.mode_);
}

}  // namespace ninetrace
