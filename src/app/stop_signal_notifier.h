// The end of a session (terminal closed, logout, shutdown, Ctrl-C) reaches the window as an
// ordinary event: the signal only marks a pipe, and the event loop calls back when it sees that.
#pragma once

#include <QObject>

#include <functional>

#include "platform/process_signals.h"

class QSocketNotifier;

namespace ninetrace {

class TStopSignalNotifier : public QObject {
 public:
  // `onStop` runs in the event loop with the signal's number once SIGHUP, SIGTERM or SIGINT has
  // arrived. Throws std::system_error when the signals cannot be caught.
  explicit TStopSignalNotifier(std::function<void(int)> onStop, QObject* parent = nullptr);

 private:
  void Arrived();

  TStopSignals stopSignals_;
  std::function<void(int)> onStop_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace ninetrace
