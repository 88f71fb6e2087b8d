#include "platform/growable_memory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace ninetrace {

namespace {

std::size_t RoundToPages(std::size_t bytes) {
  static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

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
    void* block = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) throw std::bad_alloc();
    if (data_) std::memcpy(block, data_, keep < bytes_ ? keep : bytes_);
    std::free(data_);
    data_ = block;
  } else if (length != mapped_) {
    void* moved = mremap(data_, mapped_, length, MREMAP_MAYMOVE);
    if (moved == MAP_FAILED) throw std::bad_alloc();
    data_ = moved;
  }
  mapped_ = length;
  bytes_ = bytes;
}

void TGrowableMemory::Release() {
  if (mapped_ != 0)
    munmap(data_, mapped_);
  else
    std::free(data_);
  data_ = nullptr;
  bytes_ = mapped_ = 0;
}

}  // namespace ninetrace
