#include "recording/channel_scales.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

namespace ninetrace {

namespace {

constexpr std::size_t MaxTextLength = 64;
constexpr std::array<const char*, TraceCount> DefaultNames = {"A1", "A2", "A3", "A4", "A5", "D1", "D2", "D3", "D4"};

std::optional<std::size_t> ChannelIndex(std::string_view name) {
  for (std::size_t i = 0; i < TraceCount; ++i)
    if (name == DefaultNames[i]) return i;
  // Lower case is accepted too: a1 is as clear as A1.
  if (name.size() == 2 && (name[0] == 'a' || name[0] == 'd')) {
    const std::string upper{static_cast<char>(name[0] - 'a' + 'A'), name[1]};
    return ChannelIndex(upper);
  }
  return std::nullopt;
}

std::vector<std::string_view> SplitCommas(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t from = 0;;) {
    const std::size_t comma = text.find(',', from);
    parts.push_back(text.substr(from, comma == std::string_view::npos ? std::string_view::npos : comma - from));
    if (comma == std::string_view::npos) return parts;
    from = comma + 1;
  }
}

// A number with "." as the point, as from_chars reads it whatever the locale.
bool ParseDecimal(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc{} && end == text.data() + text.size() && std::isfinite(value);
}

// Names and units go into CSV headers and one-line texts unquoted.
bool Printable(std::string_view text) {
  for (const char c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == '"' || c == 0x7F) return false;
  return true;
}

}  // namespace

TChannelScales DefaultChannelScales() {
  TChannelScales scales;
  for (std::size_t i = 0; i < TraceCount; ++i) scales[i].Name = DefaultNames[i];
  return scales;
}

std::optional<std::string> ApplyChannelOption(std::string_view text, TChannelScales& scales) {
  const std::string given(text);
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos)
    return "--channel " + given + ": expected " + ChannelOptionSyntax + ", e.g. A1=Pressure,kPa,0.1,-5";
  const std::optional<std::size_t> index = ChannelIndex(text.substr(0, equals));
  if (!index) return "--channel " + given + ": the channel is one of A1..A5 or D1..D4";
  const std::vector<std::string_view> parts = SplitCommas(text.substr(equals + 1));
  if (parts.size() > 4) return "--channel " + given + ": at most NAME, UNIT, FACTOR and OFFSET";
  const bool digital = *index >= 5;
  if (digital && parts.size() > 1) return "--channel " + given + ": a digital input takes a name only";
  TChannelScale scale = scales[*index];
  if (!Printable(parts[0]) || (parts.size() > 1 && !Printable(parts[1])))
    return "--channel " + given + ": names and units may not hold quotes or control characters";
  if (parts[0].size() > MaxTextLength || (parts.size() > 1 && parts[1].size() > MaxTextLength))
    return "--channel " + given + ": names and units are at most 64 characters";
  if (!parts[0].empty()) scale.Name = std::string(parts[0]);
  if (parts.size() > 1) scale.Unit = std::string(parts[1]);
  // A unit alone says the codes are in that unit: factor 1, offset 0.
  if (!scale.Unit.empty()) scale.Scaled = true;
  if (parts.size() > 2 && !parts[2].empty()) {
    if (!ParseDecimal(parts[2], scale.Factor) || scale.Factor == 0)
      return "--channel " + given + ": FACTOR is a number other than 0, with a point for decimals (0.1)";
    scale.Scaled = true;
  }
  if (parts.size() > 3 && !parts[3].empty()) {
    if (!ParseDecimal(parts[3], scale.Offset))
      return "--channel " + given + ": OFFSET is a number, with a point for decimals (-5.5)";
    scale.Scaled = true;
  }
  scales[*index] = std::move(scale);
  return std::nullopt;
}

std::string FormatDecimal(double value, int decimals) {
  if (!std::isfinite(value)) return value != value ? "nan" : value > 0 ? "inf" : "-inf";
  char text[400];
  const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string s(text, result.ptr);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  if (s == "-0") s = "0";
  return s;
}

bool ChannelsCustomised(const TChannelScales& scales) {
  for (std::size_t i = 0; i < TraceCount; ++i)
    if (scales[i].Name != DefaultNames[i] || !scales[i].Unit.empty() || scales[i].Scaled) return true;
  return false;
}

}  // namespace ninetrace
