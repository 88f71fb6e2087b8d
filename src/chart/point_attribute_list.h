// Per-point colours and labels that take no storage while every entry has its default.
// Every point this program adds has the default colour and no label, so these lists
// usually hold nothing but a count; the first other entry turns them into real arrays.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "chart/colors.h"
#include "chart/growable_array.h"

namespace ninetrace {

template <typename T, typename Traits>
class TLazyPointList {
 public:
  std::int32_t Count() const { return count_; }
  std::int32_t Capacity() const { return static_cast<std::int32_t>(items_.capacity()); }
  bool IsMaterialized() const { return !items_.empty(); }

  void Insert(std::int32_t index, T value) {
    // The series' x list has already enforced the size limit for this point.
    if (items_.empty() && Traits::IsDefault(value)) {
      ++count_;
      return;
    }
    if (items_.empty() && count_ > 0) Materialize();
    ReserveOneMore(items_);
    items_.insert(items_.begin() + index, std::move(value));
    ++count_;
  }

  void InsertDefault(std::int32_t index) {
    if (items_.empty())
      ++count_;
    else
      Insert(index, Traits::Default());
  }

  // The entry at index, or nullptr when it holds the default.
  const T* Find(std::int32_t index) const {
    if (items_.empty() || index < 0 || index >= count_) return nullptr;
    return &items_[static_cast<std::size_t>(index)];
  }

  void RemoveAt(std::int32_t index) {
    CheckListIndex(index, count_);
    if (!items_.empty()) items_.erase(items_.begin() + index);
    --count_;
  }

  // Every entry back to the default, keeping the count.
  void ResetToDefault() { ReleaseStorage(items_); }

  void Clear() {
    ReleaseStorage(items_);
    count_ = 0;
  }

 private:
  void Materialize() {
    items_.reserve(static_cast<std::size_t>(count_) + 1);
    for (std::int32_t i = 0; i < count_; ++i) items_.push_back(Traits::Default());
  }

  std::int32_t count_ = 0;
  std::vector<T> items_;
};

struct PointColorTraits {
  static bool IsDefault(TColor c) { return c == clDefault; }
  static TColor Default() { return clDefault; }
};

// A label entry: absent (nullptr) for an empty label, its own copy of the text otherwise.
using TPointLabel = std::unique_ptr<std::string>;

struct PointLabelTraits {
  static bool IsDefault(const TPointLabel& l) { return !l; }
  static TPointLabel Default() { return nullptr; }
};

using TPointColorList = TLazyPointList<TColor, PointColorTraits>;
using TPointLabelList = TLazyPointList<TPointLabel, PointLabelTraits>;

}  // namespace ninetrace
