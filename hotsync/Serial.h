#pragma once

// A HotSync session over a serial line: a serial port, a pseudo-terminal, or the serial protocol carried over
// a TCP connection as handheld emulators offer it.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "hotsync/Link.h"
#include "hotsync/Padp.h"

namespace hotsync {

// Every serial HotSync starts at this speed; the desktop may then ask for a faster one.
inline constexpr std::uint32_t kSerialStartSpeed = 9600;

namespace cmp {

enum class Type : std::uint8_t
{
    Wakeup = 1,
    Init = 2,
    Abort = 3,
};

// Flags of an INIT.
inline constexpr std::uint8_t kChangeSpeed = 0x80;
inline constexpr std::uint8_t kLongHeaders = 0x10;

struct Message
{
    std::uint8_t type = 0;
    std::uint8_t flags = 0;
    std::uint8_t major = 0;
    std::uint8_t minor = 0;
    std::uint32_t speed = 0;
};

inline constexpr std::size_t kMessageSize = 10;

std::optional<Message> Parse(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> Encode(const Message& message);

} // namespace cmp

// Waits for the handheld's WAKEUP, answers with INIT offering the lower of the handheld's top speed and
// maxSpeed, and once the handheld acknowledged it, switches the line through setSpeed (not called when the
// speed stays at kSerialStartSpeed; may be empty for links without a speed, such as TCP). Returns the link that
// carries DLP. The link keeps references to stream and cancel: both must outlive it.
Result<std::unique_ptr<IPacketLink>> StartSerialSession(IByteStream& stream,
                                                        std::uint32_t maxSpeed,
                                                        std::function<Status(std::uint32_t)> setSpeed,
                                                        Deadline deadline,
                                                        CancelFlag& cancel,
                                                        padp::Timing timing = {});

} // namespace hotsync
