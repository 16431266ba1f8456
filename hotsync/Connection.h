#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "hotsync/Link.h"

namespace hotsync {

// How the handheld is reached, from a connection string:
//   usb
//   net | net:ADDRESS:PORT                  (listen for network HotSync; every address, port 14238)
//   serial:DEVICE | serial:DEVICE:BAUD      (a serial port)
//   serial-net | serial-net:ADDRESS:PORT    (the serial protocol over TCP, as emulators offer; port 6416)
// ADDRESS may be an IPv6 address in brackets: net:[::1]:14238.
struct HandheldRoute
{
    enum class Kind
    {
        Usb,
        Net,
        Serial,
        SerialNet,
    };
    Kind kind = Kind::Net;
    std::string address; // Net and SerialNet; empty for every address
    std::uint16_t port = 0;
    std::string device;     // Serial
    std::uint32_t baud = 0; // Serial; 0 for the default speed
};

inline constexpr std::uint16_t kNetSyncPort = 14238;
inline constexpr std::uint16_t kSerialNetPort = 6416;

// Parses a connection string; Refused with the reason for a malformed one.
Result<HandheldRoute> ParseConnection(std::string_view text);

// The connection string back, for messages.
std::string DescribeConnection(const HandheldRoute& route);

// Waits for the handheld on the connection, runs the transport's handshake and hands back a link that carries
// DLP. Timeout when no handheld came before the deadline; Cancelled when `cancel` was set. The link's waits
// keep checking `cancel`, so it must outlive the link.
Result<std::unique_ptr<IPacketLink>>
OpenHandheldLink(const HandheldRoute& route, Deadline deadline, CancelFlag& cancel);

} // namespace hotsync
