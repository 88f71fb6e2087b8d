// The real window, driven offscreen through its controls' names as a person would use them.
#include <QCheckBox>
#include <QFileDialog>
#include <QFrame>
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

#include <QFileDialog>

#include <array>
#include <atomic>
#include <chrono>
#include <fstream>
#include <span>
#include <thread>
#include <vector>

#include "../platform/test_files.h"
#include "app/main_window.h"
#include "app/stop_signal_notifier.h"
#include "platform/serial_pty.h"
#include "playback/page_viewer.h"
#include "recording/summary_file.h"

using namespace ninetrace;

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

  void aFileThatCannotBeOpenedLeavesThePanelHidden() {
    Window w({});
    emit w.Find<QFileDialog>("OpenDialog1")->fileSelected(QString::fromStdString((w.dir.Path() / "gone.bin").string()));
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
  // Logout, shutdown or a closed terminal: the window stops the recording as Stop does (the page
  // in progress written with its zero tail) and closes as if the person had closed it.
  void stopSignalsStopTheRecordingAndCloseTheWindow() {
    for (int number : {SIGHUP, SIGTERM, SIGINT}) {
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

  // A FIFO chosen in the file dialog would wait for a writer forever, freezing the window.
  // A long recording without a summary: "All" builds it with a progress dialog on which Esc
  // cancels and leaves the page as it was; the next "All" builds it to the end.
  void allShowsTheSummaryBuildAndEscCancelsIt() {
    Window w({});
    const std::filesystem::path file = w.dir / "long.bin";
    std::ofstream(file).close();
    std::filesystem::resize_file(file, 20'000 * PageBytes);  // 140 MB of zeros, sparse
    emit w.Find<QFileDialog>("OpenDialog1")->fileSelected(QString::fromStdString(file.string()));
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
    emit w.Find<QFileDialog>("OpenDialog1")->fileSelected(QString::fromStdString(fifo.string()));
    done = true;
    rescue.join();
    QVERIFY(std::chrono::steady_clock::now() - started < std::chrono::seconds(2));
    QCOMPARE(w.errors.size(), 1);
    QVERIFY2(w.errors[0].contains("it is a pipe (FIFO), not a recording file"), qPrintable(w.errors[0]));
    QVERIFY(w.Find<QFrame>("Panel1")->isHidden());
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
