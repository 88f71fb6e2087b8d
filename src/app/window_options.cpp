#include "app/window_options.h"

namespace ninetrace {

TWindowOptions ParseWindowOptions(const QStringList& arguments) {
  TWindowOptions options;
  const QString channel = QStringLiteral("--channel");
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (!arg.startsWith(QLatin1String("--"))) {
      options.Positional << arg;
      continue;
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
      options.Problem = "unknown option " + arg.toStdString();
      return options;
    }
    if (auto problem = ApplyChannelOption(value.toStdString(), options.Channels)) {
      options.Problem = std::move(problem);
      return options;
    }
  }
  return options;
}

}  // namespace ninetrace
