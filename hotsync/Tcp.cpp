#include "hotsync/Tcp.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace hotsync {

namespace {

#ifdef MSG_NOSIGNAL
constexpr int kSendFlags = MSG_NOSIGNAL; // a vanished handheld is an error, not a SIGPIPE
#else
constexpr int kSendFlags = 0;
#endif

// The longest single wait, so that a cancel is seen within 100 ms.
constexpr std::chrono::milliseconds kSlice{100};

Error SystemError(const std::string& what, int code)
{
    return MakeError(ErrorKind::System, what + ": " + std::strerror(code));
}

class Socket
{
public:
    explicit Socket(int fd = -1)
        : m_fd(fd)
    {}
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket()
    {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

bool SetNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Waits until `fd` is ready for `events`, in slices of at most 100 ms; Ok, Timeout or Cancelled.
Status WaitFor(int fd, short events, Deadline deadline, CancelFlag& cancel)
{
    for (;;) {
        if (cancel.load()) {
            return MakeError(ErrorKind::Cancelled, "cancelled");
        }
        auto slice = kSlice;
        if (!deadline.IsNever()) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline.At() - Clock::now());
            if (left <= std::chrono::milliseconds::zero()) {
                return MakeError(ErrorKind::Timeout, "timed out");
            }
            slice = std::min(slice, left + std::chrono::milliseconds(1));
        }
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(slice.count()));
        if (ready > 0) {
            return {};
        }
        if (ready < 0 && errno != EINTR) {
            return SystemError("waiting for the handheld", errno);
        }
    }
}

class TcpStream final : public IByteStream
{
public:
    TcpStream(int fd, CancelFlag& cancel)
        : m_socket(fd)
        , m_cancel(cancel)
    {}

    Result<std::size_t> Read(std::span<std::uint8_t> into, Deadline deadline) override
    {
        if (into.empty()) {
            return std::size_t{0};
        }
        for (;;) {
            const Status ready = WaitFor(m_socket.Get(), POLLIN, deadline, m_cancel);
            if (!ready) {
                return ready.error();
            }
            const ssize_t got = ::recv(m_socket.Get(), into.data(), into.size(), 0);
            if (got > 0) {
                return static_cast<std::size_t>(got);
            }
            if (got == 0) {
                return MakeError(ErrorKind::Disconnected, "the handheld closed the connection");
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            if (errno == ECONNRESET || errno == EPIPE) {
                return MakeError(ErrorKind::Disconnected, "the connection to the handheld was lost");
            }
            return SystemError("reading from the handheld", errno);
        }
    }

    Status Write(std::span<const std::uint8_t> bytes, Deadline deadline) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const Status ready = WaitFor(m_socket.Get(), POLLOUT, deadline, m_cancel);
            if (!ready) {
                return ready;
            }
            const ssize_t sent = ::send(m_socket.Get(), bytes.data() + done, bytes.size() - done, kSendFlags);
            if (sent >= 0) {
                done += static_cast<std::size_t>(sent);
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                continue;
            }
            if (errno == ECONNRESET || errno == EPIPE) {
                return MakeError(ErrorKind::Disconnected, "the connection to the handheld was lost");
            }
            return SystemError("writing to the handheld", errno);
        }
        return {};
    }

private:
    Socket m_socket;
    CancelFlag& m_cancel;
};

std::unique_ptr<IByteStream> MakeStream(int fd, CancelFlag& cancel)
{
    SetNonBlocking(fd);
    const int one = 1;
    // DLP is request and reply; small requests must not wait for Nagle's timer.
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return std::make_unique<TcpStream>(fd, cancel);
}

class PosixTcpListener final : public TcpListener
{
public:
    PosixTcpListener(int fd, std::uint16_t port)
        : m_socket(fd)
        , m_port(port)
    {}

    std::uint16_t Port() const override { return m_port; }

    Result<std::unique_ptr<IByteStream>> Accept(Deadline deadline, CancelFlag& cancel) override
    {
        for (;;) {
            const Status ready = WaitFor(m_socket.Get(), POLLIN, deadline, cancel);
            if (!ready) {
                if (ready.error().kind == ErrorKind::Timeout) {
                    return MakeError(ErrorKind::Timeout, "no handheld connected before the timeout");
                }
                return ready.error();
            }
            const int fd = ::accept(m_socket.Get(), nullptr, nullptr);
            if (fd >= 0) {
                return MakeStream(fd, cancel);
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            return SystemError("accepting the handheld's connection", errno);
        }
    }

private:
    Socket m_socket;
    std::uint16_t m_port;
};

// The addresses getaddrinfo found, freed once by whoever holds them last.
struct AddressList
{
    addrinfo* head = nullptr;
    AddressList() = default;
    AddressList(AddressList&& other) noexcept
        : head(std::exchange(other.head, nullptr))
    {}
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    AddressList& operator=(AddressList&&) = delete;
    ~AddressList()
    {
        if (head != nullptr) {
            ::freeaddrinfo(head);
        }
    }
};

Result<int> BindAndListen(const addrinfo& info)
{
    Socket socket(::socket(info.ai_family, info.ai_socktype, info.ai_protocol));
    if (socket.Get() < 0) {
        return SystemError("opening a network socket", errno);
    }
    const int one = 1;
    ::setsockopt(socket.Get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (info.ai_family == AF_INET6) {
        const int zero = 0; // the IPv6 wildcard takes IPv4 handhelds too
        ::setsockopt(socket.Get(), IPPROTO_IPV6, IPV6_V6ONLY, &zero, sizeof zero);
    }
    if (::bind(socket.Get(), info.ai_addr, info.ai_addrlen) != 0) {
        return SystemError("listening for the handheld", errno);
    }
    if (::listen(socket.Get(), 1) != 0 || !SetNonBlocking(socket.Get())) {
        return SystemError("listening for the handheld", errno);
    }
    return socket.Release();
}

std::uint16_t BoundPort(int fd)
{
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        return 0;
    }
    if (local.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&local)->sin6_port);
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&local)->sin_port);
}

Result<AddressList> Resolve(const std::string& address, std::uint16_t port, bool passive)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = passive ? AI_PASSIVE : 0;
    AddressList list;
    const std::string service = std::to_string(port);
    const int failure = ::getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &list.head);
    if (failure != 0) {
        return MakeError(ErrorKind::NotFound, "address " + address + ": " + ::gai_strerror(failure));
    }
    return list;
}

} // namespace

Result<std::unique_ptr<TcpListener>> TcpListener::Listen(const std::string& address, std::uint16_t port)
{
    Result<AddressList> list = Resolve(address, port, true);
    if (!list) {
        return list.error();
    }
    // Every address: the IPv6 wildcard first, which takes IPv4 as well; else whatever resolves first.
    Error last = MakeError(ErrorKind::NotFound, "address " + address + " names no address to listen on");
    for (int pass = 0; pass < 2; ++pass) {
        for (const addrinfo* info = list->head; info != nullptr; info = info->ai_next) {
            if (address.empty() && (pass == 0) != (info->ai_family == AF_INET6)) {
                continue;
            }
            if (!address.empty() && pass == 1) {
                continue;
            }
            Result<int> fd = BindAndListen(*info);
            if (fd) {
                return std::unique_ptr<TcpListener>(std::make_unique<PosixTcpListener>(*fd, BoundPort(*fd)));
            }
            last = fd.error();
        }
    }
    return last;
}

Result<std::unique_ptr<IByteStream>>
AcceptTcp(const std::string& address, std::uint16_t port, Deadline deadline, CancelFlag& cancel)
{
    Result<std::unique_ptr<TcpListener>> listener = TcpListener::Listen(address, port);
    if (!listener) {
        return listener.error();
    }
    return (*listener)->Accept(deadline, cancel); // the listener closes as it goes out of scope
}

Result<std::unique_ptr<IByteStream>>
ConnectTcp(const std::string& address, std::uint16_t port, Deadline deadline, CancelFlag& cancel)
{
    Result<AddressList> list = Resolve(address, port, false);
    if (!list) {
        return list.error();
    }
    Error last = MakeError(ErrorKind::NotFound, "address " + address + " names no address to connect to");
    for (const addrinfo* info = list->head; info != nullptr; info = info->ai_next) {
        Socket socket(::socket(info->ai_family, info->ai_socktype, info->ai_protocol));
        if (socket.Get() < 0 || !SetNonBlocking(socket.Get())) {
            last = SystemError("opening a network socket", errno);
            continue;
        }
        if (::connect(socket.Get(), info->ai_addr, info->ai_addrlen) != 0 && errno != EINPROGRESS) {
            last = SystemError("connecting to " + address, errno);
            continue;
        }
        const Status ready = WaitFor(socket.Get(), POLLOUT, deadline, cancel);
        if (!ready) {
            return ready.error();
        }
        int failure = 0;
        socklen_t length = sizeof failure;
        ::getsockopt(socket.Get(), SOL_SOCKET, SO_ERROR, &failure, &length);
        if (failure != 0) {
            last = SystemError("connecting to " + address, failure);
            continue;
        }
        return MakeStream(socket.Release(), cancel);
    }
    return last;
}

std::vector<std::string> LocalAddresses()
{
    std::vector<std::string> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return addresses;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || (entry->ifa_flags & IFF_UP) == 0 ||
            (entry->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (::inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) != nullptr &&
            std::find(addresses.begin(), addresses.end(), text) == addresses.end()) {
            addresses.emplace_back(text);
        }
    }
    ::freeifaddrs(list);
    return addresses;
}

} // namespace hotsync
