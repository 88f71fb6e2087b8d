#include "info_command.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "acquisition/sample_record.h"
#include "info_times.h"
#include "recording/record_times.h"
#include "recording/recording_reader.h"

namespace ninetrace::cli {

namespace {

constexpr int AnalogChannels = 5;
constexpr int DigitalInputs = 4;

struct TChannelStats {
  double MinValue = std::numeric_limits<double>::max();
  double MaxValue = std::numeric_limits<double>::lowest();
  double ValueSum = 0;  // sums of multiples of 0.25 stay exact far beyond any recording
  int MinCode = std::numeric_limits<int>::max();
  int MaxCode = std::numeric_limits<int>::min();
  std::int64_t CodeSum = 0;
};

class TStatistics {
 public:
  void Add(const std::uint8_t* bytes) {
    // All-zero records are counted only once something follows them: at the end of the file
    // they are the zero tail, which is padding rather than samples.
    if (IsZeroRecord(bytes)) {
      ++zeroRun_;
      return;
    }
    CountZeros(zeroRun_);
    zeroRun_ = 0;
    const TSampleRecord record(bytes, RecordSize);
    const TTraceValues values = DecodeTraceValues(record);
    for (int c = 0; c < AnalogChannels; ++c) {
      const auto i = static_cast<std::size_t>(c);
      Take(channels_[i], values[i], ChannelCode(record, c));
    }
    for (int d = 0; d < DigitalInputs; ++d) set_[static_cast<std::size_t>(d)] += DigitalBit(record, d);
    ++records_;
  }

  // Ends the pass: the zeros still pending beyond the tail are samples after all.
  void Finish(std::int64_t zeroTail) {
    CountZeros(zeroRun_ - std::min(zeroRun_, zeroTail));
    zeroRun_ = 0;
  }

  std::int64_t Records() const { return records_; }
  const TChannelStats& Channel(int c) const { return channels_[static_cast<std::size_t>(c)]; }
  double Duty(int d) const { return static_cast<double>(set_[static_cast<std::size_t>(d)]) / static_cast<double>(records_); }

 private:
  static void Take(TChannelStats& s, double value, int code) {
    s.MinValue = std::min(s.MinValue, value);
    s.MaxValue = std::max(s.MaxValue, value);
    s.ValueSum += value;
    s.MinCode = std::min(s.MinCode, code);
    s.MaxCode = std::max(s.MaxCode, code);
    s.CodeSum += code;
  }

  void CountZeros(std::int64_t count) {
    if (count <= 0) return;
    static constexpr std::array<std::uint8_t, RecordSize> zero{};
    const TTraceValues values = DecodeTraceValues(TSampleRecord(zero));
    for (int c = 0; c < AnalogChannels; ++c) {
      TChannelStats& s = channels_[static_cast<std::size_t>(c)];
      Take(s, values[static_cast<std::size_t>(c)], ChannelCode(TSampleRecord(zero), c));
      s.ValueSum += values[static_cast<std::size_t>(c)] * static_cast<double>(count - 1);
      s.CodeSum += static_cast<std::int64_t>(ChannelCode(TSampleRecord(zero), c)) * (count - 1);
    }
    records_ += count;
  }

  std::array<TChannelStats, AnalogChannels> channels_{};
  std::array<std::int64_t, DigitalInputs> set_{};
  std::int64_t records_ = 0;
  std::int64_t zeroRun_ = 0;
};

}  // namespace

int Info(const std::filesystem::path& file) {
  try {
    TRecordingReader reader(file);
    const std::int64_t zeroTail = reader.ZeroTailRecords();
    const TRecordTimes times = TRecordTimes::Load(file);
    // The index knows the padding exactly, zero samples at the end of the data included.
    const auto real = times.RealRecords();
    const std::int64_t padding = real ? reader.Records() - *real : zeroTail;
    TStatistics stats;
    reader.SeekRecord(0);
    for (auto chunk = reader.Next(reader.Records()); !chunk.empty(); chunk = reader.Next(reader.Records()))
      for (std::size_t at = 0; at < chunk.size(); at += RecordSize) stats.Add(chunk.data() + at);
    stats.Finish(padding);

    const long long size = reader.Size();
    const long long pageRest = size % static_cast<long long>(PageSize);
    std::printf("file: %s\n", file.c_str());
    std::printf("size: %lld bytes\n", size);
    std::printf("whole pages: %lld\n", static_cast<long long>(reader.WholePages()));
    if (pageRest == 0) {
      std::printf("whole number of pages: yes\n");
    } else {
      std::printf("whole number of pages: no (%lld bytes past the last whole page)\n", pageRest);
    }
    std::printf("records: %lld\n", static_cast<long long>(reader.Records()));
    if (reader.PartialRecordBytes() == 0) {
      std::printf("whole number of records: yes\n");
    } else {
      std::printf("whole number of records: no (a partial record of %lld bytes at the end, not counted)\n",
                  static_cast<long long>(reader.PartialRecordBytes()));
    }
    std::printf("zero tail: %lld all-zero records at the end of the last page\n", static_cast<long long>(zeroTail));
    PrintTimes(file, times, zeroTail);
    if (stats.Records() == 0) {
      std::printf("statistics: no records besides the %s\n", real ? "padding" : "zero tail");
      return 0;
    }
    std::printf("statistics over %lld records, the %s left out:\n", static_cast<long long>(stats.Records()),
                real ? "padding" : "zero tail");
    std::printf("channel       min       max       mean  min code  max code  mean code\n");
    const double n = static_cast<double>(stats.Records());
    for (int c = 0; c < AnalogChannels; ++c) {
      const TChannelStats& s = stats.Channel(c);
      std::printf("%7d %9.2f %9.2f %10.4f %9d %9d %10.2f\n", c + 1, s.MinValue, s.MaxValue, s.ValueSum / n, s.MinCode,
                  s.MaxCode, static_cast<double>(s.CodeSum) / n);
    }
    std::printf("input   duty cycle\n");
    for (int d = 0; d < DigitalInputs; ++d) std::printf("     d%d %10.4f\n", d + 1, stats.Duty(d));
    return 0;  // whether the text reached standard output is checked on the way out
  } catch (const TFileError& e) {
    std::fprintf(stderr, "ninetrace-cli info: %s\n", e.what());
    return 1;
  }
}

}  // namespace ninetrace::cli
