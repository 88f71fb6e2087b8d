#include "app/info_request.h"

#include <cstdio>
#include <string_view>

#include "ninetrace_version.h"

namespace ninetrace {

namespace {

constexpr const char* Usage = R"(usage: ninetrace [PORT [MASK [WIDTH]]]
       ninetrace FILE [MASK [WIDTH]]
       ninetrace --follow FILE [MASK [WIDTH]]
       ninetrace --help | --version

Records the converter's stream live as nine traces and into a new file in the current directory
named after the start time ("yymmdd hhnnss.bin"), pages through recordings, and shows a whole
recording at once.

arguments:
  PORT     the port: a number n for COMn, that is /dev/ttyS(n-1), or a device path such as
           /dev/ttyUSB0 (default 1); `ninetrace-cli ports` lists the ports present
  FILE     a recording to open, as Open does (a plain number is always a port: write ./4 for a
           file named 4)
  MASK     digital traces shown: 0 none, 1 D1 and D2, 3 all four (default: D3 and D4)
  WIDTH    2 draws every line 2 pixels wide (default 1)

options:
  --follow   follow FILE while another window or `ninetrace-cli record` writes it: new pages
             come in as they are written; this window never records (key F in a recording
             window opens one on its recording)
  --help     show this text
  --version  show the version
  --         ends the options: a port path starting with "-" comes after it

See ninetrace(1) for the controls, the file format and the messages.
)";

}  // namespace

std::optional<int> AnswerInfoRequest(int argc, char** argv) {
  if (argc < 2) return std::nullopt;
  const std::string_view first = argv[1];
  if (first == "--help" || first == "-h") {
    std::fputs(Usage, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  if (first == "--version") {
    std::printf("ninetrace %s\n", Version);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
  }
  if (first == "--follow" && (argc < 3 || argv[2][0] == '\0')) {
    std::fputs("ninetrace: --follow needs the recording to follow: ninetrace --follow FILE\n", stderr);
    return 2;
  }
  return std::nullopt;
}

}  // namespace ninetrace
