// The line error counts a real UART's driver keeps (TIOCGICOUNT).
#include <linux/serial.h>
#include <sys/ioctl.h>

#include "platform/serial_port.h"

namespace ninetrace {

std::optional<TLineErrorCounts> TSerialPort::LineErrorCounts() const noexcept {
  if (!fd_.IsOpen()) return std::nullopt;
  serial_icounter_struct counts{};
  if (::ioctl(fd_.Get(), TIOCGICOUNT, &counts) != 0) return std::nullopt;
  return TLineErrorCounts{static_cast<std::uint32_t>(counts.overrun) + static_cast<std::uint32_t>(counts.buf_overrun),
                          static_cast<std::uint32_t>(counts.frame)};
}

}  // namespace ninetrace
