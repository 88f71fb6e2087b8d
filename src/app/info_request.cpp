#include "app/info_request.h"

#include <cstdio>
#include <string_view>

#include "ninetrace_version.h"

namespace ninetrace {

namespace {

constexpr const char* Usage = R"(usage: ninetrace [--channel CH=NAME[,UNIT[,FACTOR[,OFFSET]]]]... [PORT [MASK [WIDTH]]]
       ninetrace [--channel ...]... FILE [MASK [WIDTH]]
       ninetrace [--channel ...]... --follow FILE [MASK [WIDTH]]
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
  --channel CH=NAME[,UNIT[,FACTOR[,OFFSET]]]
             names channel CH (A1..A5, D1..D4) in the pointer readout and, for A1..A5, gives it
             a unit and a scale: value = code x FACTOR + OFFSET (a point for decimals), e.g.
             --channel A1=Pressure,kPa,0.1,-5 --channel D1=Pump; repeat it for more channels
  --help     show this text
  --version  show the version
  --         ends the options: a port path starting with "-" comes after it

Rest the pointer on the chart to read the time, the record and every trace's value under it.
A right click on the chart opens its menu: labelled axes, undo zoom, copy or save the image,
export the records on screen as CSV, look back while recording, and the keys.

keys (each acts as its button, and only while that button can be used):
  Left, Right          <  >    half a page back, forward
  PgUp, PgDn           << >>   a page back, forward
  Ctrl+PgUp, Ctrl+PgDn |<< >>| 10,000,000 bytes back, forward
  Home, End                    the first, the last page
  A                    All     the whole file, or back to the page
  Esc                  Close   close the file
  Ctrl+O               Open    open a recording
  L                            labelled axes on or off
  F                            look back: a second window following the recording (while recording)

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
