#include "simulator.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ninetrace::simulator {

namespace {

constexpr int MaxCode = 1023;

// splitmix64: tiny, and the same sequence on every platform, unlike the standard distributions.
std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Position within the period as a fraction 0 <= t < 1.
double Fraction(std::uint64_t n, std::uint64_t phase, int period) {
  const auto p = static_cast<std::uint64_t>(period);
  return static_cast<double>((n + phase) % p) / static_cast<double>(p);
}

// A rising edge from 0 to the top code within the period.
int Ramp(std::uint64_t n, std::uint64_t phase, int period) {
  const auto p = static_cast<std::uint64_t>(period);
  return static_cast<int>((n + phase) % p * MaxCode / (p - 1));
}

int ToCode(double unit) { return std::clamp(static_cast<int>(std::lround(unit * MaxCode)), 0, MaxCode); }

}  // namespace

TRecordBytes PackRecord(const std::array<int, 5>& codes, unsigned digital) {
  TRecordBytes r{};
  for (std::size_t c = 0; c < 5; ++c) r[c] = static_cast<std::uint8_t>(codes[c] >> 2);
  for (std::size_t c = 0; c < 4; ++c) r[5] = static_cast<std::uint8_t>(r[5] | (codes[c] & 3) << (2 * c));
  r[6] = static_cast<std::uint8_t>((digital & 0x0F) | (codes[4] & 3) << 4);
  return r;
}

TWaveforms::TWaveforms(std::uint64_t seed) : seed_(seed) {
  for (std::size_t i = 0; i < phase_.size(); ++i) {
    const int period = i < 5 ? ChannelPeriods[i] : DigitalPeriods[i - 5];
    phase_[i] = Mix(seed ^ (i * 0x100000001B3ull)) % static_cast<std::uint64_t>(period);
  }
}

std::array<int, 5> TWaveforms::Codes(std::uint64_t n) const {
  const double sine = Fraction(n, phase_[0], ChannelPeriods[0]);
  const double triangle = Fraction(n, phase_[1], ChannelPeriods[1]);
  const double square = Fraction(n, phase_[3], ChannelPeriods[3]);
  // A least significant bit of noise on the sine, as a real converter shows.
  const int noise = static_cast<int>(Mix(seed_ ^ Mix(n)) % 3) - 1;
  return {
      std::clamp(ToCode(0.5 + 0.5 * std::sin(2 * std::numbers::pi * sine)) + noise, 0, MaxCode),
      ToCode(triangle < 0.5 ? 2 * triangle : 2 - 2 * triangle),
      Ramp(n, phase_[2], ChannelPeriods[2]),
      square < 0.5 ? MaxCode : 0,
      Ramp(n, phase_[4], ChannelPeriods[4]),
  };
}

unsigned TWaveforms::Digital(std::uint64_t n) const {
  unsigned bits = 0;
  for (std::size_t d = 0; d < 4; ++d)
    if (Fraction(n, phase_[5 + d], DigitalPeriods[d]) < 0.5) bits |= 1u << d;
  return bits;
}

TConverterLine::TConverterLine(std::uint64_t seed, bool faults)
    : waveforms_(seed), faults_(faults), random_(Mix(seed + 0x5EED)) {}

std::uint64_t TConverterLine::NextRandom() { return Mix(random_++); }

void TConverterLine::AppendNext(std::vector<std::uint8_t>& out) {
  const TRecordBytes record = waveforms_.Record(frames_);
  std::array<std::uint8_t, 2 + RecordSize> frame{SyncByte, SyncByte};
  std::copy(record.begin(), record.end(), frame.begin() + 2);
  std::size_t from = 0;
  if (faults_ && frames_ == 0) {
    from = 1 + NextRandom() % (frame.size() - 1);  // plugged in while a frame was on its way
  } else if (faults_ && NextRandom() % 40 == 0) {
    // Line noise: one to three stray bytes, a third of them looking like sync bytes.
    const std::uint64_t count = 1 + NextRandom() % 3;
    for (std::uint64_t i = 0; i < count; ++i) {
      const std::uint64_t r = NextRandom();
      out.push_back(r % 3 == 0 ? SyncByte : static_cast<std::uint8_t>(r >> 8));
    }
    strayBytes_ += count;
  }
  out.insert(out.end(), frame.begin() + static_cast<std::ptrdiff_t>(from), frame.end());
  ++frames_;
}

}  // namespace ninetrace::simulator
