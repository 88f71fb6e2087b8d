// The application object: the last guard, so an exception escaping any event becomes an
// error box instead of ending the program.
#pragma once

#include <QApplication>

namespace ninetrace {

class TApplication : public QApplication {
 public:
  TApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace ninetrace
