// A pseudo-terminal standing in for a serial line: whatever is written to the master end arrives
// at the slave end, which any program opens by path like a serial port. Used to play the converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "platform/file_descriptor.h"

namespace ninetrace {

class TSerialPty {
 public:
  // Opens a new pair; throws std::system_error. The master is non-blocking so a writer with no
  // reader on the other end loses bytes, as on a real line, instead of stopping.
  TSerialPty();

  const std::string& SlavePath() const { return slavePath_; }
  int MasterFd() const { return master_.Get(); }

  // Writes what the line takes now; returns the bytes accepted (0 when its buffer is full).
  // Throws std::system_error when the line has failed.
  std::size_t Write(std::span<const std::uint8_t> bytes);
  // Bytes waiting at the slave end for a reader.
  std::uint32_t SlaveQueueCount() const;

  // Hangs the line up: readers at the slave end see the end of the data.
  void CloseMaster() { master_.Reset(); }

 private:
  TFileDescriptor master_;
  // Held open so the slave keeps its raw settings while readers come and go.
  TFileDescriptor slave_;
  std::string slavePath_;
};

}  // namespace ninetrace
