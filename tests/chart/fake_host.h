// A window for the chart that records what the chart asks of it.
#pragma once

#include "platform/chart_host.h"
#include "platform/raster_surface.h"

namespace ninetrace::testing {

struct FakeHost : TChartHost {
  explicit FakeHost(std::int32_t width = 200, std::int32_t height = 100) : image(width, height) {}
  TRasterImage image;
  TChartHostClient* client = nullptr;
  int invalidations = 0, updates = 0, shows = 0;
  TPoint cursor{};
  TCursor shownCursor = crDefault;
  TRasterImage& WindowImage() override { return image; }
  void InvalidateWindow() override { ++invalidations; }
  void UpdateNow() override {
    ++updates;
    client->HostPaint();
  }
  void ShowWindowImage() override { ++shows; }
  TPoint CursorPos() const override { return cursor; }
  void SetCursor(TCursor c) override { shownCursor = c; }
};

}  // namespace ninetrace::testing
