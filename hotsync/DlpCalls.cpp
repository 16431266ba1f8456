#include "hotsync/DlpCalls.h"

#include <type_traits>

#include "hotsync/Bytes.h"

namespace hotsync {

namespace {

constexpr std::uint8_t kArg0 = kDlpFirstArgument;
constexpr std::uint8_t kArg1 = kDlpFirstArgument + 1;

// A database description: its length, misc flags, attributes, type, creator, version, modification number,
// three dates and the index come before the name.
constexpr std::size_t kDbInfoFixed = 44;
// A name field holds at most 31 characters and its zero.
constexpr std::size_t kMaxNameField = 32;

bool IsLeap(unsigned year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

// A DLP date (year, month, day, hour, minute, second, a pad byte) as seconds since 1970 UTC; 0 when the year
// is 0 ("none") or the date cannot be told in 32 bits.
std::uint32_t ReadDlpDate(ByteReader& in)
{
    const unsigned year = in.U16();
    const unsigned month = in.U8();
    const unsigned day = in.U8();
    const unsigned hour = in.U8();
    const unsigned minute = in.U8();
    const unsigned second = in.U8();
    in.Skip(1);
    if (year < 1970 || year > 2105 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 ||
        second > 59) {
        return 0;
    }
    static constexpr unsigned kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    std::uint64_t days = 0;
    for (unsigned y = 1970; y < year; ++y) {
        days += IsLeap(y) ? 366u : 365u;
    }
    days += kDaysBefore[month - 1] + (month > 2 && IsLeap(year) ? 1u : 0u) + (day - 1);
    const std::uint64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second;
    return seconds > 0xffffffffu ? 0 : static_cast<std::uint32_t>(seconds);
}

Error Malformed(DlpFunction function, const char* what)
{
    return MakeError(ErrorKind::Protocol,
                     "the handheld's reply to " + DlpFunctionName(function) + " is malformed (" + what + ")");
}

Result<std::span<const std::uint8_t>> Required(const DlpReply& reply, std::uint8_t id)
{
    const auto data = reply.Find(id);
    if (!data) {
        return Malformed(reply.function, "an argument is missing");
    }
    return *data;
}

// A request with one argument, the bytes written so far.
DlpRequest Request(DlpFunction function, ByteWriter& out, std::uint8_t id = kArg0)
{
    return DlpRequest(function).Argument(id, std::move(out.Data()));
}

// A request naming a record or resource by its index: from offset 0, as much as there is.
DlpRequest ByIndexRequest(DlpFunction function, std::uint8_t id, std::uint8_t handle, std::uint16_t index)
{
    ByteWriter out;
    out.U8(handle).U8(0).U16(index).U16(0).U16(0xffff);
    return Request(function, out, id);
}

// A request writing a whole application or sort block.
DlpRequest BlockRequest(DlpFunction function, std::uint8_t handle, std::span<const std::uint8_t> data)
{
    ByteWriter out;
    out.U8(handle).U8(0).U16(static_cast<std::uint16_t>(data.size())).Bytes(data);
    return Request(function, out);
}

// A call whose reply carries nothing this program reads.
Status Perform(DlpClient& dlp, const DlpRequest& request)
{
    Result<DlpReply> reply = dlp.Call(request);
    if (!reply) {
        return reply.error();
    }
    return {};
}

// A call whose reply's first argument `decode` reads (given the whole reply for any further argument); the
// reply must have that argument.
template <typename Decode> auto Fetch(DlpClient& dlp, const DlpRequest& request, Decode decode)
{
    using Decoded = std::invoke_result_t<Decode, ByteReader&, const DlpReply&>;
    Result<DlpReply> reply = dlp.Call(request);
    if (!reply) {
        return Decoded(reply.error());
    }
    Result<std::span<const std::uint8_t>> data = Required(*reply, kArg0);
    if (!data) {
        return Decoded(data.error());
    }
    ByteReader in(*data);
    return Decoded(decode(in, *reply));
}

// `value` when every read of `in` stayed inside its argument.
template <typename T> Result<T> Checked(const ByteReader& in, DlpFunction function, const char* what, T value)
{
    if (in.Failed()) {
        return Malformed(function, what);
    }
    return value;
}

// The handle a reply opens a database under.
template <DlpFunction function> Result<std::uint8_t> HandleIn(ByteReader& in, const DlpReply&)
{
    const std::uint8_t handle = in.U8();
    return Checked(in, function, "no handle", handle);
}

} // namespace

Result<DbInfo> ParseDbInfo(std::span<const std::uint8_t> bytes, std::size_t& consumed)
{
    ByteReader in(bytes);
    const std::size_t size = in.U8();
    if (in.Failed() || size < kDbInfoFixed + 1 || size > bytes.size()) {
        return MakeError(ErrorKind::Protocol, "a database description has a bad length");
    }
    ByteReader entry(bytes.first(size));
    DbInfo info;
    entry.Skip(1);
    info.miscFlags = entry.U8();
    info.attributes = entry.U16();
    info.type = entry.U32();
    info.creator = entry.U32();
    info.version = entry.U16();
    info.modificationNumber = entry.U32();
    info.created = ReadDlpDate(entry);
    info.modified = ReadDlpDate(entry);
    info.backedUp = ReadDlpDate(entry);
    info.index = entry.U16();
    info.name = entry.CString(kMaxNameField);
    if (entry.Failed()) {
        return MakeError(ErrorKind::Protocol, "a database description has no proper name");
    }
    consumed = size;
    return info;
}

Result<DbListPage> ParseDbListPage(std::span<const std::uint8_t> data)
{
    ByteReader in(data);
    DbListPage page;
    page.lastIndex = in.U16();
    page.more = (in.U8() & 0x80) != 0;
    const std::size_t count = in.U8();
    if (in.Failed()) {
        return MakeError(ErrorKind::Protocol, "the database list is too short");
    }
    std::size_t at = in.Position();
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t consumed = 0;
        Result<DbInfo> info = ParseDbInfo(data.subspan(at), consumed);
        if (!info) {
            return info.error();
        }
        page.databases.push_back(std::move(*info));
        at += consumed;
    }
    return page;
}

DlpClient::DlpClient(IPacketLink& link, CancelFlag& cancel, std::chrono::milliseconds replyTimeout)
    : m_link(link)
    , m_cancel(cancel)
    , m_replyTimeout(replyTimeout)
{}

Result<DlpReply> DlpClient::Exchange(const DlpRequest& request)
{
    if (m_cancel.load()) {
        return MakeError(ErrorKind::Cancelled, "cancelled");
    }
    const Deadline deadline =
        m_cleanupDeadline ? m_cleanupDeadline->Min(Deadline::In(m_replyTimeout)) : Deadline::In(m_replyTimeout);
    if (Status sent = m_link.Send(request.Encode(), deadline); !sent) {
        m_linkUsable = false;
        return sent.error();
    }
    Result<std::vector<std::uint8_t>> message = m_link.Receive(deadline);
    // After a cancel the reply to the interrupted request may still come first.
    while (m_cleanupDeadline && message && !message->empty() &&
           (*message)[0] != (static_cast<std::uint8_t>(request.Function()) | 0x80)) {
        message = m_link.Receive(deadline);
    }
    if (!message) {
        // A wait the user cancelled leaves the link as it was; its late reply is skipped by the cleanup.
        m_linkUsable = m_linkUsable && message.error().kind == ErrorKind::Cancelled;
        if (message.error().kind == ErrorKind::Timeout) {
            return MakeError(ErrorKind::Timeout,
                             "the handheld stopped answering (no reply to " + DlpFunctionName(request.Function()) +
                                 ")");
        }
        return message.error();
    }
    Result<DlpReply> reply = DecodeDlpReply(std::move(*message), request.Function());
    m_linkUsable = m_linkUsable && static_cast<bool>(reply);
    return reply;
}

void DlpClient::RunDespiteCancel(std::chrono::milliseconds limit, const std::function<void()>& work)
{
    const bool cancelled = m_cancel.exchange(false);
    m_cleanupDeadline = Deadline::In(limit);
    work();
    m_cleanupDeadline.reset();
    if (cancelled) {
        m_cancel.store(true);
    }
}

Result<DlpReply> DlpClient::Call(const DlpRequest& request)
{
    Result<DlpReply> reply = Exchange(request);
    if (reply && reply->error != dlp_error::None) {
        return MakeError(DlpErrorKind(reply->error),
                         DlpFunctionName(request.Function()) + ": " + DlpErrorText(reply->error));
    }
    return reply;
}

Result<SysInfo> DlpClient::ReadSysInfo()
{
    // The desktop's DLP version, 1.4.
    const DlpRequest request = DlpRequest(DlpFunction::ReadSysInfo).Argument(kArg0, {0x00, 0x01, 0x00, 0x04});
    return Fetch(*this, request, [](ByteReader& in, const DlpReply& reply) -> Result<SysInfo> {
        SysInfo info;
        info.romVersion = in.U32();
        if (in.Failed()) {
            return Malformed(DlpFunction::ReadSysInfo, "too short");
        }
        // Handhelds before DLP 1.2 send no second argument.
        if (const auto second = reply.Find(kArg1)) {
            ByteReader more(*second);
            info.dlpMajor = more.U16();
            info.dlpMinor = more.U16();
            more.Skip(4); // the oldest version it is compatible with
            info.maxRecordSize = more.U32();
            return Checked(more, DlpFunction::ReadSysInfo, "versions cut short", info);
        }
        return info;
    });
}

Result<UserInfo> DlpClient::ReadUserInfo()
{
    return Fetch(*this, DlpRequest(DlpFunction::ReadUserInfo), [](ByteReader& in, const DlpReply&) -> Result<UserInfo> {
        UserInfo info;
        info.userId = in.U32();
        in.Skip(8 + 16); // viewer id, last sync PC, two dates
        const std::size_t nameLength = in.U8();
        in.Skip(1); // password length
        const auto name = in.Take(nameLength);
        std::size_t end = 0;
        while (end < name.size() && name[end] != 0) {
            ++end;
        }
        info.userName.assign(name.begin(), name.begin() + static_cast<std::ptrdiff_t>(end));
        return Checked(in, DlpFunction::ReadUserInfo, "too short", std::move(info));
    });
}

Status DlpClient::OpenConduit()
{
    return Perform(*this, DlpRequest(DlpFunction::OpenConduit));
}

Status DlpClient::EndOfSync(std::uint16_t status)
{
    ByteWriter out;
    out.U16(status);
    return Perform(*this, Request(DlpFunction::EndOfSync, out));
}

Status DlpClient::AddSyncLogEntry(const std::string& text)
{
    ByteWriter out;
    out.CString(text);
    return Perform(*this, Request(DlpFunction::AddSyncLogEntry, out));
}

Result<DbListPage> DlpClient::ReadDBList(std::uint8_t where, std::uint16_t startIndex)
{
    ByteWriter out;
    out.U8(where).U8(0).U16(startIndex);
    return Fetch(*this, Request(DlpFunction::ReadDBList, out), [](ByteReader& in, const DlpReply&) {
        return ParseDbListPage(in.Take(in.Remaining()));
    });
}

Result<std::uint8_t> DlpClient::OpenDB(const std::string& name, std::uint8_t mode)
{
    ByteWriter out;
    out.U8(0).U8(mode).CString(name);
    return Fetch(*this, Request(DlpFunction::OpenDB, out), HandleIn<DlpFunction::OpenDB>);
}

Result<std::uint8_t> DlpClient::CreateDB(
    const std::string& name, std::uint32_t creator, std::uint32_t type, std::uint16_t attributes, std::uint16_t version)
{
    ByteWriter out;
    out.U32(creator).U32(type).U8(0).U8(0).U16(attributes).U16(version).CString(name);
    return Fetch(*this, Request(DlpFunction::CreateDB, out), HandleIn<DlpFunction::CreateDB>);
}

Status DlpClient::CloseDB(std::uint8_t handle)
{
    return Perform(*this, DlpRequest(DlpFunction::CloseDB).Argument(kArg0, {handle}));
}

Status DlpClient::DeleteDB(const std::string& name)
{
    ByteWriter out;
    out.U8(0).U8(0).CString(name);
    return Perform(*this, Request(DlpFunction::DeleteDB, out));
}

Result<OpenDbInfo> DlpClient::FindDBByHandle(std::uint8_t handle, std::uint8_t options)
{
    Result<DlpReply> reply = Call(DlpRequest(DlpFunction::FindDB).Argument(kArg1, {options, handle}));
    if (!reply) {
        return reply.error();
    }
    OpenDbInfo result;
    if (const auto first = reply->Find(kArg0)) {
        ByteReader in(*first);
        in.Skip(2 + 4 + 4); // card, pad, local id, open reference
        if (in.Failed()) {
            return Malformed(DlpFunction::FindDB, "description cut short");
        }
        std::size_t consumed = 0;
        Result<DbInfo> info = ParseDbInfo(first->subspan(in.Position()), consumed);
        if (!info) {
            return info.error();
        }
        result.info = std::move(*info);
    }
    Result<std::span<const std::uint8_t>> sizes = Required(*reply, kArg1);
    if (!sizes) {
        return sizes.error();
    }
    ByteReader in(*sizes);
    result.recordCount = in.U32();
    in.Skip(8); // total and data bytes
    result.appBlockSize = in.U32();
    result.sortBlockSize = in.U32();
    return Checked(in, DlpFunction::FindDB, "sizes cut short", std::move(result));
}

Result<std::uint16_t> DlpClient::ReadOpenDBInfo(std::uint8_t handle)
{
    return Fetch(
        *this, DlpRequest(DlpFunction::ReadOpenDBInfo).Argument(kArg0, {handle}), [](ByteReader& in, const DlpReply&) {
            const std::uint16_t count = in.U16();
            return Checked(in, DlpFunction::ReadOpenDBInfo, "too short", count);
        });
}

Result<std::optional<std::vector<std::uint8_t>>> DlpClient::ReadBlock(DlpFunction function, std::uint8_t handle)
{
    // From offset 0, as much as there is.
    Result<DlpReply> reply = Exchange(DlpRequest(function).Argument(kArg0, {handle, 0, 0, 0, 0xff, 0xff}));
    if (!reply) {
        return reply.error();
    }
    if (reply->error == dlp_error::NotFound) {
        return std::optional<std::vector<std::uint8_t>>();
    }
    if (reply->error != dlp_error::None) {
        return MakeError(DlpErrorKind(reply->error), DlpFunctionName(function) + ": " + DlpErrorText(reply->error));
    }
    Result<std::span<const std::uint8_t>> data = Required(*reply, kArg0);
    if (!data) {
        return data.error();
    }
    ByteReader in(*data);
    in.Skip(2); // the block's whole size
    const auto block = in.Take(in.Remaining());
    return Checked(in, function, "too short", std::optional(std::vector<std::uint8_t>(block.begin(), block.end())));
}

Result<std::optional<std::vector<std::uint8_t>>> DlpClient::ReadAppBlock(std::uint8_t handle)
{
    return ReadBlock(DlpFunction::ReadAppBlock, handle);
}

Result<std::optional<std::vector<std::uint8_t>>> DlpClient::ReadSortBlock(std::uint8_t handle)
{
    return ReadBlock(DlpFunction::ReadSortBlock, handle);
}

Status DlpClient::WriteAppBlock(std::uint8_t handle, std::span<const std::uint8_t> data)
{
    return Perform(*this, BlockRequest(DlpFunction::WriteAppBlock, handle, data));
}

Status DlpClient::WriteSortBlock(std::uint8_t handle, std::span<const std::uint8_t> data)
{
    return Perform(*this, BlockRequest(DlpFunction::WriteSortBlock, handle, data));
}

Result<RecordReply> DlpClient::ReadRecordByIndex(std::uint8_t handle, std::uint16_t index)
{
    return Fetch(
        *this, ByIndexRequest(DlpFunction::ReadRecord, kArg1, handle, index), [](ByteReader& in, const DlpReply&) {
            RecordReply record;
            record.uniqueId = in.U32();
            record.index = in.U16();
            in.Skip(2); // the record's size; the data runs to the end of the argument
            record.attributes = in.U8();
            record.category = in.U8();
            const auto bytes = in.Take(in.Remaining());
            record.data.assign(bytes.begin(), bytes.end());
            return Checked(in, DlpFunction::ReadRecord, "too short", std::move(record));
        });
}

Result<ResourceReply> DlpClient::ReadResourceByIndex(std::uint8_t handle, std::uint16_t index)
{
    return Fetch(
        *this, ByIndexRequest(DlpFunction::ReadResource, kArg0, handle, index), [](ByteReader& in, const DlpReply&) {
            ResourceReply resource;
            resource.type = in.U32();
            resource.id = in.U16();
            resource.index = in.U16();
            const auto bytes = in.Take(in.U16());
            resource.data.assign(bytes.begin(), bytes.end());
            return Checked(in, DlpFunction::ReadResource, "data cut short", std::move(resource));
        });
}

Result<std::uint32_t> DlpClient::WriteRecord(std::uint8_t handle,
                                             std::uint32_t uniqueId,
                                             std::uint8_t attributes,
                                             std::span<const std::uint8_t> data)
{
    ByteWriter out;
    // 0x80: the data comes with the request. The file's attribute byte holds the flags in its high nibble and
    // the category in its low one; DLP takes them apart.
    out.U8(handle).U8(0x80).U32(uniqueId).U8(attributes & 0xf0).U8(attributes & 0x0f).Bytes(data);
    return Fetch(*this, Request(DlpFunction::WriteRecord, out), [](ByteReader& in, const DlpReply&) {
        const std::uint32_t id = in.U32();
        return Checked(in, DlpFunction::WriteRecord, "no record id", id);
    });
}

Status
DlpClient::WriteResource(std::uint8_t handle, std::uint32_t type, std::uint16_t id, std::span<const std::uint8_t> data)
{
    ByteWriter out;
    out.U8(handle).U8(0).U32(type).U16(id).U16(static_cast<std::uint16_t>(data.size())).Bytes(data);
    return Perform(*this, Request(DlpFunction::WriteResource, out));
}

} // namespace hotsync
