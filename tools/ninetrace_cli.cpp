// ninetrace-cli: command-line companions of the recorder.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "simulate_command.h"

namespace {

constexpr const char* Usage = R"(usage: ninetrace-cli simulate [options]

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
  --help         show this text
)";

int Fail(const std::string& message) {
  std::fprintf(stderr, "ninetrace-cli: %s\n\n%s", message.c_str(), Usage);
  return 2;
}

bool ParseNumber(const char* text, double& value) {
  char* end = nullptr;
  value = std::strtod(text, &end);
  return end != text && *end == '\0';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("no command given");
  const std::string_view command = argv[1];
  if (command == "--help" || command == "help") {
    std::fputs(Usage, stdout);
    return 0;
  }
  if (command != "simulate") return Fail("unknown command " + std::string(command));

  ninetrace::simulator::TSimulateOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help") {
      std::fputs(Usage, stdout);
      return 0;
    }
    if (arg == "--faults") {
      options.Faults = true;
      continue;
    }
    if (i + 1 >= argc) return Fail("unknown option or missing value: " + std::string(arg));
    const char* value = argv[++i];
    double number = 0;
    if (arg == "--seconds") {
      if (!ParseNumber(value, number) || number <= 0) return Fail("--seconds needs a positive number");
      options.Seconds = number;
    } else if (arg == "--rate") {
      if (!ParseNumber(value, number) || number <= 0 || number > 1000) return Fail("--rate needs a number from 0 to 1000");
      options.Rate = number;
    } else if (arg == "--seed") {
      char* end = nullptr;
      options.Seed = std::strtoull(value, &end, 10);
      if (end == value || *end != '\0') return Fail("--seed needs a whole number");
    } else if (arg == "--device") {
      options.Device = value;
    } else if (arg == "--log") {
      options.LogFile = value;
    } else {
      return Fail("unknown option " + std::string(arg));
    }
  }
  return ninetrace::simulator::Simulate(options);
}
