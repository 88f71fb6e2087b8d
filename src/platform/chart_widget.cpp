#include "platform/chart_widget.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>

namespace ninetrace {

namespace {

bool ToButton(Qt::MouseButton b, TMouseButton& out) {
  switch (b) {
    case Qt::LeftButton: out = mbLeft; return true;
    case Qt::RightButton: out = mbRight; return true;
    case Qt::MiddleButton: out = mbMiddle; return true;
    default: return false;
  }
}

TShiftState ToShift(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons) {
  TShiftState s = 0;
  if (modifiers & Qt::ShiftModifier) s |= ssShift;
  if (modifiers & Qt::AltModifier) s |= ssAlt;
  if (modifiers & Qt::ControlModifier) s |= ssCtrl;
  if (buttons & Qt::LeftButton) s |= ssLeft;
  if (buttons & Qt::RightButton) s |= ssRight;
  if (buttons & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

}  // namespace

TChartWidget::TChartWidget(QWidget* parent) : QWidget(parent) {
  // The chart covers every pixel itself: no erase before a paint, so no flicker.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_NoSystemBackground);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
}

void TChartWidget::SetClient(TChartHostClient* client) {
  client_ = client;
  if (client_) client_->HostResized();
}

void TChartWidget::InvalidateWindow() {
  frameRequested_ = true;
  update();
}

void TChartWidget::UpdateNow() {
  frameRequested_ = true;
  if (isVisible()) {
    repaint();
  } else if (client_) {
    // Nothing to show yet, but the frame is still built so the chart's image stays current.
    client_->HostPaint();
    frameRequested_ = false;
  }
}

void TChartWidget::ShowWindowImage() { update(); }

TPoint TChartWidget::CursorPos() const {
  const QPoint p = mapFromGlobal(QCursor::pos());
  return {p.x(), p.y()};
}

void TChartWidget::SetCursor(TCursor cursor) {
  setCursor(cursor == crCross ? Qt::CrossCursor : cursor == crHandPoint ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TChartWidget::paintEvent(QPaintEvent*) {
  if (frameRequested_ && client_) {
    frameRequested_ = false;
    client_->HostPaint();
  }
  QPainter painter(this);
  painter.drawImage(0, 0, screen_.Image());
}

void TChartWidget::resizeEvent(QResizeEvent*) {
  if (screen_.Width() == width() && screen_.Height() == height()) return;
  screen_ = TRasterImage(width(), height());
  frameRequested_ = true;
  if (client_) client_->HostResized();
}

void TChartWidget::Press(QMouseEvent* event, bool doubleClick) {
  TMouseButton button;
  if (!client_ || !ToButton(event->button(), button)) return;
  const QPoint p = event->position().toPoint();
  client_->HostButtonDown(button, ToShift(event->modifiers(), event->buttons()), p.x(), p.y(), doubleClick);
}

void TChartWidget::mousePressEvent(QMouseEvent* event) { Press(event, false); }
void TChartWidget::mouseDoubleClickEvent(QMouseEvent* event) { Press(event, true); }

void TChartWidget::mouseReleaseEvent(QMouseEvent* event) {
  TMouseButton button;
  if (!client_ || !ToButton(event->button(), button)) return;
  const QPoint p = event->position().toPoint();
  client_->HostButtonUp(button, ToShift(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TChartWidget::mouseMoveEvent(QMouseEvent* event) {
  if (!client_) return;
  const QPoint p = event->position().toPoint();
  client_->HostMouseMove(ToShift(event->modifiers(), event->buttons()), p.x(), p.y());
}

void TChartWidget::leaveEvent(QEvent*) {
  if (client_) client_->HostMouseLeave();
}

}  // namespace ninetrace
