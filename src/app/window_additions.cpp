// What we add to the main window beyond its controls, wired in one place: the pointer readout,
// labelled axes, the keys, the chart's menu and what it saves. The default window is unchanged
// while none of them is in use.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>

#include <limits>

#include "app/chart_files.h"
#include "app/chart_keys.h"
#include "app/chart_menu.h"
#include "app/chart_reading.h"
#include "app/labelled_axes.h"
#include "app/main_window.h"
#include "app/pointer_readout.h"
#include "platform/chart_widget.h"
#include "playback/page_viewer.h"

namespace ninetrace {

namespace {

// Far enough to reach either end of any file from anywhere, small enough never to overflow.
constexpr std::int64_t ToTheEnd = std::numeric_limits<std::int64_t>::max() / 4;

}  // namespace

void TForm2::CreateAdditions() {
  reading_ = std::make_unique<TChartReading>(recorder_, *viewer_, traces_, chart_);
  TLabelledAxes::TBottomSource bottom{
      [this](double x) { return reading_->TimeAtX(x); }, [this](double x) { return reading_->RecordAtX(x); },
      [this] { return !recorder_.Running() && viewer_->ViewMode() == TViewMode::Overview; }};
  labelledAxes_ = std::make_unique<TLabelledAxes>(chart_, traces_, channels_, std::move(bottom));
  readout_ = new TPointerReadout(Chart1, [this](std::int32_t x, std::int32_t y) { return reading_->ReadoutAt(x, y, channels_); });

  auto toggleAxes = [this] {
    Guarded([this] {
      labelledAxes_->Toggle();
      chart_.Refresh();
    });
  };
  keys_ = new TChartKeys(this, {[this] { Guarded([this] { ButtonStepClick(-ToTheEnd); }); },
                                [this] { Guarded([this] { ButtonStepClick(ToTheEnd); }); }, toggleAxes});

  menu_ = new TChartMenu(Chart1);
  menu_->AddToggle(QStringLiteral("Labelled axes\tL"), toggleAxes, [this] { return labelledAxes_->On(); });
  menu_->AddAction(
      QStringLiteral("Undo zoom"),
      [this] {
        Guarded([this] {
          chart_.UndoZoom();
          chart_.Refresh();
        });
      },
      [this] { return !chart_.ScalesRestored(); });
  menu_->AddSeparator();
  menu_->AddAction(QStringLiteral("Copy image"), [this] { QApplication::clipboard()->setImage(Chart1->WindowImage().Image()); });
  menu_->AddAction(QStringLiteral("Save image as PNG\u2026"), [this] { Guarded([this] { SaveImageAs(); }); });
  menu_->AddAction(QStringLiteral("Export records on screen as CSV\u2026"),
                   [this] { Guarded([this] { ExportRecordsOnScreen(); }); },
                   [this] { return reading_->RecordsOnScreen().has_value(); });
  menu_->AddAction(QStringLiteral("Look back in a second window\tF"), [this] { LookBack(); },
                   [this] { return CanLookBack(); });
  menu_->AddSeparator();
  menu_->AddKeyList();
}

void TForm2::DestroyAdditions() {
  // Nothing of ours may run while the window's parts go.
  qApp->removeEventFilter(readout_);
  qApp->removeEventFilter(keys_);
  readout_->Hide();
  chart_.OnGetAxisLabel = nullptr;
}

void TForm2::PageChanged() {
  if (readout_) readout_->Hide();
}

void TForm2::AfterTick(bool newPage) {
  if (newPage)
    PageChanged();
  else if (recorder_.Running())
    readout_->Update();
  ReportIndexProblem();
}

void TForm2::ReportIndexProblem() {
  if (indexProblemSaid_ || !recorder_.Running() || recorder_.IndexProblem().empty()) return;
  indexProblemSaid_ = true;
  // The recording itself is whole; only its times and events are less complete than usual.
  reportError_(QStringLiteral("The index of %1 stopped being written (%2). The recording goes on; the times of the "
                              "pages the index does not describe are estimated from the file name.")
                   .arg(QString::fromStdString(recorder_.FileName()), QString::fromStdString(recorder_.IndexProblem())));
}

void TForm2::SaveImageAs() {
  const std::filesystem::path file = reading_->CurrentFile();
  const QString suggested = file.empty() ? QStringLiteral("chart.png") : QString::fromStdString(file.stem().string()) + ".png";
  const QString target = QFileDialog::getSaveFileName(this, QStringLiteral("Save the chart as PNG"), suggested,
                                                      QStringLiteral("PNG images (*.png)"));
  if (!target.isEmpty()) SaveChartImage(Chart1->WindowImage().Image(), target, file);
}

void TForm2::ExportRecordsOnScreen() {
  const auto records = reading_->RecordsOnScreen();
  if (!records) return;
  const std::filesystem::path file = recorder_.DataFile().Name();
  const QString suggested = QString::fromStdString(file.stem().string()) +
                            QStringLiteral(" records %1-%2.csv").arg(records->first).arg(records->second - 1);
  const QString target = QFileDialog::getSaveFileName(this, QStringLiteral("Export the records on screen as CSV"),
                                                      suggested, QStringLiteral("CSV files (*.csv)"));
  if (!target.isEmpty()) ExportRecordsCsv(file, records->first, records->second, channels_, target);
}

}  // namespace ninetrace
