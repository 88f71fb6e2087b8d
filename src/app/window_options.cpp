#include "app/window_options.h"

namespace ninetrace {

TWindowOptions ParseWindowOptions(const QStringList& arguments) {
  TWindowOptions options;
  const QString channel = QStringLiteral("--channel");
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    // "--" ends the options: what follows is positional whatever it looks like, and stays for
    // the window's own reading of its arguments.
    if (arg == QLatin1String("--")) {
      options.Positional << arguments.mid(i);
      return options;
    }
    QString value;
    if (arg == channel) {
      if (i + 1 >= arguments.size()) {
        options.Problem = "--channel needs a value: " + std::string(ChannelOptionSyntax);
        return options;
      }
      value = arguments[++i];
    } else if (arg.startsWith(channel + '=')) {
      value = arg.mid(channel.size() + 1);
    } else {
      // Everything else is the window's as it always was: port, mask, width.
      options.Positional << arg;
      continue;
    }
    if (auto problem = ApplyChannelOption(value.toStdString(), options.Channels)) {
      options.Problem = std::move(problem);
      return options;
    }
  }
  return options;
}

}  // namespace ninetrace
