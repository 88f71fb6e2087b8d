// info and export on recordings made here, whose every record is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "../platform/test_files.h"
#include "cli_run.h"
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

}  // namespace
