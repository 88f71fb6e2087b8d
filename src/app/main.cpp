// ninetrace: records the converter's stream live and views recordings.
#include "app/application.h"
#include "app/error_report.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
  ninetrace::TApplication app(argc, argv);
  int status = 0;
  ninetrace::RunGuarded(ninetrace::ShowErrorBox, [&] {
    ninetrace::TForm2 form(QApplication::arguments().mid(1));
    form.show();
    app.exec();
  });
  // Failures were shown to the person already; the program itself ends normally.
  return status;
}
