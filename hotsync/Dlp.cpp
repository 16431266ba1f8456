#include "hotsync/Dlp.h"

#include <array>
#include <cstdio>

#include "hotsync/Bytes.h"

namespace hotsync {

namespace {
constexpr std::uint8_t kReplyBit = 0x80;
constexpr std::uint8_t kFormShort = 0x80;
constexpr std::uint8_t kFormLong = 0x40;
constexpr std::uint8_t kIdMask = 0x3f;

std::string Hex(unsigned value)
{
    std::array<char, 8> text{};
    std::snprintf(text.data(), text.size(), "0x%02x", value & 0xffu);
    return text.data();
}
} // namespace

std::string DlpFunctionName(DlpFunction function)
{
    switch (function) {
    case DlpFunction::ReadUserInfo:
        return "ReadUserInfo";
    case DlpFunction::ReadSysInfo:
        return "ReadSysInfo";
    case DlpFunction::ReadDBList:
        return "ReadDBList";
    case DlpFunction::OpenDB:
        return "OpenDB";
    case DlpFunction::CreateDB:
        return "CreateDB";
    case DlpFunction::CloseDB:
        return "CloseDB";
    case DlpFunction::DeleteDB:
        return "DeleteDB";
    case DlpFunction::ReadAppBlock:
        return "ReadAppBlock";
    case DlpFunction::WriteAppBlock:
        return "WriteAppBlock";
    case DlpFunction::ReadSortBlock:
        return "ReadSortBlock";
    case DlpFunction::WriteSortBlock:
        return "WriteSortBlock";
    case DlpFunction::ReadRecord:
        return "ReadRecord";
    case DlpFunction::WriteRecord:
        return "WriteRecord";
    case DlpFunction::ReadResource:
        return "ReadResource";
    case DlpFunction::WriteResource:
        return "WriteResource";
    case DlpFunction::AddSyncLogEntry:
        return "AddSyncLogEntry";
    case DlpFunction::ReadOpenDBInfo:
        return "ReadOpenDBInfo";
    case DlpFunction::OpenConduit:
        return "OpenConduit";
    case DlpFunction::EndOfSync:
        return "EndOfSync";
    case DlpFunction::FindDB:
        return "FindDB";
    }
    return "function " + Hex(static_cast<unsigned>(function));
}

std::string DlpErrorText(std::uint16_t code)
{
    static const char* const kTexts[] = {
        "no error",
        "general system error",
        "unknown function",
        "out of memory",
        "invalid parameter",
        "not found",
        "no database is open",
        "the database is open in another application",
        "too many open databases",
        "a database of that name already exists",
        "the database could not be opened",
        "the record is deleted",
        "the record is in use by another application",
        "the operation is not supported on this database",
        "unused error code",
        "no write access, or the database is in ROM",
        "not enough space",
        "size limit exceeded",
        "the sync was cancelled on the handheld",
        "bad argument wrapper",
        "required argument missing",
        "invalid argument size",
    };
    if (code < std::size(kTexts)) {
        return kTexts[code];
    }
    return "unknown error " + std::to_string(code);
}

ErrorKind DlpErrorKind(std::uint16_t code)
{
    switch (code) {
    case dlp_error::NotFound:
        return ErrorKind::NotFound;
    case dlp_error::AlreadyExists:
        return ErrorKind::Exists;
    case dlp_error::NotEnoughSpace:
        return ErrorKind::NoSpace;
    case dlp_error::CancelSync:
        return ErrorKind::Cancelled;
    default:
        return ErrorKind::Refused;
    }
}

DlpRequest& DlpRequest::Argument(std::uint8_t id, std::vector<std::uint8_t> data)
{
    m_arguments.push_back({id, std::move(data)});
    return *this;
}

std::vector<std::uint8_t> DlpRequest::Encode() const
{
    ByteWriter out;
    out.U8(static_cast<std::uint8_t>(m_function)).U8(static_cast<std::uint8_t>(m_arguments.size()));
    for (const Arg& arg : m_arguments) {
        const std::size_t length = arg.data.size();
        if (length <= 0xff) {
            out.U8(arg.id).U8(static_cast<std::uint8_t>(length));
        } else if (length <= 0xffff) {
            out.U8(static_cast<std::uint8_t>(arg.id | kFormShort)).U8(0).U16(static_cast<std::uint16_t>(length));
        } else {
            out.U8(static_cast<std::uint8_t>(arg.id | kFormLong)).U8(0).U32(static_cast<std::uint32_t>(length));
        }
        out.Bytes(arg.data);
    }
    return std::move(out.Data());
}

std::optional<std::span<const std::uint8_t>> DlpReply::Find(std::uint8_t id) const
{
    for (const Arg& arg : arguments) {
        if (arg.id == (id & kIdMask)) {
            return std::span<const std::uint8_t>(message).subspan(arg.offset, arg.length);
        }
    }
    return std::nullopt;
}

Result<DlpReply> DecodeDlpReply(std::vector<std::uint8_t> message, DlpFunction expected)
{
    const std::string name = DlpFunctionName(expected);
    ByteReader in(message);
    const std::uint8_t function = in.U8();
    const std::uint8_t count = in.U8();
    const std::uint16_t error = in.U16();
    if (in.Failed()) {
        return MakeError(ErrorKind::Protocol, "the handheld's reply to " + name + " is too short");
    }
    if ((function & kReplyBit) == 0 || (function & ~kReplyBit) != static_cast<std::uint8_t>(expected)) {
        return MakeError(ErrorKind::Protocol, "the handheld answered " + Hex(function) + " to " + name);
    }
    DlpReply reply;
    reply.function = expected;
    reply.error = error;
    for (unsigned i = 0; i < count; ++i) {
        const std::uint8_t head = in.U8();
        std::size_t length = 0;
        if ((head & kFormLong) != 0) {
            in.Skip(1);
            length = in.U32();
        } else if ((head & kFormShort) != 0) {
            in.Skip(1);
            length = in.U16();
        } else {
            length = in.U8();
        }
        const std::size_t offset = in.Position();
        in.Skip(length);
        if (in.Failed()) {
            return MakeError(ErrorKind::Protocol,
                             "an argument of the handheld's reply to " + name + " reaches past its end");
        }
        reply.arguments.push_back({static_cast<std::uint8_t>(head & kIdMask), offset, length});
    }
    reply.message = std::move(message);
    return reply;
}

} // namespace hotsync
