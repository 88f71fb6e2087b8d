// Axis label texts in the "#,##0.###" format: the digits never depend on the locale, the two
// separators always come from it.
#include <charconv>
#include <clocale>
#include <string>

#include "chart/chart_axis.h"

namespace ninetrace {

// The format fixes the grouping (threes) and where the separators go; the locale only names
// them. A locale without a thousands separator of its own (C, POSIX) gets the format's comma,
// or a point where the comma is already its decimal separator.
TNumberSeparators LocaleNumberSeparators() {
  TNumberSeparators s;
  const std::lconv* conventions = std::localeconv();
  if (conventions == nullptr) return s;
  if (conventions->decimal_point != nullptr && *conventions->decimal_point != '\0')
    s.Decimal = QString::fromUtf8(conventions->decimal_point);
  if (conventions->thousands_sep != nullptr && *conventions->thousands_sep != '\0')
    s.Thousands = QString::fromUtf8(conventions->thousands_sep);
  else
    s.Thousands = s.Decimal == "," ? "." : ",";
  return s;
}

QString FormatAxisValue(double value) { return FormatAxisValue(value, LocaleNumberSeparators()); }

QString FormatAxisValue(double value, const TNumberSeparators& separators) {
  // Room for every integer digit of the largest double (309) with sign, point and decimals.
  char buffer[400];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 3);
  if (error != std::errc()) return QString();
  std::string s(buffer, end);
  while (!s.empty() && s.back() == '0' && s.find('.') != std::string::npos) s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  const bool negative = !s.empty() && s.front() == '-';
  if (negative) s.erase(0, 1);
  const std::size_t point = s.find('.');
  const std::size_t integerDigits = point == std::string::npos ? s.size() : point;

  QString text = negative ? QStringLiteral("-") : QString();
  for (std::size_t i = 0; i < integerDigits; ++i) {
    if (i > 0 && (integerDigits - i) % 3 == 0) text += separators.Thousands;
    text += QLatin1Char(s[i]);
  }
  if (point != std::string::npos) text += separators.Decimal + QString::fromLatin1(s.data() + point + 1);
  return text;
}

}  // namespace ninetrace
