// Failures reach the person in one way: an error box with the program's title and the message.
#pragma once

#include <QString>

#include <exception>
#include <functional>
#include <new>

namespace ninetrace {

// Shows a message; the default is a modal error box. Tests substitute their own.
using TErrorReporter = std::function<void(const QString& message)>;

void ShowErrorBox(const QString& message);

// What the person reads when memory ran out in the middle of something they asked for.
inline const QString OutOfMemoryMessage = QStringLiteral(
    "Not enough memory to finish this. Close other programs, or look at a shorter recording or a part of it.");

// Shows `message` through `report`; when even that fails (memory still short) it goes to the
// standard error stream instead, so the guard itself never throws.
void ReportSafely(const TErrorReporter& report, const QString& message) noexcept;

// Runs `handler`; an exception becomes a report (a non-standard one with an empty message)
// and the program goes on.
template <typename F>
void RunGuarded(const TErrorReporter& report, F&& handler) {
  try {
    handler();
  } catch (const std::bad_alloc&) {
    ReportSafely(report, OutOfMemoryMessage);
  } catch (const std::exception& e) {
    ReportSafely(report, QString::fromLocal8Bit(e.what()));
  } catch (...) {
    ReportSafely(report, QString());
  }
}

inline const QString ApplicationTitle = QStringLiteral("ninetrace");

}  // namespace ninetrace
