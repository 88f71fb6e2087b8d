#include "replay_line.h"

namespace ninetrace::simulator {

TReplayLine::TReplayLine(const std::filesystem::path& name, bool loop) : reader_(name), loop_(loop) {
  records_ = reader_.Records() - reader_.ZeroTailRecords();
  reader_.SeekRecord(0);
}

bool TReplayLine::AppendNext(std::vector<std::uint8_t>& out) {
  if (records_ == 0) return false;
  if (played_ == records_) {
    if (!loop_) return false;
    reader_.SeekRecord(0);
    played_ = 0;
    chunk_ = {};
  }
  if (chunk_.empty()) {
    chunk_ = reader_.Next(records_ - played_);  // throws TFileError when the file was cut short
    if (chunk_.empty()) return false;
  }
  out.push_back(SyncByte);
  out.push_back(SyncByte);
  out.insert(out.end(), chunk_.begin(), chunk_.begin() + RecordSize);
  chunk_ = chunk_.subspan(RecordSize);
  ++played_;
  ++frames_;
  return true;
}

}  // namespace ninetrace::simulator
