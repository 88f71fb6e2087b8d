// The window's command line: --channel (the channels' names, units and scales), anywhere before
// a "--"; every other argument is left exactly as given for the window (port, digital-trace
// mask, line width).
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
