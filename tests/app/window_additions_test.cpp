// What we add to the window, driven offscreen: the pointer readout against the test's own
// records, the keys against their buttons, the labelled axes' round trip, the panel's keyboard
// reach and the records on screen as CSV.
#include <QApplication>
#include <QFrame>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include <clocale>
#include <fstream>

#include "../platform/test_files.h"
#include "app/chart_files.h"
#include "app/chart_menu.h"
#include "app/chart_reading.h"
#include "app/labelled_axes.h"
#include "app/main_window.h"
#include "app/open_dialog.h"
#include "app/pointer_readout.h"
#include "app/window_options.h"
#include "platform/data_file.h"
#include "platform/serial_pty.h"
#include "recording/index_file.h"
#include "recording/index_format.h"
#include "playback/page_viewer.h"

using namespace ninetrace;

namespace {

// Record i: channel k has code (7i + 100k) mod 1024, the inputs are the bits of i mod 16.
int Code(std::int64_t i, int k) { return static_cast<int>((7 * i + 100 * k) % 1024); }

std::filesystem::path WriteRecording(const std::filesystem::path& dir, std::int64_t records) {
  const std::filesystem::path name = dir / "261208 071000.bin";
  std::ofstream out(name, std::ios::binary);
  for (std::int64_t i = 0; i < records; ++i) {
    std::uint8_t r[RecordSize] = {};
    for (int k = 0; k < 5; ++k) r[k] = static_cast<std::uint8_t>(Code(i, k) >> 2);
    for (int k = 0; k < 4; ++k) r[5] |= static_cast<std::uint8_t>((Code(i, k) & 3) << (2 * k));
    r[6] = static_cast<std::uint8_t>((i % 16) | ((Code(i, 4) & 3) << 4));
    out.write(reinterpret_cast<const char*>(r), RecordSize);
  }
  return name;
}

QString Time(std::int64_t record) {
  return FormatLocalTime(*TRecordTimes::Load("261208 071000.bin").At(record));
}

}  // namespace

class WindowAdditionsTest : public QObject {
  Q_OBJECT

  struct Window {
    ninetrace::testing::TTempDirectory dir;
    QStringList errors;
    TForm2 form;
    std::filesystem::path file;
    explicit Window(std::int64_t records = 30'000, const QStringList& args = {})
        : form(ParseWindowOptions(args).Positional, dir.Path(), [this](const QString& m) { errors << m; }) {
      form.SetChannels(ParseWindowOptions(args).Channels);
      form.show();  // the chart takes its size, and its rectangle, when shown
      if (!QTest::qWaitForWindowExposed(&form)) qFatal("the window was not shown");
      file = WriteRecording(dir.Path(), records);
      emit Find<TOpenDialog>("OpenDialog1")->fileSelected(file);
    }
    template <typename T>
    T* Find(const char* name) {
      T* w = form.findChild<T*>(QLatin1String(name));
      if (!w) qFatal("no control %s", name);
      return w;
    }
    void Click(const char* button) { QTest::mouseClick(Find<QPushButton>(button), Qt::LeftButton); }
    TReadout At(std::int32_t x) {
      const std::optional<TReadout> r = form.Reading().ReadoutAt(x, 300, form.Channels());
      if (!r) {
        const TRect& c = form.Chart().ChartRect;
        qFatal("no readout at x %d (chart rectangle %d %d %d %d, file open %d, offset %lld)", x, c.Left, c.Top, c.Right,
               c.Bottom, int(form.Viewer().FileOpen()), static_cast<long long>(form.Viewer().ViewOffset()));
      }
      return *r;
    }
    QImage Frame() {
      form.Chart().Refresh();
      return form.Chart().WindowImage().Image().copy();
    }
    std::tuple<std::int64_t, int, QString, bool> State() {
      return {form.Viewer().ViewOffset(), static_cast<int>(form.Viewer().ViewMode()), form.windowTitle(),
              Find<QFrame>("Panel1")->isHidden()};
    }
  };

 private slots:
  void readoutRowsFollowTheRecordsAndScales() {
    Window w(30'000, {"--channel", "A1=Pressure,kPa,0.125,0.5", "--channel=D3=Pump"});
    w.Click("ButtonFF");  // page 2: records 1000..1999
    // Pixel 2 is record 1000, 501 is 1500 (value 5.0), 999 is 1999.
    for (const auto& [x, record] : {std::pair{2, 1000}, {501, 1500}, {999, 1999}}) {
      const TReadout r = w.At(x);
      QCOMPARE(r.Lines[0], Time(record));
      QVERIFY2(r.Lines[0].startsWith(QStringLiteral("\u2248 2026-12-08 07:")), qPrintable(r.Lines[0]));
      QCOMPARE(r.Lines.back(), QStringLiteral("record %1").arg(record));
      QCOMPARE(r.Rows.size(), TraceCount);
      QCOMPARE(r.Rows[0].Name, QStringLiteral("Pressure"));
      QCOMPARE(r.Rows[0].Value, QStringLiteral("%1  = %2 kPa").arg(Code(record, 0)).arg(Code(record, 0) * 0.125 + 0.5));
      QCOMPARE(r.Rows[1].Value, QString::number(Code(record, 1)));
      QCOMPARE(r.Rows[7].Name, QStringLiteral("Pump"));
      QCOMPARE(r.Rows[7].Value, QString::number((record >> 2) & 1));
      // D1 and D2 are hidden by default, and say so.
      QVERIFY(r.Rows[5].Hidden && r.Rows[5].Value.endsWith(QStringLiteral("(hidden)")));
      QVERIFY(!r.Rows[7].Hidden);
    }
    QCOMPARE(w.At(501).Lines[1], QStringLiteral("\u2248 0:00:07.031 since the start"));  // 1500 x 3/640 s
    // Outside the chart rectangle there is nothing to read.
    QVERIFY(!w.form.Reading().ReadoutAt(1, 300, w.form.Channels()));
    QVERIFY(!w.form.Reading().ReadoutAt(500, 705, w.form.Channels()));
  }

  void theOverviewReadoutCoversTheRecordsOfItsPixelColumn() {
    Window w;
    w.Click("Button1");
    const TChartAxis& bottom = w.form.Chart().BottomAxis();
    const std::int64_t size = 30'000 * 7;
    auto column = [&](std::int64_t record) {
      return bottom.ValueToPixel(static_cast<double>(OverviewXIndex(0, record, size)) * 0.01);
    };
    for (const std::int32_t x : {2, 300, 999}) {
      const TReadout r = w.At(x);
      qint64 first = 0, last = 0;
      QVERIFY(std::sscanf(r.Lines.back().toLatin1().constData(), "records %lld to %lld", &first, &last) == 2);
      // Exactly the records drawn in that column: its first and last there, their neighbours not.
      QCOMPARE(column(first), x);
      QCOMPARE(column(last), x);
      if (first > 0) QVERIFY(column(first - 1) != x);
      QVERIFY(column(last + 1) != x);
      QCOMPARE(r.Lines[0], QStringLiteral("from ") + Time(first));
      QCOMPARE(r.Lines[1], QStringLiteral("to   ") + Time(last));
      int low = 1024, high = -1;
      for (std::int64_t i = first; i <= last; ++i) {
        low = std::min(low, Code(i, 2));
        high = std::max(high, Code(i, 2));
      }
      QCOMPARE(r.Rows[2].Value, QStringLiteral("%1 to %2").arg(low).arg(high));
    }
  }

  void theIndexGivesTimesAndMarksThePadding() {
    Window w(3000);  // three pages, the last holding 600 real records
    {
      TIndexWriter index;
      index.Open(w.file);
      for (std::int64_t page = 0; page < 3; ++page) {
        TPageEntry entry;
        entry.Page = page;
        const std::int64_t start = 1'796'800'000'000'000'000 + page * 4'687'500'000;  // 1000 records later
        entry.First = {start, page * 4'687'500'000, 3600};
        entry.Last = {start + 4'682'812'500, page * 4'687'500'000 + 4'682'812'500, 3600};
        entry.RealRecords = page == 2 ? 600 : 1000;
        index.Append(EncodeEntry(entry));
      }
    }
    w.Click("ButtonClose");
    emit w.Find<TOpenDialog>("OpenDialog1")->fileSelected(w.file);
    w.Click("ButtonFFF");  // the last page: records 2000..2999
    const TReadout real = w.At(2), padding = w.At(999);
    QCOMPARE(real.Lines[0], QStringLiteral("2026-12-09 08:06:49.375"));  // page 2's first arrival, local = UTC + 1 h
    QCOMPARE(real.Lines.back(), QStringLiteral("record 2000"));
    QCOMPARE(real.Rows[0].Value, QString::number(Code(2000, 0)));
    QCOMPARE(padding.Lines.back(), QStringLiteral("record 2999: padding"));
    for (const TReadoutRow& row : padding.Rows) QVERIFY(row.Value.startsWith(QStringLiteral("padding")));
    // The overview's last column holds padding only.
    w.Click("Button1");
    QVERIFY(w.At(999).Lines.back().endsWith(QStringLiteral(": padding")));
  }

  void theLiveReadoutShowsTheRecordJustReceived() {
    TSerialPty line;
    Window w(1000, {"--channel", "A1=Pressure,kPa,0.5", QString::fromStdString(line.SlavePath())});
    w.Click("ButtonClose");
    w.Click("ButtonRunStop");
    QVERIFY2(w.form.Recorder().Running(), qPrintable(w.errors.join('\n')));
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 300; ++i) {
      const std::array<std::uint8_t, 9> frame{0xFF, 0xFF, static_cast<std::uint8_t>(i), 1, 2, 3, 4, 5, 6};
      bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    bytes.insert(bytes.end(), 16, 0);
    std::span<const std::uint8_t> rest(bytes);
    QTRY_VERIFY_WITH_TIMEOUT((rest = rest.subspan(line.Write(rest))).empty() && w.form.Recorder().FillPosition() == 300, 10000);
    const TReadout r = w.At(w.form.Chart().BottomAxis().ValueToPixel(1.0));  // record 100 of the first page
    QCOMPARE(r.Lines.back(), QStringLiteral("record 100"));
    QVERIFY2(r.Lines[0].startsWith(QStringLiteral("20")), qPrintable(r.Lines[0]));  // a date: the recorder times it
    QCOMPARE(r.Rows[0].Value, QStringLiteral("401  = 200.5 kPa"));  // byte 100 high, low bits 01 from byte 5
    // Beyond the records received so far there is nothing to read.
    QVERIFY(!w.form.Reading().ReadoutAt(w.form.Chart().BottomAxis().ValueToPixel(5.0), 300, w.form.Channels()));
    w.Click("ButtonRunStop");
  }

  void theWindowsCommandLineKeepsItsPositionalArguments() {
    const TWindowOptions plain = ParseWindowOptions({"4", "0", "2"});
    QCOMPARE(plain.Positional, QStringList({"4", "0", "2"}));
    QVERIFY(!plain.Problem);
    const TWindowOptions mixed = ParseWindowOptions({"--channel", "A5=Temp,degC,0.1", "/dev/ttyUSB0", "--channel=D4=Door", "3"});
    QCOMPARE(mixed.Positional, QStringList({"/dev/ttyUSB0", "3"}));
    QCOMPARE(mixed.Channels[4].Label(), std::string("Temp [degC]"));
    QCOMPARE(mixed.Channels[8].Name, std::string("Door"));
    // Anything else, and whatever follows "--", is the window's as it always was.
    QCOMPARE(ParseWindowOptions({"--colour", "--", "--channel", "A1=x"}).Positional,
             QStringList({"--colour", "--", "--channel", "A1=x"}));
    QVERIFY(ParseWindowOptions({"--channel"}).Problem->find("needs a value") != std::string::npos);
    QVERIFY(ParseWindowOptions({"--channel", "A1=x,V,zero"}).Problem->find("FACTOR") != std::string::npos);
  }

  void paddingIsShownAsPaddingNotAsValues() {
    TRecordUnderPointer at;
    at.Record = 1234;
    at.Padding = true;
    const TReadout page = RecordReadout(at, DefaultChannelScales(), {});
    QCOMPARE(page.Lines.back(), QStringLiteral("record 1234: padding"));
    TSpanUnderPointer span;
    span.First = 10;
    span.Last = 19;
    span.Real = 4;
    span.Low.fill(3);
    span.High.fill(9);
    const TReadout over = SpanReadout(span, DefaultChannelScales(), {});
    QCOMPARE(over.Lines.back(), QStringLiteral("records 10 to 19 (padding after 13)"));
    span.Real = 0;
    for (const TReadout& r : {page, SpanReadout(span, DefaultChannelScales(), {})})
      for (const TReadoutRow& row : r.Rows) QCOMPARE(row.Value, QStringLiteral("padding"));
  }

  void numbersDoNotFollowTheLocale() {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const std::string cLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where it is installed
    Window w(30'000, {"--channel", "A1=Pressure,kPa,0.125,0.25"});
    const TReadout r = w.At(501);  // record 500, code 428
    w.form.LabelledAxes().SetOn(true);
    const QString left = w.form.LabelledAxes().LeftText(125);
    QLocale::setDefault(before);
    std::setlocale(LC_ALL, cLocale.c_str());
    QCOMPARE(r.Rows[0].Value, QStringLiteral("428  = 53.75 kPa"));
    QCOMPARE(r.Rows[1].Value, QStringLiteral("%1").arg(Code(500, 1)));
    QCOMPARE(left, QStringLiteral("62.75 kPa"));  // code 500 x 0.125 + 0.25
  }

  void keysActAsTheirButtons_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("button");
    QTest::newRow("Left is <") << int(Qt::Key_Left) << 0 << "ButtonR";
    QTest::newRow("Right is >") << int(Qt::Key_Right) << 0 << "ButtonF";
    QTest::newRow("PgUp is <<") << int(Qt::Key_PageUp) << 0 << "ButtonRR";
    QTest::newRow("PgDn is >>") << int(Qt::Key_PageDown) << 0 << "ButtonFF";
    QTest::newRow("Ctrl+PgUp is |<<") << int(Qt::Key_PageUp) << int(Qt::ControlModifier) << "ButtonRRR";
    QTest::newRow("Ctrl+PgDn is >>|") << int(Qt::Key_PageDown) << int(Qt::ControlModifier) << "ButtonFFF";
    QTest::newRow("Home is the first page, as |<< here") << int(Qt::Key_Home) << 0 << "ButtonRRR";
    QTest::newRow("End is the last page, as >>| here") << int(Qt::Key_End) << 0 << "ButtonFFF";
    QTest::newRow("A is All") << int(Qt::Key_A) << 0 << "Button1";
    QTest::newRow("Esc is Close") << int(Qt::Key_Escape) << 0 << "ButtonClose";
  }

  void keysActAsTheirButtons() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, button);
    Window byKey, byButton;
    for (Window* w : {&byKey, &byButton}) {
      w->Click("ButtonFF");
      w->Click("ButtonFF");
      w->Click("ButtonF");  // page 3.5 of 30
    }
    const auto before = byKey.State();
    QTest::keyClick(&byKey.form, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    byButton.Click(qPrintable(button));
    QCOMPARE(byKey.State(), byButton.State());
    QVERIFY(byKey.State() != before);  // the key did something
  }

  void keysDoNothingWhileTheirButtonCannotBeUsed() {
    Window w;
    w.Click("ButtonFF");
    w.Click("ButtonClose");  // the viewer panel, and every key's button with it, is hidden
    const auto closed = w.State();
    for (const int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End,
                          Qt::Key_A, Qt::Key_Escape})
      QTest::keyClick(&w.form, Qt::Key(key));
    QCOMPARE(w.State(), closed);
    // Open lies under the panel while a file is open: Ctrl+O opens no dialog then.
    Window open;
    QTest::keyClick(&open.form, Qt::Key_O, Qt::ControlModifier);
    QVERIFY(!open.Find<TOpenDialog>("OpenDialog1")->isVisible());
  }

  void thePanelKeepsTheControlsUnderItOutOfTheKeyboardsReach() {
    Window w;
    const char* covered[] = {"Edit1", "ButtonRunStop", "ButtonView", "ButtonOpen"};
    for (const char* name : covered) QCOMPARE(w.Find<QWidget>(name)->focusPolicy(), Qt::NoFocus);
    w.Click("ButtonClose");
    for (const char* name : covered) QCOMPARE(w.Find<QWidget>(name)->focusPolicy(), Qt::StrongFocus);
  }

  void labelledAxesOffGiveBackTheDefaultFrame() {
    Window w;
    w.Click("ButtonFF");
    const QImage plain = w.Frame();
    QTest::keyClick(&w.form, Qt::Key_L);
    QVERIFY(w.form.LabelledAxes().On());
    QVERIFY(w.Frame() != plain);
    QCOMPARE(w.form.LabelledAxes().LeftText(250), QStringLiteral("1000"));
    QCOMPARE(w.form.LabelledAxes().BottomText(5), FormatTimeOfDay(*TRecordTimes::Load(w.file).At(1500), true));
    QTest::keyClick(&w.form, Qt::Key_L);
    QVERIFY(!w.form.LabelledAxes().On());
    QVERIFY(w.Frame() == plain);
    // The same on the overview, where the bottom labels are times to the second.
    w.Click("Button1");
    const QImage overview = w.Frame();
    w.form.LabelledAxes().SetOn(true);
    QCOMPARE(w.form.LabelledAxes().BottomText(0), FormatTimeOfDay(*TRecordTimes::Load(w.file).At(0), false));
    QVERIFY(w.Frame() != overview);
    w.form.LabelledAxes().SetOn(false);
    QVERIFY(w.Frame() == overview);
  }

  void theReadoutGoesAwayOnAKeyAPressAndANewPage() {
    Window w;
    QVERIFY(QTest::qWaitForWindowExposed(&w.form));
    QWidget* focus = QApplication::focusWidget();
    TPointerReadout& readout = w.form.Readout();
    QWidget* chart = w.Find<QWidget>("Chart1");
    const QImage frame = w.Frame();
    readout.ShowAt({400, 300});
    QVERIFY(readout.Shown());
    QCOMPARE(QApplication::focusWidget(), focus);  // it never takes the focus
    QVERIFY(w.Frame() == frame);                     // nor draws into the chart
    QVERIFY(!readout.Window().geometry().contains(chart->mapToGlobal(QPoint(400, 300))));
    QTest::keyClick(&w.form, Qt::Key_Shift);
    QVERIFY(!readout.Shown());
    readout.ShowAt({400, 300});
    QTest::mousePress(chart, Qt::RightButton, {}, {400, 300});
    QVERIFY(!readout.Shown());
    QTest::mouseRelease(chart, Qt::RightButton, {}, {400, 300});
    w.form.ChartMenu().Menu().hide();
    readout.ShowAt({400, 300});
    w.Click("ButtonF");
    QVERIFY(!readout.Shown());
    // Resting over the chart brings it back.
    QTest::mouseMove(chart, {400, 300});
    QTRY_VERIFY_WITH_TIMEOUT(readout.Shown(), 2000);
  }

  void theMenuExportsTheRecordsOnScreen() {
    Window w(30'000, {"--channel", "A1=Pressure,kPa,0.125,0.5"});
    w.Click("ButtonFF");
    const auto records = w.form.Reading().RecordsOnScreen();
    QVERIFY(records.has_value());
    QCOMPARE(*records, (std::pair<std::int64_t, std::int64_t>{1000, 2000}));
    const QString csv = QString::fromStdString((w.dir.Path() / "page.csv").string());
    ExportRecordsCsv(w.file, records->first, records->second, w.form.Channels(), csv);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 1001);
    QVERIFY2(lines[0].startsWith(QStringLiteral("record,estimated_seconds,estimated_time,Pressure [kPa],A2,")), qPrintable(lines[0]));
    const QStringList row = lines[501].split(',');
    QCOMPARE(row[0], QStringLiteral("1500"));
    QCOMPARE(row[3], QString::number(Code(1500, 0) * 0.125 + 0.5));
    // The image as on screen, read back whole; neither file ever goes over the recording itself.
    const QString png = QString::fromStdString((w.dir.Path() / "chart.png").string());
    const QImage image = w.Frame();
    SaveChartImage(image, png, w.file);
    QCOMPARE(QImage(png).convertToFormat(image.format()), image);
    const auto before = std::filesystem::file_size(w.file);
    const QString recording = QString::fromStdString(w.file.string());
    QVERIFY_THROWS_EXCEPTION(TFileError, ExportRecordsCsv(w.file, 0, 10, w.form.Channels(), recording));
    QVERIFY_THROWS_EXCEPTION(TFileError, SaveChartImage(image, recording, w.file));
    QCOMPARE(std::filesystem::file_size(w.file), before);
    // The menu offers the export, and undo zoom only while zoomed.
    w.form.ChartMenu().UpdateEntries();
    QStringList texts;
    for (QAction* a : w.form.ChartMenu().Menu().actions()) {
      texts << a->text();
      if (a->text() == QStringLiteral("Undo zoom")) QVERIFY(!a->isEnabled());
    }
    QVERIFY2(texts.join('|').contains(QStringLiteral("Export records on screen as CSV")), qPrintable(texts.join('|')));
  }
};

QTEST_MAIN(WindowAdditionsTest)
#include "window_additions_test.moc"
