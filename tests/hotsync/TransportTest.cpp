// NetSync framing, the TCP listener and whole sessions over loopback TCP against a scripted handheld, and the
// serial port over a pseudo-terminal whose other end plays the handheld.

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "FakeHandheld.h"
#include "Streams.h"
#include "hotsync/Connection.h"
#include "hotsync/NetSync.h"
#include "hotsync/Operations.h"
#include "hotsync/SerialPort.h"
#include "hotsync/Tcp.h"
#include "hotsync/Usb.h"

using namespace hotsync;
using namespace std::chrono_literals;

namespace {

// The handheld's bytes handed out `chunk` at a time; past them the line is gone.
script::ScriptStream MemoryStream(const Bytes& input, std::size_t chunk)
{
    script::ScriptStream stream;
    stream.Send(input);
    stream.chunk = chunk;
    stream.gone = true;
    return stream;
}

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

} // namespace

TEST(NetSync, MessagesAreReassembledFromAnyChunkingAndNumbered)
{
    // Each message: data type, id, 32-bit big-endian length, payload.
    const std::vector<Bytes> messages{{0x92, 1, 2, 3}, Bytes(20000, 0x5a), {}}; // one longer than a read of the link
    Bytes input;
    for (const Bytes& message : messages) {
        const auto size = static_cast<std::uint16_t>(message.size());
        input.insert(input.end(), {1, 7, 0, 0, static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
        input.insert(input.end(), message.begin(), message.end());
    }
    for (const std::size_t chunk : {std::size_t{1}, std::size_t{5}, std::size_t{7}, std::size_t{100000}}) {
        SCOPED_TRACE(chunk);
        script::ScriptStream stream = MemoryStream(input, chunk);
        NetSyncLink link(stream);
        std::vector<Bytes> got;
        Result<Bytes> last = Bytes();
        while ((last = link.Receive(Deadline::Never()))) {
            got.push_back(*last);
        }
        EXPECT_EQ(got, messages);
        EXPECT_EQ(Failure(last), ErrorKind::Disconnected);
    }

    // The desktop counts its messages 1..254 and then starts at 1 again.
    script::ScriptStream stream = MemoryStream({}, 1);
    NetSyncLink link(stream);
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(link.Send(Bytes{0xab}, Deadline::Never()));
    }
    ASSERT_EQ(stream.writes.size(), 256u);
    EXPECT_EQ(stream.writes[0], (Bytes{1, 1, 0, 0, 0, 1, 0xab}));
    EXPECT_EQ(std::tuple(stream.writes[253][1], stream.writes[254][1], stream.writes[255][1]), std::tuple(254, 1, 2));
}

TEST(NetSync, HostileHeadersAreRefused)
{
    const std::vector<std::tuple<const char*, Bytes, ErrorKind>> cases = {
        {"a 4 GB length", {1, 1, 0xff, 0xff, 0xff, 0xff}, ErrorKind::TooLarge},
        {"one byte past the limit", {1, 1, 0x00, 0x10, 0x00, 0x01}, ErrorKind::TooLarge},
        {"not a data packet", {2, 1, 0, 0, 0, 1, 0}, ErrorKind::Protocol},
        {"cut inside the header", {1, 1, 0}, ErrorKind::Disconnected},
        {"cut inside the message", {1, 1, 0, 0, 0, 9, 1, 2}, ErrorKind::Disconnected},
    };
    for (const auto& [what, input, kind] : cases) {
        SCOPED_TRACE(what);
        script::ScriptStream stream = MemoryStream(input, 3);
        EXPECT_EQ(Failure(NetSyncLink(stream).Receive(Deadline::Never())), kind);
    }
    // The limit itself is taken.
    Bytes input{1, 1, 0x00, 0x10, 0x00, 0x00};
    input.resize(input.size() + kMaxMessage);
    script::ScriptStream stream = MemoryStream(input, 65536);
    EXPECT_EQ(NetSyncLink(stream).Receive(Deadline::Never()).value_or(Bytes()).size(), kMaxMessage);
}

TEST(Tcp, ACancelFromAnotherThreadEndsAWaitForAHandheld)
{
    CancelFlag later{false};
    std::thread canceller([&later] {
        std::this_thread::sleep_for(50ms);
        later = true;
    });
    Result<std::unique_ptr<IByteStream>> waited = AcceptTcp("127.0.0.1", 0, Deadline::Never(), later);
    canceller.join();
    EXPECT_EQ(Failure(waited), ErrorKind::Cancelled);
}

// Addresses a handheld's network HotSync can be set to: dotted IPv4, each once, never loopback (every system has one).
TEST(Tcp, LocalAddressesLeaveLoopbackOut)
{
    std::vector<std::string> addresses = LocalAddresses();
    for (const std::string& address : addresses) {
        in_addr parsed{};
        EXPECT_TRUE(::inet_pton(AF_INET, address.c_str(), &parsed) == 1 && !address.starts_with("127.")) << address;
    }
    std::sort(addresses.begin(), addresses.end());
    EXPECT_EQ(std::adjacent_find(addresses.begin(), addresses.end()), addresses.end());
    // The address this computer reaches other hosts from is among them: a UDP socket "connected" to a
    // documentation address only looks up the route and sends nothing.
    const int probe = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in far{};
    far.sin_family = AF_INET;
    far.sin_port = htons(9);
    ::inet_pton(AF_INET, "192.0.2.1", &far.sin_addr);
    sockaddr_in own{};
    socklen_t length = sizeof own;
    char text[INET_ADDRSTRLEN] = {};
    if (::connect(probe, reinterpret_cast<const sockaddr*>(&far), sizeof far) == 0 &&
        ::getsockname(probe, reinterpret_cast<sockaddr*>(&own), &length) == 0 &&
        ::inet_ntop(AF_INET, &own.sin_addr, text, sizeof text) != nullptr && !std::string(text).starts_with("127.")) {
        EXPECT_TRUE(std::binary_search(addresses.begin(), addresses.end(), std::string(text))) << text;
    }
    ::close(probe);
}

TEST(Tcp, AHandheldThatGoesAwayOrFallsSilentEndsTheSession)
{
    // The handheld goes away during an install of 300-byte records.
    CPalmDatabase db("Songs", MakeFourCC("TuNe"), MakeFourCC("SONG"), false, 0);
    CPdbRecord record;
    record.SetData(Bytes(300, 1));
    for (int i = 0; i < 10; ++i) {
        db.AddRecord(record);
    }
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "silent" : "closed");
        const std::uint16_t port = FreePort();
        FakeHandheld handheld;
        handheld.vanishAfter = 6;
        handheld.stallWhenGone = silent;
        std::thread device = HandheldConnecting(handheld, port);
        CancelFlag cancel{false};
        Result<HandheldRoute> route = ParseConnection("net:127.0.0.1:" + std::to_string(port));
        Result<std::unique_ptr<IPacketLink>> link = OpenHandheldLink(*route, Deadline::In(10s), cancel);
        ASSERT_TRUE(link) << link.error().text;
        const Status done =
            RunSession(**link, cancel, SessionOptions{200ms}, [&](DlpClient& dlp, const Handheld& info) {
                return Done(InstallOnHandheld(dlp, info, db, {}));
            });
        link->reset(); // the desktop hangs up, which ends a silent handheld's wait
        device.join();
        EXPECT_EQ(Failure(done), silent ? ErrorKind::Timeout : ErrorKind::Disconnected);
    }
}

TEST(Connection, ConnectionStringsParseOrAreRefused)
{
    using Kind = HandheldRoute::Kind;
    // connection, then what it parses to: kind, address, port, device, speed
    const std::vector<std::tuple<const char*, Kind, std::string, int, std::string, unsigned>> good = {
        {"usb", Kind::Usb, "", 0, "", 0},
        {"net", Kind::Net, "", 14238, "", 0},
        {"net:127.0.0.1:5000", Kind::Net, "127.0.0.1", 5000, "", 0},
        {"net:[::1]:14238", Kind::Net, "::1", 14238, "", 0},
        {"net:localhost:1", Kind::Net, "localhost", 1, "", 0},
        {"net:localhost:65535", Kind::Net, "localhost", 65535, "", 0},
        {"serial:/dev/ttyUSB0", Kind::Serial, "", 0, "/dev/ttyUSB0", 0},
        {"serial:/dev/ttyS0:57600", Kind::Serial, "", 0, "/dev/ttyS0", 57600},
        {"serial:COM3", Kind::Serial, "", 0, "COM3", 0},
        {"serial-net", Kind::SerialNet, "", 6416, "", 0},
        {"serial-net:0.0.0.0:7000", Kind::SerialNet, "0.0.0.0", 7000, "", 0},
    };
    for (const auto& [text, kind, address, port, device, baud] : good) {
        SCOPED_TRACE(text);
        Result<HandheldRoute> route = ParseConnection(text);
        ASSERT_TRUE(route) << route.error().text;
        EXPECT_EQ(std::tie(route->kind, route->address, route->port, route->device, route->baud),
                  std::tie(kind, address, port, device, baud));
    }
    // Refused, one a line: no transport, no port or a bad one, no device, a speed no port takes.
    std::stringstream refused("\nusb:1\nbluetooth\nNET\nnet:\nnet:1.2.3.4\nnet:1.2.3.4:0\nnet:1.2.3.4:65536\n"
                              "net::5000\nnet:1.2.3.4:port\nnet:::1:5000\nnet:[::1]5000\nserial\nserial:\n"
                              "serial:/dev/ttyS0:1234\nserial::9600\nserial-net:host");
    for (std::string bad; std::getline(refused, bad);) {
        SCOPED_TRACE(bad);
        Result<HandheldRoute> route = ParseConnection(bad);
        ASSERT_EQ(Failure(route), ErrorKind::Refused);
        EXPECT_NE(route.error().text.find("connection \""), std::string::npos);
    }
    // Every transport is attempted: with nobody there, each wait ends at its deadline (or, in a build without
    // USB, USB is refused with the reason); a network wait also ends on a cancel (Tcp test above).
    CancelFlag cancel{false};
    for (const auto kind : {HandheldRoute::Kind::Usb, HandheldRoute::Kind::SerialNet, HandheldRoute::Kind::Net}) {
        const HandheldRoute route{kind, "127.0.0.1", 0, "", 0}; // port 0: any free port
        SCOPED_TRACE(DescribeConnection(route));
        Result<std::unique_ptr<IPacketLink>> link = OpenHandheldLink(route, Deadline::In(10ms), cancel);
        ASSERT_FALSE(link);
        EXPECT_TRUE(link.error().kind == ErrorKind::Timeout ||
                    (kind == HandheldRoute::Kind::Usb && !UsbAvailable() && link.error().kind == ErrorKind::Refused))
            << link.error().text;
    }
}

TEST(SerialPort, CarriesEveryByteUnchangedAndEndsWaitsByDeadlineCancelOrHangUp)
{
    Pty pty;
    CancelFlag cancel{false};
    auto port = OpenSerialPort(pty.device, 9600, cancel);
    ASSERT_TRUE(port) << port.error().text;

    // Line ends, interrupt and flow-control characters: a terminal not in raw mode would change or eat them.
    const Bytes awkward = {0x0D, 0x0A, 0x03, 0x11, 0x13, 0x04, 0x7F, 0xBE, 0x00};
    ASSERT_EQ(::write(pty.master, awkward.data(), awkward.size()), ssize_t(awkward.size()));
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

    EXPECT_EQ(Failure((*port)->Read(buffer, Deadline::In(30ms))), ErrorKind::Timeout);
    cancel = true;
    EXPECT_EQ(Failure((*port)->Read(buffer, Deadline::In(2s))), ErrorKind::Cancelled);
    cancel = false;
    ::close(pty.master);
    pty.master = -1;
    EXPECT_EQ(Failure((*port)->Read(buffer, Deadline::In(2s))), ErrorKind::Disconnected);
}

TEST(SerialPort, SwitchesSpeedRefusesWhatIsNoPortAndListsPorts)
{
    Pty pty;
    CancelFlag cancel{false};
    auto port = OpenSerialPort(pty.device, 9600, cancel);
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
    for (const char* name : {"ttyS10", "ttyS2", "ttyUSB0", "ttyACM1", "rfcomm0", "tty0", "ttySX", "console", "ttyS"}) {
        std::ofstream(dir.File(name)) << "";
    }
    const std::vector<std::string> ports = {
        dir.File("rfcomm0"), dir.File("ttyACM1"), dir.File("ttyS2"), dir.File("ttyS10"), dir.File("ttyUSB0")};
    EXPECT_EQ(ListSerialPortsIn(dir.Str()), ports);

    const std::vector<std::tuple<std::string, std::uint32_t, ErrorKind>> refused = {
        {dir.File("ttyUSB0"), 9600, ErrorKind::Refused}, // a file, no terminal
        {dir.File("ttyUSB9"), 9600, ErrorKind::NotFound},
        {pty.device, 1234, ErrorKind::Refused},
    };
    for (const auto& [device, speed, kind] : refused) {
        EXPECT_EQ(Failure(OpenSerialPort(device, speed, cancel)), kind) << device;
    }
}
