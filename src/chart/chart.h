// The chart: panel settings, the drawing pass, repaint through the off-screen image, and the
// contract with the mouse. Everything the main window's chart shows goes through here.
#pragma once

#include <QStringList>

#include <cstdint>
#include <functional>

#include "chart/axis_panel.h"
#include "chart/chart_canvas.h"
#include "chart/chart_pen.h"
#include "chart/chart_series.h"
#include "platform/chart_host.h"

namespace ninetrace {

enum TPanelBevel { bvNone, bvLowered, bvRaised, bvSpace };
enum TPanningMode { pmNoPanning, pmHorizontal, pmVertical, pmBoth };

struct TChartWall {
  explicit TChartWall(std::function<void()> onChange) : Pen(std::move(onChange)) {}
  TColor Color = clDefault;
  TChartBrush Brush;
  TChartPen Pen;
  std::int32_t Size = 0;
  bool Dark3D = true;
};

// Title, foot: text blocks above and below the chart rectangle (empty in this program).
struct TChartTitle {
  bool Visible = true;
  QStringList Text;
};

struct TChartLegend {
  bool Visible = true;
};

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

  // Panel settings.
  TPanelBevel BevelOuter = bvRaised;
  TPanelBevel BevelInner = bvNone;
  std::int32_t BevelWidth = 1;
  std::int32_t BorderWidth = 0;
  std::int32_t MarginLeft = 3, MarginTop = 4, MarginRight = 3, MarginBottom = 4;
  bool View3D = true;
  bool View3DWalls = true;
  bool AxisVisible = true;
  bool ClipPoints = true;
  bool AllowZoom = true;
  TPanningMode AllowPanning = pmBoth;
  std::int32_t Chart3DPercent() const { return chart3DPercent_; }
  void SetChart3DPercent(std::int32_t value);
  bool Monochrome = false;

  TChartWall BackWall;
  TChartWall LeftWall;
  TChartWall BottomWall;
  TChartPen& Frame() { return BackWall.Pen; }
  TChartTitle Title;
  TChartTitle Foot;
  TChartLegend Legend;
  TColor BackWallColor() const override { return BackWall.Color; }

  // The drawing pass and its pieces.
  void RenderChart(const TRect& bounds);
  bool IsAxisShown(const TChartAxis& axis) const;
  std::int32_t WallDepth(const TChartAxis& axis) const;
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
