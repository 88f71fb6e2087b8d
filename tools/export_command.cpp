#include "export_command.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <csignal>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "output_guard.h"
#include "platform/atomic_file.h"
#include "platform/file_descriptor.h"
#include "platform/process_signals.h"
#include "progress_line.h"
#include "recording/export_time.h"
#include "recording/indexed_time_columns.h"
#include "recording/record_times.h"
#include "recording/recording_reader.h"
#include "simulator.h"

namespace ninetrace::cli {

namespace {

constexpr int AnalogChannels = 5;
constexpr int DigitalInputs = 4;
constexpr int CodeCount = 1024;

constexpr char HeaderIndex[] = "record";
constexpr char HeaderFields[] = ",ch1,ch2,ch3,ch4,ch5,code1,code2,code3,code4,code5,d1,d2,d3,d4\n";

// A CSV field with its leading comma, padded so it is always copied as one 8-byte block.
struct TCell {
  std::array<char, 8> Text{};
  std::size_t Length = 0;
};

// Every field a record can produce, formatted once: a row is then a few fixed-size copies, with
// no number formatting and no allocation per row. The texts come from the decoding the traces
// use (the same for every channel), so the CSV shows exactly what the window plots.
struct TFieldTables {
  std::array<TCell, CodeCount> Value;              // ",255.75"
  std::array<TCell, CodeCount> Code;               // ",1023"
  std::array<std::array<char, 16>, 16> Digital{};  // ",0,1,0,1\n" for the four inputs as bits 0..3
  static constexpr std::size_t DigitalLength = 2 * DigitalInputs + 1;

  TFieldTables() {
    for (int code = 0; code < CodeCount; ++code) {
      const simulator::TRecordBytes bytes = simulator::PackRecord({code, code, code, code, code}, 0);
      Value[static_cast<std::size_t>(code)] = Format(DecodeTraceValues(TSampleRecord(bytes))[0]);
      Code[static_cast<std::size_t>(code)] = Format(ChannelCode(TSampleRecord(bytes), 0));
    }
    for (unsigned bits = 0; bits < 16; ++bits) {
      const simulator::TRecordBytes bytes = simulator::PackRecord({0, 0, 0, 0, 0}, bits);
      char* out = Digital[bits].data();
      for (int d = 0; d < DigitalInputs; ++d) {
        *out++ = ',';
        *out++ = static_cast<char>('0' + DigitalBit(TSampleRecord(bytes), d));
      }
      *out = '\n';
    }
  }

  template <class T>
  static TCell Format(T number) {
    TCell cell;
    cell.Text[0] = ',';
    const auto result = std::to_chars(cell.Text.data() + 1, cell.Text.data() + cell.Text.size(), number);
    cell.Length = static_cast<std::size_t>(result.ptr - cell.Text.data());
    return cell;
  }
};

// The record index as decimal text, counted up in place: cheaper than formatting every row.
class TDecimalCounter {
 public:
  static constexpr std::size_t MaxDigits = 20;

  explicit TDecimalCounter(std::int64_t start) {
    char text[MaxDigits];
    const auto result = std::to_chars(text, text + MaxDigits, start);
    const auto length = static_cast<std::size_t>(result.ptr - text);
    first_ = MaxDigits - length;
    std::memcpy(digits_.data() + first_, text, length);
  }

  // Copies the digits to `out` as one fixed-size block; returns the end of the digits.
  char* CopyTo(char* out) const {
    std::memcpy(out, digits_.data() + first_, MaxDigits);
    return out + (MaxDigits - first_);
  }

  void Increment() {
    std::size_t i = MaxDigits;
    while (i > first_ && digits_[i - 1] == '9') digits_[--i] = '0';
    if (i == first_) {
      digits_[--first_] = '1';  // all nines: one digit more
    } else {
      ++digits_[i - 1];
    }
  }

 private:
  // Digits in [first_, MaxDigits); the rest is slack for the fixed-size copy.
  std::array<char, 2 * MaxDigits> digits_{};
  std::size_t first_ = MaxDigits;
};

// A signal that ends the export before its output is whole.
class TStopped : public std::runtime_error {
 public:
  explicit TStopped(int number) : std::runtime_error(std::string("stopped by SIG") + ::sigabbrev_np(number)) {}
};

// Collects rows and writes them in large blocks; between blocks, a stop signal ends the export.
class TBlockWriter {
 public:
  static constexpr std::size_t BlockSize = 256 * 1024;
  // The longest row, with the slack of its block copies and the time columns.
  static constexpr std::size_t RowRoom = 128 + TTimeColumns::MaxLength;

  TBlockWriter(int fd, std::string name, TStopSignals& stop)
      : fd_(fd), name_(std::move(name)), stop_(stop), buffer_(BlockSize + RowRoom) {}

  char* End() { return end_; }
  void SetEnd(char* end) {
    end_ = end;
    if (end_ >= buffer_.data() + BlockSize) Flush();
  }
  void Append(const char* text, std::size_t length) {
    std::memcpy(end_, text, length);
    SetEnd(end_ + length);
  }

  void Flush() {
    if (const int number = stop_.Take(); number != 0) throw TStopped(number);
    const char* from = buffer_.data();
    while (from < end_) {
      const ssize_t n = ::write(fd_, from, static_cast<std::size_t>(end_ - from));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw std::system_error(n < 0 ? errno : ENOSPC, std::generic_category(), "cannot write " + name_);
      from += n;
    }
    end_ = buffer_.data();
  }

 private:
  int fd_;
  std::string name_;
  TStopSignals& stop_;
  std::vector<char> buffer_;
  char* end_ = buffer_.data();
};

// Either kind of time columns, or none.
struct TTimeWriter {
  TTimeColumns* Estimated = nullptr;
  TIndexedTimeColumns* Indexed = nullptr;
  char* Write(char* out, std::int64_t record) const {
    if (Indexed != nullptr) return Indexed->Write(out, record);
    return Estimated != nullptr ? Estimated->Write(out, record) : out;
  }
};

void WriteRows(TRecordingReader& reader, std::int64_t first, std::int64_t end, TBlockWriter& out, const TTimeWriter& time,
               TProgressLine& progress) {
  static const TFieldTables tables;
  TDecimalCounter index(first);
  std::int64_t recordIndex = first;
  reader.SeekRecord(first);
  for (std::int64_t left = end - first; left > 0;) {
    progress.Update((end - first - left) * static_cast<std::int64_t>(RecordSize), TProgressLine::TClock::now());
    const std::span<const std::uint8_t> chunk = reader.Next(left);
    if (chunk.empty()) break;
    left -= static_cast<std::int64_t>(chunk.size() / RecordSize);
    for (std::size_t at = 0; at < chunk.size(); at += RecordSize) {
      const TSampleRecord record(chunk.data() + at, RecordSize);
      char* row = index.CopyTo(out.End());
      row = time.Write(row, recordIndex);
      ++recordIndex;
      for (int c = 0; c < AnalogChannels; ++c) {
        const TCell& cell = tables.Value[static_cast<std::size_t>(ChannelCode(record, c))];
        std::memcpy(row, cell.Text.data(), cell.Text.size());
        row += cell.Length;
      }
      for (int c = 0; c < AnalogChannels; ++c) {
        const TCell& cell = tables.Code[static_cast<std::size_t>(ChannelCode(record, c))];
        std::memcpy(row, cell.Text.data(), cell.Text.size());
        row += cell.Length;
      }
      unsigned bits = 0;
      for (int d = 0; d < DigitalInputs; ++d) bits |= static_cast<unsigned>(DigitalBit(record, d)) << d;
      std::memcpy(row, tables.Digital[bits].data(), tables.Digital[bits].size());
      out.SetEnd(row + TFieldTables::DigitalLength);
      index.Increment();
    }
  }
}

// Says on standard error when a name read for its start time lay in the hour the clocks skipped.
void SaySkippedStart(const std::filesystem::path& recording, const std::optional<std::time_t>& start) {
  std::tm local{};
  char moment[32] = {};
  ::localtime_r(&*start, &local);
  std::strftime(moment, sizeof moment, "%Y-%m-%dT%H:%M:%S", &local);
  std::fprintf(stderr,
               "ninetrace-cli export: the start time in the name %s does not exist in the local time zone (the "
               "clocks went forward then); it is read as %s, the same moment after the change\n",
               recording.filename().c_str(), moment);
}

// --time: from the index when there is one, else estimated from the name; says what is missing.
void ChooseTimeColumns(const std::filesystem::path& file, const TRecordTimes& times, std::int64_t end,
                       std::optional<TTimeColumns>& estimated, std::optional<TIndexedTimeColumns>& indexed) {
  if (times.FromIndex()) {
    indexed.emplace(times);
    if (times.IndexedPages() * static_cast<std::int64_t>(RecordsPerPage) < end)
      std::fprintf(stderr,
                   "ninetrace-cli export: the index of %s describes %lld pages; the times of the records after them "
                   "are extrapolated at the measured rate\n",
                   file.filename().c_str(), static_cast<long long>(times.IndexedPages()));
    return;
  }
  bool skipped = false;
  const std::optional<std::time_t> start = StartTimeFromName(file, &skipped);
  if (skipped) SaySkippedStart(file, start);
  estimated.emplace(start);
  if (!estimated->HasWallClock())
    std::fprintf(stderr,
                 "ninetrace-cli export: %s is not named \"yymmdd hhnnss.bin\", so its start time is unknown: "
                 "only the seconds column is written\n",
                 file.filename().c_str());
}

}  // namespace

int Export(const TExportOptions& options) {
  // A signal, a full disk or any failure leaves the output file as it was: the rows go to a
  // temporary file that takes the output's name only once the last row is in.
  std::optional<TAtomicFile> file;
  const auto leftAsItWas = [&] {
    return file && file->Replaces() ? "; " + options.Output.string() + " is left as it was" : std::string();
  };
  try {
    TStopSignals stop;
    TRecordingReader reader(options.File);
    const std::int64_t pages = reader.Pages();
    if (options.FromPage > std::max<std::int64_t>(pages, 1)) {
      std::fprintf(stderr, "ninetrace-cli export: --from-page %lld is past the end: %s has %lld pages\n",
                   static_cast<long long>(options.FromPage), options.File.c_str(), static_cast<long long>(pages));
      return 2;
    }
    const std::int64_t perPage = static_cast<std::int64_t>(RecordsPerPage);
    const std::int64_t first = (options.FromPage - 1) * perPage;
    const std::int64_t lastPage = options.ToPage > 0 ? std::min(options.ToPage, pages) : pages;
    const TRecordTimes times = TRecordTimes::Load(options.File);
    std::int64_t end = std::min(lastPage * perPage, reader.Records());
    // The index knows where the records end and the padding written on stopping begins.
    if (const auto real = times.RealRecords(); real && !options.KeepPadding) end = std::max(first, std::min(end, *real));

    const TInput input{reader.Identity(), options.File};
    int fd = STDOUT_FILENO;
    std::string outputName = "standard output";
    if (options.Output.empty()) {
      CheckStandardOutputIsNot(input);
    } else {
      CheckOutputIsNot(options.Output, input);
      file.emplace(options.Output);
      fd = file->Fd();
      outputName = options.Output.string();
    }
    std::optional<TTimeColumns> time;
    std::optional<TIndexedTimeColumns> indexed;
    if (options.Time) ChooseTimeColumns(options.File, times, end, time, indexed);
    TBlockWriter out(fd, outputName, stop);
    out.Append(HeaderIndex, sizeof HeaderIndex - 1);
    if (time) out.Append(time->Header(), std::strlen(time->Header()));
    if (indexed) out.Append(TIndexedTimeColumns::Header, std::strlen(TIndexedTimeColumns::Header));
    out.Append(HeaderFields, sizeof HeaderFields - 1);
    const std::int64_t bytes = (end - first) * static_cast<std::int64_t>(RecordSize);
    TProgressLine progress(stderr, ::isatty(STDERR_FILENO) == 1, "export", bytes, TProgressLine::TClock::now());
    WriteRows(reader, first, end, out, {time ? &*time : nullptr, indexed ? &*indexed : nullptr}, progress);
    out.Flush();
    if (file) file->Commit();
    progress.Finish(TProgressLine::TClock::now());
    if (end == reader.Records() && reader.PartialRecordBytes() > 0)
      std::fprintf(stderr, "ninetrace-cli export: skipped the partial record of %lld bytes at the end of %s\n",
                   static_cast<long long>(reader.PartialRecordBytes()), options.File.c_str());
    return 0;
  } catch (const std::runtime_error& e) {  // the input, or the output: cannot be opened or written, or is the input
    std::fprintf(stderr, "ninetrace-cli export: %s%s\n", e.what(), leftAsItWas().c_str());
  }
  return 1;
}

}  // namespace ninetrace::cli
