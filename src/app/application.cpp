#include "app/application.h"

#include "app/error_report.h"

namespace ninetrace {

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(ApplicationTitle);
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
  bool result = false;
  RunGuarded(ShowErrorBox, [&] { result = QApplication::notify(receiver, event); });
  return result;
}

}  // namespace ninetrace
