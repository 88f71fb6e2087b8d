// Failures reach the person in one way: an error box with the program's title and the message.
#pragma once

#include <QString>

#include <exception>
#include <functional>

namespace ninetrace {

// Shows a message; the default is a modal error box. Tests substitute their own.
using TErrorReporter = std::function<void(const QString& message)>;

void ShowErrorBox(const QString& message);

// Runs `handler`; an exception becomes a report (a non-standard one with an empty message)
// and the program goes on.
template <typename F>
void RunGuarded(const TErrorReporter& report, F&& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    report(QString::fromLocal8Bit(e.what()));
  } catch (...) {
    report(QString());
  }
}

inline const QString ApplicationTitle = QStringLiteral("ninetrace");

}  // namespace ninetrace
