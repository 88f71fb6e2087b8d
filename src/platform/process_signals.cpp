#include "platform/process_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>
#include <system_error>

namespace ninetrace {

namespace {

constexpr std::array<int, 3> StopSignalNumbers = {SIGHUP, SIGTERM, SIGINT};

// Read by the handler, which may run on any thread at any moment: a plain int is all it touches.
volatile sig_atomic_t pipeWriteFd = -1;
std::array<struct sigaction, StopSignalNumbers.size()> previousActions{};

void NoteStopSignal(int number) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(number);
  // A full pipe already holds a signal that has not been taken; losing this one changes nothing.
  [[maybe_unused]] const ssize_t written = ::write(pipeWriteFd, &byte, 1);
  errno = savedErrno;
}

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

TStopSignals::TStopSignals() {
  if (pipeWriteFd >= 0) throw std::logic_error("TStopSignals: only one may exist at a time");
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe2");
  readEnd_.Reset(ends[0]);
  writeEnd_.Reset(ends[1]);
  pipeWriteFd = ends[1];
  struct sigaction action {};
  action.sa_handler = NoteStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // nobody needs a call interrupted: the pipe wakes whoever waits
  for (std::size_t i = 0; i < StopSignalNumbers.size(); ++i) {
    if (::sigaction(StopSignalNumbers[i], &action, &previousActions[i]) != 0) {
      const int error = errno;
      for (std::size_t j = 0; j < i; ++j) ::sigaction(StopSignalNumbers[j], &previousActions[j], nullptr);
      pipeWriteFd = -1;
      errno = error;
      Fail("sigaction");
    }
  }
}

TStopSignals::~TStopSignals() {
  for (std::size_t i = 0; i < StopSignalNumbers.size(); ++i)
    ::sigaction(StopSignalNumbers[i], &previousActions[i], nullptr);
  pipeWriteFd = -1;
}

int TStopSignals::Take() {
  unsigned char byte = 0;
  for (;;) {
    const ssize_t n = ::read(readEnd_.Get(), &byte, 1);
    if (n == 1) return byte;
    if (n < 0 && errno == EINTR) continue;
    return 0;
  }
}

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace ninetrace
