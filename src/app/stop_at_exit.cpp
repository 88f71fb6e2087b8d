#include "app/stop_at_exit.h"

#include <cstdio>
#include <cstdlib>

namespace ninetrace {

namespace {

TRecorder* guarded = nullptr;
bool handlerRegistered = false;

void StopGuardedRecording() {
  TRecorder* recorder = guarded;
  guarded = nullptr;
  if (recorder == nullptr || !recorder->Running()) return;
  // No window is left to show a box in: the words go to standard error, for the session's log.
  const std::string problem = recorder->Shutdown();
  if (!problem.empty())
    std::fprintf(stderr, "ninetrace: the display went away while recording. %s\n", problem.c_str());
  else
    std::fprintf(stderr, "ninetrace: the display went away while recording: the recording was stopped as Stop does, "
                         "%lld pages kept in %s.\n",
                 static_cast<long long>(recorder->PagesWritten()), recorder->FilePath().c_str());
}

}  // namespace

TStopAtExit::TStopAtExit(TRecorder& recorder) {
  guarded = &recorder;
  if (!handlerRegistered) handlerRegistered = std::atexit(StopGuardedRecording) == 0;
}

TStopAtExit::~TStopAtExit() { guarded = nullptr; }

}  // namespace ninetrace
