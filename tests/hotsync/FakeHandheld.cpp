#include "FakeHandheld.h"

#include <algorithm>
#include <functional>
#include <utility>

#include "hotsync/Bytes.h"
#include "hotsync/Padp.h"
#include "hotsync/Tcp.h"

namespace {

using hotsync::ByteWriter;
using Bytes = std::vector<std::uint8_t>;

std::uint32_t Get(const Bytes& in, std::size_t at, std::size_t size)
{
    std::uint32_t value = 0;
    for (std::size_t i = at; i < at + size; ++i) {
        value = (value << 8) | (i < in.size() ? in[i] : 0u);
    }
    return value;
}

std::string CString(const Bytes& in, std::size_t at)
{
    const auto from = in.begin() + static_cast<std::ptrdiff_t>(std::min(at, in.size()));
    return std::string(from, std::find(from, in.end(), 0));
}

Bytes DbInfo(const CPalmDatabase& db, unsigned index)
{
    ByteWriter out;
    out.U8(0).U8(0x80).U16(db.m_attributes).U32(db.m_type).U32(db.m_creator).U16(db.m_version);
    out.U32(db.m_modificationNumber).Bytes(Bytes(24, 0)).U16(static_cast<std::uint16_t>(index)).CString(db.m_name);
    if (out.Data().size() % 2 != 0) {
        out.U8(0);
    }
    out.Data()[0] = static_cast<std::uint8_t>(out.Data().size());
    return std::move(out.Data());
}

hotsync::Deadline Soon()
{
    return hotsync::Deadline::In(std::chrono::seconds(10));
}

// Answers requests until EndOfSync, the link failing, or the handheld vanishing: the line then closes, or
// stays open and silent until the desktop hangs up.
void ServeRequests(FakeHandheld& handheld, hotsync::IPacketLink& link, const std::function<void()>& beforeReply)
{
    while (!handheld.ended && !handheld.Vanished()) {
        Result<Bytes> request = link.Receive(Soon());
        const Bytes reply = request ? handheld.Answer(*request) : Bytes();
        while (request && handheld.Vanished() && handheld.stallWhenGone && link.Receive(Soon())) {
        }
        if (!request || handheld.Vanished() || (beforeReply(), !link.Send(reply, Soon()))) {
            return;
        }
    }
}

// Plays the handheld over a byte stream with NetSync framing (the greeting, the handshake, then every DLP
// request) until EndOfSync, the stream failing, or the handheld vanishing (the stream is then closed).
void ServeNetSync(FakeHandheld& handheld, std::unique_ptr<hotsync::IByteStream> stream)
{
    hotsync::NetSyncLink link(std::move(stream));
    if (!link.Send(Bytes{0x90, 0x01, 0, 0, 0, 0, 0, 0, 0, 0x20, 0, 0, 0, 0x08, 0x02, 0, 0, 0, 0, 0, 0, 0}, Soon())) {
        return;
    }
    // The two handshake exchanges: answer each with its function | 0x80.
    for (int i = 0; i < 2; ++i) {
        Result<Bytes> got = link.Receive(Soon());
        Bytes answer(got && got->size() == 50 ? 50 : 8, 0);
        answer[0] = static_cast<std::uint8_t>(got && !got->empty() ? (*got)[0] | 0x80 : 0);
        if (answer[0] == 0 || !link.Send(answer, Soon())) {
            return;
        }
    }
    ServeRequests(handheld, link, [] {});
}

// The same over the serial link's packets: the wakeup, the desktop's answer, then every DLP request.
void ServeSerial(FakeHandheld& handheld, std::unique_ptr<hotsync::IByteStream> stream)
{
    hotsync::CancelFlag never{false};
    hotsync::padp::Link link(*stream, never);
    // The wakeup (connection protocol 1.1, no speed named) and the desktop's answer, under id 0xFF.
    link.SetNextXid(0xFF);
    if (!link.Send(Bytes{1, 0, 1, 1, 0, 0, 0, 0, 0, 0}, Soon()) || !link.Receive(Soon())) {
        return;
    }
    // Each reply goes under the id of its request; the desktop numbers its requests from 1.
    std::uint8_t xid = 1;
    ServeRequests(handheld, link, [&] {
        link.SetNextXid(xid);
        xid = xid >= 254 ? 1 : static_cast<std::uint8_t>(xid + 1);
    });
}

} // namespace

Bytes FakeHandheld::Answer(const Bytes& request)
{
    const std::uint8_t function = request.empty() ? 0 : request[0];
    requests.push_back(function);
    // The first argument's data, in any of the three forms; every request here has one or none.
    Bytes a;
    if (request.size() > 3 && request[1] > 0) {
        const bool wide = (request[2] & 0xc0) != 0;
        const std::size_t size = (request[2] & 0x40) ? 4 : (request[2] & 0x80) ? 2 : 1;
        const std::size_t at = wide ? 4 + size : 4;
        const std::size_t length = Get(request, wide ? 4 : 3, size);
        a.assign(request.begin() + static_cast<std::ptrdiff_t>(std::min(at, request.size())),
                 request.begin() + static_cast<std::ptrdiff_t>(std::min(at + length, request.size())));
    }
    // A reply: function | 0x80 (or another's, misbehaving), argument count, error code, arguments in the shortest form.
    const auto reply = [&](std::uint16_t error, const std::vector<Bytes>& args = {}) {
        ByteWriter out;
        out.U8(static_cast<std::uint8_t>((answerWrongFunction ? function ^ 0x01 : function) | 0x80));
        out.U8(static_cast<std::uint8_t>(args.size())).U16(error);
        std::uint8_t id = 0x20;
        for (const Bytes& arg : args) {
            if (arg.size() <= 0xff) {
                out.U8(id++).U8(static_cast<std::uint8_t>(arg.size()));
            } else {
                out.U8(static_cast<std::uint8_t>(0x80 | id++)).U8(0).U16(static_cast<std::uint16_t>(arg.size()));
            }
            out.Bytes(arg);
        }
        return std::move(out.Data());
    };
    // The database open under the handle at `at` of the argument.
    const auto open = [&](std::size_t at) -> CPalmDatabase* {
        const auto name = at < a.size() ? m_open.find(a[at]) : m_open.end();
        const auto db = name == m_open.end() ? databases.end() : databases.find(name->second);
        return db == databases.end() ? nullptr : &db->second;
    };
    const auto opened = [&](const std::string& name) {
        m_open[m_nextHandle] = name;
        return reply(0, {{m_nextHandle++}});
    };

    switch (function) {
    case 0x12: // ReadSysInfo: ROM version, then DLP 1.dlpMinor, compatible with 1.0, records up to 64 KB
        return reply(0,
                     {{0x05, 0x40, 0x30, 0x17, 0, 0, 0, 0, 0, 0},
                      ByteWriter().U16(1).U16(dlpMinor).U16(1).U16(0).U32(0xffff).Data()});
    case 0x10: // ReadUserInfo
        return reply(0, {ByteWriter().Bytes(Bytes(28, 0)).U8(7).U8(0).CString("Tester").Data()});
    case 0x2e: // OpenConduit
        return reply(cancelOnConduit ? 0x12 : 0);
    case 0x2f: // EndOfSync
        ended = static_cast<std::uint16_t>(Get(a, 0, 2));
        return reply(0);
    case 0x2a: // AddSyncLogEntry
        log.push_back(CString(a, 0));
        return reply(0);
    case 0x18: { // CreateDB
        const std::string name = CString(a, 14);
        if (databases.contains(name)) {
            return reply(0x09);
        }
        const auto attributes = static_cast<std::uint16_t>(Get(a, 10, 2));
        CPalmDatabase& db = databases[name] = CPalmDatabase(name, Get(a, 0, 4), Get(a, 4, 4), (attributes & 1) != 0, 0);
        db.m_attributes = attributes;
        db.m_version = static_cast<std::uint16_t>(Get(a, 12, 2));
        return opened(name);
    }
    case 0x17: // OpenDB
        return databases.contains(CString(a, 2)) ? opened(CString(a, 2)) : reply(0x05);
    case 0x19: // CloseDB
        return reply(!a.empty() && m_open.erase(a[0]) == 1 ? 0 : 0x06);
    case 0x1a: { // DeleteDB
        const std::string name = CString(a, 2);
        const bool isOpen = std::any_of(m_open.begin(), m_open.end(), [&](const auto& o) { return o.second == name; });
        return reply(isOpen ? 0x07 : databases.erase(name) == 1 ? 0 : 0x05);
    }
    case 0x1c:   // WriteAppBlock
    case 0x1e: { // WriteSortBlock
        CPalmDatabase* db = open(0);
        if (db == nullptr || a.size() < 4) {
            return reply(0x06);
        }
        (function == 0x1c ? db->m_appInfo : db->m_sortInfo).assign(a.begin() + 4, a.end());
        return reply(0);
    }
    case 0x21:   // WriteRecord
    case 0x24: { // WriteResource
        CPalmDatabase* db = open(0);
        const std::size_t header = function == 0x21 ? 8 : 10;
        if (db == nullptr || a.size() < header) {
            return reply(0x06);
        }
        const std::size_t size = // a resource's data is as long as its size field says
            function == 0x21 ? a.size() - header : std::min<std::size_t>(Get(a, 8, 2), a.size() - header);
        if (size > spaceLeft) {
            return reply(0x10);
        }
        spaceLeft -= size;
        CPdbRecord record;
        record.SetData(std::span<const std::uint8_t>(a).subspan(header, size));
        if (function == 0x21) {
            record.m_uniqueId = Get(a, 2, 4) != 0 ? Get(a, 2, 4) : m_nextId++;
            record.m_attributes = static_cast<std::uint8_t>(a[6] | a[7]);
        } else {
            record.m_resourceType = Get(a, 2, 4);
            record.m_resourceId = static_cast<std::uint16_t>(Get(a, 6, 2));
        }
        db->AddRecord(record);
        if (cancelOnRecord) {
            *cancelOnRecord = true;
        }
        return function == 0x21 ? reply(0, {ByteWriter().U32(record.m_uniqueId).Data()}) : reply(0);
    }
    case 0x1b:   // ReadAppBlock
    case 0x1d: { // ReadSortBlock
        const CPalmDatabase* db = open(0);
        if (db == nullptr || (function == 0x1b ? db->m_appInfo : db->m_sortInfo).empty()) {
            return reply(db == nullptr ? 0x06 : 0x05);
        }
        const Bytes& block = function == 0x1b ? db->m_appInfo : db->m_sortInfo;
        return reply(0, {ByteWriter().U16(static_cast<std::uint16_t>(block.size())).Bytes(block).Data()});
    }
    case 0x39: { // FindDB by handle (options, handle)
        const CPalmDatabase* db = open(1);
        if (db == nullptr) {
            return reply(0x05);
        }
        // Card number and such, the database's info, then its record count, sizes and the blocks' sizes.
        ByteWriter sizes;
        sizes.U32(static_cast<std::uint32_t>(db->GetRecordCount())).U32(0).U32(0);
        sizes.U32(static_cast<std::uint32_t>(db->m_appInfo.size()))
            .U32(static_cast<std::uint32_t>(db->m_sortInfo.size()));
        return reply(0, {ByteWriter().Bytes(Bytes(10, 0)).Bytes(DbInfo(*db, 0)).Data(), sizes.Data()});
    }
    case 0x2b: { // ReadOpenDBInfo
        const CPalmDatabase* db = open(0);
        return db == nullptr ? reply(0x06)
                             : reply(0, {ByteWriter().U16(static_cast<std::uint16_t>(db->Records().size())).Data()});
    }
    case 0x20:   // ReadRecord by index
    case 0x23: { // ReadResource by index
        const CPalmDatabase* db = open(0);
        const std::uint32_t index = Get(a, 2, 2);
        if (db == nullptr || index >= db->Records().size()) {
            return reply(db == nullptr ? 0x06 : 0x05);
        }
        const CPdbRecord& record = db->Records()[index];
        const auto at = static_cast<std::uint16_t>(index);
        const auto length = static_cast<std::uint16_t>(record.Length());
        ByteWriter out;
        function == 0x20 ? out.U32(record.m_uniqueId)
                               .U16(at)
                               .U16(length)
                               .U8(record.m_attributes & 0xf0)
                               .U8(record.m_attributes & 0x0f)
                         : out.U32(record.m_resourceType).U16(record.m_resourceId).U16(at).U16(length);
        return reply(0, {out.Bytes(record.Data()).Data()});
    }
    case 0x16: { // ReadDBList
        const std::size_t start = listNeverAdvances ? 0 : Get(a, 2, 2);
        if (start >= databases.size()) {
            return reply(0x05);
        }
        const std::size_t last = std::min(databases.size(), start + 2) - 1;
        ByteWriter page;
        page.U16(static_cast<std::uint16_t>(last)).U8(listNeverAdvances || last + 1 < databases.size() ? 0x80 : 0);
        page.U8(static_cast<std::uint8_t>(last + 1 - start));
        auto db = std::next(databases.begin(), static_cast<std::ptrdiff_t>(start));
        for (std::size_t index = start; index <= last; ++index, ++db) {
            page.Bytes(DbInfo(db->second, static_cast<unsigned>(index)));
        }
        return reply(0, {page.Data()});
    }
    default:
        return reply(0x02);
    }
}

Status FakeHandheld::Send(std::span<const std::uint8_t> message, hotsync::Deadline)
{
    m_reply = Vanished() ? std::nullopt : std::optional(Answer({message.begin(), message.end()}));
    return m_reply ? Status{} : MakeError(ErrorKind::Disconnected, "the handheld closed the connection");
}

Result<std::vector<std::uint8_t>> FakeHandheld::Receive(hotsync::Deadline)
{
    if (Vanished() || !m_reply) {
        return MakeError(ErrorKind::Disconnected, "the handheld closed the connection");
    }
    return *std::exchange(m_reply, std::nullopt);
}

std::uint16_t FreePort()
{
    Result<std::unique_ptr<hotsync::TcpListener>> listener = hotsync::TcpListener::Listen("127.0.0.1", 0);
    return listener ? (*listener)->Port() : 0;
}

std::thread HandheldConnecting(FakeHandheld& handheld, std::uint16_t port, bool serial)
{
    return std::thread([&handheld, port, serial] {
        hotsync::CancelFlag never{false};
        for (int attempt = 0; attempt < 500; ++attempt) {
            Result<std::unique_ptr<hotsync::IByteStream>> stream =
                hotsync::ConnectTcp("127.0.0.1", port, hotsync::Deadline::In(std::chrono::seconds(5)), never);
            if (stream) {
                (serial ? ServeSerial : ServeNetSync)(handheld, std::move(*stream));
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}
