// ninetrace: records the converter's stream live and views recordings.
#include <cstdio>

#include "app/application.h"
#include "app/error_report.h"
#include "app/info_request.h"
#include "app/main_window.h"
#include "app/stop_signal_notifier.h"
#include "app/window_options.h"
#include "platform/process_signals.h"

int main(int argc, char** argv) {
  ninetrace::IgnoreFileSizeSignal();
  if (const auto status = ninetrace::AnswerInfoRequest(argc, argv)) return *status;
  // A wrong command line is told before any display is needed.
  QStringList given;
  for (int i = 1; i < argc; ++i) given << QString::fromLocal8Bit(argv[i]);
  if (const auto problem = ninetrace::ParseWindowOptions(given).Problem) {
    std::fprintf(stderr, "ninetrace: %s\n(ninetrace --help shows the options)\n", problem->c_str());
    return 2;
  }
  ninetrace::TApplication app(argc, argv);
  // Qt takes its own options (-platform, -display) out first.
  const ninetrace::TWindowOptions options = ninetrace::ParseWindowOptions(QApplication::arguments().mid(1));
  // A failure in start-up or in the loop reaches the person as an error box; the program then
  // ends normally, having told them.
  ninetrace::RunGuarded(ninetrace::ShowErrorBox, [&options] {
    ninetrace::TForm2 form(options.Positional);
    form.SetChannels(options.Channels);
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
