#include "app/pointer_readout.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "platform/raster_surface.h"

namespace ninetrace {

namespace {

constexpr int Margin = 6;
constexpr int Swatch = 10;
constexpr int Gap = 8;
constexpr int PointerClearance = 18;  // from the pointer to the readout's nearest corner

QFont ReadoutFont() {
  QFont font;
  font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(12);
  return font;
}

QColor TraceColor(TColor c) { return QColor::fromRgb(ColorRefToRgb(ColorToRGB(c))); }

}  // namespace

TReadoutWindow::TReadoutWindow(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus) {
  setObjectName(QStringLiteral("PointerReadout"));
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
  setFont(ReadoutFont());
}

void TReadoutWindow::SetReadout(TReadout readout) {
  readout_ = std::move(readout);
  const QSize size = Measure();
  if (size != this->size()) resize(size);
  update();
}

QSize TReadoutWindow::Measure() const {
  const QFontMetrics m(font());
  int width = 0, names = 0, values = 0;
  for (const QString& line : readout_.Lines) width = std::max(width, m.horizontalAdvance(line));
  for (const TReadoutRow& row : readout_.Rows) {
    names = std::max(names, m.horizontalAdvance(row.Name));
    values = std::max(values, m.horizontalAdvance(row.Value));
  }
  width = std::max(width, Swatch + Gap + names + Gap + values);
  const int lines = static_cast<int>(readout_.Lines.size() + readout_.Rows.size());
  return {width + 2 * Margin, lines * m.height() + 2 * Margin + (readout_.Rows.empty() ? 0 : Gap / 2)};
}

void TReadoutWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(32, 32, 32));
  p.setPen(QColor(160, 160, 160));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  const QFontMetrics m(font());
  int names = 0;
  for (const TReadoutRow& row : readout_.Rows) names = std::max(names, m.horizontalAdvance(row.Name));
  int y = Margin;
  p.setPen(Qt::white);
  for (const QString& line : readout_.Lines) {
    p.drawText(Margin, y + m.ascent(), line);
    y += m.height();
  }
  y += Gap / 2;
  for (const TReadoutRow& row : readout_.Rows) {
    const int top = y + (m.height() - Swatch) / 2;
    p.fillRect(Margin, top, Swatch, Swatch, TraceColor(row.Color));
    p.setPen(row.Hidden ? QColor(128, 128, 128) : QColor(Qt::white));
    p.drawText(Margin + Swatch + Gap, y + m.ascent(), row.Name);
    p.drawText(Margin + Swatch + Gap + names + Gap, y + m.ascent(), row.Value);
    y += m.height();
  }
}

TPointerReadout::TPointerReadout(QWidget* chart, TCompose compose)
    : QObject(chart), chart_(chart), compose_(std::move(compose)), window_(new TReadoutWindow(chart->window())) {
  rest_.setSingleShot(true);
  rest_.setInterval(RestMilliseconds);
  connect(&rest_, &QTimer::timeout, this, [this] { ShowAt(last_); });
  // The application's filter sees the chart's moves and every press and key, wherever they go.
  qApp->installEventFilter(this);
}

void TPointerReadout::Hide() {
  rest_.stop();
  window_->hide();
}

void TPointerReadout::ShowAt(QPoint at) {
  last_ = at;
  std::optional<TReadout> readout;
  try {
    if (compose_) readout = compose_(at.x(), at.y());
  } catch (const std::exception&) {
    // A file that cannot be read just now (cut short, gone) has nothing to say; the window's
    // own controls report such failures when they read it.
  }
  if (!readout) {
    window_->hide();
    return;
  }
  window_->SetReadout(std::move(*readout));
  Place(at);
  window_->show();
}

void TPointerReadout::Update() {
  if (Shown()) ShowAt(last_);
}

// Beside the pointer, below and to the right unless the screen ends there; never over the
// pointer itself.
void TPointerReadout::Place(QPoint at) {
  const QPoint pointer = chart_->mapToGlobal(at);
  const QSize size = window_->size();
  QPoint corner = pointer + QPoint(PointerClearance, PointerClearance);
  if (const QScreen* screen = chart_->screen()) {
    const QRect area = screen->availableGeometry();
    if (corner.x() + size.width() > area.right()) corner.setX(pointer.x() - PointerClearance - size.width());
    if (corner.y() + size.height() > area.bottom()) corner.setY(pointer.y() - PointerClearance - size.height());
  }
  window_->move(corner);
}

void TPointerReadout::Moved(QPoint at, bool buttonHeld) {
  last_ = at;
  if (buttonHeld) {
    Hide();
  } else if (Shown()) {
    ShowAt(at);
  } else {
    rest_.start();
  }
}

bool TPointerReadout::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseMove:
      if (watched == chart_) {
        const auto* move = static_cast<QMouseEvent*>(event);
        Moved(move->position().toPoint(), move->buttons() != Qt::NoButton);
      }
      break;
    case QEvent::Leave:
      if (watched == chart_) Hide();
      break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
      Hide();
      break;
    default:
      break;
  }
  return false;
}

}  // namespace ninetrace
