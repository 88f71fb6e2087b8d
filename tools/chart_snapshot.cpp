// ninetrace-snapshot: draws the main chart with a page of the simulated converter's signals
// into a PNG, exactly as the window's chart would show it. For looking at what the chart draws
// without starting the program.
#include <QGuiApplication>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>

#include "acquisition/trace_chart.h"
#include "acquisition/trace_set.h"
#include "chart/chart.h"
#include "simulator.h"

namespace {

// Pages are counted from 0; the last is the one whose records can still be numbered.
constexpr std::uint64_t MaxPage = std::numeric_limits<std::uint64_t>::max() / ninetrace::RecordsPerPage - 1;

bool ParsePage(std::string_view text, std::uint64_t& page) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), page);
  return !text.empty() && error == std::errc{} && end == text.data() + text.size() && page <= MaxPage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(stderr,
                 "usage: ninetrace-snapshot OUT.png [--all-digital] [--wide] [--page N]\n"
                 "Draws the main chart (1000 x 713) with one page of the simulated converter's signals.\n");
    return argc < 2 ? 2 : 0;
  }
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  using namespace ninetrace;

  bool allDigital = false, wide = false;
  std::uint64_t page = 0;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--all-digital") == 0) allDigital = true;
    else if (std::strcmp(argv[i], "--wide") == 0) wide = true;
    else if (std::strcmp(argv[i], "--page") == 0) {
      if (i + 1 == argc || !ParsePage(argv[++i], page)) {
        std::fprintf(stderr, "ninetrace-snapshot: --page needs a page number from 0 to %llu\n",
                     static_cast<unsigned long long>(MaxPage));
        return 2;
      }
    } else {
      std::fprintf(stderr, "ninetrace-snapshot: unknown argument %s\n", argv[i]);
      return 2;
    }
  }

  TChart chart;
  ConfigureTraceChart(chart);
  chart.SetSize(1000, 713);
  TTraceSet traces(chart);
  if (allDigital) {
    traces.SeriesD1().LinePen.SetVisible(true);
    traces.SeriesD2().LinePen.SetVisible(true);
  }
  for (std::size_t t = 0; t < TraceCount && wide; ++t) traces[t].LinePen.SetWidth(2);

  const simulator::TWaveforms waves;
  TPageBuffer buffer{};
  for (std::size_t r = 0; r < RecordsPerPage; ++r) {
    const auto record = waves.Record(page * RecordsPerPage + r);
    std::copy(record.begin(), record.end(), buffer.begin() + static_cast<std::ptrdiff_t>(r * RecordSize));
  }
  for (std::size_t r = 0; r < RecordsPerPage; ++r) traces.PlotRecord(buffer, r, static_cast<std::int64_t>(r));
  chart.Refresh();
  if (!chart.Canvas().OffscreenImage().SavePng(argv[1])) {
    std::fprintf(stderr, "ninetrace-snapshot: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
