#include "app/error_report.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace ninetrace {

void ReportSafely(const TErrorReporter& report, const QString& message) noexcept {
  try {
    report(message);
  } catch (...) {
    std::fputs("ninetrace: an error box could not be shown: ", stderr);
    try {
      std::fputs(message.toLocal8Bit().constData(), stderr);
    } catch (...) {
      std::fputs("(not even its text: memory is short)", stderr);
    }
    std::fputc('\n', stderr);
  }
}

void ShowErrorBox(const QString& message) {
  QMessageBox::critical(QApplication::activeWindow(), ApplicationTitle, message);
}

}  // namespace ninetrace
