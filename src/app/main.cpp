// ninetrace: records the converter's stream live and views recordings.
#include "app/application.h"
#include "app/display_guard.h"
#include "app/error_report.h"
#include "app/info_request.h"
#include "app/main_window.h"
#include "app/stop_signal_notifier.h"
#include "platform/process_signals.h"

#include <memory>

int main(int argc, char** argv) {
  ninetrace::IgnoreFileSizeSignal();
  if (const auto status = ninetrace::AnswerInfoRequest(argc, argv)) return *status;
  auto app = [&] {
    const ninetrace::TDisplayGuard noDisplay;
    return std::make_unique<ninetrace::TApplication>(argc, argv);
  }();
  // A failure in start-up or in the loop reaches the person as an error box; the program then
  // ends normally, having told them.
  ninetrace::RunGuarded(ninetrace::ShowErrorBox, [] {
    ninetrace::TForm2 form(QApplication::arguments().mid(1));
    // Logout, shutdown or a closed terminal end the program as closing the window does: a
    // recording is stopped as Stop stops it. The loop is left even when a box is open.
    const ninetrace::TStopSignalNotifier stop([&form](int) {
      form.close();
      QCoreApplication::exit(0);
    });
    form.show();
    QApplication::exec();
  });
  return 0;
}
