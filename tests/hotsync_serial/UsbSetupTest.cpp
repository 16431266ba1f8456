// Finding a USB handheld's HotSync endpoints from canned replies to the vendor requests.

#include "hotsync/UsbSetup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>

#include "hotsync/Usb.h"

namespace {

using namespace hotsync::usb;

class CannedDevice final : public IUsbDevice
{
public:
    Result<std::vector<std::uint8_t>> ControlIn(
        std::uint8_t requestType, std::uint8_t request, std::uint16_t, std::uint16_t, std::uint16_t length) override
    {
        asked.push_back(request);
        EXPECT_EQ(requestType, request <= kGetExtConnectionInfo ? kVendorIn : requestType);
        const auto reply = replies.find(request);
        if (reply == replies.end()) {
            return MakeError(ErrorKind::Protocol, "stalled");
        }
        // A device never answers more than it was asked for.
        std::vector<std::uint8_t> bytes = reply->second;
        bytes.resize(std::min<std::size_t>(bytes.size(), length));
        return bytes;
    }
    std::vector<Endpoint> InterfaceEndpoints() override { return endpoints; }

    std::map<std::uint8_t, std::vector<std::uint8_t>> replies;
    std::vector<Endpoint> endpoints;
    std::vector<std::uint8_t> asked;
};

// An extended reply's port: its owner's creator as the bytes arrive, one endpoint number, a pair of 4-bit ones.
std::vector<std::uint8_t> ExtPort(const char* creator, std::uint8_t number, std::uint8_t pair)
{
    return {static_cast<std::uint8_t>(creator[0]),
            static_cast<std::uint8_t>(creator[1]),
            static_cast<std::uint8_t>(creator[2]),
            static_cast<std::uint8_t>(creator[3]),
            number,
            pair,
            0,
            0};
}

std::vector<std::uint8_t> Join(std::vector<std::vector<std::uint8_t>> parts)
{
    std::vector<std::uint8_t> out;
    for (const auto& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

const std::vector<Endpoint> kBulkPair = {{0x81, 0x03, 8}, {0x82, 0x02, 64}, {0x02, 0x02, 64}, {0x83, 0x02, 64}};

struct SetupCase
{
    const char* name;
    Init init;
    std::map<std::uint8_t, std::vector<std::uint8_t>> replies;
    std::vector<Endpoint> endpoints;
    std::optional<Endpoints> expected;
    std::vector<std::uint8_t> asked;
};

TEST(UsbSetup, DecidesEndpointsFromTheRepliesInOrder)
{
    const std::vector<SetupCase> cases = {
        {"extended reply, HotSync second of two ports",
         Init::Generic,
         {{kGetExtConnectionInfo, Join({{2, 0, 0, 0}, ExtPort("xxxx", 1, 0), ExtPort("cnys", 2, 0)})}},
         kBulkPair,
         Endpoints{0x82, 0x02},
         {kGetExtConnectionInfo}},
        {"extended reply with separate IN and OUT numbers",
         Init::Generic,
         {{kGetExtConnectionInfo, Join({{1, 1, 0, 0}, ExtPort("cnys", 0, 0x34)})}},
         kBulkPair,
         Endpoints{0x83, 0x04},
         {kGetExtConnectionInfo}},
        {"extended reply without a HotSync port, then the older reply",
         Init::Generic,
         {{kGetExtConnectionInfo, Join({{1, 0, 0, 0}, ExtPort("xxxx", 1, 0)})},
          {kGetConnectionInfo, {2, 0, 0x00, 1, 0x02, 3}}},
         kBulkPair,
         Endpoints{0x83, 0x03},
         {kGetExtConnectionInfo, kGetConnectionInfo, kGetBytesAvailable}},
        {"only the older request answered",
         Init::Generic,
         {{kGetConnectionInfo, {1, 0, 0x02, 5}}},
         kBulkPair,
         Endpoints{0x85, 0x05},
         {kGetExtConnectionInfo, kGetConnectionInfo, kGetBytesAvailable}},
        {"neither answered: the first bulk endpoints",
         Init::Generic,
         {},
         kBulkPair,
         Endpoints{0x82, 0x02},
         {kGetExtConnectionInfo, kGetConnectionInfo}},
        {"a model that needs no requests",
         Init::None,
         {{kGetExtConnectionInfo, Join({{1, 0, 0, 0}, ExtPort("cnys", 7, 0)})}},
         kBulkPair,
         Endpoints{0x82, 0x02},
         {}},
        {"nothing at all",
         Init::Generic,
         {},
         {{0x81, 0x03, 8}},
         std::nullopt,
         {kGetExtConnectionInfo, kGetConnectionInfo}},
        // Replies that claim more ports than they hold are read only as far as they go.
        {"extended reply cut short before its HotSync port",
         Init::Generic,
         {{kGetExtConnectionInfo, Join({{200, 0, 0, 0}, ExtPort("xxxx", 1, 0), {'c', 'n', 'y', 's', 4}})}},
         {},
         std::nullopt,
         {kGetExtConnectionInfo, kGetConnectionInfo}},
        {"older reply claiming 200 ports in 4 bytes",
         Init::Generic,
         {{kGetConnectionInfo, {200, 0, 0x00, 1}}},
         {},
         std::nullopt,
         {kGetExtConnectionInfo, kGetConnectionInfo}},
        {"HotSync port with endpoint 0",
         Init::Generic,
         {{kGetConnectionInfo, {1, 0, 0x02, 0}}},
         {},
         std::nullopt,
         {kGetExtConnectionInfo, kGetConnectionInfo}},
    };
    for (const SetupCase& c : cases) {
        SCOPED_TRACE(c.name);
        CannedDevice device;
        device.replies = c.replies;
        device.endpoints = c.endpoints;
        Result<Endpoints> found = FindHotSyncEndpoints(device, c.init);
        if (c.expected) {
            ASSERT_TRUE(found) << found.error().text;
            EXPECT_EQ(found->in, c.expected->in);
            EXPECT_EQ(found->out, c.expected->out);
        } else {
            ASSERT_FALSE(found);
            EXPECT_EQ(found.error().kind, ErrorKind::Protocol);
        }
        EXPECT_EQ(device.asked, c.asked);
    }
}

TEST(UsbSetup, ParsersTakeAnyLengthWithoutReadingPastIt)
{
    const std::vector<std::uint8_t> full = Join({{2, 1, 0, 0}, ExtPort("xxxx", 0, 0x11), ExtPort("cnys", 0, 0x21)});
    for (std::size_t length = 0; length <= full.size(); ++length) {
        const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        const std::optional<Endpoints> ext = ParseExtConnectionInfo(cut);
        EXPECT_EQ(ext.has_value(), length >= 20) << length;
        const std::optional<Endpoints> old = ParseConnectionInfo(cut);
        EXPECT_FALSE(old.has_value()) << length;
    }
    EXPECT_EQ(ParseExtConnectionInfo(full), (Endpoints{0x82, 0x01}));
}

TEST(UsbSetup, KnowsTheHandheldsAndWhatTheySpeak)
{
    const Model* palm = FindModel(0x0830, 0x0060);
    ASSERT_NE(palm, nullptr);
    EXPECT_EQ(palm->protocol, Protocol::NetSync);
    EXPECT_EQ(palm->init, Init::Generic);
    const Model* visor = FindModel(0x082d, 0x0100);
    ASSERT_NE(visor, nullptr);
    EXPECT_EQ(visor->protocol, Protocol::Serial);
    EXPECT_EQ(FindModel(0x0830, 0x0080)->init, Init::None);
    EXPECT_EQ(FindModel(0x054c, 0x0038)->init, Init::EarlySony);
    EXPECT_NE(FindModel(0x04e8, 0x8001), nullptr);
    EXPECT_EQ(FindModel(0x0830, 0x9999), nullptr);
    EXPECT_EQ(FindModel(0x1234, 0x0060), nullptr);
}

} // namespace

namespace {

using namespace std::chrono_literals;

// No machine that runs the tests has a handheld on USB: the wait must end at its deadline, or at once on cancel.
TEST(UsbWait, EndsAtTheDeadlineOrOnCancelWhenNoHandheldIsThere)
{
    if (!hotsync::UsbAvailable()) {
        GTEST_SKIP() << "built without USB";
    }
    hotsync::CancelFlag cancel{false};
    Result<hotsync::UsbHandheld> timedOut = hotsync::WaitForUsbHandheld(hotsync::Deadline::In(50ms), cancel);
    ASSERT_FALSE(timedOut);
    if (timedOut.error().kind == ErrorKind::System) {
        GTEST_SKIP() << "USB cannot be used here: " << timedOut.error().text;
    }
    EXPECT_EQ(timedOut.error().kind, ErrorKind::Timeout) << timedOut.error().text;

    cancel = true;
    Result<hotsync::UsbHandheld> cancelled = hotsync::WaitForUsbHandheld(hotsync::Deadline::In(1s), cancel);
    ASSERT_FALSE(cancelled);
    EXPECT_EQ(cancelled.error().kind, ErrorKind::Cancelled);
}

} // namespace
