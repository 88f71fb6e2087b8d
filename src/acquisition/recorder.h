// Live recording: frames from the serial port go into a page buffer, onto the nine traces and,
// a 7000-byte page at a time, into a new file named after the moment the recording started.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "acquisition/arrival_timeline.h"
#include "acquisition/frame_synchroniser.h"
#include "acquisition/sample_record.h"
#include "acquisition/trace_set.h"
#include "platform/clock.h"
#include "platform/data_file.h"
#include "platform/serial_port.h"

namespace ninetrace {

// The recording could not go on; it has been stopped cleanly and the message says what is kept.
class TRecordingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TRecorder {
 public:
  // `refresh` redraws the chart after every tick; recordings are written into `directory`
  // (the current directory when empty). The traces and the clock must outlive the recorder.
  TRecorder(TTraceSet& traces, std::function<void()> refresh, const TClock& clock = SystemClock(),
            std::filesystem::path directory = {});
  // Stops a recording still running, as Shutdown does.
  ~TRecorder();
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  // Starts a recording from the port named by the port field. Throws TPortError when the port
  // cannot be used, or TFileError when no file can be created; then nothing has changed.
  void Run(std::string_view portText);
  // Ends the recording, writing the page received so far; the index notes `reason`. Throws
  // TRecordingError when that page cannot be written; the recording is stopped all the same.
  void Stop(TStopReason reason = TStopReason::Button);
  // Called by the window's 100 ms timer: records what arrived, then always redraws. Throws
  // TRecordingError when a page cannot be written or the device has gone away; the recording
  // has then been stopped as Stop does, every record received kept.
  void Tick();
  // For closing the window: stops a recording as Stop does but never throws. Returns the error
  // message, empty when all went well.
  std::string Shutdown(TStopReason reason = TStopReason::WindowClosed) noexcept;

  bool Running() const { return running_; }
  // The name of the file of the current or last recording, as created, e.g. "160302 090507.bin".
  const std::string& FileName() const { return fileName_; }
  std::filesystem::path FilePath() const { return directory_ / fileName_; }
  std::size_t FillPosition() const { return fill_; }
  // Whole pages written to the file of the current or last recording, each synced to the disk.
  std::int64_t PagesWritten() const { return pagesWritten_; }
  // The arrival time of record `slot` of the page being filled, as the index will have it;
  // nothing for a slot not received yet.
  std::optional<TRecordTime> LiveRecordTime(std::size_t slot) const { return timeline_.LiveRecordTime(slot); }
  // Why the index beside the recording could not be written; empty when it was.
  const std::string& IndexProblem() const { return timeline_.Problem(); }

  // Shared with the page viewer, which reads recorded pages into the same buffer.
  TDataFile& DataFile() { return file_; }
  TPageBuffer& PageBuffer() { return page_; }
  const TSerialPort& Port() const { return port_; }
  const TFrameSynchroniser& Synchroniser() const { return synchroniser_; }

 private:
  class TPortSource final : public TByteSource {
   public:
    explicit TPortSource(TSerialPort& port) : port_(port) {}
    std::uint32_t QueueCount() override { return port_.QueueCount(); }
    std::int32_t Read(std::uint8_t* buffer, std::int32_t count) override { return port_.Read(buffer, count); }

   private:
    TSerialPort& port_;
  };

  TDataFile CreateRecordingFile(std::string& name) const;
  // Stops after the device vanished; returns what to tell the person.
  std::string StopAfterLoss(const TPortLost& lost);
  void StoreRecord(TSampleRecord record);
  // Appends the page buffer; on failure stops the recording and throws TRecordingError.
  void AppendPage();

  TTraceSet& traces_;
  std::function<void()> refresh_;
  const TClock& clock_;
  std::filesystem::path directory_;

  bool running_ = false;
  TSerialPort port_;
  TPortSource source_{port_};
  TFrameSynchroniser synchroniser_;
  TDataFile file_;
  std::string fileName_;
  std::int64_t pagesWritten_ = 0;
  TPageBuffer page_{};
  std::size_t fill_ = 0;  // records in the page buffer, 0..999
  std::int64_t records_ = 0;  // received since Run
  TArrivalTimeline timeline_{clock_};
};

}  // namespace ninetrace
