// The recording reader behind `info` and `export` on any file contents and size: records and
// pages counted from the size, every record read exactly once, the zero tail, and the CSV of a
// page range row for row against the bytes.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export_command.h"
#include "fuzz_input.h"
#include "info_command.h"
#include "recording/index_format.h"
#include "recording/indexed_time_columns.h"
#include "recording/record_times.h"
#include "recording/recording_reader.h"

using namespace ninetrace;

namespace {

std::filesystem::path folder;

std::int64_t ModelZeroTail(std::span<const std::uint8_t> file) {
  const auto records = static_cast<std::int64_t>(file.size() / RecordSize);
  if (records == 0) return 0;
  const std::int64_t pageStart = (records - 1) / static_cast<std::int64_t>(RecordsPerPage) * static_cast<std::int64_t>(RecordsPerPage);
  std::int64_t zeros = 0;
  for (std::int64_t r = records - 1; r >= pageStart; --r) {
    bool zero = true;
    for (std::size_t b = 0; b < RecordSize; ++b) zero = zero && file[static_cast<std::size_t>(r) * RecordSize + b] == 0;
    if (!zero) break;
    ++zeros;
  }
  return zeros;
}

std::int64_t Raw64(fuzz::TFuzzInput& in) {
  std::uint64_t raw = 0;
  for (int i = 0; i < 8; ++i) raw = raw << 8 | in.Byte();
  return static_cast<std::int64_t>(raw);
}

// An index with any values in checksummed entries, made from the same bytes: what a damaged or
// hostile index can hold, and sometimes a torn last entry.
void WriteIndex(const std::filesystem::path& recording, std::span<const std::uint8_t> bytes) {
  fuzz::TFuzzInput in(bytes.data(), bytes.size());
  std::ofstream out(IndexPathFor(recording), std::ios::binary | std::ios::trunc);
  const auto header = EncodeIndexHeader();
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  const int entries = in.Byte() % 8;
  std::int64_t page = 0;
  for (int e = 0; e < entries; ++e) {
    const auto stamp = [&] { return TStamp{Raw64(in), Raw64(in), static_cast<std::int32_t>(Raw64(in))}; };
    TIndexBlock block{};
    if (in.Byte() % 3 != 0) {
      TPageEntry p;
      p.Page = page++;
      p.First = stamp();
      p.Last = stamp();
      p.RealRecords = static_cast<std::int32_t>(Raw64(in) % 1200);
      p.BytesSkipped = Raw64(in);
      block = EncodeEntry(p);
    } else {
      TIndexEvent event;
      event.Kind = static_cast<TIndexEntryKind>(2 + in.Byte() % 3);
      event.At = stamp();
      event.Reason = static_cast<TStopReason>(in.Byte());
      event.JumpNanoseconds = Raw64(in);
      block = EncodeEntry(event);
    }
    const std::size_t keep = e + 1 == entries && in.Bool() ? in.Byte() % IndexEntrySize : IndexEntrySize;
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(keep));
  }
}

// "index,v1..v5,c1..c5,d1..d4" as the bytes of record `index` give it.
std::string ModelRow(std::span<const std::uint8_t> file, std::int64_t index) {
  const std::uint8_t* r = file.data() + index * static_cast<std::int64_t>(RecordSize);
  int c[5];
  for (int k = 0; k < 4; ++k) c[k] = r[k] << 2 | ((r[5] >> (2 * k)) & 3);
  c[4] = r[4] << 2 | ((r[6] >> 4) & 3);
  // One formatting call: string concatenation here trips a false -Wrestrict in GCC 12.
  char row[160];
  std::snprintf(row, sizeof row, "%lld,%g,%g,%g,%g,%g,%d,%d,%d,%d,%d,%d,%d,%d,%d", static_cast<long long>(index),
                c[0] / 4.0, c[1] / 4.0, c[2] / 4.0, c[3] / 4.0, c[4] / 4.0, c[0], c[1], c[2], c[3], c[4], r[6] & 1,
                (r[6] >> 1) & 1, (r[6] >> 2) & 1, (r[6] >> 3) & 1);
  return row;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  folder = std::filesystem::temp_directory_path() / ("ninetrace-fuzz-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  // info prints its summary; the fuzzer's own output goes to stderr.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) return 1;
  return 0;
}

// Input: --from-page and --to-page choices, then the file's contents.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::TFuzzInput in(data, size);
  const std::int64_t fromChoice = in.Byte() % 8, toChoice = in.Byte() % 8;
  const std::span<const std::uint8_t> file = in.Rest();
  const std::filesystem::path name = folder / "recording.bin";
  {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  }
  std::filesystem::remove(IndexPathFor(name));  // the one the run before wrote

  const auto records = static_cast<std::int64_t>(file.size() / RecordSize);
  {
    TRecordingReader reader(name);
    FUZZ_CHECK(reader.Size() == static_cast<std::int64_t>(file.size()), "size %lld", static_cast<long long>(reader.Size()));
    FUZZ_CHECK(reader.Records() == records, "records %lld", static_cast<long long>(reader.Records()));
    FUZZ_CHECK(reader.Records() * 7 + reader.PartialRecordBytes() == reader.Size(), "partial record");
    FUZZ_CHECK(reader.Pages() == (records + 999) / 1000, "pages %lld", static_cast<long long>(reader.Pages()));
    FUZZ_CHECK(reader.ZeroTailRecords() == ModelZeroTail(file), "zero tail");
    reader.SeekRecord(0);
    std::int64_t seen = 0;
    for (auto chunk = reader.Next(records); !chunk.empty(); chunk = reader.Next(records)) {
      FUZZ_CHECK(chunk.size() % RecordSize == 0, "chunk of %zu bytes", chunk.size());
      FUZZ_CHECK(std::equal(chunk.begin(), chunk.end(), file.begin() + seen * 7), "bytes of record %lld differ",
                 static_cast<long long>(seen));
      seen += static_cast<std::int64_t>(chunk.size() / RecordSize);
    }
    FUZZ_CHECK(seen == records, "read %lld of %lld records", static_cast<long long>(seen), static_cast<long long>(records));
  }
  FUZZ_CHECK(cli::Info(name) == 0, "info failed");

  const std::int64_t pages = (records + 999) / 1000;
  cli::TExportOptions options;
  options.File = name;
  options.FromPage = 1 + fromChoice % (pages + 2);
  options.ToPage = toChoice % (pages + 2);
  options.Output = folder / "out.csv";
  const int status = cli::Export(options);
  if (options.FromPage > std::max<std::int64_t>(pages, 1)) {
    FUZZ_CHECK(status == 2, "export past the end gave %d", status);
    return 0;
  }
  FUZZ_CHECK(status == 0, "export gave %d", status);
  const std::int64_t first = (options.FromPage - 1) * 1000;
  const std::int64_t last = options.ToPage > 0 ? std::min(options.ToPage, pages) : pages;
  const std::int64_t end = std::min(last * 1000, records);
  std::ifstream csv(options.Output);
  std::string line;
  std::getline(csv, line);
  FUZZ_CHECK(line.rfind("record,", 0) == 0, "header %s", line.c_str());
  std::int64_t index = first;
  while (std::getline(csv, line)) {
    FUZZ_CHECK(index < end, "row %lld beyond the range", static_cast<long long>(index));
    const std::string want = ModelRow(file, index);
    FUZZ_CHECK(line == want, "row %s, the bytes give %s", line.c_str(), want.c_str());
    ++index;
  }
  FUZZ_CHECK(index == std::max(first, end), "%lld rows, want %lld", static_cast<long long>(index - first),
             static_cast<long long>(std::max<std::int64_t>(0, end - first)));

  // The same recording beside an index of any contents: times for every record asked, the
  // padding it claims left out of the export, and nothing that info or export cannot survive.
  WriteIndex(name, file);
  const TRecordTimes times = TRecordTimes::Load(name);
  const auto real = times.RealRecords();
  FUZZ_CHECK(!real || (*real >= 0 && *real <= records), "real records %lld of %lld", static_cast<long long>(*real),
             static_cast<long long>(records));
  for (const std::int64_t k : {std::int64_t{0}, std::int64_t{999}, std::int64_t{1000}, records - 1, records, records + 5}) {
    if (const auto at = times.At(k)) FUZZ_CHECK(!IsoTimeText(*at).empty(), "no text for record %lld", static_cast<long long>(k));
    (void)times.SecondsSinceStart(k);
  }
  FUZZ_CHECK(cli::Info(name) == 0, "info with an index failed");
  options.Time = true;
  FUZZ_CHECK(cli::Export(options) == 0, "export with an index failed");
  const std::int64_t kept = real ? std::max(first, std::min(end, *real)) : std::max(first, end);
  std::ifstream timed(options.Output);
  std::int64_t rows = -1;
  while (std::getline(timed, line)) ++rows;
  FUZZ_CHECK(rows == kept - first, "%lld rows with an index, want %lld", static_cast<long long>(rows),
             static_cast<long long>(kept - first));
  return 0;
}
