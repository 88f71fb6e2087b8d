// "no data from PORT yet": a small label in the free space of the control column, below the
// buttons that the viewer panel covers, shown only while a recording has had two silent seconds.
// It never covers the chart and never changes the window's size; no modal box interrupts Run.
#pragma once

#include <QLabel>

#include <functional>

#include "acquisition/recorder.h"
#include "acquisition/silent_port.h"

namespace ninetrace {

class TSilentPortHint : public QLabel {
  Q_OBJECT

 public:
  using TSeconds = std::function<double()>;  // a steady clock; tests give their own

  TSilentPortHint(QWidget* parent, const TRecorder& recorder, TSeconds now = {});

  // Run has just started a recording.
  void RecordingStarted();
  // Every timer tick: shows or hides the hint for the recorder as it is now.
  void Update();

 private:
  const TRecorder& recorder_;
  TSeconds now_;
  TSilentPortWatch watch_;
};

}  // namespace ninetrace
