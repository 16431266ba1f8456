// Finding a USB handheld's HotSync endpoints from canned replies to the vendor requests.

#include "hotsync/UsbSetup.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "FakeHandheld.h"
#include "hotsync/Usb.h"

namespace {

using namespace hotsync::usb;
using Bytes = std::vector<std::uint8_t>;

class CannedDevice final : public IUsbDevice
{
public:
    Result<Bytes>
    ControlIn(std::uint8_t type, std::uint8_t request, std::uint16_t, std::uint16_t, std::uint16_t length) override
    {
        asked.push_back(request);
        EXPECT_EQ(type, kVendorIn);
        if (!replies.contains(request)) {
            return MakeError(ErrorKind::Protocol, "stalled");
        }
        Bytes reply = replies[request];
        reply.resize(std::min<std::size_t>(reply.size(), length));
        return reply;
    }
    std::vector<Endpoint> InterfaceEndpoints() override
    {
        return {{0x81, 0x03, 8}, {0x82, 0x02, 64}, {0x02, 0x02, 64}, {0x83, 0x02, 64}};
    }

    std::map<std::uint8_t, Bytes> replies;
    Bytes asked;
};

// Extended replies: a head (port count, separate IN and OUT numbers), then ports of 8 bytes: the owner's creator
// as its bytes arrive, one endpoint number, two 4-bit numbers (IN, OUT), padding.
const Bytes kOther = {'x', 'x', 'x', 'x', 1, 0, 0, 0};
Bytes HotSync(std::uint8_t number, std::uint8_t pair)
{
    return {'c', 'n', 'y', 's', number, pair, 0, 0};
}
Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

TEST(UsbSetup, DecidesEndpointsFromTheRepliesInOrder)
{
    const Bytes ext = {kGetExtConnectionInfo}, both = {kGetExtConnectionInfo, kGetConnectionInfo};
    const Bytes bothAndBytes = {kGetExtConnectionInfo, kGetConnectionInfo, kGetBytesAvailable};
    struct Case
    {
        const char* name;
        std::map<std::uint8_t, Bytes> replies;
        Endpoints expected; // {0, 0}: none found
        Bytes asked;
        Init init = Init::Generic;
    };
    const std::vector<Case> cases = {
        {"extended, HotSync second",
         {{kGetExtConnectionInfo, Join({{2, 0, 0, 0}, kOther, HotSync(2, 0)})}},
         {0x82, 0x02},
         ext},
        {"extended, separate numbers",
         {{kGetExtConnectionInfo, Join({{1, 1, 0, 0}, HotSync(0, 0x34)})}},
         {0x83, 0x04},
         ext},
        {"extended without HotSync, then older",
         {{kGetExtConnectionInfo, Join({{1, 0, 0, 0}, kOther})}, {kGetConnectionInfo, {2, 0, 0x00, 1, 0x02, 3}}},
         {0x83, 0x03},
         bothAndBytes},
        {"older only", {{kGetConnectionInfo, {1, 0, 0x02, 5}}}, {0x85, 0x05}, bothAndBytes},
        {"neither: first bulk endpoints", {}, {0x82, 0x02}, both},
        {"model without requests",
         {{kGetExtConnectionInfo, Join({{1, 0, 0, 0}, HotSync(7, 0)})}},
         {0x82, 0x02},
         {},
         Init::None},
        // Replies claiming more ports than they hold are read only as far as they go; then the descriptors.
        {"extended cut short",
         {{kGetExtConnectionInfo, Join({{200, 0, 0, 0}, kOther, {'c', 'n', 'y', 's', 4}})}},
         {0x82, 0x02},
         both},
        {"older claiming 200 ports", {{kGetConnectionInfo, {200, 0, 0x00, 1}}}, {0x82, 0x02}, both},
        {"HotSync on endpoint 0", {{kGetConnectionInfo, {1, 0, 0x02, 0}}}, {0x82, 0x02}, both},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CannedDevice device;
        device.replies = c.replies;
        EXPECT_EQ(FindHotSyncEndpoints(device, c.init).value_or(Endpoints{}), c.expected);
        EXPECT_EQ(device.asked, c.asked);
    }
}

TEST(UsbSetup, ParsersTakeAnyLengthAndNoEndpointsIsAnError)
{
    const Bytes full = Join({{2, 1, 0, 0}, kOther, HotSync(0, 0x21)});
    for (std::size_t length = 0; length <= full.size(); ++length) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(ParseExtConnectionInfo(cut).has_value(), length == full.size()) << length;
        EXPECT_FALSE(ParseConnectionInfo(cut).has_value()) << length;
    }
    EXPECT_EQ(ParseExtConnectionInfo(full), (Endpoints{0x82, 0x01}));
    EXPECT_FALSE(FirstBulkEndpoints({{0x81, 0x03, 8}, {0x82, 0x02, 64}}));
}

// The package's udev rule lets the user reach exactly the handhelds the program looks for: a model the rule
// leaves out could not be opened without root, and one the program does not know would be let in for nothing.
TEST(UsbSetup, TheUdevRuleNamesExactlyTheKnownHandhelds)
{
    std::ifstream file(TEST_DATA_DIR "/../../res/60-tunelore-palm.rules");
    ASSERT_TRUE(file) << "the udev rule is missing";
    std::set<std::pair<std::uint16_t, std::uint16_t>> inRule;
    const std::regex rule(R"re(ATTR\{idVendor\}=="([0-9a-f]{4})", ATTR\{idProduct\}=="([0-9a-f|]+)")re");
    for (std::string line; std::getline(file, line);) {
        std::smatch match;
        if (!std::regex_search(line, match, rule)) {
            continue;
        }
        const auto vendor = static_cast<std::uint16_t>(std::stoul(match[1].str(), nullptr, 16));
        std::stringstream products(match[2].str());
        for (std::string product; std::getline(products, product, '|');) {
            inRule.emplace(vendor, static_cast<std::uint16_t>(std::stoul(product, nullptr, 16)));
        }
    }
    std::set<std::pair<std::uint16_t, std::uint16_t>> known;
    for (const Model& model : KnownModels()) {
        known.emplace(model.vendor, model.product);
        EXPECT_EQ(FindModel(model.vendor, model.product), &model) << model.name;
    }
    EXPECT_EQ(known.size(), KnownModels().size()) << "a handheld listed twice";
    EXPECT_EQ(inRule, known);
}

// No machine that runs the tests has a handheld on USB: the wait must end at its deadline, or at once on cancel.
TEST(UsbWait, EndsAtTheDeadlineOrOnCancelWhenNoHandheldIsThere)
{
    using namespace std::chrono_literals;
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
    EXPECT_EQ(Failure(hotsync::WaitForUsbHandheld(hotsync::Deadline::In(1s), cancel)), ErrorKind::Cancelled);
}

} // namespace
