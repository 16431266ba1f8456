#include "hotsync/Connection.h"

#include <charconv>
#include <functional>

#include "hotsync/NetSync.h"
#include "hotsync/Serial.h"
#include "hotsync/SerialPort.h"
#include "hotsync/Tcp.h"
#include "hotsync/Usb.h"

namespace hotsync {

namespace {

// Serial speeds a handheld's serial port offers.
constexpr std::uint32_t kBaudRates[] = {9600, 19200, 38400, 57600, 115200, 230400};

Error Malformed(std::string_view text, const std::string& why)
{
    return MakeError(ErrorKind::Refused, "connection \"" + std::string(text) + "\": " + why);
}

template <typename Number> bool ParseNumber(std::string_view digits, Number& value)
{
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return failure == std::errc() && end == digits.data() + digits.size();
}

// ADDRESS:PORT, the address possibly in brackets.
Status ParseAddressPort(std::string_view whole, std::string_view rest, HandheldRoute& route)
{
    std::string_view address;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') {
            return Malformed(whole, "expected [ADDRESS]:PORT");
        }
        address = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            return Malformed(whole, "expected ADDRESS:PORT");
        }
        address = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (address.find(':') != std::string_view::npos) {
            return Malformed(whole, "an IPv6 address goes in brackets: [ADDRESS]:PORT");
        }
    }
    if (address.empty()) {
        return Malformed(whole, "the address is missing");
    }
    std::uint32_t number = 0;
    if (!ParseNumber(port, number) || number == 0 || number > 65535) {
        return Malformed(whole, "the port must be a number from 1 to 65535");
    }
    route.address = std::string(address);
    route.port = static_cast<std::uint16_t>(number);
    return {};
}

// The fastest speed offered to a handheld on a serial line when the connection names none.
constexpr std::uint32_t kMostSerialSpeed = 115200;

// A serial session's link together with the byte stream it runs over, which the session's link only refers
// to. The link is declared after the stream, so it goes first.
class SerialSessionLink final : public IPacketLink
{
public:
    explicit SerialSessionLink(std::unique_ptr<IByteStream> stream)
        : m_stream(std::move(stream))
    {}

    IByteStream& Stream() { return *m_stream; }
    void Attach(std::unique_ptr<IPacketLink> link) { m_link = std::move(link); }

    Status Send(std::span<const std::uint8_t> message, Deadline deadline) override
    {
        return m_link->Send(message, deadline);
    }
    Result<std::vector<std::uint8_t>> Receive(Deadline deadline) override { return m_link->Receive(deadline); }

private:
    std::unique_ptr<IByteStream> m_stream;
    std::unique_ptr<IPacketLink> m_link;
};

Result<std::unique_ptr<IPacketLink>> StartSerialOver(std::unique_ptr<IByteStream> stream,
                                                     std::uint32_t maxSpeed,
                                                     std::function<Status(std::uint32_t)> setSpeed,
                                                     Deadline deadline,
                                                     CancelFlag& cancel)
{
    auto owner = std::make_unique<SerialSessionLink>(std::move(stream));
    Result<std::unique_ptr<IPacketLink>> link =
        StartSerialSession(owner->Stream(), maxSpeed, std::move(setSpeed), deadline, cancel);
    if (!link) {
        return link.error();
    }
    owner->Attach(std::move(*link));
    return std::unique_ptr<IPacketLink>(std::move(owner));
}

Result<std::unique_ptr<IPacketLink>> StartNetSyncOver(std::unique_ptr<IByteStream> stream)
{
    auto link = std::make_unique<NetSyncLink>(std::move(stream));
    // Once connected, the handshake gets its own few seconds whatever the wait for the handheld was.
    if (Status shook = RunNetSyncHandshake(*link, Deadline::In(std::chrono::seconds(30))); !shook) {
        if (shook.error().kind == ErrorKind::Timeout) {
            return MakeError(ErrorKind::Timeout, "something connected but did not start a HotSync");
        }
        return shook.error();
    }
    return std::unique_ptr<IPacketLink>(std::move(link));
}

} // namespace

Result<HandheldRoute> ParseConnection(std::string_view text)
{
    HandheldRoute route;
    const auto colon = text.find(':');
    const std::string_view scheme = text.substr(0, colon);
    const bool hasRest = colon != std::string_view::npos;
    const std::string_view rest = hasRest ? text.substr(colon + 1) : std::string_view();

    if (scheme == "usb") {
        if (hasRest) {
            return Malformed(text, "usb takes nothing after it");
        }
        route.kind = HandheldRoute::Kind::Usb;
        return route;
    }
    if (scheme == "net" || scheme == "serial-net") {
        route.kind = scheme == "net" ? HandheldRoute::Kind::Net : HandheldRoute::Kind::SerialNet;
        route.port = scheme == "net" ? kNetSyncPort : kSerialNetPort;
        if (!hasRest) {
            return route;
        }
        if (Status parsed = ParseAddressPort(text, rest, route); !parsed) {
            return parsed.error();
        }
        return route;
    }
    if (scheme == "serial") {
        route.kind = HandheldRoute::Kind::Serial;
        if (rest.empty()) {
            return Malformed(text, "the serial device is missing, e.g. serial:/dev/ttyUSB0");
        }
        // A device name may hold colons (COM ports do not, but paths may); a last part of digits is the speed.
        const auto last = rest.rfind(':');
        std::uint32_t baud = 0;
        if (last != std::string_view::npos && ParseNumber(rest.substr(last + 1), baud)) {
            bool known = false;
            for (const std::uint32_t rate : kBaudRates) {
                known = known || rate == baud;
            }
            if (!known) {
                return Malformed(text, "the speed must be one of 9600, 19200, 38400, 57600, 115200, 230400");
            }
            route.device = std::string(rest.substr(0, last));
            route.baud = baud;
        } else {
            route.device = std::string(rest);
        }
        if (route.device.empty()) {
            return Malformed(text, "the serial device is missing, e.g. serial:/dev/ttyUSB0");
        }
        return route;
    }
    return Malformed(text,
                     "expected usb, net, net:ADDRESS:PORT, serial:DEVICE, serial:DEVICE:BAUD, serial-net or "
                     "serial-net:ADDRESS:PORT");
}

std::string DescribeConnection(const HandheldRoute& route)
{
    const auto address = [&route] {
        const std::string host =
            route.address.find(':') != std::string::npos ? "[" + route.address + "]" : route.address;
        return (host.empty() ? std::string("*") : host) + ":" + std::to_string(route.port);
    };
    switch (route.kind) {
    case HandheldRoute::Kind::Usb:
        return "usb";
    case HandheldRoute::Kind::Net:
        return "net:" + address();
    case HandheldRoute::Kind::SerialNet:
        return "serial-net:" + address();
    case HandheldRoute::Kind::Serial: {
        // Appended piece by piece: GCC 12 at -O3 warns (-Wrestrict) about the same as one chain of operator+.
        std::string text = "serial:";
        text += route.device;
        if (route.baud != 0) {
            text += ':';
            text += std::to_string(route.baud);
        }
        return text;
    }
    }
    return "?";
}

Result<std::unique_ptr<IPacketLink>> OpenHandheldLink(const HandheldRoute& route, Deadline deadline, CancelFlag& cancel)
{
    switch (route.kind) {
    case HandheldRoute::Kind::Net: {
        Result<std::unique_ptr<IByteStream>> stream = AcceptTcp(route.address, route.port, deadline, cancel);
        if (!stream) {
            return stream.error();
        }
        return StartNetSyncOver(std::move(*stream));
    }
    case HandheldRoute::Kind::SerialNet: {
        // An emulator's serial port carried over TCP: no line speed to switch.
        Result<std::unique_ptr<IByteStream>> stream = AcceptTcp(route.address, route.port, deadline, cancel);
        if (!stream) {
            return stream.error();
        }
        return StartSerialOver(std::move(*stream), kMostSerialSpeed, {}, deadline, cancel);
    }
    case HandheldRoute::Kind::Serial: {
        Result<std::unique_ptr<SerialPort>> port = OpenSerialPort(route.device, kSerialStartSpeed, cancel);
        if (!port) {
            return port.error();
        }
        SerialPort& line = **port;
        auto setSpeed = [&line](std::uint32_t speed) { return line.SetSpeed(speed); };
        return StartSerialOver(
            std::move(*port), route.baud ? route.baud : kMostSerialSpeed, setSpeed, deadline, cancel);
    }
    case HandheldRoute::Kind::Usb: {
        Result<UsbHandheld> handheld = WaitForUsbHandheld(deadline, cancel);
        if (!handheld) {
            return handheld.error();
        }
        if (handheld->protocol == usb::Protocol::NetSync) {
            return StartNetSyncOver(std::move(handheld->stream));
        }
        // The first Visor speaks the serial link's packets over its USB endpoints, with no speed to switch.
        return StartSerialOver(std::move(handheld->stream), kMostSerialSpeed, {}, deadline, cancel);
    }
    }
    return MakeError(ErrorKind::Refused, "unknown connection");
}

} // namespace hotsync
