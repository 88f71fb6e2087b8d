// The summary's cache file: believed only while it describes the recording as it is, whether it
// was written page by page while recording or built afterwards.
#include "recording/summary_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <random>

#include "../platform/test_files.h"
#include "platform/file_descriptor.h"
#include "recording/summary_builder.h"

using namespace ninetrace;
using ninetrace::testing::ReadWholeFile;
using ninetrace::testing::TTempDirectory;

namespace {

using TBytes = std::vector<std::uint8_t>;

TBytes RandomPages(std::int64_t pages, std::uint32_t seed) {
  std::mt19937 rng(seed);
  TBytes bytes(static_cast<std::size_t>(pages * SummaryPageBytes));
  // Runs of narrow noise, so blocks differ in their lows and highs but do not all span 0..1023.
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>((i / 9000 * 37 + rng() % 16) & 0xFF);
  return bytes;
}

void WriteFile(const std::filesystem::path& path, const TBytes& bytes, int flags = O_TRUNC) {
  const TFileDescriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | flags, 0644));
  ASSERT_TRUE(fd.IsOpen());
  ASSERT_EQ(::write(fd.Get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

TRecordingStamp Stamp(const std::filesystem::path& path) {
  const TFileDescriptor fd(::open(path.c_str(), O_RDONLY));
  return StampOf(fd.Get()).value();
}

TRecordingSummary Build(const std::filesystem::path& path) {
  const TFileDescriptor fd(::open(path.c_str(), O_RDONLY));
  TSummaryBuilder builder(fd.Get(), Stamp(path).Size, path.string());
  while (!builder.Step(3 * SummaryPageBytes)) {
  }
  return builder.Take();
}

bool SameSummary(const TRecordingSummary& a, const TRecordingSummary& b) {
  for (int level = 0; level < TRecordingSummary::Levels; ++level)
    if (a.Level(level) != b.Level(level)) return false;
  return a.Pages() == b.Pages();
}

// Flips one bit of a file at `offset` (from the end when negative).
void FlipBit(const std::filesystem::path& path, std::int64_t offset) {
  TBytes bytes = ReadWholeFile(path);
  bytes[static_cast<std::size_t>(offset < 0 ? static_cast<std::int64_t>(bytes.size()) + offset : offset)] ^= 0x10;
  WriteFile(path, bytes);
}

TEST(SummaryFile, IsBelievedOnlyWhileItDescribesTheRecording) {
  struct TRow {
    const char* Name;
    std::function<void(const std::filesystem::path& recording, const std::filesystem::path& summary)> Change;
    bool Believed;
  };
  const std::vector<TRow> rows = {
      {"untouched", [](auto&, auto&) {}, true},
      {"the recording grew by a page", [](auto& r, auto&) { WriteFile(r, RandomPages(1, 9), O_APPEND); }, false},
      {"the recording was cut to fewer pages", [](auto& r, auto&) { std::filesystem::resize_file(r, 5 * SummaryPageBytes); }, false},
      {"the recording was rewritten, same size", [](auto& r, auto&) {
         TBytes b = ReadWholeFile(r);
         b[100] ^= 1;
         WriteFile(r, b);
       }, false},
      {"another recording under the name", [](auto& r, auto&) {
         const auto copy = r.parent_path() / "copy";
         std::filesystem::copy_file(r, copy);
         std::filesystem::rename(copy, r);
       }, false},
      {"a bit flipped in a block", [](auto&, auto& s) { FlipBit(s, 64 + 16 * 20 + 3); }, false},
      {"a bit flipped in the header's check", [](auto&, auto& s) { FlipBit(s, 60); }, false},
      {"another version", [](auto&, auto& s) { FlipBit(s, 8); }, false},
      {"torn: the last block missing", [](auto&, auto& s) { std::filesystem::resize_file(s, std::filesystem::file_size(s) - 16); }, false},
      {"empty", [](auto&, auto& s) { std::filesystem::resize_file(s, 0); }, false},
  };
  for (const TRow& row : rows) {
    TTempDirectory dir;
    const auto recording = dir / "rec.bin";
    // 35 pages: two blocks of 16 pages above them, and pages left over.
    WriteFile(recording, RandomPages(35, 1));
    const TRecordingSummary built = Build(recording);
    const auto summary = SummaryPathFor(recording);
    ASSERT_TRUE(SaveSummary(summary, built, Stamp(recording)));
    row.Change(recording, summary);
    const std::optional<TRecordingSummary> loaded = LoadSummary(summary, Stamp(recording));
    EXPECT_EQ(loaded.has_value(), row.Believed) << row.Name;
    if (loaded) {
      EXPECT_TRUE(SameSummary(*loaded, built)) << row.Name;
    }
  }
}

// Written page by page as the recorder writes, the summary equals one built afterwards; a page
// that reached the recording without its summary (a crash between the two) makes it stale.
// Every form of the scan loop finds each channel's extreme wherever it lies in a run of any
// length, the last record included (the wide forms read past a record and stop short of the end).
TEST(SummaryFile, EveryScanWidthFindsTheExtremesOfEveryRecord) {
  std::mt19937 rng(4);
  for (const std::int64_t count : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 30, 1000}) {
    // Codes in a narrow band, inputs all set but one bit somewhere.
    TBytes records(static_cast<std::size_t>(count * SummaryRecordBytes));
    for (std::size_t i = 0; i < records.size(); ++i) records[i] = static_cast<std::uint8_t>(i % 7 < 5 ? 100 + rng() % 8 : 0xFF);
    for (std::int64_t at = 0; at < count; at += count > 30 ? 37 : 1)
      for (std::size_t c = 0; c < 5; ++c)
        for (const int code : {0, 1023, 401, 406}) {
          TBytes planted = records;
          std::uint8_t* r = planted.data() + at * SummaryRecordBytes;
          r[c] = static_cast<std::uint8_t>(code >> 2);
          std::uint8_t& low = r[c < 4 ? 5 : 6];
          const int shift = c < 4 ? static_cast<int>(2 * c) : 4;
          low = static_cast<std::uint8_t>((low & ~(3 << shift)) | (code & 3) << shift);
          r[6] = static_cast<std::uint8_t>(r[6] & ~(1 << (c % 4)));
          const TBlockSummary plain = SummariseRecords(planted.data(), count, TScanWidth::Plain);
          if (code < 403) {  // the band's codes are 403..431
            EXPECT_EQ(plain.Low[c], code);
          } else if (code > 431) {
            EXPECT_EQ(plain.High[c], code);
          }
          EXPECT_EQ(plain.Ands, 0x0F & ~(1 << (c % 4)));
          for (const TScanWidth width : {TScanWidth::Sse2, TScanWidth::Widest})
            ASSERT_EQ(SummariseRecords(planted.data(), count, width), plain) << count << " " << at << " " << c << " " << code;
        }
  }
}

TEST(SummaryFile, WrittenWhileRecordingEqualsBuiltAfterwards) {
  TTempDirectory dir;
  const auto recording = dir / "rec.bin";
  const TBytes pages = RandomPages(4'100, 2);
  const TFileDescriptor fd(::open(recording.c_str(), O_RDWR | O_CREAT | O_EXCL, 0644));
  TSummaryWriter writer;
  writer.Start(recording);
  EXPECT_FALSE(std::filesystem::exists(SummaryPathFor(recording)));  // nothing before the first page
  for (std::int64_t p = 0; p < 4'100; ++p) {
    const std::uint8_t* page = pages.data() + p * SummaryPageBytes;
    ASSERT_EQ(::write(fd.Get(), page, SummaryPageBytes), SummaryPageBytes);
    writer.AppendPage(page, fd.Get());
  }
  const std::optional<TRecordingSummary> live = LoadSummary(SummaryPathFor(recording), Stamp(recording));
  ASSERT_TRUE(live.has_value());
  EXPECT_TRUE(SameSummary(*live, Build(recording)));
  EXPECT_EQ(live->Level(3).size(), 1u);
  // The summary is a small part of the recording.
  EXPECT_LT(std::filesystem::file_size(SummaryPathFor(recording)) * 200, std::filesystem::file_size(recording));

  ASSERT_EQ(::write(fd.Get(), pages.data(), SummaryPageBytes), SummaryPageBytes);
  EXPECT_FALSE(LoadSummary(SummaryPathFor(recording), Stamp(recording)).has_value());
}

TEST(SummaryFile, AFolderThatCannotBeWrittenKeepsNoSummary) {
  TRecordingSummary summary;
  summary.AddPage(SummariseRecords(RandomPages(1, 3).data(), SummaryPageRecords));
  EXPECT_FALSE(SaveSummary("/proc/ninetrace-no-such-folder/rec.bin.summary", summary, TRecordingStamp{}));
}

}  // namespace
