#include "app/main_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QShortcut>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "acquisition/trace_chart.h"
#include "app/chart_reading.h"
#include "app/file_arguments.h"
#include "app/labelled_axes.h"
#include "app/open_dialog.h"
#include "app/silent_port_hint.h"
#include "app/summary_progress.h"
#include "platform/chart_widget.h"
#include "playback/page_viewer.h"

namespace ninetrace {

namespace {

// "MS Sans Serif" where it exists; elsewhere a narrow sans face, so the captions fit as laid out.
QFont FormFont(int pixelHeight) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelHeight);
  return font;
}

template <typename W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption, int l, int t, int w, int h) {
  auto* button = Place(new QPushButton(caption, parent), name, l, t, w, h);
  button->setFont(FormFont(16));
  return button;
}

constexpr std::int64_t HalfPage = 3500;
constexpr std::int64_t WholePage = 7000;
constexpr std::int64_t LongJump = 10'000'000;

}  // namespace

TForm2::TForm2(const QStringList& arguments, std::filesystem::path directory, TErrorReporter reportError)
    : reportError_(std::move(reportError)),
      recorder_(traces_, [this] { chart_.Refresh(); }, SystemClock(), std::move(directory)) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("y"));
  move(-3, -1);
  resize(1125, 750);
  setFont(FormFont(11));
  QPalette face = palette();
  face.setColor(QPalette::Window, QColor::fromRgb(ColorRefToRgb(ColorToRGB(clBtnFace))));
  setPalette(face);
  setAutoFillBackground(true);

  ConfigureTraceChart(chart_);
  CreateControls();
  viewer_ = std::make_unique<TPageViewer>(
      recorder_, traces_, [this] { chart_.Refresh(); },
      [this](const QString& caption) {
        setWindowTitle(follow_ ? follow_->Caption(caption) : caption);
        PageChanged();
      },
      [this] { return chart_.GetCursorPos().X; });
  viewer_->SetSummaryBuild([this](TSummaryBuilder& builder) { return BuildSummaryWithProgress(this, builder); });
  CreateAdditions();

  TFileArguments files;
  Guarded([&] { files = ReadFileArguments(arguments); });
  ApplyCommandLine(files.Positional, files.File.empty());
  traces_.Clear();
  if (!files.File.empty()) OpenFromCommandLine(files.File, files.Follow);
  Timer1->start();
}

void TForm2::OpenFromCommandLine(const std::filesystem::path& file, bool follow) {
  if (follow) {
    follow_ = std::make_unique<TFollowMode>(*viewer_, recorder_.DataFile());
    ButtonRunStop->setEnabled(false);  // a following window only reads
    viewer_->SetSummaryKept(false);
    move(37, 39);                       // beside the recording window, not hiding it
    setWindowTitle(follow_->Caption(windowTitle()));
  }
  Guarded([&] {
    OpenDialog1CanClose(file);
    // Following starts at the newest page, where the recording grows.
    if (follow) viewer_->StepForward(recorder_.DataFile().Size());
  });
}

TForm2::~TForm2() {
  DestroyAdditions();
  Timer1->stop();
  Chart1->SetClient(nullptr);
  chart_.SetHost(nullptr);
}

void TForm2::CreateControls() {
  Chart1 = Place(new TChartWidget(this), "Chart1", 0, 0, 1000, 713);
  chart_.SetHost(Chart1);
  Chart1->SetClient(&chart_);
  chart_.OnClick = [this](TChart*) { Guarded([this] { Chart1Click(); }); };
  // A deep zoom on the overview may need it reduced for the new view before the chart repaints.
  chart_.OnZoom = chart_.OnUndoZoom = [this](TChart*) { Guarded([this] { viewer_->AxesChanged(); }); };

  Label1 = Place(new QLabel(QStringLiteral("Com"), this), "Label1", 1016, 12, 33, 20);
  Label1->setFont(FormFont(16));
  Edit1 = Place(new QLineEdit(QStringLiteral("1"), this), "Edit1", 1056, 8, 25, 28);
  Edit1->setFont(FormFont(16));
  ButtonRunStop = MakeButton(this, "ButtonRunStop", QStringLiteral("Run"), 1016, 128, 75, 50);
  ButtonView = MakeButton(this, "ButtonView", QStringLiteral("View"), 1016, 208, 75, 50);
  ButtonView->setEnabled(false);
  ButtonOpen = MakeButton(this, "ButtonOpen", QStringLiteral("Open"), 1016, 288, 75, 50);

  // Created after the port field and the three buttons, so it lies over them while shown.
  Panel1 = Place(new QFrame(this), "Panel1", 1008, 8, 105, 369);
  Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Panel1->setAutoFillBackground(true);
  Panel1->hide();
  Button1 = MakeButton(Panel1, "Button1", QStringLiteral("All"), 16, 40, 75, 41);
  ButtonR = MakeButton(Panel1, "ButtonR", QStringLiteral("<"), 11, 104, 38, 49);
  ButtonF = MakeButton(Panel1, "ButtonF", QStringLiteral(">"), 61, 104, 36, 49);
  ButtonRR = MakeButton(Panel1, "ButtonRR", QStringLiteral("<<"), 11, 161, 38, 48);
  ButtonFF = MakeButton(Panel1, "ButtonFF", QStringLiteral(">>"), 61, 161, 36, 48);
  ButtonRRR = MakeButton(Panel1, "ButtonRRR", QStringLiteral("|<<"), 11, 217, 38, 48);
  ButtonFFF = MakeButton(Panel1, "ButtonFFF", QStringLiteral(">>|"), 61, 217, 36, 48);
  ButtonClose = MakeButton(Panel1, "ButtonClose", QStringLiteral("Close"), 16, 288, 75, 41);

  CheckBox1 = Place(new QCheckBox(QStringLiteral("D1, D2"), this), "CheckBox1", 1016, 472, 89, 17);
  CheckBox1->setFont(FormFont(16));
  CheckBox2 = Place(new QCheckBox(QStringLiteral("D3, D4"), this), "CheckBox2", 1016, 536, 97, 17);
  CheckBox2->setFont(FormFont(16));
  CheckBox2->setChecked(true);
  Button2 = Place(new QPushButton(this), "Button2", 1016, 640, 75, 40);  // no caption: the window font

  OpenDialog1 = new TOpenDialog(this);
  SilentPortHint = new TSilentPortHint(this, recorder_);
  setAcceptDrops(true);
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(100);

  auto wire = [this](QPushButton* button, void (TForm2::*handler)()) {
    connect(button, &QPushButton::clicked, this, [this, handler] { Guarded([&] { (this->*handler)(); }); });
  };
  wire(ButtonRunStop, &TForm2::ButtonRunStopClick);
  wire(ButtonView, &TForm2::ButtonViewClick);
  wire(ButtonOpen, &TForm2::ButtonOpenClick);
  wire(Button1, &TForm2::Button1Click);
  wire(ButtonClose, &TForm2::ButtonCloseClick);
  wire(Button2, &TForm2::Button2Click);
  const std::pair<QPushButton*, std::int64_t> steps[] = {{ButtonF, HalfPage},   {ButtonFF, WholePage}, {ButtonFFF, LongJump},
                                                         {ButtonR, -HalfPage}, {ButtonRR, -WholePage}, {ButtonRRR, -LongJump}};
  for (const auto& [button, step] : steps)
    connect(button, &QPushButton::clicked, this, [this, step = step] { Guarded([&] { ButtonStepClick(step); }); });
  // Toggled fires for a person's click and for a change by program, but never when nothing changes.
  for (QCheckBox* box : {CheckBox1, CheckBox2})
    connect(box, &QCheckBox::toggled, this, [this] { Guarded([this] { CheckBoxClick(); }); });
  connect(OpenDialog1, &TOpenDialog::fileSelected, this,
          [this](const std::filesystem::path& name) { Guarded([&] { OpenDialog1CanClose(name); }); });
  connect(new QShortcut(QKeySequence(Qt::Key_F), this), &QShortcut::activated, this, &TForm2::LookBack);
  connect(Timer1, &QTimer::timeout, this, [this] { Guarded([this] { Timer1Timer(); }); });

  setTabOrder(ButtonRunStop, Edit1);
  setTabOrder(Edit1, ButtonOpen);
  setTabOrder(ButtonOpen, ButtonView);
  setTabOrder(ButtonView, Panel1);
  setTabOrder(Panel1, ButtonR);
  setTabOrder(ButtonR, ButtonF);
  setTabOrder(ButtonF, ButtonRR);
  setTabOrder(ButtonRR, ButtonFF);
  setTabOrder(ButtonFF, ButtonRRR);
  setTabOrder(ButtonRRR, ButtonFFF);
  setTabOrder(ButtonFFF, ButtonClose);
  setTabOrder(ButtonClose, Button1);
  setTabOrder(Button1, Button2);
  setTabOrder(Button2, CheckBox1);
  setTabOrder(CheckBox1, CheckBox2);
}

void TForm2::ApplyCommandLine(const QStringList& arguments, bool portGiven) {
  if (arguments.size() >= 1 && portGiven) Edit1->setText(arguments[0]);
  if (arguments.size() >= 2) {
    const QString& mask = arguments[1];
    if (mask == QLatin1String("0")) {
      CheckBox1->setChecked(false);
      CheckBox2->setChecked(false);
    } else if (mask == QLatin1String("1")) {
      CheckBox1->setChecked(true);
      CheckBox2->setChecked(false);
    } else if (mask == QLatin1String("3")) {
      CheckBox1->setChecked(true);
      CheckBox2->setChecked(true);
    }
  }
  if (arguments.size() >= 3 && arguments[2] == QLatin1String("2")) {
    traces_.Series1().LinePen.SetWidth(1);
    ToggleLineWidth();
  }
}

// ---- Recording ----------------------------------------------------------------------------

void TForm2::ShowRecordingState(bool running) {
  ButtonRunStop->setText(running ? QStringLiteral("Stop") : QStringLiteral("Run"));
  if (running) {
    ButtonView->setEnabled(false);
    ButtonOpen->setEnabled(false);
  } else {
    ButtonOpen->setEnabled(true);
    ButtonView->setEnabled(true);
  }
}

void TForm2::ButtonRunStopClick() {
  if (Following()) return;  // it only reads; a recording of its own would be a file beside the one followed
  if (!recorder_.Running()) {
    recorder_.Run(Edit1->text().toStdString());  // throws, changing nothing, when the port fails
    indexProblemSaid_ = false;
    ShowRecordingState(true);
    SilentPortHint->RecordingStarted();
    ApplyDigitalTraces();
    traces_.Clear();
    ReportIndexProblem();
    return;
  }
  try {
    recorder_.Stop(TStopReason::Button);
  } catch (...) {
    ShowRecordingState(false);  // stopped all the same; the message follows
    throw;
  }
  ShowRecordingState(false);
}

void TForm2::Timer1Timer() {
  const bool wasRunning = recorder_.Running();
  const std::int64_t pages = recorder_.PagesWritten();
  try {
    recorder_.Tick();
  } catch (...) {
    if (wasRunning && !recorder_.Running()) ShowRecordingState(false);
    SilentPortHint->Update();
    throw;
  }
  SilentPortHint->Update();
  if (follow_) follow_->Tick();
  AfterTick(recorder_.PagesWritten() != pages);
}

void TForm2::dragEnterEvent(QDragEnterEvent* event) {
  // While recording the data file is the recording's: nothing can be opened then.
  if (!recorder_.Running() && DroppedFile(*event->mimeData())) event->acceptProposedAction();
}

void TForm2::dropEvent(QDropEvent* event) {
  const std::optional<std::filesystem::path> file = DroppedFile(*event->mimeData());
  if (recorder_.Running() || !file) return;
  event->acceptProposedAction();
  Guarded([&] { OpenDialog1CanClose(*file); });
}

bool TForm2::CanLookBack() const { return recorder_.Running(); }

void TForm2::LookBack() {
  if (!CanLookBack()) return;
  Guarded([this] {
    if (!launch_(FollowArguments(recorder_.FilePath())))
      throw std::runtime_error("Cannot start a second window to look back at " + recorder_.FileName() + ".");
  });
}

void TForm2::closeEvent(QCloseEvent* event) {
  // Closing while recording stops as Stop does: the partial page is written and the file closed.
  const std::string problem = recorder_.Shutdown(TStopReason::WindowClosed);
  if (!problem.empty()) reportError_(QString::fromStdString(problem));
  event->accept();
}

// ---- Display options ----------------------------------------------------------------------

void TForm2::CheckBoxClick() { ApplyDigitalTraces(); }

void TForm2::ApplyDigitalTraces() {
  traces_.SeriesD1().LinePen.SetVisible(CheckBox1->isChecked());
  traces_.SeriesD2().LinePen.SetVisible(CheckBox1->isChecked());
  traces_.SeriesD3().LinePen.SetVisible(CheckBox2->isChecked());
  traces_.SeriesD4().LinePen.SetVisible(CheckBox2->isChecked());
}

void TForm2::Button2Click() { ToggleLineWidth(); }

void TForm2::ToggleLineWidth() {
  const std::int32_t width = traces_.Series1().LinePen.Width() == 1 ? 2 : 1;
  for (std::size_t t = 0; t < TraceCount; ++t) traces_[t].LinePen.SetWidth(width);
}

// ---- Viewing ------------------------------------------------------------------------------

void TForm2::ButtonOpenClick() {
  // In the folder of the file viewed or recorded last, else in the recordings folder.
  const std::filesystem::path last = recorder_.DataFile().Name();
  OpenDialog1->SetFolder(last.empty() ? recorder_.FilePath().parent_path() : last.parent_path());
  OpenDialog1->exec();
}

void TForm2::OpenDialog1CanClose(const QString& fileName) {
  OpenDialog1CanClose(std::filesystem::path(QFile::encodeName(fileName).toStdString()));
}

void TForm2::OpenDialog1CanClose(const std::filesystem::path& fileName) {
  const bool wasShown = Panel1->isVisible();
  Panel1->show();
  try {
    viewer_->Open(fileName);
  } catch (...) {
    Panel1->setVisible(wasShown);
    throw;
  }
  if (follow_) follow_->Tick();  // followed from the size it has now
}

void TForm2::ButtonViewClick() {
  const bool wasShown = Panel1->isVisible();
  Panel1->show();
  try {
    viewer_->View(recorder_.FileName().empty() ? std::filesystem::path() : recorder_.FilePath());
  } catch (...) {
    Panel1->setVisible(wasShown);
    throw;
  }
}

void TForm2::ButtonStepClick(std::int64_t step) {
  if (step > 0)
    viewer_->StepForward(step);
  else
    viewer_->StepBack(-step);
}

void TForm2::Button1Click() { viewer_->ToggleOverview(); }

void TForm2::ButtonCloseClick() {
  viewer_->Close();
  Panel1->hide();
}

void TForm2::Chart1Click() { viewer_->ChartClick(); }

}  // namespace ninetrace
