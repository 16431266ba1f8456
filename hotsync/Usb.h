#pragma once

// HotSync over USB: waits for a handheld to appear on the bus after the user pressed HotSync, sets it up and
// hands over its bulk endpoints as a byte stream. Needs libusb-1.0 (the build option TUNELORE_USB); without it
// every call fails with a reason.

#include <memory>
#include <string>

#include "hotsync/Link.h"
#include "hotsync/UsbSetup.h"

namespace hotsync {

struct UsbHandheld
{
    std::unique_ptr<IByteStream> stream;
    // NetSync for nearly every model; the serial link's packets for the first Visor.
    usb::Protocol protocol = usb::Protocol::NetSync;
    std::string name;
};

// Polls the bus (every 200 ms, seeing a cancel within 100 ms) until a known handheld appears, detaches the
// system's serial driver from its interface, claims it and finds the HotSync endpoints. Fails with Timeout when
// the deadline passes, Refused when the device may not be opened (permissions), Cancelled on cancel. The
// stream keeps a reference to cancel: it must outlive the stream.
Result<UsbHandheld> WaitForUsbHandheld(Deadline deadline, CancelFlag& cancel);

// Whether this build can use USB at all.
bool UsbAvailable();

} // namespace hotsync
