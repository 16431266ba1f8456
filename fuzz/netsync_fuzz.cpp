// NetSync reassembly over arbitrary bytes. The first byte sets how many bytes each read of the stream hands
// out (1 to 256), the rest is what the handheld sent. Every message received must come whole from the input
// in order, never longer than kMaxMessage; a failure names a kind that says why; the input, read to its end
// or to the failure, is never overrun.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/FuzzCheck.h"
#include "hotsync/NetSync.h"

namespace {

class ChunkedStream final : public hotsync::IByteStream
{
public:
    ChunkedStream(std::span<const std::uint8_t> bytes, std::size_t chunk)
        : m_bytes(bytes)
        , m_chunk(chunk)
    {}
    Result<std::size_t> Read(std::span<std::uint8_t> into, hotsync::Deadline) override
    {
        if (m_at == m_bytes.size()) {
            return MakeError(ErrorKind::Disconnected, "end");
        }
        const std::size_t take = std::min({into.size(), m_chunk, m_bytes.size() - m_at});
        FUZZ_CHECK(take > 0);
        std::copy_n(m_bytes.begin() + static_cast<std::ptrdiff_t>(m_at), take, into.begin());
        m_at += take;
        return take;
    }
    Status Write(std::span<const std::uint8_t>, hotsync::Deadline) override { return {}; }
    std::size_t Consumed() const { return m_at; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_chunk;
    std::size_t m_at = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::span<const std::uint8_t> stream(data + 1, size - 1);
    ChunkedStream input(stream, std::size_t{data[0]} + 1);
    hotsync::NetSyncLink link(input);
    std::size_t expectedAt = 0; // where the next message's header starts in the input
    for (;;) {
        Result<std::vector<std::uint8_t>> message = link.Receive(hotsync::Deadline::Never());
        if (!message) {
            const ErrorKind kind = message.error().kind;
            FUZZ_CHECK(kind == ErrorKind::Disconnected || kind == ErrorKind::TooLarge || kind == ErrorKind::Protocol);
            FUZZ_CHECK(!message.error().text.empty());
            break;
        }
        FUZZ_CHECK(message->size() <= hotsync::kMaxMessage);
        FUZZ_CHECK(expectedAt + hotsync::kNetSyncHeaderSize + message->size() <= stream.size());
        FUZZ_CHECK(stream[expectedAt] == 0x01);
        FUZZ_CHECK(std::equal(message->begin(),
                              message->end(),
                              stream.begin() + static_cast<std::ptrdiff_t>(expectedAt + hotsync::kNetSyncHeaderSize)));
        expectedAt += hotsync::kNetSyncHeaderSize + message->size();
    }
    FUZZ_CHECK(input.Consumed() <= stream.size());
    return 0;
}
