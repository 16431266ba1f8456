#pragma once

// A serial port (a cradle on a serial line, a USB-serial adapter, a pseudo-terminal) as a byte stream in raw
// mode: no echo, no line editing, no translation of line ends, no software flow control. Waits are cut into
// slices of at most 100 ms so that a cancel is seen within that time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hotsync/Link.h"

namespace hotsync {

class SerialPort : public IByteStream
{
public:
    // Switches the line speed, after what was written has gone out.
    virtual Status SetSpeed(std::uint32_t speed) = 0;
};

// Opens the device at the given speed. A device that is not a terminal is refused with a reason, as is a speed
// the system does not know. The port keeps a reference to cancel: it must outlive the port. On Windows every
// call fails with a reason.
Result<std::unique_ptr<SerialPort>> OpenSerialPort(const std::string& device, std::uint32_t speed, CancelFlag& cancel);

// The serial ports present on this machine (/dev/ttyS*, ttyUSB*, ttyACM*; cu.* on macOS), in natural order.
std::vector<std::string> ListSerialPorts();
// The same over another folder (for tests).
std::vector<std::string> ListSerialPortsIn(const std::string& folder);

} // namespace hotsync
