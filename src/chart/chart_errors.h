// Exceptions the chart engine raises, with the engine's fixed English texts.
#pragma once

#include <cstdio>
#include <stdexcept>
#include <string>

namespace ninetrace {

class ChartException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class AxisException : public ChartException {
 public:
  using ChartException::ChartException;
};

// Index and capacity faults of the growable lists.
class EListError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

template <typename... Args>
std::string FormatMessage(const char* pattern, Args... args) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, args...);
  return text;
}

}  // namespace ninetrace
