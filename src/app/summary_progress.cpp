#include "app/summary_progress.h"

#include <QCoreApplication>
#include <QProgressDialog>

#include "recording/summary_builder.h"

namespace ninetrace {
namespace {

int Permille(const TSummaryBuilder& builder) {
  return builder.BytesTotal() > 0 ? static_cast<int>(builder.BytesDone() * 1000 / builder.BytesTotal()) : 1000;
}

}  // namespace

bool BuildSummaryWithProgress(QWidget* parent, TSummaryBuilder& builder) {
  if (builder.Step()) return true;
  QProgressDialog dialog(QStringLiteral("Summarising the recording for All; this is done once."),
                         QStringLiteral("Cancel"), 0, 1000, parent);
  dialog.setObjectName(QStringLiteral("SummaryProgress"));
  dialog.setWindowTitle(QStringLiteral("All"));
  dialog.setWindowModality(Qt::WindowModal);
  dialog.setMinimumDuration(0);
  dialog.setAutoClose(false);
  // Esc reaches the dialog as a rejection when its cancel shortcut does not fire (the window not
  // active yet); either way the build stops.
  bool rejected = false;
  QObject::connect(&dialog, &QDialog::rejected, &dialog, [&rejected] { rejected = true; });
  dialog.setValue(Permille(builder));
  while (!builder.Step()) {
    dialog.setValue(Permille(builder));
    // Paints, the timer's tick and Esc get their turn between slices.
    QCoreApplication::processEvents();
    if (dialog.wasCanceled() || rejected) return false;
  }
  return true;
}

}  // namespace ninetrace
