#include "hotsync/Serial.h"

#include <algorithm>
#include <string>

namespace hotsync {

namespace cmp {

namespace {

// The version of the connection protocol this side speaks.
constexpr std::uint8_t kMajor = 1;
constexpr std::uint8_t kMinor = 1;
// The id every connection-management message travels under.
constexpr std::uint8_t kXid = 0xFF;

} // namespace

std::optional<Message> Parse(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kMessageSize) {
        return std::nullopt;
    }
    Message message;
    message.type = bytes[0];
    message.flags = bytes[1];
    message.major = bytes[2];
    message.minor = bytes[3];
    message.speed = (static_cast<std::uint32_t>(bytes[6]) << 24) | (static_cast<std::uint32_t>(bytes[7]) << 16) |
                    (static_cast<std::uint32_t>(bytes[8]) << 8) | bytes[9];
    return message;
}

std::vector<std::uint8_t> Encode(const Message& message)
{
    return {message.type,
            message.flags,
            message.major,
            message.minor,
            0,
            0,
            static_cast<std::uint8_t>(message.speed >> 24),
            static_cast<std::uint8_t>(message.speed >> 16),
            static_cast<std::uint8_t>(message.speed >> 8),
            static_cast<std::uint8_t>(message.speed)};
}

} // namespace cmp

Result<std::unique_ptr<IPacketLink>> StartSerialSession(IByteStream& stream,
                                                        std::uint32_t maxSpeed,
                                                        std::function<Status(std::uint32_t)> setSpeed,
                                                        Deadline deadline,
                                                        CancelFlag& cancel,
                                                        padp::Timing timing)
{
    auto link = std::make_unique<padp::Link>(stream, cancel, timing);

    Result<std::vector<std::uint8_t>> first = link->Receive(deadline);
    if (!first) {
        return first.error();
    }
    const std::optional<cmp::Message> wakeup = cmp::Parse(*first);
    if (!wakeup || wakeup->type != static_cast<std::uint8_t>(cmp::Type::Wakeup)) {
        return MakeError(ErrorKind::Protocol, "The handheld did not start a HotSync session");
    }

    // A handheld that names no speed keeps the one every session starts at.
    std::uint32_t speed = wakeup->speed == 0 ? kSerialStartSpeed : std::min(wakeup->speed, maxSpeed);
    if (speed < kSerialStartSpeed) {
        speed = kSerialStartSpeed;
    }
    const bool change = speed != kSerialStartSpeed;

    cmp::Message init;
    init.type = static_cast<std::uint8_t>(cmp::Type::Init);
    init.flags = static_cast<std::uint8_t>((change ? cmp::kChangeSpeed : 0) | cmp::kLongHeaders);
    init.major = cmp::kMajor;
    init.minor = cmp::kMinor;
    init.speed = change ? speed : 0;
    link->SetNextXid(cmp::kXid);
    if (Status sent = link->Send(cmp::Encode(init), deadline); !sent) {
        return sent.error();
    }
    if (change && setSpeed) {
        if (Status switched = setSpeed(speed); !switched) {
            return switched.error();
        }
    }
    return std::unique_ptr<IPacketLink>(std::move(link));
}

} // namespace hotsync
