#include "hotsync/UsbSetup.h"

#include <algorithm>
#include <array>

namespace hotsync::usb {

namespace {

// Palm, Sony, AlphaSmart, Handspring, Garmin, Kyocera, Tapwave, Aceeca and Samsung handhelds.
constexpr std::array<Model, 45> kModels = {{
    {0x054c, 0x0038, "Sony S300 and other Palm OS 3.5 models", Init::EarlySony, Protocol::NetSync},
    {0x054c, 0x0066, "Sony T, SJ and other Palm OS 4.0 models", Init::Generic, Protocol::NetSync},
    {0x054c, 0x0095, "Sony S360", Init::Generic, Protocol::NetSync},
    {0x054c, 0x000a, "Sony NR and other Palm OS 4.1 models", Init::Generic, Protocol::NetSync},
    {0x054c, 0x009a, "Sony NR70", Init::EarlySony, Protocol::NetSync},
    {0x054c, 0x00da, "Sony NX", Init::Generic, Protocol::NetSync},
    {0x054c, 0x00e9, "Sony NZ", Init::Generic, Protocol::NetSync},
    {0x054c, 0x0144, "Sony UX", Init::Generic, Protocol::NetSync},
    {0x054c, 0x0169, "Sony TJ", Init::Generic, Protocol::NetSync},
    {0x081e, 0xdf00, "AlphaSmart Dana", Init::Generic, Protocol::NetSync},
    {0x082d, 0x0100, "Handspring Visor, Treo 300", Init::Generic, Protocol::Serial},
    {0x082d, 0x0200, "Handspring Treo", Init::Generic, Protocol::NetSync},
    {0x082d, 0x0300, "Handspring Treo 600", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0001, "Palm m500", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0002, "Palm m505", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0003, "Palm m515", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0010, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0011, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0020, "Palm i705", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0030, "Palm Tungsten|Z", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0031, "Palm Tungsten|W", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0040, "Palm m125", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0050, "Palm m130", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0051, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0052, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0053, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0060, "Palm Tungsten, Zire 71", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0061, "Palm Zire 31, 72, Z22", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0062, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0063, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0070, "Palm Zire", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0071, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0080, "Palm m100", Init::None, Protocol::NetSync},
    {0x0830, 0x0099, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x0830, 0x0100, "Palm handheld", Init::Generic, Protocol::NetSync},
    {0x091e, 0x0004, "Garmin iQue 3600", Init::Generic, Protocol::NetSync},
    {0x0c88, 0x0021, "Kyocera 7135", Init::Generic, Protocol::NetSync},
    {0x0c88, 0xa226, "Kyocera 6035", Init::Generic, Protocol::NetSync},
    {0x12ef, 0x0100, "Tapwave Zodiac", Init::Generic, Protocol::NetSync},
    {0x4766, 0x0001, "Aceeca MEZ1000", Init::Generic, Protocol::NetSync},
    {0x04e8, 0x8001, "Samsung i330", Init::Generic, Protocol::NetSync},
    // Palm OS 4 handhelds that answer the extended connection request, as the system's own driver probes them.
    {0x0502, 0x0001, "Acer s10", Init::Generic, Protocol::NetSync},
    {0x04e8, 0x6601, "Samsung SPH-i500", Init::Generic, Protocol::NetSync},
    {0x115e, 0xf100, "GSPDA Xplore M68", Init::Generic, Protocol::NetSync},
    {0x0e67, 0x0002, "Fossil Abacus", Init::Generic, Protocol::NetSync},
}};

// The creator of the HotSync port in the extended reply, as its bytes arrive.
constexpr std::array<std::uint8_t, 4> kHotSyncPort = {'c', 'n', 'y', 's'};
constexpr std::uint8_t kHotSyncFunction = 0x02;
constexpr std::size_t kMaxPorts = 2;

Endpoints Pair(std::uint8_t in, std::uint8_t out)
{
    return {static_cast<std::uint8_t>(0x80u | (in & 0x0Fu)), static_cast<std::uint8_t>(out & 0x0Fu)};
}

} // namespace

std::span<const Model> KnownModels()
{
    return kModels;
}

const Model* FindModel(std::uint16_t vendor, std::uint16_t product)
{
    for (const Model& model : KnownModels()) {
        if (model.vendor == vendor && model.product == product) {
            return &model;
        }
    }
    return nullptr;
}

std::optional<Endpoints> ParseExtConnectionInfo(std::span<const std::uint8_t> reply)
{
    // Port count, a flag for separate IN and OUT numbers, two bytes of padding, then 8 bytes a port: the
    // creator of its owner, one endpoint number, two 4-bit numbers (IN, OUT), two bytes of padding.
    constexpr std::size_t kHead = 4;
    constexpr std::size_t kPort = 8;
    if (reply.size() < kHead) {
        return std::nullopt;
    }
    const std::size_t present = (reply.size() - kHead) / kPort;
    const std::size_t ports = std::min({static_cast<std::size_t>(reply[0]), kMaxPorts, present});
    const bool separate = reply[1] != 0;
    for (std::size_t i = 0; i < ports; ++i) {
        const std::span<const std::uint8_t> port = reply.subspan(kHead + i * kPort, kPort);
        if (!std::equal(kHotSyncPort.begin(), kHotSyncPort.end(), port.begin())) {
            continue;
        }
        const std::uint8_t in = separate ? static_cast<std::uint8_t>(port[5] >> 4) : port[4];
        const std::uint8_t out = separate ? static_cast<std::uint8_t>(port[5] & 0x0Fu) : port[4];
        if (in == 0 || out == 0 || in > 0x0F || out > 0x0F) {
            return std::nullopt;
        }
        return Pair(in, out);
    }
    return std::nullopt;
}

std::optional<Endpoints> ParseConnectionInfo(std::span<const std::uint8_t> reply)
{
    // Port count, padding, then 2 bytes a port: its function and its endpoint number.
    constexpr std::size_t kHead = 2;
    constexpr std::size_t kPort = 2;
    if (reply.size() < kHead) {
        return std::nullopt;
    }
    const std::size_t present = (reply.size() - kHead) / kPort;
    const std::size_t ports = std::min({static_cast<std::size_t>(reply[0]), kMaxPorts, present});
    for (std::size_t i = 0; i < ports; ++i) {
        const std::uint8_t function = reply[kHead + i * kPort];
        const std::uint8_t number = reply[kHead + i * kPort + 1];
        if (function == kHotSyncFunction && number != 0 && number <= 0x0F) {
            return Pair(number, number);
        }
    }
    return std::nullopt;
}

std::optional<Endpoints> FirstBulkEndpoints(const std::vector<Endpoint>& endpoints)
{
    std::optional<std::uint8_t> in;
    std::optional<std::uint8_t> out;
    for (const Endpoint& endpoint : endpoints) {
        if ((endpoint.attributes & 0x03u) != 0x02u) {
            continue;
        }
        if (endpoint.address & 0x80u) {
            in = in ? in : endpoint.address;
        } else {
            out = out ? out : endpoint.address;
        }
    }
    if (!in || !out) {
        return std::nullopt;
    }
    return Endpoints{*in, *out};
}

Result<Endpoints> FindHotSyncEndpoints(IUsbDevice& device, Init init)
{
    if (init == Init::Generic) {
        Result<std::vector<std::uint8_t>> ext =
            device.ControlIn(kVendorIn, kGetExtConnectionInfo, 0, 0, kExtConnectionInfoSize);
        if (ext) {
            if (std::optional<Endpoints> found = ParseExtConnectionInfo(*ext)) {
                return *found;
            }
        }
        Result<std::vector<std::uint8_t>> old =
            device.ControlIn(kVendorIn, kGetConnectionInfo, 0, 0, kConnectionInfoSize);
        if (old) {
            if (std::optional<Endpoints> found = ParseConnectionInfo(*old)) {
                // Older handhelds wait for this question before they send; its answer says nothing needed.
                (void)device.ControlIn(kVendorIn, kGetBytesAvailable, 0, 0, 2);
                return *found;
            }
        }
    } else if (init == Init::EarlySony) {
        // GET_CONFIGURATION and GET_INTERFACE, answered and otherwise ignored.
        (void)device.ControlIn(0x80, 0x08, 0, 0, 1);
        (void)device.ControlIn(0x81, 0x0A, 0, 0, 1);
    }
    if (std::optional<Endpoints> found = FirstBulkEndpoints(device.InterfaceEndpoints())) {
        return *found;
    }
    return MakeError(ErrorKind::Protocol, "The USB handheld names no HotSync endpoints");
}

} // namespace hotsync::usb
