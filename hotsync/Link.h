#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/Result.h"

namespace hotsync {

using Clock = std::chrono::steady_clock;

// When a wait ends. Deadline::Never() waits until the other side answers, the link fails, or the session is
// cancelled.
class Deadline
{
public:
    static Deadline Never() { return Deadline(Clock::time_point::max()); }
    static Deadline In(std::chrono::milliseconds ms) { return Deadline(Clock::now() + ms); }
    explicit Deadline(Clock::time_point at)
        : m_at(at)
    {}

    bool IsNever() const { return m_at == Clock::time_point::max(); }
    Clock::time_point At() const { return m_at; }
    bool Passed() const { return !IsNever() && Clock::now() >= m_at; }
    // The earlier of the two.
    Deadline Min(Deadline other) const { return Deadline(m_at < other.m_at ? m_at : other.m_at); }

private:
    Clock::time_point m_at;
};

// Set from any thread (a Cancel button, a signal handler) to end a session: every wait checks it at least
// every 100 ms and then fails with ErrorKind::Cancelled.
using CancelFlag = std::atomic<bool>;

// A byte stream to the handheld: a TCP connection, a serial port, a pseudo-terminal in tests, or USB bulk
// endpoints. Reads return what has arrived (at least one byte), never more than asked.
class IByteStream
{
public:
    virtual ~IByteStream() = default;
    // Waits until at least one byte arrived, the deadline passed (Timeout), the other side closed
    // (Disconnected) or the session was cancelled (Cancelled).
    virtual Result<std::size_t> Read(std::span<std::uint8_t> into, Deadline deadline) = 0;
    // Writes every byte or fails.
    virtual Status Write(std::span<const std::uint8_t> bytes, Deadline deadline) = 0;
};

// A link that carries whole DLP messages: NetSync framing over a byte stream (TCP, USB), or PADP over SLP over
// a serial byte stream. The transport's own handshake is done before the link is handed to DLP.
class IPacketLink
{
public:
    virtual ~IPacketLink() = default;
    // Sends one DLP request (or reply) whole.
    virtual Status Send(std::span<const std::uint8_t> message, Deadline deadline) = 0;
    // Receives the next whole DLP message; lengths past kMaxMessage fail as TooLarge without allocating them.
    virtual Result<std::vector<std::uint8_t>> Receive(Deadline deadline) = 0;
};

// No DLP message this program exchanges comes near this: a record is at most 64 KiB on older handhelds and a
// database list page a few KiB.
inline constexpr std::size_t kMaxMessage = 1u << 20;

} // namespace hotsync
