// The rule every chart property follows: a setter stores a value and asks for a repaint only when
// the value differs, and never draws.
#pragma once

namespace ninetrace {

template <typename T, typename Notify>
void ChangeAndNotify(T& field, const T& value, Notify&& notify) {
  if (field == value) return;
  field = value;
  notify();
}

}  // namespace ninetrace
