// Contiguous storage that grows by the engine's fixed steps and gives all memory back on release.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "chart/chart_errors.h"
#include "platform/growable_memory.h"

namespace ninetrace {

inline constexpr std::int32_t MaxListSize = 134217727;

// Capacity after one growth step: +4 up to 8, +16 up to 64, then a quarter more.
constexpr std::int64_t NextListCapacity(std::int64_t capacity) {
  if (capacity <= 8) return capacity + 4;
  if (capacity <= 64) return capacity + 16;
  return capacity + capacity / 4;
}

// Grows `items` so one more entry fits, by the engine's steps rather than vector's doubling.
template <typename T>
void ReserveOneMore(std::vector<T>& items) {
  if (items.size() < items.capacity()) return;
  std::int64_t next = NextListCapacity(static_cast<std::int64_t>(items.capacity()));
  if (next > MaxListSize) {
    if (static_cast<std::int64_t>(items.size()) >= MaxListSize)
      throw EListError(FormatMessage("List capacity out of bounds (%d)", static_cast<int>(items.size()) + 1));
    next = MaxListSize;
  }
  items.reserve(static_cast<std::size_t>(next));
}

template <typename T>
void ReleaseStorage(std::vector<T>& items) {
  std::vector<T>().swap(items);
}

inline void CheckListIndex(std::int64_t index, std::int64_t limit) {
  if (index < 0 || index >= limit)
    throw EListError(FormatMessage("List index out of bounds (%d)", static_cast<int>(index)));
}

}  // namespace ninetrace

namespace ninetrace {

// A growable array of plain values. The overview appends millions of doubles, so large arrays
// grow by remapping pages rather than copying them.
template <typename T>
  requires std::is_trivially_copyable_v<T>
class TPodArray {
 public:
  std::int32_t Size() const { return size_; }
  std::int32_t Capacity() const { return capacity_; }
  bool Empty() const { return size_ == 0; }
  const T* Data() const { return data(); }
  T& operator[](std::int32_t i) { return data()[i]; }
  const T& operator[](std::int32_t i) const { return data()[i]; }
  const T& Back() const { return data()[size_ - 1]; }

  void Append(T value) {
    if (size_ == capacity_) Grow();
    data()[size_++] = value;
  }

  void Insert(std::int32_t index, T value) {
    if (size_ == capacity_) Grow();
    T* d = data();
    if (index < size_) std::memmove(d + index + 1, d + index, sizeof(T) * static_cast<std::size_t>(size_ - index));
    d[index] = value;
    ++size_;
  }

  void Erase(std::int32_t index) {
    T* d = data();
    std::memmove(d + index, d + index + 1, sizeof(T) * static_cast<std::size_t>(size_ - index - 1));
    --size_;
  }

  // Empties the array and gives its memory back.
  void Release() {
    memory_.Release();
    size_ = capacity_ = 0;
  }

 private:
  T* data() const { return static_cast<T*>(memory_.Data()); }

  void Grow() {
    std::int64_t next = NextListCapacity(capacity_);
    if (next > MaxListSize) {
      if (size_ >= MaxListSize) throw EListError(FormatMessage("List capacity out of bounds (%d)", size_ + 1));
      next = MaxListSize;
    }
    memory_.Resize(sizeof(T) * static_cast<std::size_t>(size_), sizeof(T) * static_cast<std::size_t>(next));
    capacity_ = static_cast<std::int32_t>(next);
  }

  TGrowableMemory memory_;
  std::int32_t size_ = 0;
  std::int32_t capacity_ = 0;
};

}  // namespace ninetrace
