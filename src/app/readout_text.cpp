#include "app/readout_text.h"

#include <cmath>
#include <cstdio>
#include <ctime>

namespace ninetrace {

namespace {

constexpr std::int64_t NanosPerMilli = 1'000'000;
const QString Approximately = QStringLiteral("\u2248 ");

// The local broken-down time and the milliseconds of `time`; the zone offset comes with the time,
// so the result does not depend on the zone of this machine.
std::tm LocalParts(const TRecordTime& time, int& millis) {
  // To the nearest millisecond, halves up, as `export --time` writes it.
  const std::int64_t shifted = time.UnixNanoseconds + NanosPerMilli / 2;
  const std::int64_t utcMillis = shifted / NanosPerMilli - (shifted % NanosPerMilli < 0 ? 1 : 0);
  const std::int64_t localMillis = utcMillis + static_cast<std::int64_t>(time.UtcOffsetSeconds) * 1000;
  std::int64_t seconds = localMillis / 1000;
  millis = static_cast<int>(localMillis % 1000);
  if (millis < 0) {
    millis += 1000;
    --seconds;
  }
  const auto whole = static_cast<std::time_t>(seconds);
  std::tm parts{};
  gmtime_r(&whole, &parts);
  return parts;
}

QString Prefix(const TRecordTime& time) { return time.Estimated ? Approximately : QString(); }

QString Decimal(double value) { return QString::fromStdString(FormatDecimal(value)); }

QString Name(const TChannelScale& channel) { return QString::fromStdString(channel.Name); }

}  // namespace

QString FormatLocalTime(const TRecordTime& time) {
  int millis = 0;
  const std::tm t = LocalParts(time, millis);
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec, millis);
  return Prefix(time) + QString::fromLatin1(text);
}

QString FormatTimeOfDay(const TRecordTime& time, bool millis) {
  int ms = 0;
  const std::tm t = LocalParts(time, ms);
  char text[32];
  if (millis)
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", t.tm_hour, t.tm_min, t.tm_sec, ms);
  else
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
  return QString::fromLatin1(text);
}

QString FormatElapsed(double seconds) {
  const auto millis = static_cast<std::int64_t>(std::llround(std::max(seconds, 0.0) * 1000));
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(millis / 3'600'000),
                static_cast<long long>(millis / 60'000 % 60), static_cast<long long>(millis / 1000 % 60),
                static_cast<long long>(millis % 1000));
  return QString::fromLatin1(text);
}

QString ScaledText(const TChannelScale& channel, int code) {
  QString text = Decimal(channel.Value(code));
  if (!channel.Unit.empty()) text += ' ' + QString::fromStdString(channel.Unit);
  return text;
}

TReadout RecordReadout(const TRecordUnderPointer& at, const TChannelScales& channels, const TTraceHidden& hidden) {
  TReadout r;
  r.Lines.push_back(at.Time ? FormatLocalTime(*at.Time) : QStringLiteral("time unknown"));
  if (at.SinceStart)
    r.Lines.push_back((at.Time ? Prefix(*at.Time) : QString()) + FormatElapsed(*at.SinceStart) +
                      QStringLiteral(" since the start"));
  r.Lines.push_back(QStringLiteral("record %1").arg(at.Record) + (at.Padding ? QStringLiteral(": padding") : QString()));
  for (std::size_t t = 0; t < TraceCount; ++t) {
    TReadoutRow row{Traces[t].Color, Name(channels[t]), {}, hidden[t]};
    if (at.Padding) {
      row.Value = QStringLiteral("padding");
    } else {
      row.Value = QString::number(at.Levels[t]);
      if (t < 5 && channels[t].Scaled) row.Value += QStringLiteral("  = ") + ScaledText(channels[t], at.Levels[t]);
      else if (t < 5 && !channels[t].Unit.empty()) row.Value += ' ' + QString::fromStdString(channels[t].Unit);
    }
    if (row.Hidden) row.Value += QStringLiteral("  (hidden)");
    r.Rows.push_back(std::move(row));
  }
  return r;
}

TReadout SpanReadout(const TSpanUnderPointer& span, const TChannelScales& channels, const TTraceHidden& hidden) {
  TReadout r;
  if (span.FirstTime && span.LastTime) {
    r.Lines.push_back(QStringLiteral("from ") + FormatLocalTime(*span.FirstTime));
    r.Lines.push_back(QStringLiteral("to   ") + FormatLocalTime(*span.LastTime));
  } else {
    r.Lines.push_back(QStringLiteral("time unknown"));
  }
  r.Lines.push_back(QStringLiteral("records %1 to %2").arg(span.First).arg(span.Last) +
                    (span.Real == 0                          ? QStringLiteral(": padding")
                     : span.Real < span.Last - span.First + 1 ? QStringLiteral(" (padding after %1)").arg(span.First + span.Real - 1)
                                                              : QString()));
  for (std::size_t t = 0; t < TraceCount; ++t) {
    TReadoutRow row{Traces[t].Color, Name(channels[t]), {}, hidden[t]};
    if (span.Real == 0) {
      row.Value = QStringLiteral("padding");
    } else {
      row.Value = QStringLiteral("%1 to %2").arg(span.Low[t]).arg(span.High[t]);
      if (t < 5 && channels[t].Scaled) {
        // A negative factor turns the lowest code into the highest value.
        const bool turned = channels[t].Factor < 0;
        const TChannelScale& c = channels[t];
        row.Value += QStringLiteral("  = ") + Decimal(c.Value(turned ? span.High[t] : span.Low[t])) + QStringLiteral(" to ") +
                     ScaledText(c, turned ? span.Low[t] : span.High[t]);
      }
    }
    if (row.Hidden) row.Value += QStringLiteral("  (hidden)");
    r.Rows.push_back(std::move(row));
  }
  return r;
}

}  // namespace ninetrace
