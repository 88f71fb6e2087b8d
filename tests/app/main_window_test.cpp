// The real window, driven offscreen through its controls' names as a person would use them.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QTreeWidget>
#include <QFrame>
#include <QLabel>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <array>
#include <fstream>
#include <set>
#include <atomic>
#include <chrono>
#include <ctime>
#include <fstream>
#include <span>
#include <thread>
#include <vector>

#include "../platform/test_files.h"
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <functional>

#include "app/file_arguments.h"
#include "app/follow_mode.h"
#include "app/main_window.h"
#include "app/open_dialog.h"
#include "app/silent_port_hint.h"
#include "app/stop_signal_notifier.h"
#include "platform/serial_pty.h"
#include "playback/page_viewer.h"
#include "recording/summary_file.h"

using namespace ninetrace;

Q_DECLARE_METATYPE(std::filesystem::path)

class MainWindowTest : public QObject {
  Q_OBJECT

  struct Window {
    ninetrace::testing::TTempDirectory dir;
    QStringList errors;
    TForm2 form;
    explicit Window(const QStringList& args)
        : form(args, dir.Path(), [this](const QString& m) { errors << m; }) {}
    template <typename T>
    T* Find(const char* name) {
      T* w = form.findChild<T*>(QLatin1String(name));
      if (!w) qFatal("no control %s", name);
      return w;
    }
    bool PenVisible(std::size_t trace) { return form.Traces()[trace].LinePen.Visible(); }
    std::vector<std::int32_t> Widths() {
      std::vector<std::int32_t> w;
      for (std::size_t t = 0; t < TraceCount; ++t) w.push_back(form.Traces()[t].LinePen.Width());
      return w;
    }
  };

  static std::vector<std::int32_t> All(std::int32_t w) { return std::vector<std::int32_t>(TraceCount, w); }

  // `count` frames whose first record byte counts them, and the padding that lets the last out.
  static std::vector<std::uint8_t> Frames(int count) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
      const std::array<std::uint8_t, 9> frame{0xFF, 0xFF, static_cast<std::uint8_t>(i), 1, 2, 3, 4, 5, 6};
      bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    bytes.insert(bytes.end(), 16, 0);
    return bytes;
  }

  // Presses Run and feeds `frames` frames through the line until the window has taken them all.
  static bool RecordFrames(Window& w, TSerialPty& line, int frames) {
    QTest::mouseClick(w.Find<QPushButton>("ButtonRunStop"), Qt::LeftButton);
    if (!w.form.Recorder().Running()) return false;
    const std::vector<std::uint8_t> bytes = Frames(frames);
    std::span<const std::uint8_t> rest(bytes);
    const auto fill = static_cast<std::size_t>(frames) % RecordsPerPage;
    return QTest::qWaitFor([&] { return (rest = rest.subspan(line.Write(rest))).empty() && w.form.Recorder().FillPosition() == fill; },
                           10000);
  }

  // Records with the page buffer's first byte counting 0, 1, 2, ...: how many of them the file holds.
  static int CountedRecords(const std::filesystem::path& file) {
    const std::vector<std::uint8_t> bytes = ninetrace::testing::ReadWholeFile(file);
    int n = 0;
    while (static_cast<std::size_t>(n + 1) * RecordSize <= bytes.size() && bytes[static_cast<std::size_t>(n) * RecordSize + 1] == 1)
      ++n;
    return n;
  }

  // Appends `count` pages whose records carry their page number (from 1) in channel 1 and a 1 in
  // the next byte, as a recorder appends them.
  static void AppendPages(const std::filesystem::path& file, int first, int count) {
    std::ofstream out(file, std::ios::binary | std::ios::app);
    for (int p = first; p < first + count; ++p)
      for (std::size_t r = 0; r < RecordsPerPage; ++r) {
        const std::array<char, RecordSize> record{static_cast<char>(p + 1), 1, 2, 3, 4, 5, 6};
        out.write(record.data(), record.size());
      }
  }

  // The pages (from 0) whose records trace 1 shows: a page cut off must not linger on the chart.
  static std::set<int> PagesOnChart(TForm2& form) {
    std::set<int> pages;
    const TChartSeries& trace = form.Traces()[0];
    for (std::int32_t i = 0; i < trace.PointCount(); ++i)
      for (int p = 0; p < 64; ++p)
        if (const std::array<std::uint8_t, RecordSize> r{static_cast<std::uint8_t>(p + 1), 1, 2, 3, 4, 5, 6};
            trace.YAt(i) == DecodeTraceValues(TSampleRecord(r))[0])
          pages.insert(p);
    return pages;
  }

  static void Drop(TForm2& form, const QList<QUrl>& urls, bool& enterAccepted) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(500, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &enter);
    enterAccepted = enter.isAccepted();
    QDropEvent drop(QPointF(500, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&form, &drop);
  }

 private slots:
  void noArgumentsGiveTheDefaults() {
    Window w({});
    QCOMPARE(w.form.objectName(), QStringLiteral("Form2"));
    QCOMPARE(w.form.windowTitle(), QStringLiteral("y"));
    QCOMPARE(w.form.size(), QSize(1125, 750));
    QCOMPARE(w.Find<QLineEdit>("Edit1")->text(), QStringLiteral("1"));
    QVERIFY(!w.Find<QCheckBox>("CheckBox1")->isChecked());
    QVERIFY(w.Find<QCheckBox>("CheckBox2")->isChecked());
    QVERIFY(!w.PenVisible(5) && !w.PenVisible(6));
    QVERIFY(w.PenVisible(7) && w.PenVisible(8));
    QCOMPARE(w.Widths(), All(1));
    QVERIFY(!w.Find<QPushButton>("ButtonView")->isEnabled());
    QVERIFY(w.Find<QPushButton>("ButtonOpen")->isEnabled());
    QVERIFY(w.Find<QFrame>("Panel1")->isHidden());
    QCOMPARE(w.Find<QWidget>("Chart1")->geometry(), QRect(0, 0, 1000, 713));
    QCOMPARE(w.Find<QPushButton>("ButtonRunStop")->geometry(), QRect(1016, 128, 75, 50));
    QCOMPARE(w.Find<QFrame>("Panel1")->geometry(), QRect(1008, 8, 105, 369));
    QCOMPARE(w.Find<QPushButton>("ButtonFFF")->geometry(), QRect(61, 217, 36, 48));
    QCOMPARE(w.Find<QPushButton>("ButtonFFF")->text(), QStringLiteral(">>|"));
    QCOMPARE(w.Find<QPushButton>("Button2")->text(), QString());
    QCOMPARE(w.Find<QTimer>("Timer1")->interval(), 100);
    QVERIFY(w.Find<QTimer>("Timer1")->isActive());
  }

  void maskZeroHidesAllDigitalTraces() {
    Window w({"4", "0"});
    QCOMPARE(w.Find<QLineEdit>("Edit1")->text(), QStringLiteral("4"));
    QVERIFY(!w.Find<QCheckBox>("CheckBox1")->isChecked());
    QVERIFY(!w.Find<QCheckBox>("CheckBox2")->isChecked());
    for (std::size_t t = 5; t < 9; ++t) QVERIFY(!w.PenVisible(t));
  }

  void maskOneAndThree() {
    Window one({"4", "1"});
    QVERIFY(one.PenVisible(5) && one.PenVisible(6));
    QVERIFY(!one.PenVisible(7) && !one.PenVisible(8));
    Window three({"4", "3"});
    for (std::size_t t = 5; t < 9; ++t) QVERIFY(three.PenVisible(t));
  }

  void widthArgumentTwoWidensEveryLineWhateverTheMask() {
    for (const char* mask : {"2", "x"}) {
      Window w({"4", mask, "2"});
      QVERIFY(!w.Find<QCheckBox>("CheckBox1")->isChecked());
      QVERIFY(w.Find<QCheckBox>("CheckBox2")->isChecked());
      QCOMPARE(w.Widths(), All(2));
    }
    Window other({"4", "2", "3"});
    QCOMPARE(other.Widths(), All(1));
  }

  void lineWidthToggle() {
    Window w({});
    QPushButton* toggle = w.Find<QPushButton>("Button2");
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(w.Widths(), All(2));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(w.Widths(), All(1));
    w.form.Traces().Series1().LinePen.SetWidth(3);  // Series1 alone decides
    QTest::mouseClick(toggle, Qt::LeftButton);
    QCOMPARE(w.Widths(), All(1));
  }

  void checkBoxesShowAndHideTheirTraces() {
    Window w({});
    QTest::mouseClick(w.Find<QCheckBox>("CheckBox1"), Qt::LeftButton);
    QVERIFY(w.PenVisible(5) && w.PenVisible(6));
    QTest::mouseClick(w.Find<QCheckBox>("CheckBox2"), Qt::LeftButton);
    QVERIFY(!w.PenVisible(7) && !w.PenVisible(8));
  }

  void runThenStopRecordsAFileOfWholePages() {
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    w.form.show();
    QPushButton* run = w.Find<QPushButton>("ButtonRunStop");
    QTest::mouseClick(run, Qt::LeftButton);
    QVERIFY2(w.errors.isEmpty(), qPrintable(w.errors.join('\n')));
    QCOMPARE(run->text(), QStringLiteral("Stop"));
    QVERIFY(!w.Find<QPushButton>("ButtonView")->isEnabled());
    QVERIFY(!w.Find<QPushButton>("ButtonOpen")->isEnabled());

    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 1200; ++i) {
      const std::array<std::uint8_t, 9> frame{0xFF, 0xFF, static_cast<std::uint8_t>(i), 1, 2, 3, 4, 5, 6};
      bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    bytes.insert(bytes.end(), 16, 0);
    std::span<const std::uint8_t> rest(bytes);
    QTRY_VERIFY_WITH_TIMEOUT((rest = rest.subspan(line.Write(rest))).empty() &&
                                 w.form.Recorder().FillPosition() == 200,
                             10000);
    QTest::mouseClick(run, Qt::LeftButton);
    QCOMPARE(run->text(), QStringLiteral("Run"));
    QVERIFY(w.Find<QPushButton>("ButtonView")->isEnabled());
    QVERIFY(w.Find<QPushButton>("ButtonOpen")->isEnabled());
    QCOMPARE(std::filesystem::file_size(w.form.Recorder().FilePath()), std::uintmax_t{14000});

    // View shows the last page of what was just recorded.
    QTest::mouseClick(w.Find<QPushButton>("ButtonView"), Qt::LeftButton);
    QVERIFY(w.Find<QFrame>("Panel1")->isVisible());
    QCOMPARE(w.form.windowTitle(), QStringLiteral("2"));
    QTest::mouseClick(w.Find<QPushButton>("ButtonClose"), Qt::LeftButton);
    QVERIFY(w.Find<QFrame>("Panel1")->isHidden());
  }

  void aPageThatCannotBeWrittenEndsTheRecordingAndTheButtonSaysRun() {
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    w.form.show();
    QPushButton* run = w.Find<QPushButton>("ButtonRunStop");
    QTest::mouseClick(run, Qt::LeftButton);
    QCOMPARE(run->text(), QStringLiteral("Stop"));
    ninetrace::testing::TFileSizeLimit limit(3000);  // the first page does not fit

    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 1000; ++i) {
      const std::array<std::uint8_t, 9> frame{0xFF, 0xFF, static_cast<std::uint8_t>(i), 1, 2, 3, 4, 5, 6};
      bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    bytes.insert(bytes.end(), 16, 0);
    std::span<const std::uint8_t> rest(bytes);
    QTRY_VERIFY_WITH_TIMEOUT((rest = rest.subspan(line.Write(rest))).empty() && !w.form.Recorder().Running(), 10000);
    QCOMPARE(w.errors.size(), 1);
    QVERIFY2(w.errors[0].contains("cannot write"), qPrintable(w.errors[0]));
    QCOMPARE(run->text(), QStringLiteral("Run"));
    QVERIFY(w.Find<QPushButton>("ButtonView")->isEnabled());
    QVERIFY(w.Find<QPushButton>("ButtonOpen")->isEnabled());
  }

  // A folder stands where the index of a recording started in the next seconds would go: the
  // recording goes on without it, and the window says so once.
  void anIndexThatCannotBeWrittenIsSaidOnceAndTheRecordingGoesOn() {
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    const std::time_t now = std::time(nullptr);
    for (std::time_t t = now; t < now + 10; ++t) {
      std::tm local{};
      localtime_r(&t, &local);
      std::filesystem::create_directory(w.dir / (ninetrace::RecordingFileName(local) + ".idx"));
    }
    QPushButton* run = w.Find<QPushButton>("ButtonRunStop");
    QTest::mouseClick(run, Qt::LeftButton);
    const std::vector<std::uint8_t> bytes = Frames(1200);
    std::span<const std::uint8_t> rest(bytes);
    QTRY_VERIFY_WITH_TIMEOUT((rest = rest.subspan(line.Write(rest))).empty() && w.form.Recorder().FillPosition() == 200,
                             10000);
    QCOMPARE(w.errors.size(), 1);
    QVERIFY2(w.errors[0].contains("stopped being written") && w.errors[0].contains(".idx"), qPrintable(w.errors[0]));
    QCOMPARE(run->text(), QStringLiteral("Stop"));
    QTest::mouseClick(run, Qt::LeftButton);
    QCOMPARE(w.errors.size(), 1);
    QCOMPARE(std::filesystem::file_size(w.form.Recorder().FilePath()), std::uintmax_t{14000});
  }

  void aFileThatCannotBeOpenedLeavesThePanelHidden() {
    Window w({});
    emit w.Find<TOpenDialog>("OpenDialog1")->fileSelected(w.dir.Path() / "gone.bin");
    QCOMPARE(w.errors.size(), 1);
    QVERIFY2(w.errors[0].contains("gone.bin"), qPrintable(w.errors[0]));
    QVERIFY(w.Find<QFrame>("Panel1")->isHidden());
  }

  void aFailingHandlerIsReportedAndTheWindowGoesOn() {
    Window w({"/dev/no-such-converter"});
    QPushButton* run = w.Find<QPushButton>("ButtonRunStop");
    QTest::mouseClick(run, Qt::LeftButton);
    QCOMPARE(w.errors.size(), 1);
    QVERIFY(w.errors[0].contains("/dev/no-such-converter"));
    QCOMPARE(run->text(), QStringLiteral("Run"));
    QVERIFY(w.dir.Names().empty());  // the file made for the recording was removed again
    QTest::mouseClick(w.Find<QPushButton>("Button2"), Qt::LeftButton);
    QCOMPARE(w.Widths(), All(2));  // still working
  }

  void theRealErrorBoxCarriesTheTitleAndTheMessage() {
    ninetrace::testing::TTempDirectory dir;
    TForm2 form({"/dev/no-such-converter"}, dir.Path());
    form.show();
    QString title, text;
    QTimer::singleShot(200, [&] {
      if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
        title = box->windowTitle();
        text = box->text();
        box->accept();
      }
    });
    QTest::mouseClick(form.findChild<QPushButton*>("ButtonRunStop"), Qt::LeftButton);
    QCOMPARE(title, QStringLiteral("ninetrace"));
    QVERIFY(text.contains("/dev/no-such-converter"));
    QCOMPARE(form.findChild<QPushButton*>("ButtonRunStop")->text(), QStringLiteral("Run"));
  }
  // Logout, shutdown, a closed terminal or a stray signal that would end the program: the window
  // stops the recording as Stop does (the page in progress written with its zero tail) and closes
  // as if the person had closed it.
  void stopSignalsStopTheRecordingAndCloseTheWindow() {
    for (int number : {SIGHUP, SIGTERM, SIGINT, SIGQUIT, SIGUSR1, SIGALRM}) {
      TSerialPty line;
      Window w({QString::fromStdString(line.SlavePath())});
      TStopSignalNotifier notifier([&](int) { w.form.close(); });
      w.form.show();
      QVERIFY(RecordFrames(w, line, 200));
      QVERIFY(::raise(number) == 0);
      QTRY_VERIFY_WITH_TIMEOUT(!w.form.isVisible(), 2000);
      QVERIFY(!w.form.Recorder().Running());
      QVERIFY(!w.form.Recorder().Port().IsOpen());
      QCOMPARE(std::filesystem::file_size(w.form.Recorder().FilePath()), std::uintmax_t{PageSize});
      QCOMPARE(CountedRecords(w.form.Recorder().FilePath()), 200);
      QVERIFY2(w.errors.isEmpty(), qPrintable(w.errors.join('\n')));
    }
  }

  // Another program deletes the recording while it runs: Stop says so, and the records still in
  // the open file are saved under the recording's name, where View finds them.
  void aRecordingDeletedMeanwhileIsSavedAndStopSaysSo() {
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    w.form.show();
    QVERIFY(RecordFrames(w, line, 300));
    std::filesystem::remove(w.form.Recorder().FilePath());
    QPushButton* run = w.Find<QPushButton>("ButtonRunStop");
    QTest::mouseClick(run, Qt::LeftButton);
    QCOMPARE(w.errors.size(), 1);
    QVERIFY2(w.errors[0].contains("was deleted by another program while recording. Nothing is lost"), qPrintable(w.errors[0]));
    QCOMPARE(run->text(), QStringLiteral("Run"));
    QCOMPARE(CountedRecords(w.form.Recorder().FilePath()), 300);
  }

  // The converter's line goes away (a pulled USB adapter; here the pseudo-terminal's other end
  // closes): within a second a box names the device and the pages kept, and the window is back
  // at Run with every record in the file.
  void aVanishedDeviceStopsTheRecordingAndSaysSo() {
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    w.form.show();
    QVERIFY(RecordFrames(w, line, 1200));
    line.CloseMaster();
    QTRY_COMPARE_WITH_TIMEOUT(w.errors.size(), 1, 1000);
    QVERIFY2(w.errors[0].startsWith(QString::fromStdString("Recording stopped: " + line.SlavePath() + " is gone")),
             qPrintable(w.errors[0]));
    QVERIFY2(w.errors[0].contains(QString::fromStdString("2 pages are kept in " + w.form.Recorder().FileName())),
             qPrintable(w.errors[0]));
    QCOMPARE(w.Find<QPushButton>("ButtonRunStop")->text(), QStringLiteral("Run"));
    QVERIFY(w.Find<QPushButton>("ButtonView")->isEnabled());
    QVERIFY(w.Find<QPushButton>("ButtonOpen")->isEnabled());
    QCOMPARE(std::filesystem::file_size(w.form.Recorder().FilePath()), std::uintmax_t{2 * PageSize});
  }

  // A long recording without a summary: "All" builds it with a progress dialog on which Esc
  // cancels and leaves the page as it was; the next "All" builds it to the end.
  void allShowsTheSummaryBuildAndEscCancelsIt() {
    Window w({});
    const std::filesystem::path file = w.dir / "long.bin";
    std::ofstream(file).close();
    std::filesystem::resize_file(file, 20'000 * PageBytes);  // 140 MB of zeros, sparse
    emit w.Find<TOpenDialog>("OpenDialog1")->fileSelected(file);
    const QString page = w.form.windowTitle();
    bool dialogSeen = false;
    QTimer::singleShot(0, &w.form, [&] {
      auto* dialog = w.form.findChild<QProgressDialog*>(QStringLiteral("SummaryProgress"));
      dialogSeen = dialog && dialog->isVisible();
      if (dialog) QTest::keyClick(dialog, Qt::Key_Escape);
    });
    QTest::mouseClick(w.Find<QPushButton>("Button1"), Qt::LeftButton);
    QVERIFY(dialogSeen);
    QCOMPARE(w.form.windowTitle(), page);
    QCOMPARE(w.form.Viewer().ViewMode(), TViewMode::Page);
    QVERIFY(!std::filesystem::exists(SummaryPathFor(file)));
    QVERIFY(w.errors.isEmpty());

    QTest::mouseClick(w.Find<QPushButton>("Button1"), Qt::LeftButton);
    QCOMPARE(w.form.windowTitle(), QStringLiteral("1-20000  Click!"));
    QVERIFY(std::filesystem::exists(SummaryPathFor(file)));
  }

  // A FIFO chosen in the file dialog would wait for a writer forever, freezing the window.
  void aFifoIsRefusedWithoutFreezingTheWindow() {
    Window w({});
    const std::filesystem::path fifo = w.dir / "line.fifo";
    QVERIFY(::mkfifo(fifo.c_str(), 0644) == 0);
    // Should the open wait after all, a writer lets it go so the test can fail instead of hanging.
    std::atomic<bool> done = false;
    std::thread rescue([&] {
      for (int i = 0; i < 300 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (!done) ::close(::open(fifo.c_str(), O_WRONLY | O_NONBLOCK));
    });
    const auto started = std::chrono::steady_clock::now();
    emit w.Find<TOpenDialog>("OpenDialog1")->fileSelected(fifo);
    done = true;
    rescue.join();
    QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(2));
    QCOMPARE(w.errors.size(), 1);
    QVERIFY2(w.errors[0].contains("it is a pipe (FIFO), not a recording file"), qPrintable(w.errors[0]));
    QVERIFY(w.Find<QFrame>("Panel1")->isHidden());
  }

  // A first argument naming a regular file opens it; ports keep working, a plain number is
  // always a port (even with a file of that name), and a device is not a regular file.
  void fileArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("follow");
    QTest::newRow("none") << QStringList() << QString() << false;
    QTest::newRow("a port number") << QStringList{"4", "0"} << QString() << false;
    QTest::newRow("a number that is also a file name") << QStringList{"7"} << QString() << false;
    QTest::newRow("a device path") << QStringList{"/dev/null"} << QString() << false;
    QTest::newRow("a name that does not exist is a port") << QStringList{"@/gone.bin"} << QString() << false;
    QTest::newRow("a folder is a port") << QStringList{"@"} << QString() << false;
    QTest::newRow("a recording, mask and width after it") << QStringList{"@/rec.bin", "3", "2"} << "@/rec.bin" << false;
    QTest::newRow("a file named like a number, written as a path") << QStringList{"@/7"} << "@/7" << false;
    QTest::newRow("--follow a recording") << QStringList{"--follow", "@/rec.bin", "0"} << "@/rec.bin" << true;
    QTest::newRow("--follow names the file whatever it is") << QStringList{"--follow", "@/gone.bin"} << "@/gone.bin" << true;
  }
  void fileArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, file);
    QFETCH(bool, follow);
    ninetrace::testing::TTempDirectory dir;
    AppendPages(dir / "rec.bin", 0, 1);
    AppendPages(dir / "7", 0, 1);
    const QString at = QString::fromStdString(dir.Path().string());
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());  // so "7" is a file here too
    for (QString& argument : arguments) argument.replace('@', at);
    const TFileArguments read = ReadFileArguments(arguments);
    std::filesystem::current_path(saved);
    QCOMPARE(QString::fromStdString(read.File.string()), file.replace('@', at));
    QCOMPARE(read.Follow, follow);
    QCOMPARE(read.Positional.size(), arguments.size() - (follow ? 1 : 0));
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument, ReadFileArguments({"--follow"}));
  }

  void aFileArgumentOpensItAndKeepsMaskAndWidth() {
    ninetrace::testing::TTempDirectory dir;
    AppendPages(dir / "rec.bin", 0, 3);
    Window w({QString::fromStdString((dir / "rec.bin").string()), "3", "2"});
    QVERIFY2(w.errors.isEmpty(), qPrintable(w.errors.join('\n')));
    QVERIFY(!w.Find<QFrame>("Panel1")->isHidden());
    QCOMPARE(w.form.windowTitle(), QStringLiteral("1"));  // as Open shows it: the first page
    QCOMPARE(w.Find<QLineEdit>("Edit1")->text(), QStringLiteral("1"));
    QVERIFY(w.Find<QCheckBox>("CheckBox1")->isChecked() && w.Find<QCheckBox>("CheckBox2")->isChecked());
    QCOMPARE(w.Widths(), All(2));
    QVERIFY(!w.form.Following());
    QVERIFY(w.Find<QPushButton>("ButtonRunStop")->isEnabled());
  }

  // One local file dropped opens it; anything else, or anything while recording, is refused.
  void drops_data() {
    QTest::addColumn<QStringList>("urls");
    QTest::addColumn<bool>("recording");
    QTest::addColumn<QString>("caption");
    QTest::newRow("one recording") << QStringList{"file:@/rec.bin"} << false << "1";
    QTest::newRow("two files") << QStringList{"file:@/rec.bin", "file:@/rec.bin"} << false << "y";
    QTest::newRow("a web address") << QStringList{"https://example.org/rec.bin"} << false << "y";
    QTest::newRow("while recording") << QStringList{"file:@/rec.bin"} << true << "y";
  }
  void drops() {
    QFETCH(QStringList, urls);
    QFETCH(bool, recording);
    QFETCH(QString, caption);
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    AppendPages(w.dir / "rec.bin", 0, 2);
    if (recording) QTest::mouseClick(w.Find<QPushButton>("ButtonRunStop"), Qt::LeftButton);
    QList<QUrl> list;
    for (QString url : urls) list << QUrl(url.replace('@', QString::fromStdString(w.dir.Path().string())));
    bool accepted = false;
    Drop(w.form, list, accepted);
    QCOMPARE(accepted, caption != "y");
    QCOMPARE(w.form.windowTitle(), caption);
    QCOMPARE(!w.Find<QFrame>("Panel1")->isHidden(), caption != "y");
    QCOMPARE(w.form.Recorder().Running(), recording);
    QVERIFY2(w.errors.isEmpty(), qPrintable(w.errors.join('\n')));
  }

  // The follow mode against a file grown page by page, stepped back in, seen whole, cut short,
  // replaced and removed. Each row changes the file or the view, then the window looks once.
  void followingAGrowingFile() {
    Window w({});
    const std::filesystem::path file = w.dir / "rec.bin";
    AppendPages(file, 0, 2);
    auto now = std::chrono::steady_clock::time_point(std::chrono::seconds(100));
    TFollowMode follow(w.form.Viewer(), w.form.Recorder().DataFile(), [&] { return now; });
    w.form.OpenDialog1CanClose(file);
    w.form.Viewer().StepForward(EndStep);
    follow.Tick();
    QCOMPARE(w.form.windowTitle(), QStringLiteral("2"));
    TChartAxis& bottom = w.form.Chart().BottomAxis();
    bottom.SetMinimum(2);  // zoomed in, as a drag leaves it
    bottom.SetMaximum(4);

    auto cut = [&](int pages) { std::filesystem::resize_file(file, static_cast<std::uintmax_t>(pages) * PageSize); };
    struct Step {
      const char* what;
      std::function<void()> change;
      QString caption;
      std::set<int> pages;  // on the chart afterwards
      const char* message;  // part of what the window says, or nothing
    };
    const std::vector<Step> steps = {
        {"a page appended while the newest is shown comes into view", [&] { AppendPages(file, 2, 1); }, "3", {2}, nullptr},
        {"a page stepped back to stays put", [&] { w.form.ButtonStepClick(-PageStep); AppendPages(file, 3, 1); }, "2", {1}, nullptr},
        {">>| reaches the new page", [&] { w.form.ButtonStepClick(EndStep); }, "4", {3}, nullptr},
        {"All includes every page, zoomed in", [&] { w.form.Button1Click(); }, "1-4  Click!", {0, 1, 2, 3}, nullptr},
        {"the open overview grows", [&] { AppendPages(file, 4, 1); }, "1-5  Click!", {0, 1, 2, 3, 4}, nullptr},
        {"but not twice within a second", [&] { AppendPages(file, 5, 1); now += std::chrono::milliseconds(500); }, "1-5  Click!", {0, 1, 2, 3, 4}, nullptr},
        {"a second later it does", [&] { now += std::chrono::milliseconds(500); }, "1-6  Click!", {0, 1, 2, 3, 4, 5}, nullptr},
        {"cut short under the overview", [&] { cut(3); }, "1-3  Click!", {0, 1, 2}, "cut from 6 pages to 3 pages"},
        {"All returns to what is left of the page seen before", [&] { w.form.Button1Click(); }, "3", {2}, nullptr},
        {"cut short under the page", [&] { cut(1); }, "1", {0}, "cut from 3 pages to 1 page"},
        {"emptied", [&] { cut(0); }, "1", {}, "to 0 pages"},
        {"filled again", [&] { AppendPages(file, 0, 2); }, "2", {1}, nullptr},
        {"replaced by another file", [&] {
           AppendPages(w.dir / "new.bin", 10, 3);
           std::filesystem::rename(w.dir / "new.bin", file);
         }, "3", {12}, "replaced by another file"},
        {"removed", [&] { std::filesystem::remove(file); }, "3", {12}, "was removed"},
        {"said once", [] {}, "3", {12}, nullptr},
    };
    for (const Step& step : steps) {
      step.change();
      QString said;
      try {
        follow.Tick();
      } catch (const TFileError& e) {
        said = QString::fromStdString(e.what());
      }
      QVERIFY2(step.message ? said.contains(step.message) : said.isEmpty(), qPrintable(QString(step.what) + ": " + said));
      QVERIFY2(w.form.windowTitle() == step.caption, qPrintable(QString(step.what) + ": " + w.form.windowTitle()));
      QVERIFY2(PagesOnChart(w.form) == step.pages, step.what);
      QCOMPARE(bottom.Minimum(), 2.0);  // the zoom stays through everything
      QCOMPARE(bottom.Maximum(), 4.0);
    }
    QVERIFY(w.errors.isEmpty());
  }

  // "--follow FILE": the newest page, a caption that says so, no recording, nothing written.
  void aFollowingWindowShowsNewPagesAndNeverWrites() {
    ninetrace::testing::TTempDirectory dir;
    const std::filesystem::path file = dir / "rec.bin";
    AppendPages(file, 0, 2);
    {
      Window w({"--follow", QString::fromStdString(file.string())});
      QVERIFY2(w.errors.isEmpty(), qPrintable(w.errors.join('\n')));
      QVERIFY(w.form.Following());
      QCOMPARE(w.form.windowTitle(), QStringLiteral("2  (following rec.bin)"));
      QVERIFY(!w.Find<QPushButton>("ButtonRunStop")->isEnabled());
      AppendPages(file, 2, 1);
      w.form.Timer1Timer();
      QCOMPARE(w.form.windowTitle(), QStringLiteral("3  (following rec.bin)"));
      w.form.ButtonRunStopClick();  // even called directly: nothing
      w.form.Viewer().SetSummaryFrom(0);  // "All" from a summary it builds, and keeps to itself
      w.form.Button1Click();
      QCOMPARE(w.form.windowTitle(), QStringLiteral("1-3  Click!  (following rec.bin)"));
      QVERIFY(!w.form.Recorder().Running());
      w.form.close();
    }
    QCOMPARE(dir.Names(), std::vector<std::string>{"rec.bin"});
    QCOMPARE(std::filesystem::file_size(file), std::uintmax_t{3 * PageSize});
    QCOMPARE(CountedRecords(file), 3000);
  }

  // Look back: while recording, F (or the menu's call) starts "--follow" on the recording.
  void lookBackStartsAFollowingWindowOnlyWhileRecording() {
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    QList<QStringList> started;
    w.form.SetLauncher([&](const QStringList& arguments) {
      started << arguments;
      return started.size() == 1;
    });
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QTest::keyClick(&w.form, Qt::Key_F);
    QVERIFY(started.isEmpty() && !w.form.CanLookBack());
    // The key never takes an F from the port field (/dev/serial/by-id/usb-FTDI_...).
    auto* port = w.Find<QLineEdit>("Edit1");
    port->setFocus();
    QTest::keyClicks(port, "F");
    QVERIFY(port->text().endsWith('F'));
    port->setText(QString::fromStdString(line.SlavePath()));
    QVERIFY(RecordFrames(w, line, 10));
    QVERIFY(w.form.CanLookBack());
    QTest::keyClick(&w.form, Qt::Key_F);
    QCOMPARE(started.size(), 1);
    QCOMPARE(started[0], FollowArguments(w.form.Recorder().FilePath()));
    QVERIFY(std::filesystem::path(started[0][1].toStdString()).is_absolute());
    w.form.LookBack();  // the launcher fails now: said, and the recording goes on
    QCOMPARE(w.errors.size(), 1);
    QVERIFY2(w.errors[0].startsWith("Cannot start a second window"), qPrintable(w.errors[0]));
    QVERIFY(w.form.Recorder().Running());
  }

  // The Open dialog: recordings first, sizes as they are now (a fresh recording once showed
  // "0 bytes" for good), names that are not UTF-8 listed and opened by their bytes, and it starts
  // in the recordings folder, then where the last file was.
  void theOpenDialogListsEveryRecordingAsItIsNow() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    Window w({});
    const std::filesystem::path fresh = w.dir / "fresh.bin";
    const std::filesystem::path latin1 = w.dir.Path() / std::string("r\xE9sum\xE9.bin");
    std::ofstream(fresh).close();
    std::ofstream(w.dir / "notes.txt").close();
    AppendPages(latin1, 0, 1);
    std::filesystem::create_directory(w.dir / "sub");
    AppendPages(w.dir / "sub" / "deep.bin", 0, 1);
    auto* dialog = w.Find<TOpenDialog>("OpenDialog1");
    auto* files = dialog->findChild<QTreeWidget*>("Files");
    auto* filter = dialog->findChild<QComboBox*>("Filter");
    QVERIFY(files && filter);
    QCOMPARE(filter->itemText(0), QStringLiteral("Recordings (*.bin)"));
    QCOMPARE(filter->itemText(1), QStringLiteral("All files (*)"));

    auto rows = [&] {
      QStringList shown;
      for (int i = 0; i < files->topLevelItemCount(); ++i)
        shown << files->topLevelItem(i)->text(0) + '|' + files->topLevelItem(i)->text(1);
      return shown;
    };
    QStringList seen;
    std::filesystem::path folder;
    auto look = [&](std::function<void()> then) {
      QTimer::singleShot(0, [&, then] {
        folder = dialog->Folder();
        seen = rows();
        then();
      });
      w.form.ButtonOpenClick();
    };
    look([&] { dialog->reject(); });
    QCOMPARE(folder, w.dir.Path());
    QCOMPARE(seen, QStringList({"sub/|", "fresh.bin|0 bytes", QString("r\uFFFDsum\uFFFD.bin|7,000 bytes")}));

    AppendPages(fresh, 0, 10);  // recorded on since
    look([&] {
      filter->setCurrentIndex(1);
      seen << rows();
      dialog->reject();
    });
    QVERIFY2(seen.contains("fresh.bin|70,000 bytes"), qPrintable(seen.join(", ")));
    QVERIFY2(seen.contains("notes.txt|0 bytes"), qPrintable(seen.join(", ")));
    filter->setCurrentIndex(0);

    look([&] {
      files->setCurrentItem(files->topLevelItem(2));
      dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Open)->click();
    });
    QVERIFY2(w.errors.isEmpty(), qPrintable(w.errors.join('\n')));
    QCOMPARE(w.form.windowTitle(), QStringLiteral("1"));
    QCOMPARE(w.form.Recorder().DataFile().Name(), latin1);

    w.form.OpenDialog1CanClose(w.dir / "sub" / "deep.bin");
    look([&] { dialog->reject(); });
    QCOMPARE(folder, w.dir / "sub");
    // Recordings in the current folder have names without one: the dialog starts there.
    dialog->SetFolder("");
    QCOMPARE(dialog->Folder(), std::filesystem::current_path());
    dialog->SetFolder(w.dir.Path().string() + "/sub/");
    QCOMPARE(dialog->Folder(), w.dir / "sub");
    dialog->SetFolder(w.dir / "gone");  // removed since, say
    dialog->ReadFolder();
    QVERIFY(dialog->findChild<QLabel*>("Folder")->text().endsWith("(cannot be read: No such file or directory)"));
    QCOMPARE(files->topLevelItemCount(), 0);
  }

  // Confirmed with Return, the dialog leaves no pop-up behind: the next click reaches the window.
  void theOpenDialogConfirmedWithReturnLetsTheNextClickThrough() {
    Window w({});
    AppendPages(w.dir / "rec.bin", 0, 2);
    w.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    auto* dialog = w.Find<TOpenDialog>("OpenDialog1");
    QTimer::singleShot(0, [&] {
      auto* name = dialog->findChild<QLineEdit*>("FileName");
      QTest::keyClicks(name, "rec.bin");
      QTest::keyClick(name, Qt::Key_Return);
    });
    w.form.ButtonOpenClick();
    QVERIFY2(w.errors.isEmpty(), qPrintable(w.errors.join('\n')));
    QCOMPARE(w.form.windowTitle(), QStringLiteral("1"));
    QVERIFY(dialog->isHidden());
    QCOMPARE(QApplication::activePopupWidget(), nullptr);
    QTest::mouseClick(w.Find<QPushButton>("Button2"), Qt::LeftButton);
    QCOMPARE(w.Widths(), All(2));
  }

  // Run on a line that stays silent: after two seconds the window says so in free space of the
  // control column, with no box and no change of size, and the hint goes with the first frames.
  void aSilentPortIsSaidUntilFramesArrive() {
    TSerialPty line;
    Window w({QString::fromStdString(line.SlavePath())});
    w.form.show();
    auto* hint = w.Find<TSilentPortHint>("SilentPortHint");
    QTest::mouseClick(w.Find<QPushButton>("ButtonRunStop"), Qt::LeftButton);
    QVERIFY(w.form.Recorder().Running());
    QTest::qWait(1500);
    QVERIFY(hint->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(hint->isVisible(), 1500);
    QCOMPARE(hint->toolTip(), QString::fromStdString("no data from " + line.SlavePath() + " yet"));
    QCOMPARE(w.form.size(), QSize(1125, 750));
    QVERIFY(w.form.rect().contains(hint->geometry()));
    for (QWidget* other : w.form.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
      if (other != hint && !other->isWindow()) QVERIFY2(!other->geometry().intersects(hint->geometry()), qPrintable(other->objectName()));
    QVERIFY(w.errors.isEmpty());
    const std::vector<std::uint8_t> frames = Frames(5);
    QCOMPARE(line.Write(frames), frames.size());
    QTRY_VERIFY_WITH_TIMEOUT(hint->isHidden(), 500);
    QCOMPARE(w.form.Recorder().FillPosition(), std::size_t{5});
  }

  // Memory running out in a handler reaches the guard as words a person understands, and a
  // report that fails in its turn (memory still short) does not take the program down.
  void runningOutOfMemoryIsReportedClearly() {
    QStringList reports;
    const TErrorReporter collect = [&](const QString& m) { reports << m; };
    RunGuarded(collect, [] {
#if defined(__SANITIZE_ADDRESS__)
      throw std::bad_alloc();  // AddressSanitizer's allocator ends the process on a petabyte instead
#else
      std::vector<std::uint8_t> huge(std::size_t{1} << 50);  // a petabyte: no system has it
      huge.back() = 1;
#endif
    });
    RunGuarded(collect, [] { throw std::runtime_error("Cannot open x.bin: gone"); });
    QCOMPARE(reports, QStringList({OutOfMemoryMessage, QStringLiteral("Cannot open x.bin: gone")}));
    QVERIFY(OutOfMemoryMessage.startsWith(QStringLiteral("Not enough memory")));
    RunGuarded([](const QString&) { throw std::bad_alloc(); }, [] { throw std::bad_alloc(); });
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
