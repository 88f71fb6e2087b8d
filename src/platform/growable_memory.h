// Memory for arrays that grow to many megabytes. Small blocks live on the C heap; large ones are
// whole pages that the kernel can move to a bigger place without copying a byte.
#pragma once

#include <cstddef>

namespace ninetrace {

class TGrowableMemory {
 public:
  TGrowableMemory() = default;
  ~TGrowableMemory() { Release(); }
  TGrowableMemory(const TGrowableMemory&) = delete;
  TGrowableMemory& operator=(const TGrowableMemory&) = delete;

  void* Data() const { return data_; }
  std::size_t Bytes() const { return bytes_; }

  // Makes the block `bytes` long, keeping its first `keep` bytes; throws std::bad_alloc.
  void Resize(std::size_t keep, std::size_t bytes);
  void Release();

  // Blocks of at least this size are page-mapped.
  static constexpr std::size_t MapThreshold = 64 * 1024;

 private:
  void* data_ = nullptr;
  std::size_t bytes_ = 0;      // what the caller asked for
  std::size_t mapped_ = 0;     // length of the page block when mapped (may exceed bytes_), 0 on the heap
};

}  // namespace ninetrace
