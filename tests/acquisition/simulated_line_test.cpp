// The converter simulator against the frame synchroniser and, end to end, against the recorder.
#include "simulator.h"

#include <poll.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "../platform/test_files.h"
#include "acquisition/frame_synchroniser.h"
#include "acquisition/recorder.h"
#include "byte_queue.h"
#include "chart/axis_panel.h"

using namespace ninetrace;
using namespace ninetrace::simulator;

namespace {

using TBytes = std::vector<std::uint8_t>;

// Everything the synchroniser finds in `bytes`, as the recorder would if they all arrived at once.
std::vector<TRecordBytes> Synchronise(TBytes bytes) {
  ninetrace::testing::TByteQueue source(std::move(bytes));
  TFrameSynchroniser sync;
  return ninetrace::testing::PollRecords(sync, source);
}

TBytes LineBytes(std::uint64_t seed, bool faults, int frames) {
  TConverterLine line(seed, faults);
  TBytes bytes;
  for (int i = 0; i < frames; ++i) line.AppendNext(bytes);
  return bytes;
}

TEST(SimulatedLine, PackedRecordsDecodeToTheCodesAndInputsGiven) {
  for (int code = 0; code < 1024; code += 3) {
    for (int c = 0; c < 5; ++c) {
      std::array<int, 5> codes{1023, 0, 1023, 0, 1023};
      codes[static_cast<std::size_t>(c)] = code;
      const unsigned digital = static_cast<unsigned>(code) & 0x0F;
      const TRecordBytes r = PackRecord(codes, digital);
      for (int k = 0; k < 5; ++k) EXPECT_EQ(ChannelCode(TSampleRecord(r), k), codes[static_cast<std::size_t>(k)]);
      for (int d = 0; d < 4; ++d) EXPECT_EQ(DigitalBit(TSampleRecord(r), d), static_cast<int>((digital >> d) & 1));
    }
  }
}

TEST(SimulatedLine, ChannelsSweepTheWholeCodeRangeAndInputsToggleAtTheirOwnPeriods) {
  const TWaveforms waves(7);
  std::array<int, 5> low{1023, 1023, 1023, 1023, 1023}, high{};
  std::array<int, 4> toggles{};
  const int samples = TWaveforms::ChannelPeriods[4];
  for (int n = 0; n < samples; ++n) {
    const auto codes = waves.Codes(static_cast<std::uint64_t>(n));
    for (std::size_t c = 0; c < 5; ++c) {
      low[c] = std::min(low[c], codes[c]);
      high[c] = std::max(high[c], codes[c]);
    }
    const unsigned changed = waves.Digital(static_cast<std::uint64_t>(n)) ^ waves.Digital(static_cast<std::uint64_t>(n + 1));
    for (std::size_t d = 0; d < 4; ++d) toggles[d] += (changed >> d) & 1;
  }
  for (std::size_t c = 0; c < 5; ++c) {
    EXPECT_EQ(low[c], 0) << "channel " << c + 1;
    EXPECT_EQ(high[c], 1023) << "channel " << c + 1;
  }
  for (std::size_t d = 0; d < 4; ++d)
    EXPECT_NEAR(toggles[d], 2 * samples / TWaveforms::DigitalPeriods[d], 1) << "input " << d + 1;
}

TEST(SimulatedLine, ACleanLineYieldsEveryRecordInOrder) {
  TBytes bytes = LineBytes(5, false, 3000);
  bytes.insert(bytes.end(), 7, 0);
  const auto got = Synchronise(bytes);
  const TWaveforms waves(5);
  ASSERT_EQ(got.size(), 3000u);
  for (std::size_t n = 0; n < got.size(); ++n) ASSERT_EQ(got[n], waves.Record(n)) << n;
}

TEST(SimulatedLine, AFaultyLineLosesOnlyFramesNearTheFaults) {
  TConverterLine line(9, true);
  TBytes bytes;
  for (int i = 0; i < 4000; ++i) line.AppendNext(bytes);
  EXPECT_GT(line.StrayBytes(), 50u);
  EXPECT_LT(bytes.size(), 4000 * (2 + RecordSize) + line.StrayBytes());  // joined mid-frame
  const auto got = Synchronise(bytes);

  // Walk the records sent in order; every record received that is not the next ones sent is a
  // false frame read out of step.
  std::size_t sent = 0, matched = 0;
  for (const TRecordBytes& r : got) {
    std::size_t ahead = sent;
    while (ahead < 4000 && ahead < sent + 5 && line.Waveforms().Record(ahead) != r) ++ahead;
    if (ahead < 4000 && line.Waveforms().Record(ahead) == r) {
      ++matched;
      sent = ahead + 1;
    }
  }
  EXPECT_GE(matched, 4000u - 2 * line.StrayBytes() - 2);
  EXPECT_LE(got.size() - matched, line.StrayBytes());
}

// The simulator program on a pseudo-terminal, the recorder reading it: the file holds exactly the
// records in the bytes the simulator logged.
TEST(SimulatedLine, TheRecorderKeepsEveryFrameTheSimulatorSends) {
  ninetrace::testing::TTempDirectory dir;
  const auto log = dir / "sent.log";
  const std::string command = std::string("'") + NINETRACE_CLI + "' simulate --seconds 1.5 --rate 10 --faults --seed 4 --log '" +
                              log.string() + "' 2>/dev/null";
  std::unique_ptr<FILE, int (*)(FILE*)> simulator(::popen(command.c_str(), "r"), ::pclose);
  ASSERT_TRUE(simulator);
  char path[256] = {};
  ASSERT_NE(std::fgets(path, sizeof path, simulator.get()), nullptr);
  std::string slave(path);
  slave.erase(slave.find_last_not_of('\n') + 1);

  TCustomAxisPanel chart;
  TTraceSet traces(chart);
  TRecorder recorder(traces, {}, SystemClock(), dir.Path());
  recorder.Run(slave);
  // Tick as the window's timer would (faster, to keep the test short) until the simulator exits.
  pollfd done{::fileno(simulator.get()), POLLIN, 0};
  // The simulator hangs its line up as it ends: a tick that comes first finds the device gone and
  // stops the recording itself, as Stop would.
  for (int ticks = 0; ::poll(&done, 1, 20) == 0 && ticks < 1000 && recorder.Running(); ++ticks) {
    try {
      recorder.Tick();
    } catch (const TRecordingError& e) {
      EXPECT_NE(std::string(e.what()).find(" is gone "), std::string::npos) << e.what();
    }
  }
  if (recorder.Running()) recorder.Stop();
  simulator.reset();

  const auto expected = Synchronise(ninetrace::testing::ReadWholeFile(log));
  ASSERT_GT(expected.size(), 2000u);
  ASSERT_EQ(recorder.Synchroniser().FramesReceived(), static_cast<std::int64_t>(expected.size()));
  const TBytes file = ninetrace::testing::ReadWholeFile(recorder.FilePath());
  ASSERT_EQ(file.size(), (expected.size() / RecordsPerPage + 1) * PageSize);
  for (std::size_t i = 0; i < expected.size(); ++i)
    ASSERT_TRUE(std::equal(expected[i].begin(), expected[i].end(), file.begin() + static_cast<std::ptrdiff_t>(i * RecordSize)))
        << "record " << i;
  EXPECT_TRUE(std::all_of(file.begin() + static_cast<std::ptrdiff_t>(expected.size() * RecordSize), file.end(),
                          [](std::uint8_t b) { return b == 0; }));
}

}  // namespace
