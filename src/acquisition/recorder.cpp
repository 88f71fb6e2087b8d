#include "acquisition/recorder.h"

#include <algorithm>
#include <cerrno>
#include <exception>
#include <system_error>

namespace ninetrace {

namespace {

// Copies tried after the plain name before giving up; more than anyone can start in one second.
constexpr int MaxCopiesPerSecond = 999;

TStopReason StopReasonOf(const TFileError& e) {
  if (e.Reason() == std::error_code(ENOSPC, std::generic_category()).message()) return TStopReason::DiskFull;
  if (e.Reason() == std::error_code(EFBIG, std::generic_category()).message()) return TStopReason::SizeLimit;
  return TStopReason::WriteFailed;
}

}  // namespace

TRecorder::TRecorder(TTraceSet& traces, std::function<void()> refresh, const TClock& clock,
                     std::filesystem::path directory)
    : traces_(traces), refresh_(std::move(refresh)), clock_(clock), directory_(std::move(directory)) {}

TRecorder::~TRecorder() { Shutdown(); }

TDataFile TRecorder::CreateRecordingFile(std::string& name) const {
  const std::tm now = clock_.LocalNow();
  TDataFile file;
  for (int copy = 1; copy <= MaxCopiesPerSecond; ++copy) {
    name = RecordingFileName(now, copy);
    if (file.CreateNew(directory_ / name)) return file;
  }
  const std::string first = (directory_ / RecordingFileName(now)).string();
  throw TFileError("Cannot create " + first + ": that name and all its numbered copies are taken",
                   "all names are taken");
}

void TRecorder::Run(std::string_view portText) {
  if (running_) return;
  std::string name;
  TDataFile file = CreateRecordingFile(name);
  TSerialPort port;
  try {
    port.Open(portText);
  } catch (...) {
    // Nothing was recorded: leave no empty file behind.
    file.Close();
    std::error_code ignored;
    std::filesystem::remove(directory_ / name, ignored);
    throw;
  }
  file_ = std::move(file);
  port_ = std::move(port);
  fileName_ = std::move(name);
  pagesWritten_ = 0;
  page_.fill(0);
  fill_ = 0;
  records_ = 0;
  synchroniser_.ResetCounts();
  timeline_.Start(directory_ / fileName_, port_);
  running_ = true;
  traces_.Clear();
}

void TRecorder::Stop(TStopReason reason) {
  if (!running_) return;
  running_ = false;
  port_.Close();
  AppendPage();
  file_.Close();
  timeline_.Stopped(reason, records_, synchroniser_.BytesDropped(), pagesWritten_, true);
}

std::string TRecorder::Shutdown(TStopReason reason) noexcept {
  try {
    Stop(reason);
    return {};
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Recording stopped: unknown error.";
  }
}

void TRecorder::Tick() {
  std::exception_ptr failure;
  if (running_) {
    try {
      synchroniser_.Poll(source_, running_, [this](TSampleRecord record) { StoreRecord(record); });
      timeline_.TickEnded(records_, port_);
    } catch (const TPortLost& lost) {
      failure = std::make_exception_ptr(TRecordingError(StopAfterLoss(lost)));
    } catch (...) {
      failure = std::current_exception();
    }
  }
  // Redraw even after a failure, so the window shows what was recorded up to it.
  if (refresh_) refresh_();
  if (failure) std::rethrow_exception(failure);
}

std::string TRecorder::StopAfterLoss(const TPortLost& lost) {
  const std::string message = std::string("Recording stopped: ") + lost.what();
  try {
    Stop(TStopReason::DeviceLost);
  } catch (const TRecordingError& e) {
    constexpr std::string_view prefix = "Recording stopped: ";
    std::string_view written = e.what();
    if (written.starts_with(prefix)) written.remove_prefix(prefix.size());
    return message + " Writing the last page failed too: " + std::string(written);
  }
  const std::string pages = pagesWritten_ == 1 ? "1 page is" : std::to_string(pagesWritten_) + " pages are";
  return message + " " + pages + " kept in " + fileName_ + ".";
}

void TRecorder::StoreRecord(TSampleRecord record) {
  std::copy(record.begin(), record.end(), page_.begin() + static_cast<std::ptrdiff_t>(fill_ * RecordSize));
  traces_.PlotRecord(page_, fill_, static_cast<std::int64_t>(fill_));
  ++records_;
  if (++fill_ < RecordsPerPage) return;
  AppendPage();
  timeline_.PageWritten(synchroniser_.BytesDropped());
  traces_.Clear();
  page_.fill(0);
  fill_ = 0;
}

void TRecorder::AppendPage() {
  const std::int64_t kept = pagesWritten_ * static_cast<std::int64_t>(PageSize);
  try {
    file_.SeekEnd();
    file_.WriteAll(page_.data(), static_cast<std::int64_t>(PageSize));
    // Each page goes to the disk as it is written: a crash loses at most the page being filled.
    file_.Sync();
    ++pagesWritten_;
    return;
  } catch (const TFileError& e) {
    running_ = false;
    port_.Close();
    timeline_.Stopped(StopReasonOf(e), records_, synchroniser_.BytesDropped(), pagesWritten_, false);
    // Cut away the part of the page that did get through, so the file stays whole pages.
    try {
      file_.Truncate(kept);
    } catch (const TFileError&) {
    }
    file_.Close();
    std::string message = "Recording stopped: cannot write to " + fileName_ + ": " + e.Reason() + ".";
    if (kept > 0) {
      const std::string pages =
          pagesWritten_ == 1 ? "1 page recorded before is" : std::to_string(pagesWritten_) + " pages recorded before are";
      message += " The " + pages + " kept; the page being written is lost.";
    } else {
      std::error_code ignored;
      std::filesystem::remove(directory_ / fileName_, ignored);
      std::filesystem::remove(IndexPathFor(directory_ / fileName_), ignored);
      message += " No page had been written yet, so the empty file was removed.";
    }
    throw TRecordingError(message);
  }
}

}  // namespace ninetrace
