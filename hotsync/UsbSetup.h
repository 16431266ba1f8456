#pragma once

// Setting up a USB handheld for HotSync: which devices are handhelds, and which bulk endpoints carry HotSync.
// Handhelds answer two vendor requests that name their endpoints (an extended one on newer models, an older
// one); models that answer neither are used through the first bulk endpoints of their first interface. The
// device sits behind an interface so that the decisions are tested with canned replies.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace hotsync::usb {

// What a model needs before its endpoints are known.
enum class Init
{
    None,      // nothing: the endpoints come from the descriptors
    Generic,   // the connection-information vendor requests
    EarlySony, // two standard requests the first Sony models wait for, then the descriptors
};

// What the USB link carries once set up.
enum class Protocol
{
    NetSync,
    Serial, // the serial link's packets over USB (the first Handspring Visor)
};

struct Model
{
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    const char* name = "";
    Init init = Init::Generic;
    Protocol protocol = Protocol::NetSync;
};

// The known handhelds (Palm and its licensees).
std::span<const Model> KnownModels();
const Model* FindModel(std::uint16_t vendor, std::uint16_t product);

// Vendor requests, device to host, addressed to an endpoint.
inline constexpr std::uint8_t kVendorIn = 0xC2;
inline constexpr std::uint8_t kGetBytesAvailable = 0x01;
inline constexpr std::uint8_t kGetConnectionInfo = 0x03;
inline constexpr std::uint8_t kGetExtConnectionInfo = 0x04;
inline constexpr std::uint16_t kConnectionInfoSize = 6;
inline constexpr std::uint16_t kExtConnectionInfoSize = 20;

struct Endpoint
{
    std::uint8_t address = 0;    // bit 7 set for IN
    std::uint8_t attributes = 0; // bits 0-1: the transfer type, 2 for bulk
    std::uint16_t maxPacket = 0;
};

// Endpoint addresses, IN with bit 7 set.
struct Endpoints
{
    std::uint8_t in = 0;
    std::uint8_t out = 0;
    bool operator==(const Endpoints&) const = default;
};

class IUsbDevice
{
public:
    virtual ~IUsbDevice() = default;
    // A control transfer from the device; what it answered (possibly shorter than asked), or why not.
    virtual Result<std::vector<std::uint8_t>> ControlIn(std::uint8_t requestType,
                                                        std::uint8_t request,
                                                        std::uint16_t value,
                                                        std::uint16_t index,
                                                        std::uint16_t length) = 0;
    // The endpoints of the first interface's current setting.
    virtual std::vector<Endpoint> InterfaceEndpoints() = 0;
};

// The HotSync endpoints in a reply to the extended request, or nothing when it names no HotSync port.
std::optional<Endpoints> ParseExtConnectionInfo(std::span<const std::uint8_t> reply);
// The HotSync endpoints in a reply to the older request, or nothing.
std::optional<Endpoints> ParseConnectionInfo(std::span<const std::uint8_t> reply);
// The first bulk IN and OUT endpoints, or nothing.
std::optional<Endpoints> FirstBulkEndpoints(const std::vector<Endpoint>& endpoints);

// Asks the device as its model needs and decides the endpoints; fails with a reason when none are found.
Result<Endpoints> FindHotSyncEndpoints(IUsbDevice& device, Init init);

} // namespace hotsync::usb
