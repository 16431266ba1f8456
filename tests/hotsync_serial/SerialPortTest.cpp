// The serial port over a pseudo-terminal whose other end plays the handheld.

#include "hotsync/SerialPort.h"

#include "tests/hotsync_serial/ScriptStream.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "hotsync/Serial.h"

namespace {

using namespace std::chrono_literals;
using hotsync::Deadline;

// The handheld's end of a pseudo-terminal; the desktop opens Device().
class Pty
{
public:
    Pty()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
            m_device = ::ptsname(m_master);
        }
    }
    ~Pty() { Close(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& Device() const { return m_device; }
    void Close()
    {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }
    void Send(const std::vector<std::uint8_t>& bytes)
    {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // What the desktop wrote, waiting at most a few seconds for `count` bytes.
    std::vector<std::uint8_t> Take(std::size_t count)
    {
        std::vector<std::uint8_t> out;
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (out.size() < count && std::chrono::steady_clock::now() < until) {
            pollfd waiter{m_master, POLLIN, 0};
            if (::poll(&waiter, 1, 50) > 0) {
                std::uint8_t buffer[4096];
                const ssize_t got = ::read(m_master, buffer, std::min(sizeof buffer, count - out.size()));
                if (got <= 0) {
                    break;
                }
                out.insert(out.end(), buffer, buffer + got);
            }
        }
        return out;
    }

private:
    int m_master = -1;
    std::string m_device;
};

TEST(SerialPort, CarriesEveryByteUnchangedBothWays)
{
    Pty pty;
    ASSERT_FALSE(pty.Device().empty());
    hotsync::CancelFlag cancel{false};
    auto port = hotsync::OpenSerialPort(pty.Device(), 9600, cancel);
    ASSERT_TRUE(port) << port.error().text;

    // Line ends, interrupt and flow-control characters: a terminal not in raw mode would change or eat them.
    const std::vector<std::uint8_t> awkward = {0x0D, 0x0A, 0x03, 0x11, 0x13, 0x04, 0x7F, 0xBE, 0xEF, 0xED, 0x00};
    pty.Send(awkward);
    std::vector<std::uint8_t> got;
    while (got.size() < awkward.size()) {
        std::uint8_t buffer[64];
        auto read = (*port)->Read(buffer, Deadline::In(5s));
        ASSERT_TRUE(read) << read.error().text;
        got.insert(got.end(), buffer, buffer + *read);
    }
    EXPECT_EQ(got, awkward);

    ASSERT_TRUE((*port)->Write(awkward, Deadline::In(5s)));
    EXPECT_EQ(pty.Take(awkward.size()), awkward);
}

TEST(SerialPort, WaitsEndByDeadlineCancelOrHangUp)
{
    Pty pty;
    hotsync::CancelFlag cancel{false};
    auto port = hotsync::OpenSerialPort(pty.Device(), 9600, cancel);
    ASSERT_TRUE(port) << port.error().text;
    std::uint8_t buffer[16];

    auto quiet = (*port)->Read(buffer, Deadline::In(30ms));
    ASSERT_FALSE(quiet);
    EXPECT_EQ(quiet.error().kind, ErrorKind::Timeout);

    cancel = true;
    auto cancelled = (*port)->Read(buffer, Deadline::In(2s));
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error().kind, ErrorKind::Cancelled);
    cancel = false;

    pty.Close();
    auto gone = (*port)->Read(buffer, Deadline::In(2s));
    ASSERT_FALSE(gone);
    EXPECT_EQ(gone.error().kind, ErrorKind::Disconnected);
}

TEST(SerialPort, SwitchesSpeedAndRefusesWhatIsNoPort)
{
    Pty pty;
    hotsync::CancelFlag cancel{false};
    auto port = hotsync::OpenSerialPort(pty.Device(), 9600, cancel);
    ASSERT_TRUE(port) << port.error().text;
    ASSERT_TRUE((*port)->SetSpeed(57600));
    const int other = ::open(pty.Device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    termios settings{};
    ASSERT_EQ(::tcgetattr(other, &settings), 0);
    ::close(other);
    EXPECT_EQ(::cfgetospeed(&settings), B57600);
    EXPECT_EQ(settings.c_lflag & ICANON, 0u); // raw
    EXPECT_EQ(settings.c_iflag & IXON, 0u);
    EXPECT_FALSE((*port)->SetSpeed(12345));

    TempDir dir;
    const std::string file = dir.File("ttyUSB0");
    std::ofstream(file) << "not a port";
    auto notTty = hotsync::OpenSerialPort(file, 9600, cancel);
    ASSERT_FALSE(notTty);
    EXPECT_EQ(notTty.error().kind, ErrorKind::Refused);
    EXPECT_NE(notTty.error().text.find("not a serial port"), std::string::npos);
    auto missing = hotsync::OpenSerialPort(dir.File("ttyUSB9"), 9600, cancel);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().kind, ErrorKind::NotFound);
    auto badSpeed = hotsync::OpenSerialPort(pty.Device(), 1234, cancel);
    ASSERT_FALSE(badSpeed);
    EXPECT_EQ(badSpeed.error().kind, ErrorKind::Refused);
}

TEST(SerialPort, ListsPortsInNaturalOrder)
{
    TempDir dir;
    for (const char* name : {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "tty0", "ttySX", "console", "ttyS"}) {
        std::ofstream(dir.File(name)) << "";
    }
    const auto ports = hotsync::ListSerialPortsIn(dir.Str());
    const std::vector<std::string> expected = {
        dir.File("ttyACM1"), dir.File("ttyS2"), dir.File("ttyS10"), dir.File("ttyUSB0")};
    EXPECT_EQ(ports, expected);
}

// The handshake and one exchange through a real terminal device, the speed switched on the port itself.
TEST(SerialPort, SessionStartsOverAPseudoTerminal)
{
    Pty pty;
    hotsync::CancelFlag cancel{false};
    auto port = hotsync::OpenSerialPort(pty.Device(), 9600, cancel);
    ASSERT_TRUE(port) << port.error().text;

    using hotsync::padp::Type;
    constexpr std::uint8_t both = hotsync::padp::kFirst | hotsync::padp::kLast;
    std::thread handheld([&pty] {
        pty.Send({0x00, 0x55}); // noise on the line before the session
        pty.Send(script::Packet(Type::Data, 0xFF, both, 10, {1, 0, 1, 3, 0, 0, 0, 1, 0xC2, 0}));
        // The desktop acknowledges the wakeup (16 bytes), then sends its answer (26 bytes).
        const auto ack = pty.Take(16);
        const auto init = script::Decode(pty.Take(26));
        if (init.size() == 1) {
            pty.Send(script::Packet(Type::Ack, 0xFF, both, 10));
        }
        const auto request = script::Decode(pty.Take(18));
        if (request.size() == 1) {
            pty.Send(script::Packet(Type::Ack, request[0].xid, both, 2));
            pty.Send(script::Packet(Type::Data, request[0].xid, both, 4, {0x90, 0, 0, 0}));
        }
    });
    auto link = hotsync::StartSerialSession(
        **port, 115200, [&](std::uint32_t speed) { return (*port)->SetSpeed(speed); }, Deadline::In(5s), cancel);
    Status sent = link ? (*link)->Send(std::vector<std::uint8_t>{0x10, 0}, Deadline::In(5s)) : Status{};
    auto reply = link ? (*link)->Receive(Deadline::In(5s)) : Result<std::vector<std::uint8_t>>(link.error());
    handheld.join();
    ASSERT_TRUE(link) << link.error().text;
    ASSERT_TRUE(sent) << sent.error().text;
    ASSERT_TRUE(reply) << reply.error().text;
    EXPECT_EQ(*reply, (std::vector<std::uint8_t>{0x90, 0, 0, 0}));
    const int other = ::open(pty.Device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    termios settings{};
    ASSERT_EQ(::tcgetattr(other, &settings), 0);
    ::close(other);
    EXPECT_EQ(::cfgetospeed(&settings), B115200);
}

} // namespace
