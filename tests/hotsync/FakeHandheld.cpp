#include "FakeHandheld.h"

#include <algorithm>
#include <functional>

#include "hotsync/Padp.h"
#include "hotsync/Tcp.h"

namespace {

void Put16(std::vector<std::uint8_t>& out, unsigned value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}
void Put32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    Put16(out, value >> 16);
    Put16(out, value & 0xffff);
}
unsigned Get16(const std::vector<std::uint8_t>& in, std::size_t at)
{
    return at + 2 <= in.size() ? (unsigned{in[at]} << 8) | in[at + 1] : 0;
}
std::uint32_t Get32(const std::vector<std::uint8_t>& in, std::size_t at)
{
    return (std::uint32_t{Get16(in, at)} << 16) | Get16(in, at + 2);
}
std::string CString(const std::vector<std::uint8_t>& in, std::size_t at)
{
    std::string text;
    while (at < in.size() && in[at] != 0) {
        text.push_back(static_cast<char>(in[at++]));
    }
    return text;
}

// A reply: function | 0x80, argument count, error code, arguments in the shortest form.
std::vector<std::uint8_t>
Reply(std::uint8_t function, std::uint16_t error, const std::vector<std::vector<std::uint8_t>>& args = {})
{
    std::vector<std::uint8_t> out{static_cast<std::uint8_t>(function | 0x80), static_cast<std::uint8_t>(args.size())};
    Put16(out, error);
    std::uint8_t id = 0x20;
    for (const auto& arg : args) {
        if (arg.size() <= 0xff) {
            out.push_back(id);
            out.push_back(static_cast<std::uint8_t>(arg.size()));
        } else {
            out.push_back(static_cast<std::uint8_t>(id | 0x80));
            out.push_back(0);
            Put16(out, static_cast<unsigned>(arg.size()));
        }
        out.insert(out.end(), arg.begin(), arg.end());
        ++id;
    }
    return out;
}

std::vector<std::uint8_t> DbInfo(const CPalmDatabase& db, unsigned index)
{
    std::vector<std::uint8_t> out{0, 0x80};
    Put16(out, db.m_attributes);
    Put32(out, db.m_type);
    Put32(out, db.m_creator);
    Put16(out, db.m_version);
    Put32(out, db.m_modificationNumber);
    out.insert(out.end(), 24, 0); // no dates
    Put16(out, index);
    out.insert(out.end(), db.m_name.begin(), db.m_name.end());
    out.push_back(0);
    if (out.size() % 2 != 0) {
        out.push_back(0);
    }
    out[0] = static_cast<std::uint8_t>(out.size());
    return out;
}

} // namespace

std::vector<std::uint8_t> FakeHandheld::Answer(const std::vector<std::uint8_t>& request)
{
    const std::uint8_t function = request.empty() ? 0 : request[0];
    requests.push_back(function);
    // The arguments, in any of the three forms.
    std::vector<Arg> args;
    for (std::size_t at = 2, n = 0; n < (request.size() > 1 ? request[1] : 0u) && at < request.size(); ++n) {
        std::size_t length = 0;
        const std::uint8_t id = request[at] & 0x3f;
        if ((request[at] & 0x40) != 0) {
            length = Get32(request, at + 2);
            at += 6;
        } else if ((request[at] & 0x80) != 0) {
            length = Get16(request, at + 2);
            at += 4;
        } else {
            length = at + 1 < request.size() ? request[at + 1] : 0;
            at += 2;
        }
        const std::size_t end = std::min(request.size(), at + length);
        args.push_back(
            {id,
             {request.begin() + static_cast<std::ptrdiff_t>(at), request.begin() + static_cast<std::ptrdiff_t>(end)}});
        at = end;
    }
    const std::vector<std::uint8_t> none;
    const std::vector<std::uint8_t>& a = args.empty() ? none : args[0].data;
    const std::uint8_t replyFunction = answerWrongFunction ? static_cast<std::uint8_t>(function ^ 0x01) : function;
    const auto handleName = [&](std::uint8_t handle) -> CPalmDatabase* {
        const auto open = m_open.find(handle);
        if (open == m_open.end()) {
            return nullptr;
        }
        const auto db = databases.find(open->second);
        return db == databases.end() ? nullptr : &db->second;
    };

    switch (function) {
    case 0x12: { // ReadSysInfo
        std::vector<std::uint8_t> first;
        Put32(first, 0x05403017);
        Put32(first, 0);
        first.push_back(0);
        first.push_back(0);
        std::vector<std::uint8_t> second;
        Put16(second, dlpMajor);
        Put16(second, dlpMinor);
        Put16(second, 1);
        Put16(second, 0);
        Put32(second, 0xffff);
        return Reply(replyFunction, 0, {first, second});
    }
    case 0x10: { // ReadUserInfo
        std::vector<std::uint8_t> user(28, 0);
        const std::string name = "Tester";
        user.push_back(static_cast<std::uint8_t>(name.size() + 1));
        user.push_back(0);
        user.insert(user.end(), name.begin(), name.end());
        user.push_back(0);
        return Reply(replyFunction, 0, {user});
    }
    case 0x2e: // OpenConduit
        return Reply(replyFunction, cancelOnConduit ? 0x12 : 0);
    case 0x2f: // EndOfSync
        ended = true;
        return Reply(replyFunction, 0);
    case 0x2a: // AddSyncLogEntry
        log.push_back(CString(a, 0));
        return Reply(replyFunction, 0);
    case 0x18: { // CreateDB
        const std::string name = CString(a, 14);
        if (databases.count(name) != 0) {
            return Reply(replyFunction, 0x09);
        }
        const std::uint16_t attributes = static_cast<std::uint16_t>(Get16(a, 10));
        CPalmDatabase db(name, Get32(a, 0), Get32(a, 4), (attributes & 1) != 0, 0);
        db.m_attributes = attributes;
        db.m_version = static_cast<std::uint16_t>(Get16(a, 12));
        databases[name] = db;
        m_open[m_nextHandle] = name;
        return Reply(replyFunction, 0, {{m_nextHandle++}});
    }
    case 0x17: { // OpenDB
        const std::string name = CString(a, 2);
        if (databases.count(name) == 0) {
            return Reply(replyFunction, 0x05);
        }
        m_open[m_nextHandle] = name;
        return Reply(replyFunction, 0, {{m_nextHandle++}});
    }
    case 0x19: // CloseDB
        return Reply(replyFunction, !a.empty() && m_open.erase(a[0]) == 1 ? 0 : 0x06);
    case 0x1a: { // DeleteDB
        const std::string name = CString(a, 2);
        for (const auto& [handle, open] : m_open) {
            if (open == name) {
                return Reply(replyFunction, 0x07); // open
            }
        }
        return Reply(replyFunction, databases.erase(name) == 1 ? 0 : 0x05);
    }
    case 0x1c:   // WriteAppBlock
    case 0x1e: { // WriteSortBlock
        CPalmDatabase* db = a.empty() ? nullptr : handleName(a[0]);
        if (db == nullptr) {
            return Reply(replyFunction, 0x06);
        }
        std::vector<std::uint8_t> block(a.begin() + std::min<std::ptrdiff_t>(4, static_cast<std::ptrdiff_t>(a.size())),
                                        a.end());
        (function == 0x1c ? db->m_appInfo : db->m_sortInfo) = std::move(block);
        return Reply(replyFunction, 0);
    }
    case 0x21:   // WriteRecord
    case 0x24: { // WriteResource
        CPalmDatabase* db = a.empty() ? nullptr : handleName(a[0]);
        if (db == nullptr) {
            return Reply(replyFunction, 0x06);
        }
        const std::size_t header = function == 0x21 ? 8 : 10;
        if (a.size() < header) {
            return Reply(replyFunction, 0x04);
        }
        const std::size_t size = a.size() - header;
        if (size > spaceLeft) {
            return Reply(replyFunction, 0x10);
        }
        spaceLeft -= size;
        CPdbRecord record;
        record.SetData(std::span<const std::uint8_t>(a).subspan(header));
        std::uint32_t id = 0;
        if (function == 0x21) {
            id = Get32(a, 2) != 0 ? Get32(a, 2) : m_nextId++;
            record.m_uniqueId = id;
            record.m_attributes = static_cast<std::uint8_t>(a[6] | a[7]);
        } else {
            record.m_resourceType = Get32(a, 2);
            record.m_resourceId = static_cast<std::uint16_t>(Get16(a, 6));
        }
        db->AddRecord(std::move(record));
        if (cancelOnRecord != nullptr) {
            cancelOnRecord->store(true);
        }
        if (function == 0x21) {
            std::vector<std::uint8_t> given;
            Put32(given, id);
            return Reply(replyFunction, 0, {given});
        }
        return Reply(replyFunction, 0);
    }
    case 0x1b:   // ReadAppBlock
    case 0x1d: { // ReadSortBlock
        CPalmDatabase* db = a.empty() ? nullptr : handleName(a[0]);
        if (db == nullptr) {
            return Reply(replyFunction, 0x06);
        }
        const std::vector<std::uint8_t>& block = function == 0x1b ? db->m_appInfo : db->m_sortInfo;
        if (block.empty()) {
            return Reply(replyFunction, 0x05);
        }
        std::vector<std::uint8_t> out;
        Put16(out, static_cast<unsigned>(block.size()));
        out.insert(out.end(), block.begin(), block.end());
        return Reply(replyFunction, 0, {out});
    }
    case 0x39: { // FindDB by handle (argument 0x21: options, handle)
        const std::vector<std::uint8_t>& b = args.empty() ? none : args[0].data;
        CPalmDatabase* db = b.size() < 2 ? nullptr : handleName(b[1]);
        if (db == nullptr) {
            return Reply(replyFunction, 0x05);
        }
        std::vector<std::uint8_t> first(10, 0);
        const auto info = DbInfo(*db, 0);
        first.insert(first.end(), info.begin(), info.end());
        std::vector<std::uint8_t> sizes;
        Put32(sizes, static_cast<std::uint32_t>(db->GetRecordCount()));
        Put32(sizes, 0);
        Put32(sizes, 0);
        Put32(sizes, static_cast<std::uint32_t>(db->m_appInfo.size()));
        Put32(sizes, static_cast<std::uint32_t>(db->m_sortInfo.size()));
        return Reply(replyFunction, 0, {first, sizes});
    }
    case 0x2b: { // ReadOpenDBInfo
        CPalmDatabase* db = a.empty() ? nullptr : handleName(a[0]);
        if (db == nullptr) {
            return Reply(replyFunction, 0x06);
        }
        std::vector<std::uint8_t> count;
        Put16(count, static_cast<unsigned>(db->GetRecordCount()));
        return Reply(replyFunction, 0, {count});
    }
    case 0x20:   // ReadRecord by index (argument 0x21)
    case 0x23: { // ReadResource by index
        const std::vector<std::uint8_t>& b = args.empty() ? none : args[0].data;
        CPalmDatabase* db = b.empty() ? nullptr : handleName(b[0]);
        if (db == nullptr) {
            return Reply(replyFunction, 0x06);
        }
        const unsigned index = Get16(b, 2);
        if (index >= static_cast<unsigned>(db->GetRecordCount())) {
            return Reply(replyFunction, 0x05);
        }
        const CPdbRecord& record = db->Records()[index];
        std::vector<std::uint8_t> out;
        if (function == 0x20) {
            Put32(out, record.m_uniqueId);
            Put16(out, index);
            Put16(out, record.Length());
            out.push_back(record.m_attributes & 0xf0);
            out.push_back(record.m_attributes & 0x0f);
        } else {
            Put32(out, record.m_resourceType);
            Put16(out, record.m_resourceId);
            Put16(out, index);
            Put16(out, record.Length());
        }
        out.insert(out.end(), record.Data().begin(), record.Data().end());
        return Reply(replyFunction, 0, {out});
    }
    case 0x16: { // ReadDBList
        const unsigned start = listNeverAdvances ? 0 : Get16(a, 2);
        if (start >= databases.size()) {
            return Reply(replyFunction, 0x05);
        }
        std::vector<std::uint8_t> page;
        const unsigned last = static_cast<unsigned>(std::min(databases.size(), start + listPageSize)) - 1;
        Put16(page, last);
        page.push_back(listNeverAdvances || last + 1 < databases.size() ? 0x80 : 0);
        page.push_back(static_cast<std::uint8_t>(last + 1 - start));
        unsigned index = 0;
        for (const auto& [name, db] : databases) {
            if (index >= start && index <= last) {
                const auto info = DbInfo(db, index);
                page.insert(page.end(), info.begin(), info.end());
            }
            ++index;
        }
        return Reply(replyFunction, 0, {page});
    }
    default:
        return Reply(replyFunction, 0x02);
    }
}

Status FakeHandheldLink::Send(std::span<const std::uint8_t> message, hotsync::Deadline)
{
    if (m_handheld.Vanished()) {
        return MakeError(ErrorKind::Disconnected, "the handheld closed the connection");
    }
    m_replies.push_back(m_handheld.Answer({message.begin(), message.end()}));
    return {};
}

Result<std::vector<std::uint8_t>> FakeHandheldLink::Receive(hotsync::Deadline)
{
    if (m_handheld.Vanished() || m_replies.empty()) {
        return MakeError(ErrorKind::Disconnected, "the handheld closed the connection");
    }
    std::vector<std::uint8_t> reply = std::move(m_replies.front());
    m_replies.pop_front();
    return reply;
}

std::vector<std::uint8_t> NetSyncGreeting()
{
    return {0x90, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x20, 0x00,
            0x00, 0x00, 0x08, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
}

namespace {

void ServeRequests(FakeHandheld& handheld, hotsync::IPacketLink& link, const std::function<void()>& beforeReply)
{
    const auto deadline = [] { return hotsync::Deadline::In(std::chrono::seconds(10)); };
    while (!handheld.ended && !handheld.Vanished()) {
        Result<std::vector<std::uint8_t>> request = link.Receive(deadline());
        if (!request) {
            return;
        }
        std::vector<std::uint8_t> reply = handheld.Answer(*request);
        if (handheld.Vanished()) {
            // Gone before answering: the line closes, or stays open and silent until the desktop hangs up.
            while (handheld.stallWhenGone && link.Receive(deadline())) {
            }
            return;
        }
        if (beforeReply) {
            beforeReply();
        }
        if (!link.Send(reply, deadline())) {
            return;
        }
    }
}

} // namespace

void ServeNetSync(FakeHandheld& handheld, std::unique_ptr<hotsync::IByteStream> stream)
{
    hotsync::NetSyncLink link(std::move(stream));
    const auto deadline = [] { return hotsync::Deadline::In(std::chrono::seconds(10)); };
    if (!link.Send(NetSyncGreeting(), deadline())) {
        return;
    }
    // The two handshake exchanges: answer each with its function | 0x80.
    for (int i = 0; i < 2; ++i) {
        Result<std::vector<std::uint8_t>> got = link.Receive(deadline());
        if (!got || got->empty()) {
            return;
        }
        std::vector<std::uint8_t> answer(got->size() == 50 ? 50 : 8, 0);
        answer[0] = static_cast<std::uint8_t>((*got)[0] | 0x80);
        if (!link.Send(answer, deadline())) {
            return;
        }
    }
    ServeRequests(handheld, link, {});
}

void ServeSerial(FakeHandheld& handheld, std::unique_ptr<hotsync::IByteStream> stream)
{
    hotsync::CancelFlag never{false};
    hotsync::padp::Link link(*stream, never);
    const auto deadline = [] { return hotsync::Deadline::In(std::chrono::seconds(10)); };
    // The wakeup (connection protocol 1.1, no speed named) and the desktop's answer, under id 0xFF.
    link.SetNextXid(0xFF);
    if (!link.Send(std::vector<std::uint8_t>{1, 0, 1, 1, 0, 0, 0, 0, 0, 0}, deadline()) || !link.Receive(deadline())) {
        return;
    }
    // Each reply goes under the id of its request; the desktop numbers its requests from 1.
    std::uint8_t xid = 1;
    ServeRequests(handheld, link, [&] {
        link.SetNextXid(xid);
        xid = xid >= 254 ? 1 : static_cast<std::uint8_t>(xid + 1);
    });
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
