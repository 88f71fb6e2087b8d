// ninetrace-cli: command-line companions of the recorder.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "export_command.h"
#include "info_command.h"
#include "ninetrace_version.h"
#include "ports_command.h"
#include "output_guard.h"
#include "platform/process_signals.h"
#include "record_command.h"
#include "simulate_command.h"
#include "summary_command.h"

namespace {

constexpr const char* Usage = R"(usage: ninetrace-cli COMMAND [options]

commands:
  record     record from the converter into a new file, as the window does
  info       summarise a recording: pages, records, padding, times and events, channel statistics
  export     write a recording as CSV, one row per record
  simulate   play the converter, or a recording, on a pseudo-terminal
  ports      list the serial devices present and whether you may open them
  summary    build the summary beside a recording that "All" draws from, if it has none

ninetrace-cli COMMAND --help describes each command; ninetrace-cli --version shows the version.
"--" ends the options of any command: `ninetrace-cli info -- -odd.bin` reads a file named "-odd.bin".
)";

constexpr const char* RecordUsage = R"(usage: ninetrace-cli record --port P [--seconds N | --pages N] [--dir D]

Records from the converter into a new file named "yymmdd hhnnss.bin" ("_2", "_3", ... before the
extension when that name is taken), exactly as the window does: 7000-byte pages of 1000 records
and, on stopping, the page received so far padded with zeros. Beside it goes its index, the same
name with ".idx" added: when each page's records arrived, how many are real, the bytes skipped and
the events (run, stop and why, wall-clock jumps), which info and export read. Ctrl-C, SIGTERM,
SIGHUP (a closed terminal) or any other signal that would end it stops cleanly. A port whose device
goes away, or a file or folder taken by another program, stops the recording too, keeping every
record it can and saying which, with exit status 1. Every page is flushed to the disk as it is written. Progress goes to
standard error, the path of the recording to standard output at the end.

options:
  --port P       a port number n for COMn (/dev/ttyS(n-1)), or a device path
  --seconds N    stop after N seconds
  --pages N      stop once N pages are written; the file then holds exactly N pages
  --dir D        write the recording into directory D (default: the current directory)
  --help         show this text
)";

constexpr const char* InfoUsage = R"(usage: ninetrace-cli info FILE

Summarises a recording: its size, whole pages and records, whether the size is a whole number of
pages and of records, the all-zero records at the end of the last page (the padding written on
stopping), when it started and ended, its real records and padding, the measured record rate and
what happened while recording (run, stop and why, wall-clock jumps, bytes skipped, line errors),
the minimum, maximum and mean of each channel as trace value (0..255.75) and as 10-bit code, and
the fraction of records in which each digital input is set. Times, real records and events come
from the index beside the recording (FILE.idx); without one the times are estimated from the
start time in the file name at the nominal 213.33 records per second, and the padding is taken to
be the zero tail. The statistics leave the padding out. Reads the file once, in constant memory.

options:
  --help         show this text
)";

constexpr const char* ExportUsage = R"(usage: ninetrace-cli export FILE [--from-page A] [--to-page B] [--time] [--keep-padding]
                            [--channel CH=NAME[,UNIT[,FACTOR[,OFFSET]]]]... [-o OUT.csv]

Writes a recording as CSV: a header row, then one row per record with the record's index in the
file (from 0), the five channels as the traces show them (0..255.75), their 10-bit codes, and the
four digital inputs (0 or 1). A partial record at the end of the file is skipped. When the
recording has an index (FILE.idx, written beside it while recording), the zero records padding
its last page are left out. Streams in constant memory whatever the size of the file. When
standard error is a terminal, a long export shows its progress there.

options:
  --from-page A   first page to export, counting from 1 as the window does (default 1)
  --to-page B     last page to export (default: the last page of the file)
  --time          two more columns after the index. With an index: "arrival_seconds" since the
                  first record arrived (microseconds) and "arrival_time", the local wall-clock
                  time it arrived with the zone's offset (ISO 8601, milliseconds, e.g.
                  2016-12-31T23:59:59.005+01:00), each page's records spread evenly between the
                  arrival of its first and its last. Without one: "estimated_seconds" at the
                  line's nominal rate of 213.33 frames per second (19200 baud / 10 bits / 9
                  bytes), and "estimated_time", the local time counted from the start time in a
                  file name of the form "yymmdd hhnnss.bin"; for any other name only
                  "estimated_seconds"
  --keep-padding  with an index, keep the padding rows too (their time columns stay empty)
  --channel CH=NAME[,UNIT[,FACTOR[,OFFSET]]]
                  names channel CH (A1..A5, D1..D4) and, for A1..A5, gives it a unit and a scale:
                  value = code x FACTOR + OFFSET (a point for decimals), e.g.
                  --channel A1=Pressure,kPa,0.1,-5; repeat it for more channels. The header then
                  names the columns "NAME [UNIT]", "NAME code" and the inputs' names, and the value
                  column of a channel with a unit or scale carries the scaled value
  -o OUT.csv      write to OUT.csv instead of standard output
  --help          show this text
)";

constexpr const char* SimulateUsage = R"(usage: ninetrace-cli simulate [options]

Plays the converter: five analog channels (sine, triangle, sawtooth, square, slow ramp) and four
digital inputs (square waves), framed as 0xFF 0xFF + 7-byte record, at 19200 baud 8N1.
Opens a pseudo-terminal and prints its path on the first line; give that path as the port.

options:
  --seconds N    stop after N seconds (default: run until SIGTERM or Ctrl-C); a timed run then
                 waits up to 3 s for a reader to take the bytes still on the line
  --rate X       send X times as fast as the real line (default 1)
  --seed S       start the waveforms at other phases (default 1)
  --device PATH  write to this device or file instead of a pseudo-terminal
  --faults       start in the middle of a frame and add stray bytes between frames now and then
  --log FILE     append every byte the line accepted to FILE
  --replay FILE  send the records of a recording instead of the waveforms, and stop at its end;
                 the zero tail of its last page is left out
  --loop         with --replay: start the recording again at its end
  --help         show this text
)";

constexpr const char* SummaryUsage = R"(usage: ninetrace-cli summary FILE

Makes sure the recording FILE has its summary beside it, FILE.summary: per block of 1, 16, 256
and 4096 pages the lowest and highest level of each trace, from which "All" draws a recording of
any length at once. The window and record write it while recording; for an older recording, or
one changed since, this builds it once (the window would build it on the first "All"). Says
whether the summary was up to date or built, and its size. When standard error is a terminal, a
long build shows its progress there.

options:
  --help         show this text
)";

// Prints the message and the usage of the command; the exit status of a bad command line.
int Fail(const std::string& message, const char* usage) {
  std::fprintf(stderr, "ninetrace-cli: %s\n\n%s", message.c_str(), usage);
  return 2;
}

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0' && std::isfinite(value);
}

bool ParseCount(std::string_view text, std::int64_t& value) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc{} && end == text.data() + text.size() && value > 0;
}

// Walks the arguments after the command; options that take a value take the next argument.
class TArguments {
 public:
  TArguments(int argc, char** argv) : argc_(argc), argv_(argv) {}

  // "--" ends the options: every argument after it is plain, even one that starts with "-".
  bool Next(std::string_view& arg) {
    if (i_ < argc_ && !plain_ && std::string_view(argv_[i_]) == "--") {
      plain_ = true;
      ++i_;
    }
    if (i_ >= argc_) return false;
    arg = argv_[i_++];
    return true;
  }
  const char* Value() { return i_ < argc_ ? argv_[i_++] : nullptr; }
  // The argument Next gave came after "--".
  bool Plain() const { return plain_; }
  bool IsOption(std::string_view arg) const { return !plain_ && arg.size() > 1 && arg.front() == '-'; }

 private:
  int argc_;
  char** argv_;
  int i_ = 2;
  bool plain_ = false;
};

int RunRecord(int argc, char** argv) {
  ninetrace::cli::TRecordOptions options;
  TArguments args(argc, argv);
  for (std::string_view arg; args.Next(arg);) {
    if (args.Plain()) return Fail("unexpected argument " + std::string(arg), RecordUsage);
    if (arg == "--help") {
      std::fputs(RecordUsage, stdout);
      return 0;
    }
    if (arg != "--port" && arg != "--seconds" && arg != "--pages" && arg != "--dir")
      return Fail((args.IsOption(arg) ? "unknown option " : "unexpected argument ") + std::string(arg), RecordUsage);
    const char* value = args.Value();
    if (value == nullptr) return Fail(std::string(arg) + " needs a value", RecordUsage);
    if (arg == "--port") {
      options.Port = value;
    } else if (arg == "--seconds") {
      if (!ParseNumber(value, options.Seconds) || options.Seconds <= 0)
        return Fail("--seconds needs a positive number", RecordUsage);
    } else if (arg == "--pages") {
      if (!ParseCount(value, options.Pages)) return Fail("--pages needs a positive whole number", RecordUsage);
    } else {
      options.Directory = value;
    }
  }
  if (options.Port.empty()) return Fail("record needs --port", RecordUsage);
  if (options.Seconds > 0 && options.Pages > 0) return Fail("give --seconds or --pages, not both", RecordUsage);
  try {
    return ninetrace::cli::Record(options);
  } catch (const std::exception& e) {  // the stop signals could not be caught: nothing was recorded
    std::fprintf(stderr, "ninetrace-cli record: %s\n", e.what());
    return 1;
  }
}

int RunInfo(int argc, char** argv) {
  std::optional<std::string> file;
  TArguments args(argc, argv);
  for (std::string_view arg; args.Next(arg);) {
    if (arg == "--help" && !args.Plain()) {
      std::fputs(InfoUsage, stdout);
      return 0;
    }
    if (args.IsOption(arg)) return Fail("unknown option " + std::string(arg), InfoUsage);
    if (file) return Fail("unexpected argument " + std::string(arg), InfoUsage);
    file = arg;
  }
  if (!file) return Fail("info needs a recording file", InfoUsage);
  return ninetrace::cli::Info(*file);
}

int RunSummary(int argc, char** argv) {
  std::optional<std::string> file;
  TArguments args(argc, argv);
  for (std::string_view arg; args.Next(arg);) {
    if (arg == "--help") {
      std::fputs(SummaryUsage, stdout);
      return 0;
    }
    if (args.IsOption(arg)) return Fail("unknown option " + std::string(arg), SummaryUsage);
    if (file) return Fail("unexpected argument " + std::string(arg), SummaryUsage);
    file = arg;
  }
  if (!file) return Fail("summary needs a recording file", SummaryUsage);
  return ninetrace::cli::Summary(*file);
}

int RunExport(int argc, char** argv) {
  ninetrace::cli::TExportOptions options;
  bool haveFile = false;
  TArguments args(argc, argv);
  for (std::string_view arg; args.Next(arg);) {
    if (arg == "--help" && !args.Plain()) {
      std::fputs(ExportUsage, stdout);
      return 0;
    }
    if (arg == "--time" && !args.Plain()) {
      options.Time = true;
      continue;
    }
    if (arg.starts_with("--channel=")) {
      if (const auto problem = ninetrace::ApplyChannelOption(arg.substr(10), options.Channels)) return Fail(*problem, ExportUsage);
      continue;
    }
    if (arg == "--keep-padding") {
      options.KeepPadding = true;
      continue;
    }
    if (!args.IsOption(arg)) {
      if (haveFile) return Fail("unexpected argument " + std::string(arg), ExportUsage);
      options.File = arg;
      haveFile = true;
      continue;
    }
    if (arg != "--from-page" && arg != "--to-page" && arg != "-o" && arg != "--channel")
      return Fail("unknown option " + std::string(arg), ExportUsage);
    const char* value = args.Value();
    if (value == nullptr) return Fail(std::string(arg) + " needs a value", ExportUsage);
    if (arg == "--channel") {
      if (const auto problem = ninetrace::ApplyChannelOption(value, options.Channels)) return Fail(*problem, ExportUsage);
    } else if (arg == "-o") {
      options.Output = value;
    } else if (!ParseCount(value, arg == "--from-page" ? options.FromPage : options.ToPage)) {
      return Fail(std::string(arg) + " needs a page number from 1", ExportUsage);
    }
  }
  if (!haveFile) return Fail("export needs a recording file", ExportUsage);
  if (options.ToPage > 0 && options.FromPage > options.ToPage)
    return Fail("--from-page " + std::to_string(options.FromPage) + " is after --to-page " + std::to_string(options.ToPage),
                ExportUsage);
  return ninetrace::cli::Export(options);
}

int RunSimulate(int argc, char** argv) {
  ninetrace::simulator::TSimulateOptions options;
  bool seedGiven = false;
  TArguments args(argc, argv);
  for (std::string_view arg; args.Next(arg);) {
    if (args.Plain()) return Fail("unexpected argument " + std::string(arg), SimulateUsage);
    if (arg == "--help") {
      std::fputs(SimulateUsage, stdout);
      return 0;
    }
    if (arg == "--faults") {
      options.Faults = true;
      continue;
    }
    if (arg == "--loop") {
      options.Loop = true;
      continue;
    }
    if (arg != "--seconds" && arg != "--rate" && arg != "--seed" && arg != "--device" && arg != "--log" && arg != "--replay")
      return Fail((args.IsOption(arg) ? "unknown option " : "unexpected argument ") + std::string(arg), SimulateUsage);
    const char* value = args.Value();
    if (value == nullptr) return Fail(std::string(arg) + " needs a value", SimulateUsage);
    double number = 0;
    if (arg == "--seconds") {
      if (!ParseNumber(value, number) || number <= 0) return Fail("--seconds needs a positive number", SimulateUsage);
      options.Seconds = number;
    } else if (arg == "--rate") {
      if (!ParseNumber(value, number) || number <= 0 || number > 1000)
        return Fail("--rate needs a number above 0, at most 1000", SimulateUsage);
      options.Rate = number;
    } else if (arg == "--seed") {
      // from_chars refuses a sign and anything past the largest seed, which strtoull would wrap.
      const std::string_view text = value;
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), options.Seed);
      if (text.empty() || error != std::errc{} || end != text.data() + text.size())
        return Fail("--seed needs a whole number from 0 to 18446744073709551615", SimulateUsage);
      seedGiven = true;
    } else if (arg == "--device") {
      options.Device = value;
    } else if (arg == "--log") {
      options.LogFile = value;
    } else {
      options.Replay = value;
    }
  }
  if (options.Replay.empty() && options.Loop) return Fail("--loop needs --replay", SimulateUsage);
  if (!options.Replay.empty() && (options.Faults || seedGiven))
    return Fail("--faults and --seed shape the waveforms; they do not apply to --replay", SimulateUsage);
  return ninetrace::simulator::Simulate(options);
}

int Dispatch(int argc, char** argv) {
  if (argc < 2) return Fail("no command given", Usage);
  const std::string_view command = argv[1];
  if (command == "--help" || command == "help") {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("ninetrace-cli %s\n", ninetrace::Version);
    return 0;
  }
  if (command == "ports") return ninetrace::cli::RunPorts(argc, argv);
  if (command == "record") return RunRecord(argc, argv);
  if (command == "info") return RunInfo(argc, argv);
  if (command == "export") return RunExport(argc, argv);
  if (command == "simulate") return RunSimulate(argc, argv);
  if (command == "summary") return RunSummary(argc, argv);
  return Fail("unknown command " + std::string(command), Usage);
}

}  // namespace

int main(int argc, char** argv) {
  ninetrace::cli::GuardStandardStreams();
  ninetrace::IgnoreFileSizeSignal();
  int status = 1;
  try {
    status = Dispatch(argc, argv);
  } catch (const std::exception& e) {  // whatever slipped through gets a message, never an abort
    std::fprintf(stderr, "ninetrace-cli: %s\n", e.what());
  }
  const std::string prefix = argc >= 2 ? "ninetrace-cli " + std::string(argv[1]) : "ninetrace-cli";
  // Output that never arrived is a failure, however well the rest went.
  if (!ninetrace::cli::FinishStandardOutput(prefix)) return status != 0 ? status : 1;
  return status;
}
