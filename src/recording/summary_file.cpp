#include "recording/summary_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/positioned_io.h"

namespace ninetrace {
namespace {

// Header: magic, version, block bytes, records per page, fan-out and levels, then the stamp of
// the recording described and a check of the blocks that follow. Little-endian throughout.
constexpr std::array<char, 8> Magic{'N', 'T', 'S', 'U', 'M', 'M', 'R', 'Y'};
constexpr std::uint32_t Version = 1;
constexpr std::int64_t HeaderBytes = 64;
constexpr std::int64_t BlockBytes = 16;

void Put(std::uint8_t* at, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}
std::uint64_t Get(const std::uint8_t* at, int bytes) {
  std::uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= std::uint64_t{at[i]} << (8 * i);
  return value;
}

// A block in 16 bytes: ten 10-bit codes, the inputs' AND and OR, the rest zero.
void Encode(const TBlockSummary& b, std::uint8_t* out) {
  std::uint64_t lo = 0, hi = 0;
  for (int c = 0; c < 3; ++c) lo |= std::uint64_t{b.Low[c]} << (20 * c) | std::uint64_t{b.High[c]} << (20 * c + 10);
  lo |= std::uint64_t{b.Ands} << 60;
  for (int c = 3; c < 5; ++c)
    hi |= std::uint64_t{b.Low[c]} << (20 * (c - 3)) | std::uint64_t{b.High[c]} << (20 * (c - 3) + 10);
  hi |= std::uint64_t{b.Ors} << 40;
  Put(out, lo, 8);
  Put(out + 8, hi, 8);
}

std::optional<TBlockSummary> Decode(const std::uint8_t* in) {
  const std::uint64_t lo = Get(in, 8), hi = Get(in + 8, 8);
  if (hi >> 44) return std::nullopt;
  TBlockSummary b;
  const auto code = [](std::uint64_t word, int at) { return static_cast<std::uint16_t>(word >> at & 1023); };
  for (std::size_t c = 0; c < 3; ++c) {
    b.Low[c] = code(lo, 20 * static_cast<int>(c));
    b.High[c] = code(lo, 20 * static_cast<int>(c) + 10);
  }
  for (std::size_t c = 3; c < 5; ++c) {
    b.Low[c] = code(hi, 20 * static_cast<int>(c - 3));
    b.High[c] = code(hi, 20 * static_cast<int>(c - 3) + 10);
  }
  b.Ands = static_cast<std::uint8_t>(lo >> 60);
  b.Ors = static_cast<std::uint8_t>(hi >> 40 & 0x0F);
  return b;
}

// A running check of the stored blocks, word by word: cheap enough for every load, and any
// damage or tear changes it.
std::uint64_t Check(std::uint64_t check, const std::uint8_t* bytes, std::int64_t count) {
  for (std::int64_t i = 0; i + 8 <= count; i += 8)
    check = std::rotl(check ^ Get(bytes + i, 8), 27) * 0x9E3779B97F4A7C15ull;
  return check;
}
constexpr std::uint64_t CheckStart = 0x6E696E6574726163ull;

void EncodeHeader(std::uint8_t* out, const TRecordingStamp& stamp, std::uint64_t check) {
  std::memset(out, 0, HeaderBytes);
  std::memcpy(out, Magic.data(), Magic.size());
  Put(out + 8, Version, 4);
  Put(out + 12, BlockBytes, 4);
  Put(out + 16, SummaryPageRecords, 4);
  Put(out + 20, TRecordingSummary::Fanout, 2);
  Put(out + 22, TRecordingSummary::Levels, 2);
  Put(out + 24, static_cast<std::uint64_t>(stamp.Size), 8);
  Put(out + 32, stamp.Device, 8);
  Put(out + 40, stamp.Inode, 8);
  Put(out + 48, static_cast<std::uint64_t>(stamp.ModifiedNs), 8);
  Put(out + 56, check, 8);
}

// Reads `count` bytes at `offset`; false when fewer are there.
bool ReadWhole(int fd, std::uint8_t* bytes, std::int64_t count, std::int64_t offset) {
  return ReadAt(fd, bytes, count, offset) == count;
}

}  // namespace

std::optional<TRecordingStamp> StampOf(int fd) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::nullopt;
  return TRecordingStamp{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                         static_cast<std::int64_t>(info.st_size),
                         static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec};
}

std::filesystem::path SummaryPathFor(const std::filesystem::path& recording) {
  std::filesystem::path path = recording;
  path += ".summary";
  return path;
}

std::optional<TRecordingSummary> LoadSummary(const std::filesystem::path& summaryPath, const TRecordingStamp& stamp) {
  const TFileDescriptor fd(::open(summaryPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
  struct stat info {};
  if (!fd.IsOpen() || ::fstat(fd.Get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  const std::int64_t pages = stamp.Size / SummaryPageBytes;
  const std::int64_t body = TRecordingSummary::StoredBlocks(pages) * BlockBytes;
  if (info.st_size != HeaderBytes + body) return std::nullopt;
  std::array<std::uint8_t, HeaderBytes> header{}, expected{};
  if (!ReadWhole(fd.Get(), header.data(), HeaderBytes, 0)) return std::nullopt;
  const std::uint64_t storedCheck = Get(header.data() + 56, 8);
  EncodeHeader(expected.data(), stamp, storedCheck);
  if (header != expected) return std::nullopt;  // another version, recording, size or time

  // The blocks in pieces of a megabyte, checked and taken in as they come.
  ::posix_fadvise(fd.Get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  TRecordingSummary summary;
  summary.Reserve(pages);
  std::vector<std::uint8_t> piece(static_cast<std::size_t>(65536 * BlockBytes));
  std::uint64_t check = CheckStart;
  for (std::int64_t at = 0; at < body;) {
    const std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(piece.size()), body - at);
    if (!ReadWhole(fd.Get(), piece.data(), n, HeaderBytes + at)) return std::nullopt;
    check = Check(check, piece.data(), n);
    for (std::int64_t i = 0; i < n; i += BlockBytes) {
      const std::optional<TBlockSummary> block = Decode(piece.data() + i);
      if (!block || !summary.AddStored(*block)) return std::nullopt;
    }
    at += n;
  }
  if (check != storedCheck || !summary.StoredComplete() || summary.Pages() != pages) return std::nullopt;
  return summary;
}

namespace {

// The stored blocks in stored order: each page followed by the blocks above it that it closes.
std::vector<std::uint8_t> EncodeBody(const TRecordingSummary& summary) {
  std::vector<std::uint8_t> body(static_cast<std::size_t>(TRecordingSummary::StoredBlocks(summary.Pages()) * BlockBytes));
  std::uint8_t* out = body.data();
  for (std::int64_t p = 0; p < summary.Pages(); ++p) {
    Encode(summary.Level(0)[static_cast<std::size_t>(p)], out);
    out += BlockBytes;
    for (int level = 1; level < TRecordingSummary::Levels; ++level) {
      const std::int64_t n = TRecordingSummary::PagesPerBlock(level);
      if ((p + 1) % n != 0) break;
      Encode(summary.Level(level)[static_cast<std::size_t>((p + 1) / n - 1)], out);
      out += BlockBytes;
    }
  }
  return body;
}

}  // namespace

bool SaveSummary(const std::filesystem::path& summaryPath, const TRecordingSummary& summary,
                 const TRecordingStamp& stamp) {
  std::string temporary = summaryPath.string() + ".XXXXXX";
  const TFileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!fd.IsOpen()) return false;
  const std::vector<std::uint8_t> body = EncodeBody(summary);
  std::array<std::uint8_t, HeaderBytes> header{};
  EncodeHeader(header.data(), stamp, Check(CheckStart, body.data(), static_cast<std::int64_t>(body.size())));
  const bool written = ::fchmod(fd.Get(), 0644) == 0 && WriteAllAt(fd.Get(), header.data(), HeaderBytes, 0) &&
                       WriteAllAt(fd.Get(), body.data(), static_cast<std::int64_t>(body.size()), HeaderBytes);
  if (written && ::rename(temporary.c_str(), summaryPath.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

void TSummaryWriter::Start(const std::filesystem::path& recording) {
  *this = TSummaryWriter();
  path_ = SummaryPathFor(recording);
  started_ = true;
}

bool TSummaryWriter::Open() noexcept {
  // Only once the recording holds a page, so a recording that never gets one leaves nothing.
  // The recording is new, so a summary under its name belongs to one that is gone.
  fd_.Reset(::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
  started_ = false;
  check_ = CheckStart;
  return fd_.IsOpen();
}

void TSummaryWriter::AppendPage(const std::uint8_t* page, int recordingFd) noexcept {
  if (started_ && !Open()) return;
  if (!fd_.IsOpen()) return;
  const TBlockSummary block = SummariseRecords(page, SummaryPageRecords);
  std::array<std::uint8_t, BlockBytes * TRecordingSummary::Levels> blocks{};
  Encode(block, blocks.data());
  std::int64_t n = BlockBytes;
  ++pages_;
  for (int level = 1; level < TRecordingSummary::Levels; ++level) open_[static_cast<std::size_t>(level)].Merge(block);
  for (int level = 1; level < TRecordingSummary::Levels && pages_ % TRecordingSummary::PagesPerBlock(level) == 0; ++level) {
    Encode(open_[static_cast<std::size_t>(level)], blocks.data() + n);
    open_[static_cast<std::size_t>(level)] = {};
    n += BlockBytes;
  }
  // Blocks first, the header last: a crash between them leaves a header that no longer matches
  // the recording, so the summary is built again instead of believed.
  const std::optional<TRecordingStamp> stamp = StampOf(recordingFd);
  if (!stamp || !WriteAllAt(fd_.Get(), blocks.data(), n, HeaderBytes + bodyBytes_)) return Abandon();
  bodyBytes_ += n;
  check_ = Check(check_, blocks.data(), n);
  std::array<std::uint8_t, HeaderBytes> header{};
  EncodeHeader(header.data(), *stamp, check_);
  if (!WriteAllAt(fd_.Get(), header.data(), HeaderBytes, 0)) Abandon();
}

void TSummaryWriter::Abandon() noexcept {
  fd_.Reset();
  std::error_code ignored;
  std::filesystem::remove(path_, ignored);
}

}  // namespace ninetrace
