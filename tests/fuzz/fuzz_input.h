// Reading a fuzz input as the choices of one run, and failing a run loudly.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>

namespace ninetrace::fuzz {

// Takes values off the front of the input; once it runs dry every value is its smallest, so
// short inputs still make a valid run.
class TFuzzInput {
 public:
  TFuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  bool Bool() { return Byte() & 1; }
  // lo..hi inclusive.
  std::int32_t Int(std::int32_t lo, std::int32_t hi) {
    std::uint32_t raw = 0;
    for (int i = 0; i < 4; ++i) raw = raw << 8 | Byte();
    const auto span = static_cast<std::uint64_t>(static_cast<std::int64_t>(hi) - lo) + 1;
    return static_cast<std::int32_t>(lo + static_cast<std::int64_t>(raw % span));
  }
  // Any bit pattern: infinities, NaNs and subnormals included.
  double RawDouble() {
    std::uint64_t raw = 0;
    for (int i = 0; i < 8; ++i) raw = raw << 8 | Byte();
    double d;
    std::memcpy(&d, &raw, sizeof d);
    return d;
  }
  // A finite value in lo..hi with 16 bits of resolution.
  double Real(double lo, double hi) { return lo + (hi - lo) * static_cast<double>(Int(0, 65535)) / 65535.0; }

  std::span<const std::uint8_t> Rest() {
    const std::span<const std::uint8_t> rest(data_ + at_, size_ - at_);
    at_ = size_;
    return rest;
  }
  bool Empty() const { return at_ >= size_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

}  // namespace ninetrace::fuzz

// A broken property: says which and stops the run, so the fuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition, ...)                                          \
  do {                                                                      \
    if (!(condition)) {                                                     \
      std::fprintf(stderr, "%s:%d: %s failed: ", __FILE__, __LINE__, #condition); \
      std::fprintf(stderr, __VA_ARGS__);                                    \
      std::fputc('\n', stderr);                                             \
      std::abort();                                                         \
    }                                                                       \
  } while (false)
