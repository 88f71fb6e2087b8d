#include "platform/process_signals.h"

#include <poll.h>
#include <signal.h>

#include <gtest/gtest.h>

using namespace ninetrace;

namespace {

bool Readable(int fd) {
  pollfd state{fd, POLLIN, 0};
  return ::poll(&state, 1, 0) == 1;
}

TEST(StopSignals, EachStopSignalBecomesABytePutBackAfterwards) {
  struct sigaction before {};
  ::sigaction(SIGHUP, nullptr, &before);
  {
    TStopSignals stop;
    EXPECT_FALSE(Readable(stop.Fd()));
    EXPECT_EQ(stop.Take(), 0);
    for (int number : {SIGHUP, SIGTERM, SIGINT}) {
      ASSERT_EQ(::raise(number), 0);  // the process lives on: the handler only marks the pipe
      EXPECT_TRUE(Readable(stop.Fd()));
      EXPECT_EQ(stop.Take(), number);
      EXPECT_FALSE(Readable(stop.Fd()));
    }
    EXPECT_THROW(TStopSignals second, std::logic_error);
  }
  struct sigaction after {};
  ::sigaction(SIGHUP, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
}

}  // namespace
