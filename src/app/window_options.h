// The window's command line: the three positional arguments (port, digital-trace mask, line
// width) exactly as always, and options that start with "--" (the channels' names, units and
// scales).
#pragma once

#include <QStringList>

#include <optional>
#include <string>

#include "recording/channel_scales.h"

namespace ninetrace {

struct TWindowOptions {
  QStringList Positional;
  TChannelScales Channels = DefaultChannelScales();
  std::optional<std::string> Problem;  // what is wrong with the command line
};

TWindowOptions ParseWindowOptions(const QStringList& arguments);

}  // namespace ninetrace
