#include "app/stop_signal_notifier.h"

#include <QSocketNotifier>

namespace ninetrace {

TStopSignalNotifier::TStopSignalNotifier(std::function<void(int)> onStop, QObject* parent)
    : QObject(parent), onStop_(std::move(onStop)) {
  notifier_ = new QSocketNotifier(static_cast<qintptr>(stopSignals_.Fd()), QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TStopSignalNotifier::Arrived);
}

void TStopSignalNotifier::Arrived() {
  // Every signal waiting is taken, so the notifier does not fire again for the same ones.
  int first = 0;
  for (int number = stopSignals_.Take(); number != 0; number = stopSignals_.Take())
    if (first == 0) first = number;
  if (first != 0 && onStop_) onStop_(first);
}

}  // namespace ninetrace
