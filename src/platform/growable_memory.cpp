#include "platform/growable_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <new>

namespace ninetrace {

namespace {

std::size_t RoundToPages(std::size_t bytes) {
  static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// Page blocks released by cleared arrays, kept for the next arrays that grow large. The pages
// are handed to the kernel with MADV_FREE, so they are given back whenever memory runs short;
// until then refilling the overview reuses them instead of faulting and zeroing every page
// again, which otherwise costs as much as storing the points themselves.
class TReleasedBlocks {
 public:
  ~TReleasedBlocks() {
    for (std::size_t i = 0; i < count_; ++i) munmap(blocks_[i].address, blocks_[i].length);
    count_ = 0;
    closed_ = true;  // arrays released later, while the thread winds down, unmap their own blocks
  }

  bool Keep(void* address, std::size_t length) {
    if (closed_ || count_ == blocks_.size() || bytes_ + length > MaxBytes) return false;
    if (madvise(address, length, MADV_FREE) != 0) return false;
    blocks_[count_++] = {address, length};
    bytes_ += length;
    return true;
  }

  // The block released last, or none.
  bool Take(void*& address, std::size_t& length) {
    if (count_ == 0) return false;
    const TBlock& b = blocks_[--count_];
    address = b.address;
    length = b.length;
    bytes_ -= length;
    return true;
  }

 private:
  struct TBlock {
    void* address;
    std::size_t length;
  };
  static constexpr std::size_t MaxBytes = std::size_t{256} << 20;
  std::array<TBlock, 64> blocks_{};
  std::size_t count_ = 0;
  std::size_t bytes_ = 0;
  bool closed_ = false;
};

// One per thread, so no locking: each thread's arrays reuse its own blocks.
thread_local TReleasedBlocks releasedBlocks;

}  // namespace

void TGrowableMemory::Resize(std::size_t keep, std::size_t bytes) {
  if (bytes == 0) {
    Release();
    return;
  }
  if (mapped_ == 0 && bytes < MapThreshold) {
    void* grown = std::realloc(data_, bytes);
    if (!grown) throw std::bad_alloc();
    data_ = grown;
    bytes_ = bytes;
    return;
  }
  const std::size_t length = RoundToPages(bytes);
  if (mapped_ == 0) {
    void* block = nullptr;
    std::size_t blockLength = 0;
    if (!releasedBlocks.Take(block, blockLength)) {
      block = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
      if (block == MAP_FAILED) throw std::bad_alloc();
      blockLength = length;
    }
    if (data_) std::memcpy(block, data_, keep < bytes_ ? keep : bytes_);
    std::free(data_);
    data_ = block;
    mapped_ = blockLength;
  }
  if (length > mapped_) {
    void* moved = mremap(data_, mapped_, length, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    data_ = moved;
    mapped_ = length;
  }
  bytes_ = bytes;
}

void TGrowableMemory::Release() {
  if (mapped_ != 0) {
    if (!releasedBlocks.Keep(data_, mapped_)) munmap(data_, mapped_);
  } else {
    std::free(data_);
  }
  data_ = nullptr;
  bytes_ = mapped_ = 0;
}

}  // namespace ninetrace
