// Building a recording's summary in the window: the build runs in slices on the one thread, and
// between slices a small dialog shows how far it is and takes Esc or Cancel, so the window never
// looks frozen on a big file. Recordings built in one slice (about 64 MB) show no dialog at all.
#pragma once

class QWidget;

namespace ninetrace {

class TSummaryBuilder;

// Runs `builder` to its end; false when the person cancelled.
bool BuildSummaryWithProgress(QWidget* parent, TSummaryBuilder& builder);

}  // namespace ninetrace
