// ninetrace: records the converter's stream live and views recordings.
#include "app/application.h"
#include "app/error_report.h"
#include "app/info_request.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
  if (const auto status = ninetrace::AnswerInfoRequest(argc, argv)) return *status;
  ninetrace::TApplication app(argc, argv);
  // A failure in start-up or in the loop reaches the person as an error box; the program then
  // ends normally, having told them.
  ninetrace::RunGuarded(ninetrace::ShowErrorBox, [] {
    ninetrace::TForm2 form(QApplication::arguments().mid(1));
    form.show();
    QApplication::exec();
  });
  return 0;
}
