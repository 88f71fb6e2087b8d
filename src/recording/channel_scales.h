// What each of the nine channels is called and, for the analog ones, how a 10-bit code becomes a
// value in the person's own unit (value = code x factor + offset). Shared by the window and the
// CSV export, so both show the same names and numbers. Numbers are written without the locale:
// a point for the decimals, whatever the person's language.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "recording/record_layout.h"

namespace ninetrace {

struct TChannelScale {
  std::string Name;  // "A1" .. "A5", "D1" .. "D4" unless given
  std::string Unit;  // empty: none given
  double Factor = 1;
  double Offset = 0;
  bool Scaled = false;  // a factor or offset was given: the value differs from the code

  double Value(int code) const { return code * Factor + Offset; }
  // "Pressure [kPa]", or the name alone without a unit.
  std::string Label() const { return Unit.empty() ? Name : Name + " [" + Unit + "]"; }
};

using TChannelScales = std::array<TChannelScale, TraceCount>;

// A1..A5, D1..D4, no units, no scales.
TChannelScales DefaultChannelScales();

// The syntax of one --channel value, for help texts and messages.
inline constexpr const char* ChannelOptionSyntax = "CH=NAME[,UNIT[,FACTOR[,OFFSET]]]";

// Applies one "--channel" value: "A1=Pressure,kPa,0.1,-5" names A1 "Pressure" with the unit kPa
// and the scale code x 0.1 - 5; "D2=Pump" names a digital input (digital inputs take a name only).
// An empty NAME keeps the channel's name. Returns the message for a value that cannot be used;
// then nothing is changed.
std::optional<std::string> ApplyChannelOption(std::string_view text, TChannelScales& scales);

// `value` with at most `decimals` decimals, trailing zeros dropped, "." as the decimal point in
// every locale; "0" rather than "-0".
std::string FormatDecimal(double value, int decimals = 6);

// True when any channel has a name, unit or scale other than the default.
bool ChannelsCustomised(const TChannelScales& scales);

}  // namespace ninetrace
