// The recorder's file stays its own: before every page it checks that no other program has
// deleted, replaced or cut the file, and when one has, it stops and keeps what it still can.
#include <filesystem>
#include <string>

#include "acquisition/recorder.h"

namespace ninetrace {

namespace {

std::string Records(std::int64_t count) { return count == 1 ? "1 record" : std::to_string(count) + " records"; }

std::string Pages(std::int64_t count) { return count == 1 ? "1 page" : std::to_string(count) + " pages"; }

}  // namespace

void TRecorder::CheckOwnFile(std::int64_t offset) {
  TFileState state;
  try {
    state = file_.State();
  } catch (const TFileError&) {
    return;  // the write that follows meets the same failure and reports it
  }
  if (state.Unlinked || !state.NameLeadsHere) throw TRecordingError(KeepAfterNameLost(state));
  if (state.Size != offset) throw TRecordingError(KeepAfterResize(state, offset));
}

// The records are still in the open file, which no name leads to any more: they are copied out,
// with the page in progress, under a free name in the same folder. When they cannot be, the
// recorder names no file afterwards: the old name leads to some other file, or to none.
std::string TRecorder::KeepAfterNameLost(const TFileState& state) {
  EndRecording();
  const std::string lost = state.NameTaken ? " was replaced" : state.Unlinked ? " was deleted" : " was renamed";
  std::string message = "Recording stopped: " + Where() + lost + " by another program while recording.";
  const std::int64_t written = pagesWritten_ * static_cast<std::int64_t>(PageSize);
  const std::string what = "the " + Pages(pagesWritten_) + " recorded and the " +
                           Records(static_cast<std::int64_t>(fill_)) + " of the page in progress";
  // Renamed or moved, the file lives on under a name this program cannot know: it gets the page
  // in progress too, so it is whole wherever it went.
  bool wholeElsewhere = false;
  if (!state.Unlinked) {
    try {
      file_.WriteAt(page_.data(), static_cast<std::int64_t>(PageSize), written);
      file_.Sync();
      wholeElsewhere = true;
    } catch (const TFileError&) {
    }
  }
  const std::string livesOn = "the file lives on under a name this program cannot tell, holding " + what + ".";
  std::error_code noFolder;
  if (!std::filesystem::is_directory(folder_, noFolder)) {
    // The index is gone with the folder, or moved with it beside the file.
    file_.Close();
    fileName_.clear();
    if (wholeElsewhere) return message + " Its folder was moved or removed; " + livesOn;
    return message + " Its folder is gone too, so " + what + " could not be saved and are lost.";
  }
  std::string name;
  TDataFile copy;
  try {
    copy = CreateRecordingFile(started_, name);
    file_.CopyTo(copy, written);
    copy.WriteAt(page_.data(), static_cast<std::int64_t>(PageSize), written);
    copy.Sync();
  } catch (const TFileError& e) {
    if (copy.IsOpen()) copy.RemoveOwnName();
    file_.Close();
    timeline_.Moved({});
    fileName_.clear();
    if (wholeElsewhere) return message + " Saving a copy failed (" + e.Reason() + "); " + livesOn;
    return message + " Saving them failed (" + e.Reason() + "), so " + what + " are lost.";
  }
  file_ = std::move(copy);
  file_.Close();
  fileName_ = name;
  timeline_.Moved(folder_ / fileName_);
  ++pagesWritten_;
  return message + " Nothing is lost: " + what + " are saved as " + Where() + ".";
}

// Still our file under our name, but not the size we made it: another program cut it short or
// wrote into it. The page in progress goes to its own place, so every record stays where it was.
std::string TRecorder::KeepAfterResize(const TFileState& state, std::int64_t offset) {
  EndRecording();
  std::string message = "Recording stopped: " + Where() + " was changed by another program while recording: it held " +
                        std::to_string(state.Size) + " bytes where " + std::to_string(offset) + " were written.";
  try {
    file_.WriteAt(page_.data(), static_cast<std::int64_t>(PageSize), offset);
    if (state.Size > offset) file_.Truncate(offset + static_cast<std::int64_t>(PageSize));
    file_.Sync();
    ++pagesWritten_;
  } catch (const TFileError& e) {
    file_.Close();
    return message + " Writing the page in progress failed too (" + e.Reason() + "): its " +
           Records(static_cast<std::int64_t>(fill_)) + " are lost.";
  }
  file_.Close();
  const auto record = static_cast<std::int64_t>(RecordSize);
  if (state.Size < offset)
    return message + " The last " + Records(offset / record - state.Size / record) +
           " written before were cut away and are lost, zeros in their place; the rest and the page in progress are kept.";
  return message + " What it added after the recording was removed; the recording and the page in progress are kept.";
}

}  // namespace ninetrace
