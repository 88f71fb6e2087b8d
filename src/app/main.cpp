// ninetrace: records the converter's stream live and views recordings.
#include <QSessionManager>

#include <cstdio>

#include "app/application.h"
#include "app/display_guard.h"
#include "app/error_report.h"
#include "app/info_request.h"
#include "app/main_window.h"
#include "app/stop_at_exit.h"
#include "app/stop_signal_notifier.h"
#include "app/window_options.h"
#include "platform/process_signals.h"

#include <memory>

int main(int argc, char** argv) {
  ninetrace::IgnoreFileSizeSignal();
  ninetrace::IgnoreBrokenPipeSignal();
  if (const auto status = ninetrace::AnswerInfoRequest(argc, argv)) return *status;
  // A wrong command line is told before any display is needed.
  QStringList given;
  for (int i = 1; i < argc; ++i) given << QString::fromLocal8Bit(argv[i]);
  if (const auto problem = ninetrace::ParseWindowOptions(given).Problem) {
    std::fprintf(stderr, "ninetrace: %s\n(ninetrace --help shows the options)\n", problem->c_str());
    return 2;
  }
  auto app = [&] {
    const ninetrace::TDisplayGuard noDisplay;
    return std::make_unique<ninetrace::TApplication>(argc, argv);
  }();
  // Qt takes its own options (-platform, -display) out first.
  const ninetrace::TWindowOptions options = ninetrace::ParseWindowOptions(QApplication::arguments().mid(1));
  // A failure in start-up or in the loop reaches the person as an error box; the program then
  // ends normally, having told them.
  ninetrace::RunGuarded(ninetrace::ShowErrorBox, [&options] {
    QStringList arguments = options.Positional;
    if (!arguments.isEmpty() && arguments.front() == QLatin1String("--")) arguments.removeFirst();  // ends the options
    ninetrace::TForm2 form(arguments);
    form.SetChannels(options.Channels);
    // Logout, shutdown, a closed terminal or any other signal that would end the program end it
    // as closing the window does: a recording is stopped as Stop stops it. The loop is left even
    // when a box is open.
    const auto closeAndQuit = [&form] {
      form.close();
      QCoreApplication::exit(0);
    };
    const ninetrace::TStopSignalNotifier stop([&closeAndQuit](int) { closeAndQuit(); });
    // The end of the session as the session manager announces it; a display that simply goes
    // away ends the process through exit(), where the recording is stopped all the same.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, qApp, [&closeAndQuit](QSessionManager&) { closeAndQuit(); });
    const ninetrace::TStopAtExit stopAtExit(form.Recorder());
    form.show();
    QApplication::exec();
  });
  return 0;
}
