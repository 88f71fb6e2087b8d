#include "platform/busy_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace ninetrace {

TBusyCursor::TBusyCursor() {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return;
  QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
  shown_ = true;
}

TBusyCursor::~TBusyCursor() {
  if (shown_) QGuiApplication::restoreOverrideCursor();
}

}  // namespace ninetrace
