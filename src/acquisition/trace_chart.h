// The chart as the nine traces need it: black, fixed axes 0..10 across and -1..255 up, a dotted
// grid whose lines 17 apart carry the four digital traces, and no margins.
#pragma once

namespace ninetrace {

class TChart;

void ConfigureTraceChart(TChart& chart);

}  // namespace ninetrace
