// The chart: panel settings, the drawing pass, repaint through the off-screen image, and the
// contract with the mouse. Everything the main window's chart shows goes through here.
#pragma once

#include <QStringList>

#include <cstdint>
#include <functional>

#include "chart/change_notify.h"
#include "chart/axis_panel.h"
#include "chart/chart_canvas.h"
#include "chart/chart_pen.h"
#include "chart/chart_series.h"
#include "platform/chart_host.h"

namespace ninetrace {

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
enum TPanningMode { pmNoPanning, pmHorizontal, pmVertical, pmBoth };

// A wall of the chart: the back wall frames and may fill the chart rectangle; the left and
// bottom walls show only in three dimensions. Every change asks the chart to repaint.
class TChartWall {
 public:
  explicit TChartWall(std::function<void()> onChange) : Pen(onChange), onChange_(std::move(onChange)) {}
  TColor Color() const { return color_; }
  void SetColor(TColor v) { Change(color_, v); }
  const TChartBrush& Brush() const { return brush_; }
  void SetBrushColor(TColor v) { Change(brush_.Color, v); }
  void SetBrushStyle(TBrushStyle v) { Change(brush_.Style, v); }
  std::int32_t Size() const { return size_; }
  void SetSize(std::int32_t v) { Change(size_, v); }
  bool Dark3D() const { return dark3D_; }
  void SetDark3D(bool v) { Change(dark3D_, v); }
  TChartPen Pen;

 private:
  template <typename T>
  void Change(T& field, T value) {
    ChangeAndNotify(field, value, [this] { if (onChange_) onChange_(); });
  }
  std::function<void()> onChange_;
  TColor color_ = clDefault;
  TChartBrush brush_;
  std::int32_t size_ = 0;
  bool dark3D_ = true;
};

// Title, foot: text blocks above and below the chart rectangle (empty in this program).
class TChartTitle {
 public:
  explicit TChartTitle(std::function<void()> onChange) : onChange_(std::move(onChange)) {}
  bool Visible() const { return visible_; }
  void SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    if (onChange_) onChange_();
  }
  const QStringList& Text() const { return text_; }
  void SetText(const QStringList& v) {
    if (v == text_) return;
    text_ = v;
    if (onChange_) onChange_();
  }

 private:
  std::function<void()> onChange_;
  bool visible_ = true;
  QStringList text_;
};

// The series legend: never drawn here, only switched.
using TChartLegend = TChartTitle;

// The state of one mouse drag.
struct TZoomPanningRecord {
  bool Active = false;
  std::int32_t StartX = 0, StartY = 0, EndX = 0, EndY = 0;
  void Start(std::int32_t x, std::int32_t y) {
    StartX = EndX = x;
    StartY = EndY = y;
    Active = true;
  }
  void Normalize() {
    if (StartX > EndX) std::swap(StartX, EndX);
    if (StartY > EndY) std::swap(StartY, EndY);
  }
};

class TChart : public TCustomAxisPanel, public TChartHostClient {
 public:
  using TNotifyEvent = std::function<void(TChart* sender)>;
  using TMouseEvent = std::function<void(TChart* sender, TMouseButton, TShiftState, std::int32_t x, std::int32_t y)>;
  using TMouseMoveEvent = std::function<void(TChart* sender, TShiftState, std::int32_t x, std::int32_t y)>;

  TChart();
  ~TChart() override;

  // The window that shows the chart; without one the chart keeps its own window image.
  void SetHost(TChartHost* host);
  void SetSize(std::int32_t width, std::int32_t height);
  std::int32_t Width() const { return width_; }
  std::int32_t Height() const { return height_; }

  // Panel settings: a setter stores a new value and asks for a repaint; it never draws.
  TPanelBevel BevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TPanelBevel v) { Change(bevelOuter_, v); }
  TPanelBevel BevelInner() const { return bevelInner_; }
  void SetBevelInner(TPanelBevel v) { Change(bevelInner_, v); }
  std::int32_t BevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(std::int32_t v) { Change(bevelWidth_, v); }
  std::int32_t BorderWidth() const { return borderWidth_; }
  void SetBorderWidth(std::int32_t v) { Change(borderWidth_, v); }
  std::int32_t MarginLeft() const { return marginLeft_; }
  void SetMarginLeft(std::int32_t v) { Change(marginLeft_, v); }
  std::int32_t MarginTop() const { return marginTop_; }
  void SetMarginTop(std::int32_t v) { Change(marginTop_, v); }
  std::int32_t MarginRight() const { return marginRight_; }
  void SetMarginRight(std::int32_t v) { Change(marginRight_, v); }
  std::int32_t MarginBottom() const { return marginBottom_; }
  void SetMarginBottom(std::int32_t v) { Change(marginBottom_, v); }
  void SetMargins(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    SetMarginLeft(left);
    SetMarginTop(top);
    SetMarginRight(right);
    SetMarginBottom(bottom);
  }
  bool View3D() const { return view3D_; }
  void SetView3D(bool v) { Change(view3D_, v); }
  bool View3DWalls() const { return view3DWalls_; }
  void SetView3DWalls(bool v) { Change(view3DWalls_, v); }
  bool AxisVisible() const { return axisVisible_; }
  void SetAxisVisible(bool v) { Change(axisVisible_, v); }
  bool ClipPoints() const { return clipPoints_; }
  void SetClipPoints(bool v) { Change(clipPoints_, v); }
  bool AllowZoom() const { return allowZoom_; }
  void SetAllowZoom(bool v) { Change(allowZoom_, v); }
  TPanningMode AllowPanning() const { return allowPanning_; }
  void SetAllowPanning(TPanningMode v) { Change(allowPanning_, v); }
  std::int32_t Chart3DPercent() const { return chart3DPercent_; }
  void SetChart3DPercent(std::int32_t value);
  // Frames in black and white only; the canvas drops its image and asks for a repaint.
  bool Monochrome() const { return canvas_.Monochrome(); }
  void SetMonochrome(bool v) { canvas_.SetMonochrome(v); }

  TChartWall BackWall;
  TChartWall LeftWall;
  TChartWall BottomWall;
  TChartPen& Frame() { return BackWall.Pen; }
  TChartTitle Title;
  TChartTitle Foot;
  TChartLegend Legend;
  TColor BackWallColor() const override { return BackWall.Color(); }

  // The drawing pass and its pieces.
  void RenderChart(const TRect& bounds);
  bool IsAxisShown(const TChartAxis& axis) const;
  std::int32_t WallDepth(const TChartAxis& axis) const override;
  TChartCanvas& Canvas() { return canvas_; }

  // Repaint path.
  void Invalidate() override;
  void Refresh();
  void Repaint() { Refresh(); }
  void Paint();
  void Draw(TRasterImage* target, const TRect& rect);
  TRasterImage& WindowImage();

  // Cursor position now, in chart pixels; tests may substitute the source.
  TPoint GetCursorPos() const;
  std::function<TPoint()> CursorSource;

  // Events.
  TNotifyEvent OnClick, OnDblClick, OnBeforeDrawAxes, OnBeforeDrawSeries, OnAfterDraw;
  TMouseEvent OnMouseDown, OnMouseUp;
  TMouseMoveEvent OnMouseMove;

  // Press, move, release and leave as the chart handles them.
  virtual void MouseDown(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y);
  virtual void MouseMove(TShiftState shift, std::int32_t x, std::int32_t y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y);
  virtual void MouseLeave();

  // Window notifications (the control layer: capture, the clicked mark, click before release).
  void HostPaint() override { Paint(); }
  void HostResized() override;
  void HostButtonDown(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y, bool doubleClick) override;
  void HostButtonUp(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y) override;
  void HostMouseMove(TShiftState shift, std::int32_t x, std::int32_t y) override { MouseMove(shift, x, y); }
  void HostMouseLeave() override { MouseLeave(); }

  // What lies under a point: series line, axis band, title, foot, chart rectangle, legend.
  enum TChartClickedPartStyle { cpNone, cpLegend, cpAxis, cpSeries, cpTitle, cpFoot, cpChartRect };
  struct TClickedPartInfo {
    TChartClickedPartStyle Part = cpNone;
    std::int32_t PointIndex = -1;
    TChartSeries* Series = nullptr;
    TChartAxis* Axis = nullptr;
  };
  TClickedPartInfo HitTestParts(std::int32_t x, std::int32_t y) const;
  bool InAxisClickBand(const TChartAxis& axis, std::int32_t x, std::int32_t y) const;

  // Zoom: a right-and-down drag zooms all four axes, any other long drag restores them.
  void ComputeZoomRanges();
  void ApplyZoom(double topMin, double topMax, double leftMin, double leftMax, double rightMin, double rightMax,
                 double bottomMin, double bottomMax);
  void UndoZoom();
  bool ScalesRestored() const { return scalesRestored_; }

  using TChartClick = std::function<void(TChart* sender, TMouseButton, TShiftState, std::int32_t x, std::int32_t y)>;
  using TChartClickAxis = std::function<void(TChart* sender, TChartAxis* axis, TMouseButton, TShiftState, std::int32_t x,
                                             std::int32_t y)>;
  using TChartClickSeries = std::function<void(TChart* sender, TChartSeries* series, std::int32_t valueIndex, TMouseButton,
                                               TShiftState, std::int32_t x, std::int32_t y)>;
  TChartClick OnClickLegend, OnClickBackground;
  TChartClickAxis OnClickAxis;
  TChartClickSeries OnClickSeries;
  TNotifyEvent OnZoom, OnUndoZoom;
  // A click handler sets this to stop the press's default action (the zoom).
  bool MouseActionCancelled = false;

  TCursor IdleCursor = crDefault;
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor);

  static constexpr TMouseButton ZoomButton = mbLeft;
  static constexpr TShiftState ZoomShiftKeys = 0;
  static constexpr TMouseButton PanButton = mbRight;
  static constexpr TShiftState PanShiftKeys = 0;
  static constexpr std::int32_t AxisClickTolerance = 3;
  static constexpr std::int32_t ZoomThreshold = 16;

  TZoomPanningRecord ZoomDrag;
  TZoomPanningRecord PanDrag;
  // The rubber band: an inverting outline, so drawing it twice restores every pixel.
  void InvertZoomFrame();

  std::int64_t FramesDrawn() const { return framesDrawn_; }

 private:
  struct TAxisScaleSnapshot {
    bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
    double Minimum = 0, Maximum = 0;
  };
  void StartZoomOrPan(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y, bool& handled);
  void OfferBackgroundClick(TMouseButton button, TShiftState shift, std::int32_t x, std::int32_t y, bool& handled);
  static TAxisScaleSnapshot Snapshot(const TChartAxis& axis);
  static void Restore(TChartAxis& axis, const TAxisScaleSnapshot& saved);

  bool scalesRestored_ = true;
  TAxisScaleSnapshot savedScales_[4];  // top, left, right, bottom
  TCursor cursor_ = crDefault;

  void NormalizeChartRect(const TRect& bounds);
  void DrawPanelFrame(const TRect& bounds);
  void LayoutChart(const TRect& bounds);
  void DrawBackWall();

  template <typename T>
  void Change(T& field, T value) {
    ChangeAndNotify(field, value, [this] { Invalidate(); });
  }

  TPanelBevel bevelOuter_ = bvRaised;
  TPanelBevel bevelInner_ = bvNone;
  std::int32_t bevelWidth_ = 1;
  std::int32_t borderWidth_ = 0;
  std::int32_t marginLeft_ = 3, marginTop_ = 4, marginRight_ = 3, marginBottom_ = 4;
  bool view3D_ = true;
  bool view3DWalls_ = true;
  bool axisVisible_ = true;
  bool clipPoints_ = true;
  bool allowZoom_ = true;
  TPanningMode allowPanning_ = pmBoth;

  TChartCanvas canvas_;
  TChartHost* host_ = nullptr;
  TRasterImage ownWindow_;
  std::int32_t width_ = 400, height_ = 250;
  std::int32_t chart3DPercent_ = 15;
  bool paintRequested_ = false;
  bool clickedMark_ = false;
  std::int64_t framesDrawn_ = 0;
};

}  // namespace ninetrace
