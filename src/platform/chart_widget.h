// The Qt widget that shows a custom-drawn chart: it keeps the image that is on screen, never
// erases its background, and passes paint and mouse notifications to the chart.
#pragma once

#include <QWidget>

#include "platform/chart_host.h"
#include "platform/raster_surface.h"

namespace ninetrace {

class TChartWidget : public QWidget, public TChartHost {
  Q_OBJECT

 public:
  explicit TChartWidget(QWidget* parent = nullptr);

  void SetClient(TChartHostClient* client);

  TRasterImage& WindowImage() override { return screen_; }
  void InvalidateWindow() override;
  void UpdateNow() override;
  void ShowWindowImage() override;
  TPoint CursorPos() const override;
  void SetCursor(TCursor cursor) override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Press(QMouseEvent* event, bool doubleClick);

  TChartHostClient* client_ = nullptr;
  TRasterImage screen_;
  bool frameRequested_ = true;  // the chart must paint before the image is shown
};

}  // namespace ninetrace
