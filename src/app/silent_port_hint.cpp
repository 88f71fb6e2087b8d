#include "app/silent_port_hint.h"

#include <QElapsedTimer>

namespace ninetrace {

namespace {

double SteadySeconds() {
  static const QElapsedTimer since = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  return static_cast<double>(since.nsecsElapsed()) * 1e-9;
}

// Long device paths (/dev/serial/by-id/...) have no spaces; a zero-width space after each slash
// lets the label break them over its lines instead of cutting them off.
QString Breakable(const std::string& text) {
  QString breakable = QString::fromStdString(text);
  breakable.replace(QLatin1Char('/'), QStringLiteral("/\u200B"));
  return breakable;
}

}  // namespace

TSilentPortHint::TSilentPortHint(QWidget* parent, const TRecorder& recorder, TSeconds now)
    : QLabel(parent), recorder_(recorder), now_(now ? std::move(now) : TSeconds(SteadySeconds)) {
  setObjectName(QStringLiteral("SilentPortHint"));
  // Between the Open button (and the hidden viewer panel, down to y 377) and "D1, D2" at y 472.
  setGeometry(1008, 384, 114, 80);
  setWordWrap(true);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
  hide();
}

void TSilentPortHint::RecordingStarted() {
  watch_.Start(now_());
  Update();
}

void TSilentPortHint::Update() {
  const bool silent = recorder_.Running() && watch_.Silent(recorder_.Synchroniser().FramesReceived(), now_());
  if (silent && isHidden()) {
    const std::string text = SilentPortText(recorder_.Port().Name());
    setText(Breakable(text));
    setToolTip(QString::fromStdString(text));
  }
  setVisible(silent);
}

}  // namespace ninetrace
