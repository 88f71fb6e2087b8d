#include "recording/csv_rows.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

namespace ninetrace {

namespace {

constexpr int AnalogChannels = 5;
constexpr int DigitalInputs = 4;
constexpr int CodeCount = 1024;

constexpr char HeaderIndex[] = "record";
constexpr char HeaderFields[] = ",ch1,ch2,ch3,ch4,ch5,code1,code2,code3,code4,code5,d1,d2,d3,d4\n";

// A CSV field with its leading comma, padded so it is always copied as one fixed-size block.
template <std::size_t Size>
struct TCell {
  std::array<char, Size> Text{};
  std::size_t Length = 0;
};
using TValueCell = TCell<32>;  // room for any scaled value
using TCodeCell = TCell<8>;

// Every field a record can produce, formatted once: a row is then a few fixed-size copies, with
// no number formatting and no allocation per row. A plain channel's value is the plotted value,
// code / 4 (0..255.75), so the CSV shows exactly what the window plots; a scaled channel has its
// own table.
struct TFieldTables {
  std::array<std::array<TValueCell, CodeCount>, AnalogChannels> Value;  // ",255.75" or ",46.2"
  std::array<TCodeCell, CodeCount> Code;                               // ",1023"
  std::array<std::array<char, 16>, 16> Digital{};  // ",0,1,0,1\n" for the four inputs as bits 0..3
  static constexpr std::size_t DigitalLength = 2 * DigitalInputs + 1;

  explicit TFieldTables(const TChannelScales& channels) {
    for (int code = 0; code < CodeCount; ++code) {
      const auto c = static_cast<std::size_t>(code);
      for (std::size_t ch = 0; ch < AnalogChannels; ++ch)
        Value[ch][c] = channels[ch].Scaled ? Scaled(channels[ch].Value(code)) : Format<TValueCell>(code / 4.0);
      Code[c] = Format<TCodeCell>(code);
    }
    for (unsigned bits = 0; bits < 16; ++bits) {
      char* out = Digital[bits].data();
      for (unsigned d = 0; d < DigitalInputs; ++d) {
        *out++ = ',';
        *out++ = static_cast<char>('0' + ((bits >> d) & 1));
      }
      *out = '\n';
    }
  }

  template <class Cell, class T>
  static Cell Format(T number) {
    Cell cell;
    cell.Text[0] = ',';
    const auto result = std::to_chars(cell.Text.data() + 1, cell.Text.data() + cell.Text.size(), number);
    cell.Length = static_cast<std::size_t>(result.ptr - cell.Text.data());
    return cell;
  }

  // Six decimals at most, without the locale; a value too long for that in its shortest form.
  static TValueCell Scaled(double value) {
    const std::string text = FormatDecimal(value);
    if (text.size() + 1 > TValueCell{}.Text.size()) return Format<TValueCell>(value);
    TValueCell cell;
    cell.Text[0] = ',';
    std::memcpy(cell.Text.data() + 1, text.data(), text.size());
    cell.Length = text.size() + 1;
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

// Collects rows and writes them in large blocks.
class TBlockWriter {
 public:
  static constexpr std::size_t BlockSize = 256 * 1024;
  // The longest row, with the slack of its block copies and the time columns.
  static constexpr std::size_t RowRoom = 512 + TCsvTime::MaxLength;

  TBlockWriter(int fd, std::string name) : fd_(fd), name_(std::move(name)), buffer_(BlockSize + RowRoom) {}

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
  std::vector<char> buffer_;
  char* end_ = buffer_.data();
};

// `time` writes nothing without --time.
void WriteRows(TRecordingReader& reader, std::int64_t first, std::int64_t end, TBlockWriter& out, const TCsvTime& time,
               const TFieldTables& tables, const TCsvProgress& progress) {
  TDecimalCounter index(first);
  std::int64_t recordIndex = first;
  reader.SeekRecord(first);
  for (std::int64_t left = end - first; left > 0;) {
    if (progress) progress((end - first - left) * static_cast<std::int64_t>(RecordSize));
    const std::span<const std::uint8_t> chunk = reader.Next(left);
    if (chunk.empty()) break;
    left -= static_cast<std::int64_t>(chunk.size() / RecordSize);
    for (std::size_t at = 0; at < chunk.size(); at += RecordSize) {
      const TSampleRecord record(chunk.data() + at, RecordSize);
      char* row = index.CopyTo(out.End());
      row = time.Write(row, recordIndex);
      ++recordIndex;
      for (int c = 0; c < AnalogChannels; ++c) {
        const TValueCell& cell = tables.Value[static_cast<std::size_t>(c)][static_cast<std::size_t>(ChannelCode(record, c))];
        std::memcpy(row, cell.Text.data(), cell.Text.size());
        row += cell.Length;
      }
      for (int c = 0; c < AnalogChannels; ++c) {
        const TCodeCell& cell = tables.Code[static_cast<std::size_t>(ChannelCode(record, c))];
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

}  // namespace

std::string CsvHeader(const TChannelScales& channels, const TCsvTime& time) {
  std::string header = HeaderIndex;
  header += time.Header();
  if (!ChannelsCustomised(channels)) return header + HeaderFields;
  // Appended piece by piece: string concatenation here trips a false -Wrestrict in GCC 12.
  for (std::size_t c = 0; c < AnalogChannels; ++c) header.append(",").append(channels[c].Label());
  for (std::size_t c = 0; c < AnalogChannels; ++c) header.append(",").append(channels[c].Name).append(" code");
  for (std::size_t d = 0; d < DigitalInputs; ++d) header.append(",").append(channels[AnalogChannels + d].Name);
  return header.append("\n");
}

void WriteCsv(TRecordingReader& reader, std::int64_t first, std::int64_t end, int fd, const std::string& outputName,
              const TChannelScales& channels, const TCsvTime& time, const TCsvProgress& progress) {
  static const TFieldTables plain(DefaultChannelScales());
  const bool custom = ChannelsCustomised(channels);
  std::unique_ptr<TFieldTables> own = custom ? std::make_unique<TFieldTables>(channels) : nullptr;
  TBlockWriter out(fd, outputName);
  const std::string header = CsvHeader(channels, time);
  out.Append(header.data(), header.size());
  WriteRows(reader, first, end, out, time, custom ? *own : plain, progress);
  out.Flush();
}

}  // namespace ninetrace
