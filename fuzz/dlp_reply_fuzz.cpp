// The DLP reply decoder and every typed reply this program reads, over arbitrary bytes: each call of the
// client gets the input as the handheld's reply. Nothing may read outside the reply; a decoded reply's
// arguments lie inside it; whatever a call returns stays within the reply's size.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "hotsync/DlpCalls.h"

namespace {

// Answers every request with the same bytes.
class EchoLink final : public hotsync::IPacketLink
{
public:
    explicit EchoLink(std::span<const std::uint8_t> reply)
        : m_reply(reply.begin(), reply.end())
    {}
    Status Send(std::span<const std::uint8_t>, hotsync::Deadline) override { return {}; }
    Result<std::vector<std::uint8_t>> Receive(hotsync::Deadline) override { return m_reply; }

private:
    std::vector<std::uint8_t> m_reply;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    // The raw decoder, for the function the reply names.
    if (size > 0) {
        const auto function = static_cast<hotsync::DlpFunction>(data[0] & 0x7f);
        Result<hotsync::DlpReply> reply = hotsync::DecodeDlpReply({bytes.begin(), bytes.end()}, function);
        if (reply) {
            FUZZ_CHECK((data[0] & 0x80) != 0);
            for (const hotsync::DlpReply::Arg& arg : reply->arguments) {
                FUZZ_CHECK(arg.offset <= size && arg.length <= size - arg.offset);
            }
        } else {
            FUZZ_CHECK(reply.error().kind == ErrorKind::Protocol);
        }
    }

    EchoLink link(bytes);
    hotsync::CancelFlag cancel{false};
    hotsync::DlpClient dlp(link, cancel, std::chrono::milliseconds(1000));
    (void)dlp.ReadSysInfo();
    if (Result<hotsync::UserInfo> user = dlp.ReadUserInfo()) {
        FUZZ_CHECK(user->userName.size() <= size);
    }
    (void)dlp.OpenConduit();
    (void)dlp.EndOfSync(0);
    (void)dlp.OpenDB("x", hotsync::open_mode::Read);
    (void)dlp.CreateDB("x", 1, 2, 0, 0);
    (void)dlp.CloseDB(1);
    (void)dlp.DeleteDB("x");
    if (Result<hotsync::OpenDbInfo> found = dlp.FindDBByHandle(1)) {
        FUZZ_CHECK(!found->info || found->info->name.size() <= 31);
    }
    (void)dlp.ReadOpenDBInfo(1);
    for (const auto& block : {dlp.ReadAppBlock(1), dlp.ReadSortBlock(1)}) {
        FUZZ_CHECK(!block || !*block || (*block)->size() <= size);
    }
    if (Result<hotsync::RecordReply> record = dlp.ReadRecordByIndex(1, 0)) {
        FUZZ_CHECK(record->data.size() <= size);
    }
    if (Result<hotsync::ResourceReply> resource = dlp.ReadResourceByIndex(1, 0)) {
        FUZZ_CHECK(resource->data.size() <= size);
    }
    (void)dlp.WriteRecord(1, 0, 0x40, bytes);
    (void)dlp.WriteResource(1, 1, 1, bytes);
    return 0;
}
