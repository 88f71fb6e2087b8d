// The serial line from the converter: opened for this program alone, 19200 baud 8N1, raw, and
// only ever read.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/file_descriptor.h"

namespace ninetrace {

// Every failure to find, open or set up a port; the message is meant for a message box.
class TPortError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The device went away while open: a USB adapter pulled, a converter switched off, the other end
// of a pseudo-terminal closed. The port reads nothing more, ever.
class TPortLost : public TPortError {
 public:
  using TPortError::TPortError;
};

// The driver's count of bytes lost to overruns and of framing errors, since the port appeared.
struct TLineErrorCounts {
  std::uint32_t Overruns = 0;
  std::uint32_t FramingErrors = 0;
};

struct TPortName {
  std::string Device;  // e.g. /dev/ttyS3
  std::string Label;   // e.g. COM4; empty when the user typed a device path
};

// The port field as typed: a device path when it contains '/', else a port number n standing for
// COMn, which is /dev/ttyS(n-1). Throws TPortError for anything else.
TPortName ResolvePortName(std::string_view portText);

class TSerialPort {
 public:
  static constexpr int BaudRate = 19200;
  // Readers take frames only while more than 15 bytes wait; below that, QueueCount also asks
  // whether the line has hung up.
  static constexpr std::uint32_t HangUpCheckBelow = 16;

  TSerialPort() = default;
  ~TSerialPort() { Close(); }
  TSerialPort(TSerialPort&&) noexcept = default;
  TSerialPort& operator=(TSerialPort&& other) noexcept;

  // Opens and configures the port named by the port field; throws TPortError.
  void Open(std::string_view portText);
  // Gives up the exclusive use too: it would outlast the close while another handle (such as a
  // simulator's) keeps the line open, and lock this program out of its own next recording.
  void Close() noexcept;
  bool IsOpen() const { return fd_.IsOpen(); }
  const TPortName& Name() const { return name_; }

  // Bytes received and not read yet; 0 when closed. Throws TPortLost when the device reports an
  // error or a hang-up: that is a vanished device, not an empty queue. A quiet line is just 0.
  std::uint32_t QueueCount() const;
  // Blocks until `count` bytes have arrived. Throws TPortLost when the line fails or hangs up.
  std::int32_t Read(std::uint8_t* buffer, std::int32_t count);
  // Nothing when the driver keeps no such counts (a pseudo-terminal, some USB adapters).
  std::optional<TLineErrorCounts> LineErrorCounts() const noexcept;

 private:
  [[noreturn]] void Lost(int error) const;

  TFileDescriptor fd_;
  TPortName name_;
};

}  // namespace ninetrace
