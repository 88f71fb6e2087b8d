// `ninetrace-cli simulate`: plays the converter on a pseudo-terminal (or a given device or file)
// at the real line rate, for trying the recorder without the hardware, or plays a recording back.
#pragma once

#include <cstdint>
#include <string>

namespace ninetrace::simulator {

struct TSimulateOptions {
  double Seconds = 0;  // 0: until SIGTERM or SIGINT
  double Rate = 1;     // multiple of the line rate of 1920 bytes per second
  std::uint64_t Seed = 1;
  std::string Device;  // empty: a new pseudo-terminal
  bool Faults = false;
  std::string LogFile;  // every byte the line accepted is appended here
  std::string Replay;   // a recording to play instead of the waveforms
  bool Loop = false;    // start the recording again at its end
};

// Runs until the time is up or a signal arrives; returns the process exit code.
int Simulate(const TSimulateOptions& options);

}  // namespace ninetrace::simulator
