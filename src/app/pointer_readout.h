// The pointer readout: a small window of its own beside the pointer that says what lies under it
// (time, record, each trace's value). It appears when the pointer rests over the chart's data
// area, follows it, and goes away when the pointer leaves, on any press or key, and when the page
// changes. It never draws into the chart and never takes the keyboard focus.
#pragma once

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

#include "app/readout_text.h"

namespace ninetrace {

class TReadoutWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TReadoutWindow(QWidget* owner);
  void SetReadout(TReadout readout);
  const TReadout& Readout() const { return readout_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QSize Measure() const;
  TReadout readout_;
};

class TPointerReadout : public QObject {
  Q_OBJECT

 public:
  // What to show for the pointer at chart pixel (x, y); nothing where there is nothing to say.
  using TCompose = std::function<std::optional<TReadout>(std::int32_t x, std::int32_t y)>;
  // How long the pointer rests before the readout appears.
  static constexpr int RestMilliseconds = 300;

  TPointerReadout(QWidget* chart, TCompose compose);

  void Hide();
  // Says again what lies under the pointer (new live records), if shown.
  void Update();
  bool Shown() const { return window_->isVisible(); }
  TReadoutWindow& Window() { return *window_; }
  // Shows the readout for chart pixel `at` at once, as the rest timer does.
  void ShowAt(QPoint at);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Moved(QPoint at, bool buttonHeld);
  void Place(QPoint at);

  QWidget* chart_;
  TCompose compose_;
  TReadoutWindow* window_;
  QTimer rest_;
  QPoint last_;
};

}  // namespace ninetrace
