#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hotsync/Link.h"

namespace hotsync {

// A listening TCP socket. Closing it (destruction) refuses further handhelds.
class TcpListener
{
public:
    // Listens on `address` (empty: every address, IPv6 and IPv4) at `port` (0: a free port the system picks).
    static Result<std::unique_ptr<TcpListener>> Listen(const std::string& address, std::uint16_t port);
    virtual ~TcpListener() = default;
    // The port it listens on.
    virtual std::uint16_t Port() const = 0;
    // Waits for one connection, checking `cancel` at least every 100 ms. The stream checks the same flag in
    // every wait, so the flag must outlive it.
    virtual Result<std::unique_ptr<IByteStream>> Accept(Deadline deadline, CancelFlag& cancel) = 0;
};

// Listens on `address`:`port`, waits for the handheld to connect and closes the listening socket once it has.
// Timeout when the deadline passes first, Cancelled when `cancel` is set.
Result<std::unique_ptr<IByteStream>>
AcceptTcp(const std::string& address, std::uint16_t port, Deadline deadline, CancelFlag& cancel);

// Connects to `address`:`port` (the side a handheld plays; tests and tools use it).
Result<std::unique_ptr<IByteStream>>
ConnectTcp(const std::string& address, std::uint16_t port, Deadline deadline, CancelFlag& cancel);

// This computer's IPv4 addresses on its network interfaces that are up, loopback left out, in the system's
// order: what a handheld's network HotSync setting names as the desktop. Empty when there is none or the
// system does not say.
std::vector<std::string> LocalAddresses();

} // namespace hotsync
