// The serial port over a pseudo-terminal whose other end plays the handheld.

#include "hotsync/SerialPort.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;
using hotsync::Deadline;
using Bytes = std::vector<std::uint8_t>;

// The handheld's end of a pseudo-terminal; the desktop opens `device`.
struct Pty
{
    Pty()
        : master(::posix_openpt(O_RDWR | O_NOCTTY))
    {
        if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0) {
            device = ::ptsname(master);
        }
    }
    ~Pty() { ::close(master); }
    void Send(const Bytes& bytes) { EXPECT_EQ(::write(master, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // What the desktop wrote, waiting at most a few seconds for `count` bytes.
    Bytes Take(std::size_t count)
    {
        Bytes out(count);
        std::size_t got = 0;
        for (int slices = 0; got < count && slices < 100; ++slices) {
            pollfd waiter{master, POLLIN, 0};
            if (::poll(&waiter, 1, 50) > 0) {
                const ssize_t n = ::read(master, out.data() + got, count - got);
                got += n > 0 ? std::size_t(n) : 0;
            }
        }
        out.resize(got);
        return out;
    }

    int master;
    std::string device;
};

TEST(SerialPort, CarriesEveryByteUnchangedAndEndsWaitsByDeadlineCancelOrHangUp)
{
    Pty pty;
    hotsync::CancelFlag cancel{false};
    auto port = hotsync::OpenSerialPort(pty.device, 9600, cancel);
    ASSERT_TRUE(port) << port.error().text;

    // Line ends, interrupt and flow-control characters: a terminal not in raw mode would change or eat them.
    const Bytes awkward = {0x0D, 0x0A, 0x03, 0x11, 0x13, 0x04, 0x7F, 0xBE, 0x00};
    pty.Send(awkward);
    Bytes got;
    std::uint8_t buffer[64];
    while (got.size() < awkward.size()) {
        auto read = (*port)->Read(buffer, Deadline::In(5s));
        ASSERT_TRUE(read) << read.error().text;
        got.insert(got.end(), buffer, buffer + *read);
    }
    EXPECT_EQ(got, awkward);
    ASSERT_TRUE((*port)->Write(awkward, Deadline::In(5s)));
    EXPECT_EQ(pty.Take(awkward.size()), awkward);

    auto quiet = (*port)->Read(buffer, Deadline::In(30ms));
    EXPECT_EQ(quiet ? ErrorKind::System : quiet.error().kind, ErrorKind::Timeout);
    cancel = true;
    auto cancelled = (*port)->Read(buffer, Deadline::In(2s));
    EXPECT_EQ(cancelled ? ErrorKind::System : cancelled.error().kind, ErrorKind::Cancelled);
    cancel = false;
    ::close(pty.master);
    pty.master = -1;
    auto gone = (*port)->Read(buffer, Deadline::In(2s));
    EXPECT_EQ(gone ? ErrorKind::System : gone.error().kind, ErrorKind::Disconnected);
}

TEST(SerialPort, SwitchesSpeedRefusesWhatIsNoPortAndListsPorts)
{
    Pty pty;
    hotsync::CancelFlag cancel{false};
    auto port = hotsync::OpenSerialPort(pty.device, 9600, cancel);
    ASSERT_TRUE(port) << port.error().text;
    const int other = ::open(pty.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK); // to see the line's settings
    for (const auto& [speed, setting] : {std::pair{57600u, B57600}, std::pair{115200u, B115200}, {19200u, B19200}}) {
        ASSERT_TRUE((*port)->SetSpeed(speed));
        termios settings{};
        ::tcgetattr(other, &settings);
        EXPECT_EQ(::cfgetospeed(&settings), setting) << speed;
    }
    ::close(other);
    EXPECT_FALSE((*port)->SetSpeed(12345));

    TempDir dir;
    for (const char* name : {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "tty0", "ttySX", "console", "ttyS"}) {
        std::ofstream(dir.File(name)) << "";
    }
    const std::vector<std::string> ports = {
        dir.File("ttyACM1"), dir.File("ttyS2"), dir.File("ttyS10"), dir.File("ttyUSB0")};
    EXPECT_EQ(hotsync::ListSerialPortsIn(dir.Str()), ports);

    const std::vector<std::tuple<std::string, std::uint32_t, ErrorKind>> refused = {
        {dir.File("ttyUSB0"), 9600, ErrorKind::Refused}, // a file, no terminal
        {dir.File("ttyUSB9"), 9600, ErrorKind::NotFound},
        {pty.device, 1234, ErrorKind::Refused},
    };
    for (const auto& [device, speed, kind] : refused) {
        auto opened = hotsync::OpenSerialPort(device, speed, cancel);
        EXPECT_EQ(opened ? ErrorKind::System : opened.error().kind, kind) << device;
    }
}

} // namespace
