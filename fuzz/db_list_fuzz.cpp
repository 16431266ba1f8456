// The database-list parser over arbitrary bytes (the data of a ReadDBList reply). An accepted page holds
// exactly the count it announces, each name at most 31 characters without a zero, and no more entries than
// the bytes could describe (each takes at least 45); ListDatabases over a handheld answering every request
// with the same page ends, with the list or an error, and never lists more than 65,535 databases.

#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "hotsync/Dlp.h"
#include "hotsync/DlpCalls.h"
#include "hotsync/Operations.h"

namespace {

// A handheld that answers every ReadDBList with the input as its page.
class SamePageLink final : public hotsync::IPacketLink
{
public:
    explicit SamePageLink(std::span<const std::uint8_t> page)
    {
        // ReadDBList's reply: one argument, in the short or the 16-bit form.
        const bool wide = page.size() > 0xff;
        m_reply.reserve(page.size() + 8);
        for (const std::uint8_t byte : {std::uint8_t{0x96}, std::uint8_t{1}, std::uint8_t{0}, std::uint8_t{0}}) {
            m_reply.push_back(byte);
        }
        m_reply.push_back(wide ? 0xa0 : 0x20);
        if (wide) {
            m_reply.push_back(0);
            m_reply.push_back(static_cast<std::uint8_t>(page.size() >> 8));
        }
        m_reply.push_back(static_cast<std::uint8_t>(page.size()));
        m_reply.insert(m_reply.end(), page.begin(), page.end());
    }
    Status Send(std::span<const std::uint8_t>, hotsync::Deadline) override
    {
        ++requests;
        return {};
    }
    Result<std::vector<std::uint8_t>> Receive(hotsync::Deadline) override { return m_reply; }
    std::size_t requests = 0;

private:
    std::vector<std::uint8_t> m_reply;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size > 0xffff) {
        return 0; // a page comes in one argument of at most 64 KiB
    }
    const std::span<const std::uint8_t> bytes(data, size);
    Result<hotsync::DbListPage> page = hotsync::ParseDbListPage(bytes);
    if (page) {
        FUZZ_CHECK(size >= 4);
        FUZZ_CHECK(page->databases.size() == data[3]);
        FUZZ_CHECK(page->databases.size() * 45 <= size - 4);
        for (const hotsync::DbInfo& info : page->databases) {
            FUZZ_CHECK(info.name.size() <= 31);
            FUZZ_CHECK(info.name.find('\0') == std::string::npos);
        }
    } else {
        FUZZ_CHECK(page.error().kind == ErrorKind::Protocol);
    }

    SamePageLink link(bytes);
    hotsync::CancelFlag cancel{false};
    hotsync::DlpClient dlp(link, cancel, std::chrono::milliseconds(1000));
    Result<std::vector<hotsync::DbInfo>> list = hotsync::ListDatabases(dlp);
    FUZZ_CHECK(link.requests <= 65536);
    if (list) {
        FUZZ_CHECK(list->size() <= 65535);
    }
    return 0;
}
