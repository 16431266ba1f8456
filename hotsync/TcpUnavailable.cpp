#include "hotsync/Tcp.h"

// Builds without POSIX sockets answer every network request with the same refusal.

namespace hotsync {

namespace {
Error Unavailable()
{
    return MakeError(ErrorKind::Refused, "network HotSync is not part of this build");
}
} // namespace

Result<std::unique_ptr<TcpListener>> TcpListener::Listen(const std::string&, std::uint16_t)
{
    return Unavailable();
}

Result<std::unique_ptr<IByteStream>> AcceptTcp(const std::string&, std::uint16_t, Deadline, CancelFlag&)
{
    return Unavailable();
}

Result<std::unique_ptr<IByteStream>> ConnectTcp(const std::string&, std::uint16_t, Deadline, CancelFlag&)
{
    return Unavailable();
}

std::vector<std::string> LocalAddresses()
{
    return {};
}

} // namespace hotsync
