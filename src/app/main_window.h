// The one window: the chart on the left, the recorder's and the viewer's controls on the right.
// It owns the recorder and viewer state and routes every event to them.
#pragma once

#include <QStringList>
#include <QWidget>

#include <memory>

#include "recording/channel_scales.h"
#include "acquisition/recorder.h"
#include "acquisition/trace_set.h"
#include "app/error_report.h"
#include "app/follow_mode.h"
#include "chart/chart.h"

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace ninetrace {

class TChartKeys;
class TChartMenu;
class TChartReading;
class TChartWidget;
class TLabelledAxes;
class TOpenDialog;
class TPageViewer;
class TPointerReadout;
class TSilentPortHint;

class TForm2 : public QWidget {
  Q_OBJECT

 public:
  // `arguments` are the command-line arguments after the program name: port, digital-trace
  // mask, line width; a recording file may take the port's place ("FILE" or "--follow FILE",
  // see file_arguments.h). Recordings go to `directory` (the current directory when empty).
  explicit TForm2(const QStringList& arguments = {}, std::filesystem::path directory = {},
                  TErrorReporter reportError = ShowErrorBox);
  ~TForm2() override;

  TChart& Chart() { return chart_; }
  TTraceSet& Traces() { return traces_; }
  TRecorder& Recorder() { return recorder_; }
  TPageViewer& Viewer() { return *viewer_; }

  // What we add to the window (window_additions.cpp): channel names, units and scales from the
  // command line, the pointer readout, labelled axes, keys and the chart's menu.
  void SetChannels(const TChannelScales& channels) { channels_ = channels; }
  const TChannelScales& Channels() const { return channels_; }
  TPointerReadout& Readout() { return *readout_; }
  TLabelledAxes& LabelledAxes() { return *labelledAxes_; }
  TChartMenu& ChartMenu() { return *menu_; }
  TChartReading& Reading() { return *reading_; }

  // Event handlers, named after their control and event.
  void ButtonRunStopClick();
  void ButtonViewClick();
  void ButtonOpenClick();
  void OpenDialog1CanClose(const QString& fileName);
  void OpenDialog1CanClose(const std::filesystem::path& fileName);
  void Button1Click();
  void ButtonStepClick(std::int64_t step);
  void ButtonCloseClick();
  void CheckBoxClick();
  void Button2Click();
  void Timer1Timer();
  void Chart1Click();

  // Look back while recording (key F, and for the chart's menu): starts a second window that
  // follows the recording in progress. Does nothing unless recording; says why when the second
  // window cannot be started. The menu may grey its entry while CanLookBack() is false.
  void LookBack();
  bool CanLookBack() const;
  // This window follows its file as it grows ("--follow"): it never records.
  bool Following() const { return follow_ != nullptr; }
  // How LookBack starts the second window; tests replace it.
  void SetLauncher(TProgramLauncher launch) { launch_ = std::move(launch); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  void ApplyCommandLine(const QStringList& arguments, bool portGiven);
  void OpenFromCommandLine(const std::filesystem::path& file, bool follow);
  void ApplyDigitalTraces();
  void ToggleLineWidth();
  void ShowRecordingState(bool running);
  void CreateAdditions();
  void DestroyAdditions();
  // The page on the chart changed (a step, a jump, "All", a new live page).
  void PageChanged();
  // A live page filled (a new one begins) or more records arrived on the one shown.
  void AfterTick(bool newPage);
  // Says once per recording that its index stopped being written, if it did.
  void ReportIndexProblem();
  void SaveImageAs();
  void ExportRecordsOnScreen();
  template <typename F>
  void Guarded(F&& handler) {
    RunGuarded(reportError_, std::forward<F>(handler));
  }

  TErrorReporter reportError_;
  bool indexProblemSaid_ = false;
  TChart chart_;
  TTraceSet traces_{chart_};
  TRecorder recorder_;
  std::unique_ptr<TPageViewer> viewer_;
  std::unique_ptr<TFollowMode> follow_;
  TProgramLauncher launch_ = LaunchThisProgram;

  TChartWidget* Chart1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* ButtonRunStop = nullptr;
  QPushButton* ButtonView = nullptr;
  QPushButton* ButtonOpen = nullptr;
  QFrame* Panel1 = nullptr;
  QPushButton* Button1 = nullptr;
  QPushButton* ButtonR = nullptr;
  QPushButton* ButtonF = nullptr;
  QPushButton* ButtonRR = nullptr;
  QPushButton* ButtonFF = nullptr;
  QPushButton* ButtonRRR = nullptr;
  QPushButton* ButtonFFF = nullptr;
  QPushButton* ButtonClose = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QPushButton* Button2 = nullptr;
  TOpenDialog* OpenDialog1 = nullptr;
  TSilentPortHint* SilentPortHint = nullptr;
  QTimer* Timer1 = nullptr;

  TChannelScales channels_ = DefaultChannelScales();
  std::unique_ptr<TChartReading> reading_;
  std::unique_ptr<TLabelledAxes> labelledAxes_;
  TPointerReadout* readout_ = nullptr;
  TChartKeys* keys_ = nullptr;
  TChartMenu* menu_ = nullptr;
};

}  // namespace ninetrace
