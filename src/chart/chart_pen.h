// Chart pens (a pen with a visibility switch and a dotted one-pixel mode) and the chart brush.
#pragma once

#include <cstdint>
#include <functional>

#include "chart/change_notify.h"
#include "chart/colors.h"
#include "platform/raster_surface.h"

namespace ninetrace {

class TChartPen {
 public:
  using TChangeHandler = std::function<void()>;
  explicit TChartPen(TChangeHandler onChange = {}) : onChange_(std::move(onChange)) {}
  virtual ~TChartPen() = default;
  TChartPen(const TChartPen&) = delete;
  TChartPen& operator=(const TChartPen&) = delete;

  TColor Color() const { return color_; }
  std::int32_t Width() const { return width_; }
  TPenStyle Style() const { return style_; }
  TPenMode Mode() const { return mode_; }
  bool SmallDots() const { return smallDots_; }
  bool Visible() const { return visible_; }

  void SetColor(TColor value) { Change(color_, value); }
  void SetWidth(std::int32_t value) { Change(width_, value); }
  void SetStyle(TPenStyle value) { Change(style_, value); }
  void SetMode(TPenMode value) { Change(mode_, value); }
  void SetSmallDots(bool value) { Change(smallDots_, value); }
  void SetVisible(bool value) { Change(visible_, value); }
  void SetOnChange(TChangeHandler handler) { onChange_ = std::move(handler); }

  // Copies Visible and SmallDots, then the four pen fields.
  void Assign(const TChartPen& other);

 private:
  template <typename T>
  void Change(T& field, T value) {
    ChangeAndNotify(field, value, [this] { if (onChange_) onChange_(); });
  }

  TChangeHandler onChange_;
  TColor color_ = clBlack;
  std::int32_t width_ = 1;
  TPenStyle style_ = psSolid;
  TPenMode mode_ = pmCopy;
  bool smallDots_ = false;
  bool visible_ = true;
};

// Preset pens: the same pen with other defaults.
struct TChartHiddenPen : TChartPen {
  explicit TChartHiddenPen(TChangeHandler h = {}) : TChartPen(std::move(h)) { SetVisible(false); }
};
struct TDottedGrayPen : TChartPen {
  explicit TDottedGrayPen(TChangeHandler h = {}) : TChartPen(std::move(h)) {
    SetColor(clGray);
    SetStyle(psDot);
  }
};
struct TDarkGrayPen : TChartPen {
  explicit TDarkGrayPen(TChangeHandler h = {}) : TChartPen(std::move(h)) { SetColor(clGray); }
};
struct TChartAxisPen : TChartPen {
  explicit TChartAxisPen(TChangeHandler h = {}) : TChartPen(std::move(h)) { SetWidth(2); }
};
struct TChartArrowPen : TChartPen {
  explicit TChartArrowPen(TChangeHandler h = {}) : TChartPen(std::move(h)) { SetColor(clWhite); }
};

struct TChartBrush {
  TColor Color = clDefault;
  TBrushStyle Style = bsSolid;
};

}  // namespace ninetrace
