// The frame synchroniser on any byte stream, arriving in any slices between ticks, from a line
// that may deliver a short read once, against a plain model of the framing rules: the same
// records in the same order, the same bytes dropped, the same bytes left waiting.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "acquisition/frame_synchroniser.h"
#include "fuzz_input.h"

using namespace ninetrace;

namespace {

using TFrame = TFrameSynchroniser::TFrame;

// The line between two ticks: bytes arrive in slices; read number `ShortRead` (from 1) gives
// one byte less than asked, as a failing device would.
class TLine final : public TByteSource {
 public:
  std::deque<std::uint8_t> Bytes;
  int ShortRead = 0;
  int Reads = 0;

  std::uint32_t QueueCount() override { return static_cast<std::uint32_t>(Bytes.size()); }
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override {
    auto n = std::min<std::size_t>(static_cast<std::size_t>(count), Bytes.size());
    if (++Reads == ShortRead && n > 0) --n;
    std::copy_n(Bytes.begin(), n, buffer);
    Bytes.erase(Bytes.begin(), Bytes.begin() + static_cast<std::ptrdiff_t>(n));
    return static_cast<std::int32_t>(n);
  }
};

// The rules, written out as plainly as they read: with more than 15 bytes waiting, take a
// byte; not 0xFF: dropped. Else take another; not 0xFF: both dropped. Else the next 7 bytes
// are a record. A short read drops what the attempt took and ends the tick.
struct TModel {
  TLine Line;
  std::vector<TFrame> Records;
  std::int64_t Dropped = 0;

  // One read of `count` bytes; false when it came short.
  bool Take(std::int32_t count, std::vector<std::uint8_t>& taken) {
    std::uint8_t buffer[RecordSize];
    const std::int32_t got = Line.Read(buffer, count);
    taken.insert(taken.end(), buffer, buffer + got);
    return got == count;
  }

  void Tick(std::size_t stopAfter) {
    while (Records.size() < stopAfter && Line.Bytes.size() > 15) {
      std::vector<std::uint8_t> taken;
      if (!Take(1, taken)) { Dropped += static_cast<std::int64_t>(taken.size()); return; }
      if (taken[0] != 0xFF) { Dropped += 1; continue; }
      if (!Take(1, taken)) { Dropped += static_cast<std::int64_t>(taken.size()); return; }
      if (taken[1] != 0xFF) { Dropped += 2; continue; }
      if (!Take(7, taken)) { Dropped += static_cast<std::int64_t>(taken.size()); return; }
      TFrame record;
      std::copy(taken.begin() + 2, taken.end(), record.begin());
      Records.push_back(record);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

// Input: slice length 1..64, a short read's number (0: none), after how many records the
// recording stops (0: never), then the stream.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::TFuzzInput in(data, size);
  const std::size_t slice = in.Byte() % 64 + 1;
  const int shortRead = in.Byte();
  const std::size_t stopAfter = in.Byte() == 0 ? SIZE_MAX : in.Byte();
  const std::span<const std::uint8_t> stream = in.Rest();

  TModel model;
  model.Line.ShortRead = shortRead;
  TLine line;
  line.ShortRead = shortRead;
  TFrameSynchroniser sync;
  std::vector<TFrame> records;
  bool recording = stopAfter > 0;  // a recording stopped after 0 records never read
  for (std::size_t at = 0; at < stream.size() || at == 0; at += slice) {
    const auto end = std::min(stream.size(), at + slice);
    line.Bytes.insert(line.Bytes.end(), stream.begin() + static_cast<std::ptrdiff_t>(at), stream.begin() + static_cast<std::ptrdiff_t>(end));
    model.Line.Bytes.insert(model.Line.Bytes.end(), stream.begin() + static_cast<std::ptrdiff_t>(at), stream.begin() + static_cast<std::ptrdiff_t>(end));
    const std::int64_t delivered = sync.Poll(line, recording, [&](TSampleRecord r) {
      TFrame copy;
      std::copy(r.begin(), r.end(), copy.begin());
      records.push_back(copy);
      recording = records.size() < stopAfter;
    });
    model.Tick(stopAfter);
    FUZZ_CHECK(delivered >= 0, "negative count");
    if (stream.empty()) break;
  }
  FUZZ_CHECK(records == model.Records, "%zu records, the rules give %zu", records.size(), model.Records.size());
  FUZZ_CHECK(sync.FramesReceived() == static_cast<std::int64_t>(records.size()), "FramesReceived %lld",
             static_cast<long long>(sync.FramesReceived()));
  FUZZ_CHECK(sync.BytesDropped() == model.Dropped, "%lld bytes dropped, the rules drop %lld",
             static_cast<long long>(sync.BytesDropped()), static_cast<long long>(model.Dropped));
  FUZZ_CHECK(line.Bytes == model.Line.Bytes, "%zu bytes left waiting, the rules leave %zu", line.Bytes.size(),
             model.Line.Bytes.size());
  return 0;
}
