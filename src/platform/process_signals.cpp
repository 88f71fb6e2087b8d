#include "platform/process_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace ninetrace {

namespace {

// Every signal that would end the process and that a handler may catch: the end of a session
// (SIGHUP, SIGTERM, SIGINT), and the rest, sent by mistake or by a tool (SIGQUIT, SIGUSR1, a
// forgotten alarm, a CPU limit). Faults (SIGSEGV, SIGBUS, ...) are left alone: after one nothing
// can be trusted. SIGPIPE and SIGXFSZ are ignored instead, so a write fails and is reported.
std::vector<int> StopSignalNumbers() {
  std::vector<int> numbers = {SIGHUP,  SIGTERM, SIGINT,    SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
                              SIGXCPU, SIGVTALRM, SIGPROF, SIGPOLL, SIGPWR,  SIGSTKFLT};
  for (int number = SIGRTMIN; number <= SIGRTMAX; ++number) numbers.push_back(number);
  return numbers;
}

// Read by the handler, which may run on any thread at any moment: a plain int is all it touches.
volatile sig_atomic_t pipeWriteFd = -1;
std::array<struct sigaction, NSIG> previousActions{};

void NoteStopSignal(int number) {
  const int savedErrno = errno;
  const auto byte = static_cast<unsigned char>(number);
  // A full pipe already holds a signal that has not been taken; losing this one changes nothing.
  [[maybe_unused]] const ssize_t written = ::write(pipeWriteFd, &byte, 1);
  errno = savedErrno;
}

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

void RestoreActions(const std::vector<int>& numbers, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    ::sigaction(numbers[i], &previousActions[static_cast<std::size_t>(numbers[i])], nullptr);
}

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
  const std::vector<int> numbers = StopSignalNumbers();
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (::sigaction(numbers[i], &action, &previousActions[static_cast<std::size_t>(numbers[i])]) != 0) {
      const int error = errno;
      RestoreActions(numbers, i);
      pipeWriteFd = -1;
      errno = error;
      Fail("sigaction");
    }
  }
}

TStopSignals::~TStopSignals() {
  const std::vector<int> numbers = StopSignalNumbers();
  RestoreActions(numbers, numbers.size());
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

void IgnoreBrokenPipeSignal() { ::signal(SIGPIPE, SIG_IGN); }

}  // namespace ninetrace
