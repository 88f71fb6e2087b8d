// What a careless or hostile user may do to the command-line companions: make a command write
// over its own input, hand it a FIFO or a device, close or fill its standard output, feed it bad
// numbers. Each must refuse with a message and a non-zero status, and never lose a recording.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <fstream>

#include "../platform/test_files.h"
#include "cli_run.h"
#include "recordings.h"

using namespace ninetrace;
using namespace ninetrace::testing;

namespace {

namespace fs = std::filesystem;

class CliMisuse : public ::testing::Test {
 protected:
  void SetUp() override { WriteRecording(recording_, 1500, 500); }

  TTempDirectory dir_;
  const fs::path recording_ = dir_ / "rec.bin";
};

struct TRow {
  const char* Name;
  std::vector<std::string> Args;
  std::string Message;  // part of what standard error must say
  TCliSetup Setup = {};
};

void ExpectRefused(const TRow& row, const fs::path& dir) {
  SCOPED_TRACE(row.Name);
  const TCliResult run = RunCli(row.Args, dir, 10s, row.Setup);
  EXPECT_NE(run.Status, 0);
  EXPECT_LT(run.Status, 128) << "ended by a signal";
  EXPECT_NE(run.Err.find(row.Message), std::string::npos) << run.Err;
}

TEST_F(CliMisuse, NoCommandWritesOverItsOwnInputUnderAnyName) {
  fs::create_symlink(recording_, dir_ / "link.csv");
  fs::create_hard_link(recording_, dir_ / "hard.csv");
  const std::vector<std::uint8_t> before = ReadWholeFile(recording_);
  const std::string rec = recording_, line = dir_ / "line.bin";
  TCliSetup appendToIt, closedStdout;
  appendToIt.Stdout = recording_;
  appendToIt.AppendStdout = true;
  closedStdout.Stdout = "-";
  const std::vector<TRow> rows = {
      {"export -o itself", {"export", rec, "-o", rec}, "will not write to " + rec},
      {"export -o a symbolic link to it", {"export", rec, "-o", dir_ / "link.csv"}, "it is " + rec},
      {"export -o a hard link to it", {"export", rec, "-o", dir_ / "hard.csv"}, "it is " + rec},
      {"export -o itself, standard output closed too", {"export", rec, "-o", rec}, "will not write to " + rec, closedStdout},
      {"export >> itself", {"export", rec}, "will not write to standard output", appendToIt},
      {"simulate --device the recording replayed", {"simulate", "--replay", rec, "--rate", "1000", "--device", rec}, "will not write to " + rec},
      {"simulate --device a link to it", {"simulate", "--replay", rec, "--rate", "1000", "--device", dir_ / "link.csv"}, "it is " + rec},
      {"simulate --log the recording replayed", {"simulate", "--replay", rec, "--rate", "1000", "--device", line, "--log", rec}, "it is " + rec},
      {"simulate --device F --log F", {"simulate", "--seconds", "1", "--device", rec, "--log", rec}, "will not log to " + rec},
      {"simulate --device F --log a link to F", {"simulate", "--seconds", "1", "--device", rec, "--log", dir_ / "hard.csv"}, "it is the --device being written"},
  };
  for (const TRow& row : rows) {
    ExpectRefused(row, dir_.Path());
    EXPECT_TRUE(ReadWholeFile(recording_) == before) << row.Name << ": the recording was changed";
  }
}

TEST_F(CliMisuse, AnInputCutShortWhileReadIsAnErrorNotAQuietEnd) {
  // Played in a loop at speed, so it is read again and again until it is cut.
  TCliRun replay({"simulate", "--replay", recording_, "--loop", "--rate", "1000", "--device", "/dev/null"}, dir_.Path(),
                 "replay");
  ASSERT_EQ(replay.FirstLine(), "/dev/null") << replay.Err();
  fs::resize_file(recording_, 3 * RecordSize);
  ASSERT_TRUE(replay.WaitForExit(10s));
  EXPECT_EQ(replay.Status(), 1);
  EXPECT_NE(replay.Err().find("Cannot read " + recording_.string() + ": it became shorter while being read"),
            std::string::npos)
      << replay.Err();
}

// An export's output is whole or absent: ended by a signal or a full disk, the file given with -o
// keeps what it held and no temporary file stays behind.
TEST_F(CliMisuse, AnExportCutShortLeavesTheOutputAsItWas) {
  const fs::path big = dir_ / "big.bin", out = dir_ / "out.csv";
  WriteRecording(big, 1'500'000, 0);  // about 90 MB of CSV: it takes a while
  TCliSetup fullDisk;
  fullDisk.FileSizeLimit = 1 << 20;
  const struct {
    const char* Name;
    int Signal;  // 0: none, the disk fills
    TCliSetup Setup;
    std::string Message;
  } rows[] = {
      {"SIGTERM", SIGTERM, {}, "stopped by SIGTERM"},
      {"SIGHUP", SIGHUP, {}, "stopped by SIGHUP"},
      {"SIGINT", SIGINT, {}, "stopped by SIGINT"},
      {"a full disk", 0, fullDisk, "File too large"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    std::ofstream(out) << "the user's old export\n";
    TCliRun run({"export", big, "-o", out}, dir_.Path(), "export", row.Setup);
    const auto partFiles = [&] {
      std::vector<std::string> parts;
      for (const std::string& name : dir_.Names())
        if (name.starts_with(".out.csv.")) parts.push_back(name);
      return parts;
    };
    if (row.Signal != 0) {
      ASSERT_TRUE(run.WaitUntil([&] { return !partFiles().empty(); }, 10s)) << run.Err();
      run.Signal(row.Signal);
    }
    ASSERT_TRUE(run.WaitForExit(30s));
    EXPECT_EQ(run.Status(), 1);
    EXPECT_NE(run.Err().find(row.Message + "; " + out.string() + " is left as it was"), std::string::npos) << run.Err();
    EXPECT_EQ(ReadText(out), "the user's old export\n");
    EXPECT_EQ(partFiles(), std::vector<std::string>{});
  }
}

TEST_F(CliMisuse, OnlyRegularFilesAreReadAndNothingWaitsForAWriter) {
  const fs::path fifo = dir_ / "line.fifo", socketPath = dir_ / "line.sock";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  const TFileDescriptor listener = BoundUnixSocket(socketPath);
  const std::string notARecording = ", not a recording file";
  for (const TRow& row : std::vector<TRow>{
           {"info on a FIFO", {"info", fifo}, "it is a pipe (FIFO)" + notARecording},
           {"export of a FIFO", {"export", fifo}, "it is a pipe (FIFO)" + notARecording},
           {"replay of a FIFO", {"simulate", "--replay", fifo}, "it is a pipe (FIFO)" + notARecording},
           {"info on a socket", {"info", socketPath}, "it is a socket" + notARecording},
           {"info on a device", {"info", "/dev/zero"}, "it is a device" + notARecording},
       })
    ExpectRefused(row, dir_.Path());
}

TEST_F(CliMisuse, OutputThatCannotBeWrittenIsReported) {
  const std::string rec = recording_;
  // A machine with one port, so that `ports` has a line to write.
  const fs::path sys = dir_ / "sys", tty = sys / "class/tty/ttyACM0";
  fs::create_directories(tty);
  TCliSetup full, closed;
  full.Stdout = "/dev/full";
  closed.Stdout = "-";
  for (const TRow& row : std::vector<TRow>{
           {"info > /dev/full", {"info", rec}, "ninetrace-cli info: cannot write standard output: No space left on device", full},
           {"info >&-", {"info", rec}, "ninetrace-cli info: cannot write standard output: it is closed", closed},
           {"export > /dev/full", {"export", rec}, "cannot write standard output: No space left on device", full},
           {"export >&-", {"export", rec}, "cannot write standard output", closed},
           {"simulate >&-: nobody learns the line", {"simulate", "--seconds", "5"}, "cannot write standard output", closed},
           {"--help > /dev/full", {"info", "--help"}, "cannot write standard output", full},
           {"ports > /dev/full", {"ports", "--sysfs", sys.string(), "--dev", dir_.Path().string()},
            "ninetrace-cli ports: cannot write to standard output", full},
       })
    ExpectRefused(row, dir_.Path());

  // A command that writes nothing to standard output does not need it; an output that was
  // longer before is replaced whole, not written over.
  const fs::path out = dir_ / "out.csv";
  std::ofstream(out) << std::string(1'000'000, 'x');
  const TCliResult toFile = RunCli({"export", rec, "-o", out}, dir_.Path(), 10s, closed);
  EXPECT_EQ(toFile.Status, 0) << toFile.Err;
  EXPECT_EQ(ReadText(out), RunCli({"export", rec}, dir_.Path()).Out);
}

// Root reads and writes anywhere; a person does not. Run as an ordinary user, each refusal says
// what was refused and why, and leaves nothing behind.
TEST_F(CliMisuse, WhatAPersonMayNotReadOrWriteIsRefusedWithTheReason) {
  fs::permissions(dir_.Path(), fs::perms(0755));
  const fs::path locked = dir_ / "locked.bin", shut = dir_ / "shut";
  WriteRecording(locked, 1000, 0);
  fs::permissions(locked, fs::perms::none);
  fs::create_directory(shut);
  fs::permissions(shut, fs::perms(0555));
  TCliSetup person, personWithoutStdout;
  person.OrdinaryUser = personWithoutStdout.OrdinaryUser = true;
  personWithoutStdout.Stdout = "-";
  const std::string rec = recording_, denied = ": Permission denied", csv = shut / "out.csv";
  for (const TRow& row : std::vector<TRow>{
           {"info on a recording they may not read", {"info", locked}, "Cannot open " + locked.string() + denied, person},
           {"export of it", {"export", locked}, "Cannot open " + locked.string() + denied, person},
           {"replay of it", {"simulate", "--replay", locked}, "Cannot open " + locked.string() + denied, person},
           {"export into a folder they may not write", {"export", rec, "-o", csv}, "Cannot create " + csv + denied, person},
           {"the same with standard output closed", {"export", rec, "-o", csv}, "Cannot create " + csv + denied,
            personWithoutStdout},
           {"record into it", {"record", "--port", "/dev/null", "--dir", shut}, "Cannot create " + shut.string() + "/", person},
       })
    ExpectRefused(row, dir_.Path());
  EXPECT_TRUE(fs::is_empty(shut));
  const TCliResult record = RunCli({"record", "--port", "/dev/null", "--dir", shut}, dir_.Path(), 10s, person);
  EXPECT_NE(record.Err.find(".bin" + denied), std::string::npos) << record.Err;
}

TEST_F(CliMisuse, BadNumbersAreRefusedWithAMessageNeverAnAbort) {
  TCliSetup snapshot;
  snapshot.Program = NINETRACE_SNAPSHOT;
  const std::string png = dir_ / "out.png";
  for (const TRow& row : std::vector<TRow>{
           {"a negative seed", {"simulate", "--seed", "-1"}, "--seed needs a whole number from 0 to 18446744073709551615"},
           {"a seed past 2^64 - 1", {"simulate", "--seed", "18446744073709551616"}, "--seed needs a whole number"},
           {"snapshot page abc", {png, "--page", "abc"}, "--page needs a page number", snapshot},
           {"snapshot page -1", {png, "--page", "-1"}, "--page needs a page number", snapshot},
           {"snapshot page past the last", {png, "--page", "18446744073709551615"}, "--page needs a page number", snapshot},
           {"snapshot page missing", {png, "--page"}, "--page needs a page number", snapshot},
       })
    ExpectRefused(row, dir_.Path());
  EXPECT_FALSE(fs::exists(png));
}

}  // namespace
