#include "acquisition/frame_synchroniser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "byte_queue.h"

using namespace ninetrace;
using ninetrace::testing::TByteQueue;

namespace {

using TBytes = std::vector<std::uint8_t>;
using TFrame = TFrameSynchroniser::TFrame;

TFrame Record(std::uint8_t first) {
  TFrame r;
  for (std::size_t i = 0; i < r.size(); ++i) r[i] = static_cast<std::uint8_t>(first + i);
  return r;
}

TBytes Framed(const TFrame& r) {
  TBytes b(2 + RecordSize, SyncByte);
  std::copy(r.begin(), r.end(), b.begin() + 2);
  return b;
}

TBytes operator+(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const TBytes Padding(7, 0x00);  // lets the last frame out: more than 15 bytes must wait

std::vector<TFrame> Poll(TFrameSynchroniser& sync, TByteSource& source, bool recording = true) {
  return ninetrace::testing::PollRecords(sync, source, recording);
}

TEST(FrameSynchroniser, AttemptsAFrameOnlyWhileMoreThanFifteenBytesWait) {
  TFrameSynchroniser sync;
  TByteQueue source(Framed(Record(1)) + TBytes{SyncByte, SyncByte, 10, 11, 12, 13});  // 15 bytes
  EXPECT_TRUE(Poll(sync, source).empty());
  EXPECT_EQ(source.reads, 0);

  source.Arrive({14});  // 16: one frame, then 7 wait
  EXPECT_EQ(Poll(sync, source), std::vector<TFrame>{Record(1)});
  EXPECT_EQ(source.Consumed(), 9u);

  // Sixteen bytes of noise allow exactly one single-byte attempt.
  TFrameSynchroniser noisy;
  TByteQueue noise(TBytes(16, 0x55));
  EXPECT_TRUE(Poll(noisy, noise).empty());
  EXPECT_EQ(noise.Consumed(), 1u);
  EXPECT_EQ(noisy.BytesDropped(), 1);
}

TEST(FrameSynchroniser, ReadsWholeFramesAsSyncByteSyncByteAndRecord) {
  TFrameSynchroniser sync;
  TByteQueue source(Framed(Record(1)) + Framed(Record(20)) + Framed(Record(40)) + Padding);
  EXPECT_EQ(Poll(sync, source), (std::vector<TFrame>{Record(1), Record(20), Record(40)}));
  EXPECT_EQ(source.reads, 9);  // 1 + 1 + 7 bytes per frame
  EXPECT_EQ(sync.FramesReceived(), 3);
  EXPECT_EQ(sync.BytesDropped(), 0);
}

TEST(FrameSynchroniser, RecordsHoldingSyncBytesAreReadWhileInStep) {
  const TFrame holdsPair{SyncByte, SyncByte, 1, 2, 3, SyncByte, SyncByte};
  const TFrame allSync{SyncByte, SyncByte, SyncByte, SyncByte, SyncByte, SyncByte, SyncByte};
  TFrameSynchroniser sync;
  TByteQueue source(Framed(holdsPair) + Framed(allSync) + Framed(Record(5)) + Padding);
  EXPECT_EQ(Poll(sync, source), (std::vector<TFrame>{holdsPair, allSync, Record(5)}));
}

TEST(FrameSynchroniser, StartingMidFrameDropsBytesUntilTheNextSyncPair) {
  const TBytes tail{3, 4, 5, 6, 7};  // the end of a record sent before we listened
  TFrameSynchroniser sync;
  TByteQueue source(tail + Framed(Record(30)) + Framed(Record(60)) + Padding);
  EXPECT_EQ(Poll(sync, source), (std::vector<TFrame>{Record(30), Record(60)}));
  EXPECT_EQ(sync.BytesDropped(), 5);
}

TEST(FrameSynchroniser, OutOfStepASyncPairInsideARecordGivesAFalseFrameThenItRecovers) {
  const TFrame a{1, SyncByte, SyncByte, 2, 3, 4, 5};
  TFrameSynchroniser sync;
  // Joined just after a's sync pair: a's own bytes 0xFF 0xFF look like one.
  TByteQueue source(TBytes(a.begin(), a.end()) + Framed(Record(50)) + Framed(Record(70)) + Framed(Record(90)) +
                       Padding);
  const std::vector<TFrame> got = Poll(sync, source);
  ASSERT_GE(got.size(), 2u);
  EXPECT_EQ(got[0], (TFrame{2, 3, 4, 5, SyncByte, SyncByte, 50}));
  EXPECT_EQ(got.back(), Record(90));
}

TEST(FrameSynchroniser, ThreeSyncBytesTakeTheThirdIntoTheRecordWithoutLookingAhead) {
  TFrameSynchroniser sync;
  TByteQueue source(TBytes{SyncByte, SyncByte, SyncByte, 1, 2, 3, 4, 5, 6, 7} + Framed(Record(80)) + Padding);
  EXPECT_EQ(Poll(sync, source), (std::vector<TFrame>{{SyncByte, 1, 2, 3, 4, 5, 6}, Record(80)}));
  EXPECT_EQ(sync.BytesDropped(), 1);  // the 7 left over
}

TEST(FrameSynchroniser, FramesSplitAcrossTicksComeOutWhole) {
  TBytes stream;
  std::vector<TFrame> sent;
  for (int i = 0; i < 40; ++i) {
    sent.push_back(Record(static_cast<std::uint8_t>(3 * i)));
    stream = stream + Framed(sent.back());
  }
  stream = stream + Padding;
  for (std::size_t chunk : {1u, 2u, 5u, 8u, 9u, 10u, 16u, 17u, 100u}) {
    TFrameSynchroniser sync;
    TByteQueue source;
    std::vector<TFrame> got;
    for (std::size_t at = 0; at < stream.size(); at += chunk) {
      const auto end = stream.begin() + static_cast<std::ptrdiff_t>(std::min(at + chunk, stream.size()));
      source.Arrive(TBytes(stream.begin() + static_cast<std::ptrdiff_t>(at), end));
      const auto tick = Poll(sync, source);
      got.insert(got.end(), tick.begin(), tick.end());
    }
    EXPECT_EQ(got, sent) << "arriving " << chunk << " bytes per tick";
    EXPECT_EQ(sync.BytesDropped(), 0);
  }
}

TEST(FrameSynchroniser, ReadsNothingWhileNotRecordingAndStopsWhenRecordingEnds) {
  TBytes stream;
  for (int i = 0; i < 10; ++i) stream = stream + Framed(Record(static_cast<std::uint8_t>(i)));
  TFrameSynchroniser sync;
  TByteQueue source(stream);
  EXPECT_TRUE(Poll(sync, source, false).empty());
  EXPECT_EQ(source.reads, 0);

  bool recording = true;
  int frames = 0;
  sync.Poll(source, recording, [&](TSampleRecord) { recording = ++frames < 2; });
  EXPECT_EQ(frames, 2);
  EXPECT_EQ(source.Consumed(), 18u);
}

TEST(FrameSynchroniser, ASourceThatCannotDeliverEndsTheTick) {
  struct TBrokenSource final : TByteSource {
    std::uint32_t QueueCount() override { return 100; }
    std::int32_t Read(std::uint8_t*, std::int32_t) override { return ++reads, 0; }
    int reads = 0;
  } broken;
  TFrameSynchroniser sync;
  EXPECT_TRUE(Poll(sync, broken).empty());
  EXPECT_EQ(broken.reads, 1);
}

}  // namespace
