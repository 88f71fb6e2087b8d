// `ninetrace --help` and `ninetrace --version`: answered before any window exists, so they work
// without a display.
#pragma once

#include <optional>

namespace ninetrace {

// When the first argument asks for help or the version, prints it and returns the exit status;
// otherwise returns nothing and the arguments keep their meaning (port, mask, width).
std::optional<int> AnswerInfoRequest(int argc, char** argv);

}  // namespace ninetrace
