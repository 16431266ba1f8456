#include "hotsync/Usb.h"

namespace hotsync {

Result<UsbHandheld> WaitForUsbHandheld(Deadline, CancelFlag&)
{
    return MakeError(ErrorKind::Refused, "This build of the program cannot use USB (it was built without libusb)");
}

bool UsbAvailable()
{
    return false;
}

} // namespace hotsync
