// Command lines the tools must refuse, with a message and a non-zero status, and their help.
#include <gtest/gtest.h>

#include "../platform/test_files.h"
#include "cli_run.h"
#include "recordings.h"

using namespace ninetrace::testing;

namespace {

struct TBadCall {
  std::vector<std::string> Args;
  std::string Message;  // part of what standard error must say
};

TEST(CliArguments, BadCommandLinesFailWithAMessage) {
  TTempDirectory dir;
  const std::string file = (dir / "rec.bin").string(), missing = (dir / "missing.bin").string();
  WriteRecording(file, 1500, 500);
  const std::vector<TBadCall> calls = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command frobnicate"},
      {{"record"}, "record needs --port"},
      {{"record", "--port"}, "--port needs a value"},
      {{"record", "--port", "1", "--seconds", "ten"}, "--seconds needs a positive number"},
      {{"record", "--port", "1", "--seconds", "-1"}, "--seconds needs a positive number"},
      {{"record", "--port", "1", "--pages", "2.5"}, "--pages needs a positive whole number"},
      {{"record", "--port", "1", "--seconds", "1", "--pages", "1"}, "not both"},
      {{"record", "--port", "1", "--colour"}, "unknown option --colour"},
      {{"record", "--port", "COM1x", "--dir", dir.Path()}, "is not a port"},
      {{"record", "--port", "/nonexistent/tty0", "--dir", dir.Path()}, "Cannot open /nonexistent/tty0"},
      {{"record", "--port", "/nonexistent/tty0", "--dir", dir / "no-such-dir"}, "Cannot create"},
      {{"info"}, "info needs a recording file"},
      {{"info", missing}, "Cannot open " + missing},
      {{"info", dir.Path()}, "Cannot read"},
      {{"info", file, file}, "unexpected argument"},
      {{"export"}, "export needs a recording file"},
      {{"export", missing}, "Cannot open " + missing},
      {{"export", file, "--from-page"}, "--from-page needs a value"},
      {{"export", file, "--from-page", "two"}, "--from-page needs a page number from 1"},
      {{"export", file, "--to-page", "0"}, "--to-page needs a page number from 1"},
      {{"export", file, "--from-page", "3", "--to-page", "2"}, "--from-page 3 is after --to-page 2"},
      {{"export", file, "-o", dir / "no-such-dir" / "out.csv"}, "Cannot create"},
      {{"export", file, "--pages", "1"}, "unknown option --pages"},
      {{"export", file, "--channel"}, "--channel needs a value"},
      {{"export", file, "--channel", "A1"}, "expected CH=NAME[,UNIT[,FACTOR[,OFFSET]]]"},
      {{"export", file, "--channel", "A6=x"}, "the channel is one of A1..A5 or D1..D4"},
      {{"export", file, "--channel", "A1=x,V,0,1"}, "FACTOR is a number other than 0"},
      {{"export", file, "--channel", "A1=x,V,1e999"}, "FACTOR is a number other than 0"},
      {{"export", file, "--channel", "A1=x,V,0.1,1,5"}, "at most NAME, UNIT, FACTOR and OFFSET"},
      {{"export", file, "--channel", "A1=x,V,0.1,2,"}, "at most NAME, UNIT, FACTOR and OFFSET"},
      {{"export", file, "--channel", "A1=x,V,0.1,one"}, "OFFSET is a number"},
      {{"export", file, "--channel", "D1=Pump,V"}, "a digital input takes a name only"},
      {{"export", file, "--channel", "A1=say \"hi\""}, "may not hold quotes"},
      {{"simulate", "--replay", missing}, "Cannot open " + missing},
      {{"simulate", "--loop"}, "--loop needs --replay"},
      {{"simulate", "--replay", file, "--faults"}, "do not apply to --replay"},
      {{"simulate", "--rate", "fast"}, "--rate needs a number"},
      {{"simulate", "--rate", "0"}, "--rate needs a number above 0, at most 1000"},
      {{"info", "--", "--help"}, "Cannot open --help"},
      {{"export", "--", "--time"}, "Cannot open --time"},
      {{"record", "--port", "1", "--", "--dir"}, "unexpected argument --dir"},
      {{"simulate", "--", "--faults"}, "unexpected argument --faults"},
      {{"ports", "--", "--dev"}, "unexpected argument --dev"},
  };
  for (const TBadCall& call : calls) {
    std::string line;
    for (const std::string& a : call.Args) line += a + " ";
    SCOPED_TRACE(line);
    const TCliResult run = RunCli(call.Args, dir.Path(), 10s);
    EXPECT_NE(run.Status, 0);
    EXPECT_NE(run.Err.find(call.Message), std::string::npos) << run.Err;
  }
  // A port that cannot be opened leaves no empty recording ("yymmdd hhnnss.bin") behind.
  for (const auto& name : dir.Names()) EXPECT_EQ(name.find(' '), std::string::npos) << name;
}

// "--" ends the options, so a file whose name starts with "-" can be named.
TEST(CliArguments, ADoubleDashEndsTheOptions) {
  TTempDirectory dir;
  WriteRecording(dir / "-r.bin", 1500, 500);
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.Path());  // the name as typed, not a path starting with "/"
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"info", "--", "-r.bin"}, {"export", "-o", "out.csv", "--", "-r.bin"}, {"ports", "--"}}) {
    const TCliResult run = RunCli(args, dir.Path(), 10s);
    EXPECT_EQ(run.Status, 0) << args[0] << ": " << run.Err;
  }
  std::filesystem::current_path(before);
}

TEST(CliArguments, EveryCommandDescribesItselfOnHelp) {
  TTempDirectory dir;
  for (const std::string command : {"record", "info", "export", "simulate"}) {
    const TCliResult run = RunCli({command, "--help"}, dir.Path(), 10s);
    EXPECT_EQ(run.Status, 0) << command;
    EXPECT_EQ(run.Out.rfind("usage: ninetrace-cli " + command, 0), 0u) << run.Out;
  }
  const TCliResult top = RunCli({"--help"}, dir.Path(), 10s);
  EXPECT_EQ(top.Status, 0);
  for (const std::string command : {"record", "info", "export", "simulate"})
    EXPECT_NE(top.Out.find("\n  " + command + " "), std::string::npos) << command;
}

}  // namespace
