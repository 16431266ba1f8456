#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace hotsync {

// The Desktop Link Protocol functions this program calls.
enum class DlpFunction : std::uint8_t
{
    ReadUserInfo = 0x10,
    ReadSysInfo = 0x12,
    ReadDBList = 0x16,
    OpenDB = 0x17,
    CreateDB = 0x18,
    CloseDB = 0x19,
    DeleteDB = 0x1a,
    ReadAppBlock = 0x1b,
    WriteAppBlock = 0x1c,
    ReadSortBlock = 0x1d,
    WriteSortBlock = 0x1e,
    ReadRecord = 0x20,
    WriteRecord = 0x21,
    ReadResource = 0x23,
    WriteResource = 0x24,
    AddSyncLogEntry = 0x2a,
    ReadOpenDBInfo = 0x2b,
    OpenConduit = 0x2e,
    EndOfSync = 0x2f,
    FindDB = 0x39,
};

// The name of a function, for messages.
std::string DlpFunctionName(DlpFunction function);

// Argument ids count from 0x20.
inline constexpr std::uint8_t kDlpFirstArgument = 0x20;

// The error codes a reply carries that this program acts on; DlpErrorText names every code.
namespace dlp_error {
inline constexpr std::uint16_t None = 0x00;
inline constexpr std::uint16_t IllegalRequest = 0x02;
inline constexpr std::uint16_t NotFound = 0x05;
inline constexpr std::uint16_t AlreadyExists = 0x09;
inline constexpr std::uint16_t NotSupported = 0x0d;
inline constexpr std::uint16_t NotEnoughSpace = 0x10;
inline constexpr std::uint16_t CancelSync = 0x12;
} // namespace dlp_error

// The handheld's words for an error code, e.g. "not enough space".
std::string DlpErrorText(std::uint16_t code);
// How a caller treats an error code: Exists, NoSpace, Cancelled, NotFound, or Refused for the rest.
ErrorKind DlpErrorKind(std::uint16_t code);

// A request: the function and its arguments, each encoded in the shortest of the three forms (id and an
// 8-bit length; id|0x80, a zero and a 16-bit length; id|0x40, a zero and a 32-bit length).
class DlpRequest
{
public:
    explicit DlpRequest(DlpFunction function)
        : m_function(function)
    {}
    DlpRequest& Argument(std::uint8_t id, std::vector<std::uint8_t> data);
    DlpFunction Function() const { return m_function; }
    std::vector<std::uint8_t> Encode() const;

private:
    struct Arg
    {
        std::uint8_t id;
        std::vector<std::uint8_t> data;
    };
    DlpFunction m_function;
    std::vector<Arg> m_arguments;
};

// A decoded reply. The argument spans point into `message`.
struct DlpReply
{
    DlpFunction function{};
    std::uint16_t error = 0;
    std::vector<std::uint8_t> message;
    struct Arg
    {
        std::uint8_t id = 0;
        std::size_t offset = 0;
        std::size_t length = 0;
    };
    std::vector<Arg> arguments;

    // The data of the argument with that id (the form bits taken off), if the reply has one.
    std::optional<std::span<const std::uint8_t>> Find(std::uint8_t id) const;
};

// Decodes a reply to `expected`; a reply to another function, or arguments reaching past its end, is a
// Protocol error. The error code is not judged here.
Result<DlpReply> DecodeDlpReply(std::vector<std::uint8_t> message, DlpFunction expected);

} // namespace hotsync
