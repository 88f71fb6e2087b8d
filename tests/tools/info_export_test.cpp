// info and export on recordings made here, whose every record is known.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <sstream>

#include "../platform/test_files.h"
#include "acquisition/recorder.h"
#include "chart/axis_panel.h"
#include "cli_run.h"
#include "platform/serial_pty.h"
#include "recording/indexed_time_columns.h"
#include "recording/record_times.h"
#include "recordings.h"

using namespace ninetrace;
using namespace ninetrace::testing;

namespace {

namespace fs = std::filesystem;

// The text after "key: " on the line starting with it.
std::string Field(const std::string& text, const std::string& key) {
  const auto at = text.find("\n" + key + ": ");
  if (at == std::string::npos) return "(no " + key + ")";
  const auto from = at + key.size() + 3;
  return text.substr(from, text.find('\n', from) - from);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// What info must print for `data` test records followed by `zeros` all-zero samples.
struct TExpectedStats {
  std::array<int, 5> MinCode{1023, 1023, 1023, 1023, 1023}, MaxCode{};
  std::array<double, 5> MeanCode{};
  std::array<double, 4> Duty{};

  TExpectedStats(std::int64_t data, std::int64_t zeros) {
    for (std::int64_t n = 0; n < data; ++n) {
      const auto codes = TestCodes(n);
      for (std::size_t c = 0; c < 5; ++c) {
        MinCode[c] = std::min(MinCode[c], codes[c]);
        MaxCode[c] = std::max(MaxCode[c], codes[c]);
        MeanCode[c] += codes[c];
      }
      for (std::size_t d = 0; d < 4; ++d) Duty[d] += (TestDigital(n) >> d) & 1;
    }
    if (zeros > 0) MinCode.fill(0);
    const auto total = static_cast<double>(data + zeros);
    for (double& m : MeanCode) m /= total;
    for (double& d : Duty) d /= total;
  }
};

void ExpectStatistics(const std::string& info, const TExpectedStats& expected) {
  const std::vector<std::string> lines = Lines(info);
  auto row = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("channel", 0) == 0; });
  ASSERT_NE(row, lines.end()) << info;
  for (std::size_t c = 0; c < 5; ++c) {
    ASSERT_NE(++row, lines.end());
    std::istringstream in(*row);
    int channel = 0, minCode = 0, maxCode = 0;
    double minValue = 0, maxValue = 0, meanValue = 0, meanCode = 0;
    ASSERT_TRUE(in >> channel >> minValue >> maxValue >> meanValue >> minCode >> maxCode >> meanCode) << *row;
    EXPECT_EQ(channel, static_cast<int>(c + 1));
    EXPECT_EQ(minCode, expected.MinCode[c]) << *row;
    EXPECT_EQ(maxCode, expected.MaxCode[c]) << *row;
    EXPECT_EQ(minValue, expected.MinCode[c] / 4.0) << *row;
    EXPECT_EQ(maxValue, expected.MaxCode[c] / 4.0) << *row;
    EXPECT_NEAR(meanCode, expected.MeanCode[c], 0.006) << *row;
    EXPECT_NEAR(meanValue, expected.MeanCode[c] / 4, 0.0001) << *row;
  }
  ASSERT_NE(++row, lines.end());
  for (std::size_t d = 0; d < 4; ++d) {
    ASSERT_NE(++row, lines.end());
    std::istringstream in(*row);
    std::string input;
    double duty = 0;
    ASSERT_TRUE(in >> input >> duty) << *row;
    const char name[] = {'d', static_cast<char>('1' + d), '\0'};  // not "d" + to_string: a false -Wrestrict in GCC 12
    EXPECT_EQ(input, name);
    EXPECT_NEAR(duty, expected.Duty[d], 0.00006) << *row;
  }
}

// The CSV export must produce, formatted independently: iostream's default notation writes
// quarter steps as 12, 12.25, 12.5, 12.75.
std::string ExpectedCsv(std::int64_t first, std::int64_t end, std::int64_t data) {
  std::ostringstream csv;
  csv << "record,ch1,ch2,ch3,ch4,ch5,code1,code2,code3,code4,code5,d1,d2,d3,d4\n";
  for (std::int64_t n = first; n < end; ++n) {
    const std::array<int, 5> codes = n < data ? TestCodes(n) : std::array<int, 5>{};
    const unsigned digital = n < data ? TestDigital(n) : 0;
    csv << n;
    for (int code : codes) csv << ',' << code / 4.0;
    for (int code : codes) csv << ',' << code;
    for (int d = 0; d < 4; ++d) csv << ',' << ((digital >> d) & 1);
    csv << '\n';
  }
  return csv.str();
}

// Fields [0, fields) of line `line`.
std::string Row(const std::vector<std::string>& lines, std::int64_t line, int fields) {
  const std::string& text = lines.at(static_cast<std::size_t>(line));
  std::size_t end = 0;
  for (int f = 0; f < fields && end != std::string::npos; ++f) end = text.find(',', end + 1);
  return text.substr(0, end);
}

// Compares line by line, so a failure names the first row that differs rather than dumping both.
void ExpectSameLines(const std::string& got, const std::string& expected) {
  const auto a = Lines(got), b = Lines(expected);
  const auto diff = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  if (diff.first != a.end() || diff.second != b.end())
    ADD_FAILURE() << "line " << (diff.first - a.begin()) << ": got \"" << (diff.first != a.end() ? *diff.first : "(end)")
                  << "\", expected \"" << (diff.second != b.end() ? *diff.second : "(end)") << "\"";
}

class CliFiles : public ::testing::Test {
 protected:
  TTempDirectory dir_;
};

TEST_F(CliFiles, InfoOnAStoppedRecordingLeavesTheZeroTailOutOfTheStatistics) {
  const fs::path file = dir_ / "stopped.bin";
  WriteRecording(file, 2250, 750);
  const TCliResult info = RunCli({"info", file}, dir_.Path());
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_EQ(Field(info.Out, "size"), "21000 bytes");
  EXPECT_EQ(Field(info.Out, "whole pages"), "3");
  EXPECT_EQ(Field(info.Out, "whole number of pages"), "yes");
  EXPECT_EQ(Field(info.Out, "records"), "3000");
  EXPECT_EQ(Field(info.Out, "whole number of records"), "yes");
  EXPECT_EQ(Field(info.Out, "zero tail"), "750 all-zero records at the end of the last page");
  EXPECT_NE(info.Out.find("statistics over 2250 records"), std::string::npos) << info.Out;
  ExpectStatistics(info.Out, TExpectedStats(2250, 0));
}

TEST_F(CliFiles, InfoCountsZeroSamplesBeforeTheLastPageAndReportsCutOffEnds) {
  // Zero records ending the first page are samples; only the last page's are padding.
  const fs::path zeros = dir_ / "zeros.bin";
  WriteRecording(zeros, 990, 1010);
  TCliResult info = RunCli({"info", zeros}, dir_.Path());
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_EQ(Field(info.Out, "zero tail"), "1000 all-zero records at the end of the last page");
  ExpectStatistics(info.Out, TExpectedStats(990, 10));

  const fs::path cut = dir_ / "cut.bin";
  WriteRecording(cut, 1500, 0, 3);
  info = RunCli({"info", cut}, dir_.Path());
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_EQ(Field(info.Out, "size"), "10503 bytes");
  EXPECT_EQ(Field(info.Out, "whole pages"), "1");
  EXPECT_EQ(Field(info.Out, "whole number of pages"), "no (3503 bytes past the last whole page)");
  EXPECT_EQ(Field(info.Out, "records"), "1500");
  EXPECT_EQ(Field(info.Out, "whole number of records"), "no (a partial record of 3 bytes at the end, not counted)");
  EXPECT_EQ(Field(info.Out, "zero tail"), "0 all-zero records at the end of the last page");
  ExpectStatistics(info.Out, TExpectedStats(1500, 0));

  const fs::path empty = dir_ / "empty.bin";
  WriteRecording(empty, 0, 0);
  info = RunCli({"info", empty}, dir_.Path());
  ASSERT_EQ(info.Status, 0) << info.Err;
  EXPECT_EQ(Field(info.Out, "records"), "0");
  EXPECT_EQ(Field(info.Out, "statistics"), "no records besides the zero tail");
}

TEST_F(CliFiles, ExportWritesEveryRecordAsTheTracesShowIt) {
  const fs::path file = dir_ / "stopped.bin";
  WriteRecording(file, 2250, 750);
  const TCliResult all = RunCli({"export", file}, dir_.Path());
  ASSERT_EQ(all.Status, 0) << all.Err;
  ExpectSameLines(all.Out, ExpectedCsv(0, 3000, 2250));
  EXPECT_EQ(all.Err, "");

  // Codes at both ends of the range, and each quarter step, in one spot check of the text.
  const fs::path edges = dir_ / "edges.bin";
  {
    std::ofstream out(edges, std::ios::binary);
    const auto r = simulator::PackRecord({0, 1, 2, 1022, 1023}, 0b1010);
    out.write(reinterpret_cast<const char*>(r.data()), static_cast<std::streamsize>(r.size()));
  }
  const TCliResult edge = RunCli({"export", edges}, dir_.Path());
  ASSERT_EQ(edge.Status, 0) << edge.Err;
  EXPECT_EQ(Lines(edge.Out).at(1), "0,0,0.25,0.5,255.5,255.75,0,1,2,1022,1023,0,1,0,1");

  // Named and scaled channels: the header says what each column is, scaled columns carry
  // code x factor + offset (a negative factor, a unit alone), the rest stay as the traces show them.
  const TCliResult scaled = RunCli({"export", edges, "--channel", "A1=Pressure,kPa,0.1,-5", "--channel=a2=Flow,,-2.5",
                                    "--channel", "A4=,V", "--channel", "D2=Pump"},
                                   dir_.Path());
  ASSERT_EQ(scaled.Status, 0) << scaled.Err;
  EXPECT_EQ(Lines(scaled.Out).at(0),
            "record,Pressure [kPa],Flow,A3,A4 [V],A5,Pressure code,Flow code,A3 code,A4 code,A5 code,D1,Pump,D3,D4");
  EXPECT_EQ(Lines(scaled.Out).at(1), "0,-5,-2.5,0.5,1022,255.75,0,1,2,1022,1023,0,1,0,1");
}

TEST_F(CliFiles, ExportPageRangesCountFromOneAsTheWindowDoes) {
  const fs::path file = dir_ / "stopped.bin";
  WriteRecording(file, 2250, 750);
  struct TCase {
    std::vector<std::string> Range;
    std::int64_t First, End;
  };
  for (const TCase& c : std::vector<TCase>{{{"--from-page", "2", "--to-page", "2"}, 1000, 2000},
                                           {{"--from-page", "3"}, 2000, 3000},
                                           {{"--to-page", "1"}, 0, 1000},
                                           {{"--from-page", "2", "--to-page", "9"}, 1000, 3000}}) {
    std::vector<std::string> args{"export", file};
    args.insert(args.end(), c.Range.begin(), c.Range.end());
    const TCliResult run = RunCli(args, dir_.Path());
    ASSERT_EQ(run.Status, 0) << run.Err;
    SCOPED_TRACE(c.Range.front() + " " + c.Range[1]);
    ExpectSameLines(run.Out, ExpectedCsv(c.First, c.End, 2250));
  }

  const TCliResult past = RunCli({"export", file, "--from-page", "4"}, dir_.Path());
  EXPECT_NE(past.Status, 0);
  EXPECT_NE(past.Err.find("past the end"), std::string::npos) << past.Err;

  const fs::path csv = dir_ / "page1.csv";
  const TCliResult toFile = RunCli({"export", file, "--to-page", "1", "-o", csv}, dir_.Path());
  ASSERT_EQ(toFile.Status, 0) << toFile.Err;
  EXPECT_EQ(toFile.Out, "");
  ExpectSameLines(ReadText(csv), ExpectedCsv(0, 1000, 2250));
}

TEST_F(CliFiles, ExportSkipsACutOffRecordAndSaysSo) {
  const fs::path file = dir_ / "cut.bin";
  WriteRecording(file, 1500, 0, 3);
  const TCliResult all = RunCli({"export", file}, dir_.Path());
  ASSERT_EQ(all.Status, 0) << all.Err;
  ExpectSameLines(all.Out, ExpectedCsv(0, 1500, 1500));
  EXPECT_NE(all.Err.find("partial record of 3 bytes"), std::string::npos) << all.Err;

  // A range that ends before the cut-off record has nothing to skip.
  const TCliResult first = RunCli({"export", file, "--to-page", "1"}, dir_.Path());
  ASSERT_EQ(first.Status, 0) << first.Err;
  EXPECT_EQ(first.Err, "");
}

TEST_F(CliFiles, InfoAndExportUseTheSameMemoryForAnyLengthOfRecording) {
  const fs::path small = dir_ / "small.bin", large = dir_ / "large.bin";
  WriteRecording(small, 2000, 0);
  WriteRecording(large, 4'300'000, 0);  // 30.1 MB
  ASSERT_EQ(fs::file_size(large), 4'300'000 * RecordSize);
  for (const std::string command : {"export", "info"}) {
    SCOPED_TRACE(command);
    std::vector<std::string> args{command};
    if (command == "export") args.insert(args.end(), {"-o", "/dev/null"});
    args.push_back(small);
    const TCliResult few = RunCli(args, dir_.Path());
    args.back() = large;
    const TCliResult many = RunCli(args, dir_.Path());
    ASSERT_EQ(few.Status, 0) << few.Err;
    ASSERT_EQ(many.Status, 0) << many.Err;
    // Reading the file whole, or keeping the CSV, would add 30 MB or far more.
    EXPECT_LT(many.PeakKilobytes, few.PeakKilobytes + 2048) << few.PeakKilobytes << " kB for 14 kB of recording";
  }
}

// ---- Recordings with an index, made by the recorder on a pseudo-terminal with a clock the
// test moves, so the arrival of every record is known. ----------------------------------------

constexpr std::int64_t Milli = 1'000'000, TickNs = 100 * Milli, HourNs = 3600'000 * Milli;

class TTestClock final : public TClock {
 public:
  std::tm LocalNow() const override {
    std::tm t{};  // 31 December 2016, 23:59:59 local: 22:59:59 UTC at an hour east
    t.tm_year = 116, t.tm_mon = 11, t.tm_mday = 31, t.tm_hour = 23, t.tm_min = 59, t.tm_sec = 59;
    return t;
  }
  TWallTime WallNow() const override { return {Wall, 3600}; }
  std::int64_t MonotonicNanoseconds() const override { return Mono; }
  std::int64_t Wall = 1'483'225'199 * 1'000'000'000LL, Mono = 7 * 1'000'000'000LL;
};

enum class TDamage { None, NoIndex, CutMidPage, KilledBeforeTheIndexCaughtUp };

struct TTimedRecording {
  const char* Name;
  int PerTick;          // records sent between two ticks: the line carries 21
  int Ticks;
  int QueuedBeforeRun;  // records already waiting when the port is opened
  int JumpAtTick;       // the wall clock is set an hour ahead at this tick; 0: never
  TDamage Damage;
};

struct TMade {
  fs::path File;
  std::vector<std::int64_t> Wall;  // arrival of each record sent, by the test's clock
  std::int64_t StopWall = 0;
};

// Sends `count` records from `next` on, and 7 stray bytes: they let the last record out (more
// than 15 bytes must wait) and are skipped at the next tick, as resynchronisation does.
void SendRecords(TSerialPty& pty, const TRecorder& recorder, std::int64_t& next, int count) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < count; ++i, ++next) {
    const auto r = TestRecord(next);
    bytes.insert(bytes.end(), {SyncByte, SyncByte});
    bytes.insert(bytes.end(), r.begin(), r.end());
  }
  bytes.insert(bytes.end(), 7, 0);
  const std::uint32_t target = pty.SlaveQueueCount() + static_cast<std::uint32_t>(bytes.size());
  ASSERT_EQ(pty.Write(bytes), bytes.size());
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (recorder.Port().IsOpen() && pty.SlaveQueueCount() < target && std::chrono::steady_clock::now() < deadline) {
  }
}

TMade Record(const fs::path& dir, const TTimedRecording& row) {
  TSerialPty pty;
  TCustomAxisPanel chart;
  TTraceSet traces(chart);
  TTestClock clock;
  TRecorder recorder(traces, {}, clock, dir);
  TMade made;
  std::int64_t next = 0;
  if (row.QueuedBeforeRun > 0) SendRecords(pty, recorder, next, row.QueuedBeforeRun);
  recorder.Run(pty.SlavePath());
  for (std::int64_t i = 0; i < row.QueuedBeforeRun; ++i) made.Wall.push_back(clock.Wall);  // they arrive at Run
  for (int tick = 1; tick <= row.Ticks; ++tick) {
    SendRecords(pty, recorder, next, row.PerTick);
    clock.Mono += TickNs;
    clock.Wall += TickNs;
    // Sent evenly since the tick before; a jump comes after them.
    for (int j = 0; j < row.PerTick; ++j) made.Wall.push_back(clock.Wall - (row.PerTick - 1 - j) * TickNs / row.PerTick);
    if (tick == row.JumpAtTick) clock.Wall += HourNs;
    recorder.Tick();
  }
  clock.Mono += TickNs / 2;
  clock.Wall += TickNs / 2;
  made.StopWall = clock.Wall;
  recorder.Stop();
  made.File = recorder.FilePath();
  return made;
}

void Damage(const TMade& made, TDamage damage) {
  const fs::path index = IndexPathFor(made.File);
  if (damage == TDamage::NoIndex) fs::remove(index);
  if (damage == TDamage::CutMidPage) fs::resize_file(made.File, 1500 * RecordSize + 3);
  // The stop entry and half the last page's entry never reached the disk.
  if (damage == TDamage::KilledBeforeTheIndexCaughtUp) fs::resize_file(index, fs::file_size(index) - IndexEntrySize * 3 / 2);
}

TEST_F(CliFiles, TheIndexTimesEveryRecordAndEndsTheDataBeforeThePadding) {
  ::setenv("TZ", "UTC", 1);
  const TTimedRecording rows[] = {
      {"a converter at half the line rate", 10, 150, 0, 0, TDamage::None},
      {"a converter at twice the line rate", 40, 45, 0, 0, TDamage::None},
      {"stopped right after a whole page", 20, 50, 0, 0, TDamage::None},
      {"the wall clock set an hour ahead mid-page", 20, 80, 0, 30, TDamage::None},
      {"the wall clock set ahead as a page ends", 20, 80, 0, 50, TDamage::None},
      {"records queued before Run arrive at Run", 20, 40, 300, 0, TDamage::None},
      {"no index: estimated from the name, padding kept", 20, 80, 0, 0, TDamage::NoIndex},
      {"the file cut mid-page", 20, 90, 0, 0, TDamage::CutMidPage},
      {"killed before the index caught up", 20, 90, 0, 0, TDamage::KilledBeforeTheIndexCaughtUp},
  };
  for (const TTimedRecording& row : rows) {
    SCOPED_TRACE(row.Name);
    const TTempDirectory dir;
    const TMade made = Record(dir.Path(), row);
    Damage(made, row.Damage);
    const auto sent = static_cast<std::int64_t>(made.Wall.size());
    const std::int64_t inFile = row.Damage == TDamage::CutMidPage ? 1500 : sent;
    const std::int64_t fileRecords = static_cast<std::int64_t>(fs::file_size(made.File) / RecordSize);
    const TCliResult info = RunCli({"info", made.File}, dir.Path());
    const TCliResult csv = RunCli({"export", made.File, "--time"}, dir.Path());
    ASSERT_EQ(info.Status, 0) << info.Err;
    ASSERT_EQ(csv.Status, 0) << csv.Err;
    const std::vector<std::string> lines = Lines(csv.Out);

    const TRecordTimes times = TRecordTimes::Load(made.File);
    if (row.Damage == TDamage::NoIndex) {
      EXPECT_EQ(Field(info.Out, "index").rfind("none", 0), 0u) << info.Out;
      EXPECT_EQ(lines.at(0).substr(0, 41), "record,estimated_seconds,estimated_time,c");
      EXPECT_EQ(static_cast<std::int64_t>(lines.size()) - 1, fileRecords);  // the padding too, as always
      EXPECT_EQ(Row(lines, 1, 3), "0,0.0000000,2016-12-31T23:59:59.000");
      continue;
    }
    EXPECT_EQ(lines.at(0).substr(0, 38), "record,arrival_seconds,arrival_time,ch");
    const bool known = row.Damage != TDamage::KilledBeforeTheIndexCaughtUp;
    EXPECT_EQ(Field(info.Out, "real records"), known ? std::to_string(inFile) : "unknown (the last page is not described)");
    // No padding row when the index says where the data ends.
    EXPECT_EQ(static_cast<std::int64_t>(lines.size()) - 1, known ? inFile : fileRecords);

    // Every record at its arrival, to the millisecond; those after the index (killed) at the
    // measured rate, which for a steady converter is as good.
    const std::int64_t exactFrom = row.QueuedBeforeRun > 0 ? 1000 : 0;  // the burst is spread over its page
    for (std::int64_t k = exactFrom; k < inFile; ++k) {
      const auto at = times.At(k);
      ASSERT_TRUE(at.has_value()) << k;
      ASSERT_NEAR(static_cast<double>(at->UnixNanoseconds), static_cast<double>(made.Wall[static_cast<std::size_t>(k)]), 1e6)
          << "record " << k;
      EXPECT_EQ(at->Estimated, k >= times.IndexedPages() * 1000) << k;
    }
    const auto first = times.At(0);
    ASSERT_TRUE(first.has_value());
    EXPECT_GE(first->UnixNanoseconds, made.Wall.front());
    EXPECT_LE(first->UnixNanoseconds, made.Wall.front() + TickNs);
    // The CSV says the same, with the zone's offset.
    const std::int64_t last = inFile - 1;
    EXPECT_EQ(Row(lines, last + 1, 3).substr(Row(lines, last + 1, 2).size() + 1), IsoTimeText(*times.At(last)));
    if (row.Damage == TDamage::None) {
      EXPECT_EQ(Field(info.Out, "end"), IsoTimeText(*times.At(last)));
      EXPECT_LE(made.StopWall - times.At(last)->UnixNanoseconds, TickNs) << "the last record is more than a tick before Stop";
      EXPECT_NE(info.Out.find("stop: the Stop button"), std::string::npos) << info.Out;
      EXPECT_EQ(Field(info.Out, "line errors"), "not reported by the port");
    }
    // The converter's own rate, ten ticks a second; a burst queued before Run does not count.
    EXPECT_EQ(Field(info.Out, "record rate"), std::to_string(row.PerTick * 10) + ".00 records/s measured (nominal 213.33)");
    if (row.JumpAtTick > 0) {
      EXPECT_NE(info.Out.find("wall clock jumped by +3600.000 s"), std::string::npos) << info.Out;
    }
    if (known) {
      EXPECT_EQ(Field(info.Out, "bytes skipped while synchronising"),
                std::to_string(7 * (row.Ticks - 1) + (row.QueuedBeforeRun > 0 ? 7 : 0)))
          << "the stray bytes between ticks";
    }
  }
  ::unsetenv("TZ");
}

}  // namespace
