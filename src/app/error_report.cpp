#include "app/error_report.h"

#include <QApplication>
#include <QMessageBox>

namespace ninetrace {

void ShowErrorBox(const QString& message) {
  QMessageBox::critical(QApplication::activeWindow(), ApplicationTitle, message);
}

}  // namespace ninetrace
