#include "hotsync/SerialPort.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <tuple>

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace hotsync {

namespace {

bool IsPortName(const std::string& name)
{
#ifdef __APPLE__
    return name.rfind("cu.", 0) == 0;
#else
    // Serial ports, USB serial adapters and modems, and Bluetooth serial links (a handheld's Bluetooth HotSync).
    for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM", "rfcomm"}) {
        const std::string p = prefix;
        if (name.size() > p.size() && name.compare(0, p.size(), p) == 0 &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(p.size()), name.end(), [](char c) {
                return c >= '0' && c <= '9';
            })) {
            return true;
        }
    }
    return false;
#endif
}

// Orders ttyS2 before ttyS10: the name's text, then its number.
bool NaturalLess(const std::string& a, const std::string& b)
{
    auto split = [](const std::string& s) {
        std::size_t digits = s.size();
        while (digits > 0 && s[digits - 1] >= '0' && s[digits - 1] <= '9') {
            --digits;
        }
        const std::string number = s.substr(digits);
        return std::make_tuple(s.substr(0, digits), number.size(), number);
    };
    return split(a) < split(b);
}

} // namespace

std::vector<std::string> ListSerialPortsIn(const std::string& folder)
{
    std::vector<std::string> out;
    std::error_code error;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IsPortName(name)) {
            out.push_back(name);
        }
    }
    std::sort(out.begin(), out.end(), NaturalLess);
    for (std::string& name : out) {
        name = (std::filesystem::path(folder) / name).string();
    }
    return out;
}

std::vector<std::string> ListSerialPorts()
{
#ifdef _WIN32
    return {};
#else
    return ListSerialPortsIn("/dev");
#endif
}

#ifdef _WIN32

Result<std::unique_ptr<SerialPort>> OpenSerialPort(const std::string& device, std::uint32_t, CancelFlag&)
{
    return MakeError(ErrorKind::Refused, "Serial ports are not supported on Windows (" + device + ")");
}

#else

namespace {

constexpr int kSliceMs = 100;

bool SpeedConstant(std::uint32_t speed, speed_t& out)
{
    switch (speed) {
    case 9600:
        out = B9600;
        return true;
    case 19200:
        out = B19200;
        return true;
    case 38400:
        out = B38400;
        return true;
    case 57600:
        out = B57600;
        return true;
    case 115200:
        out = B115200;
        return true;
    case 230400:
        out = B230400;
        return true;
    default:
        return false;
    }
}

Error SystemError(const std::string& what)
{
    return MakeError(ErrorKind::System, what + ": " + std::strerror(errno));
}

// Milliseconds to wait in one slice: at most kSliceMs, less when the deadline is nearer.
int SliceMs(Deadline deadline)
{
    if (deadline.IsNever()) {
        return kSliceMs;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline.At() - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, kSliceMs));
}

class PosixSerialPort final : public SerialPort
{
public:
    PosixSerialPort(int fd, std::string device, CancelFlag& cancel)
        : m_fd(fd)
        , m_device(std::move(device))
        , m_cancel(cancel)
    {}
    ~PosixSerialPort() override { ::close(m_fd); }
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    Result<std::size_t> Read(std::span<std::uint8_t> into, Deadline deadline) override
    {
        if (into.empty()) {
            return std::size_t{0};
        }
        for (;;) {
            if (m_cancel.load()) {
                return MakeError(ErrorKind::Cancelled, "The HotSync session was cancelled");
            }
            pollfd waiter{m_fd, POLLIN, 0};
            const int ready = ::poll(&waiter, 1, SliceMs(deadline));
            if (ready < 0 && errno != EINTR) {
                return SystemError("Cannot wait for " + m_device);
            }
            if (ready > 0) {
                const ssize_t got = ::read(m_fd, into.data(), into.size());
                if (got > 0) {
                    return static_cast<std::size_t>(got);
                }
                // A pseudo-terminal whose other end closed reads EIO; a serial adapter unplugged hangs up.
                if ((got < 0 && errno == EIO) || (got <= 0 && (waiter.revents & (POLLHUP | POLLERR)))) {
                    return Gone();
                }
                if (got < 0 && errno != EAGAIN && errno != EINTR) {
                    return SystemError("Cannot read from " + m_device);
                }
            }
            if (deadline.Passed()) {
                return MakeError(ErrorKind::Timeout, "Nothing arrived from the handheld on " + m_device + " in time");
            }
        }
    }

    Status Write(std::span<const std::uint8_t> bytes, Deadline deadline) override
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            if (m_cancel.load()) {
                return MakeError(ErrorKind::Cancelled, "The HotSync session was cancelled");
            }
            const ssize_t put = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (put > 0) {
                done += static_cast<std::size_t>(put);
                continue;
            }
            if (put < 0 && errno == EIO) {
                return Gone();
            }
            if (put < 0 && errno != EAGAIN && errno != EINTR) {
                return SystemError("Cannot write to " + m_device);
            }
            if (deadline.Passed()) {
                return MakeError(ErrorKind::Timeout, "The serial port " + m_device + " takes no more data");
            }
            pollfd waiter{m_fd, POLLOUT, 0};
            if (::poll(&waiter, 1, SliceMs(deadline)) > 0 && (waiter.revents & (POLLHUP | POLLERR))) {
                return Gone();
            }
        }
        return {};
    }

    Status SetSpeed(std::uint32_t speed) override
    {
        speed_t constant{};
        if (!SpeedConstant(speed, constant)) {
            return MakeError(ErrorKind::Refused, "The line speed " + std::to_string(speed) + " is not supported");
        }
        termios settings{};
        if (::tcgetattr(m_fd, &settings) != 0) {
            return SystemError("Cannot read the settings of " + m_device);
        }
        ::cfsetispeed(&settings, constant);
        ::cfsetospeed(&settings, constant);
        if (::tcsetattr(m_fd, TCSADRAIN, &settings) != 0) {
            return SystemError("Cannot set the line speed of " + m_device);
        }
        return {};
    }

private:
    Error Gone() const { return MakeError(ErrorKind::Disconnected, "The serial port " + m_device + " went away"); }

    int m_fd;
    std::string m_device;
    CancelFlag& m_cancel;
};

} // namespace

Result<std::unique_ptr<SerialPort>> OpenSerialPort(const std::string& device, std::uint32_t speed, CancelFlag& cancel)
{
    speed_t constant{};
    if (!SpeedConstant(speed, constant)) {
        return MakeError(ErrorKind::Refused, "The line speed " + std::to_string(speed) + " is not supported");
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT) {
            return MakeError(ErrorKind::NotFound, "There is no serial port " + device);
        }
        if (errno == EACCES || errno == EPERM) {
            return MakeError(ErrorKind::Refused,
                             "No permission to open " + device + " (the user must be in the dialout group)");
        }
        return SystemError("Cannot open " + device);
    }
    if (!::isatty(fd)) {
        ::close(fd);
        return MakeError(ErrorKind::Refused, device + " is not a serial port");
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) {
        Error error = SystemError("Cannot read the settings of " + device);
        ::close(fd);
        return error;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::cfsetispeed(&settings, constant);
    ::cfsetospeed(&settings, constant);
    if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
        Error error = SystemError("Cannot set up " + device);
        ::close(fd);
        return error;
    }
    ::tcflush(fd, TCIOFLUSH);
    return std::unique_ptr<SerialPort>(std::make_unique<PosixSerialPort>(fd, device, cancel));
}

#endif

} // namespace hotsync
