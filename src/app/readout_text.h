// What the pointer readout says, as plain rows: the record (or the span of records) under the
// pointer, its time, and one row per trace. Built from numbers only, so it is tested without a
// window; every number is written without the locale.
#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "recording/channel_scales.h"
#include "acquisition/sample_record.h"
#include "recording/record_times.h"
#include "chart/colors.h"

namespace ninetrace {

struct TReadoutRow {
  TColor Color = clBlack;
  QString Name;
  QString Value;
  bool Hidden = false;
};

struct TReadout {
  std::vector<QString> Lines;     // time, time since the start, record number
  std::vector<TReadoutRow> Rows;  // one per trace, in trace order
};

// Which traces are drawn hidden (their pen switched off).
using TTraceHidden = std::array<bool, TraceCount>;

// "2026-12-08 07:12:34.567", local time of the record; "≈ " before it when estimated.
QString FormatLocalTime(const TRecordTime& time);
// "07:12:34.567" (with `millis`) or "07:12:34", local time of day.
QString FormatTimeOfDay(const TRecordTime& time, bool millis);
// "1:02:03.456" for hours, minutes, seconds and milliseconds since the start.
QString FormatElapsed(double seconds);

// One record: its levels (codes 0..1023, bits 0/1), or padding when it lies after the real records.
struct TRecordUnderPointer {
  std::int64_t Record = 0;  // in the file, from 0
  std::array<int, TraceCount> Levels{};
  bool Padding = false;
  std::optional<TRecordTime> Time;
  std::optional<double> SinceStart;
};

TReadout RecordReadout(const TRecordUnderPointer& at, const TChannelScales& channels, const TTraceHidden& hidden);

// The records one pixel column of the overview covers.
struct TSpanUnderPointer {
  std::int64_t First = 0, Last = 0;  // records in the file, inclusive
  std::int64_t Real = 0;             // of them before the padding; 0: all padding
  std::array<int, TraceCount> Low{}, High{};
  std::optional<TRecordTime> FirstTime, LastTime;
};

TReadout SpanReadout(const TSpanUnderPointer& span, const TChannelScales& channels, const TTraceHidden& hidden);

// A code in the channel's unit: "46.2 kPa"; the code itself for a channel without a scale.
QString ScaledText(const TChannelScale& channel, int code);

}  // namespace ninetrace
