#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hotsync/Dlp.h"
#include "hotsync/Link.h"

namespace hotsync {

// What ReadSysInfo tells about the handheld.
struct SysInfo
{
    std::uint32_t romVersion = 0;
    std::uint16_t dlpMajor = 0; // 0.0 when the handheld does not say (DLP 1.0)
    std::uint16_t dlpMinor = 0;
    std::uint32_t maxRecordSize = 0;

    bool DlpAtLeast(std::uint16_t major, std::uint16_t minor) const
    {
        return dlpMajor > major || (dlpMajor == major && dlpMinor >= minor);
    }
};

struct UserInfo
{
    std::uint32_t userId = 0;
    std::string userName;
};

// One database as the handheld describes it (database list, FindDB). Dates are seconds since 1970 UTC,
// 0 where the handheld gives none.
struct DbInfo
{
    std::uint8_t miscFlags = 0;
    std::uint16_t attributes = 0;
    std::uint32_t type = 0;
    std::uint32_t creator = 0;
    std::uint16_t version = 0;
    std::uint32_t modificationNumber = 0;
    std::uint32_t created = 0;
    std::uint32_t modified = 0;
    std::uint32_t backedUp = 0;
    std::uint16_t index = 0;
    std::string name;
};

// Parses one database description (it starts with its own length); `consumed` is set to that length.
Result<DbInfo> ParseDbInfo(std::span<const std::uint8_t> bytes, std::size_t& consumed);

// One page of the database list.
struct DbListPage
{
    std::uint16_t lastIndex = 0;
    bool more = false;
    std::vector<DbInfo> databases;
};
// Parses the data of a ReadDBList reply's argument.
Result<DbListPage> ParseDbListPage(std::span<const std::uint8_t> data);

// Where ReadDBList looks.
namespace db_list {
inline constexpr std::uint8_t Ram = 0x80;
inline constexpr std::uint8_t Rom = 0x40;
inline constexpr std::uint8_t Multiple = 0x20;
} // namespace db_list

// OpenDB modes.
namespace open_mode {
inline constexpr std::uint8_t Read = 0x80;
inline constexpr std::uint8_t Write = 0x40;
inline constexpr std::uint8_t Secret = 0x10;
} // namespace open_mode

// FindDB by an open handle: the description (when the handheld gives one) and the sizes.
struct OpenDbInfo
{
    std::optional<DbInfo> info;
    std::uint32_t recordCount = 0;
    std::uint32_t appBlockSize = 0;
    std::uint32_t sortBlockSize = 0;
};

struct RecordReply
{
    std::uint32_t uniqueId = 0;
    std::uint16_t index = 0;
    std::uint8_t attributes = 0; // the flags in the high nibble
    std::uint8_t category = 0;
    std::vector<std::uint8_t> data;
};

struct ResourceReply
{
    std::uint32_t type = 0;
    std::uint16_t id = 0;
    std::uint16_t index = 0;
    std::vector<std::uint8_t> data;
};

// Calls DLP functions over a link: each call sends the request, waits for the reply (at most `replyTimeout`,
// cancellable) and decodes it. A reply with an error code becomes an Error whose kind follows the code
// (DlpErrorKind) and whose text names the call and the handheld's words.
class DlpClient
{
public:
    DlpClient(IPacketLink& link, CancelFlag& cancel, std::chrono::milliseconds replyTimeout);

    // The reply whatever its error code; a failed link, a late or foreign reply is an Error.
    Result<DlpReply> Exchange(const DlpRequest& request);
    // The reply when its error code is zero.
    Result<DlpReply> Call(const DlpRequest& request);

    Result<SysInfo> ReadSysInfo();
    Result<UserInfo> ReadUserInfo();
    Status OpenConduit();
    Status EndOfSync(std::uint16_t status);
    Status AddSyncLogEntry(const std::string& text);

    Result<DbListPage> ReadDBList(std::uint8_t where, std::uint16_t startIndex);
    Result<std::uint8_t> OpenDB(const std::string& name, std::uint8_t mode);
    // Creates and opens a database; `attributes` as in the file header.
    Result<std::uint8_t> CreateDB(const std::string& name,
                                  std::uint32_t creator,
                                  std::uint32_t type,
                                  std::uint16_t attributes,
                                  std::uint16_t version);
    Status CloseDB(std::uint8_t handle);
    Status DeleteDB(const std::string& name);
    // `options`: 0x80 the description, 0x40 the sizes, 0x20 the largest record's size as well.
    Result<OpenDbInfo> FindDBByHandle(std::uint8_t handle, std::uint8_t options = 0xc0);
    Result<std::uint16_t> ReadOpenDBInfo(std::uint8_t handle);

    // The whole block, or nullopt when the database has none.
    Result<std::optional<std::vector<std::uint8_t>>> ReadAppBlock(std::uint8_t handle);
    Result<std::optional<std::vector<std::uint8_t>>> ReadSortBlock(std::uint8_t handle);
    Status WriteAppBlock(std::uint8_t handle, std::span<const std::uint8_t> data);
    Status WriteSortBlock(std::uint8_t handle, std::span<const std::uint8_t> data);

    Result<RecordReply> ReadRecordByIndex(std::uint8_t handle, std::uint16_t index);
    Result<ResourceReply> ReadResourceByIndex(std::uint8_t handle, std::uint16_t index);
    // Returns the unique id the handheld gave the record.
    Result<std::uint32_t> WriteRecord(std::uint8_t handle,
                                      std::uint32_t uniqueId,
                                      std::uint8_t attributes,
                                      std::span<const std::uint8_t> data);
    Status WriteResource(std::uint8_t handle, std::uint32_t type, std::uint16_t id, std::span<const std::uint8_t> data);

    CancelFlag& Cancel() { return m_cancel; }
    // False once the link failed under a call (sent nothing, nothing came in time, or what came was no reply to
    // it): the link can then carry no further request. A reply with an error code leaves it usable.
    bool LinkUsable() const { return m_linkUsable; }

    // Runs `work` even when the session was cancelled, for the cleanup that must still reach the handheld:
    // the cancel is set aside meanwhile (it holds again afterwards; a new one ends the work) and every
    // request of the work shares one deadline `limit` from now. Replies left over from the request the
    // cancel interrupted are skipped.
    void RunDespiteCancel(std::chrono::milliseconds limit, const std::function<void()>& work);

private:
    Result<std::optional<std::vector<std::uint8_t>>> ReadBlock(DlpFunction function, std::uint8_t handle);

    IPacketLink& m_link;
    CancelFlag& m_cancel;
    std::chrono::milliseconds m_replyTimeout;
    std::optional<Deadline> m_cleanupDeadline; // set while RunDespiteCancel runs
    bool m_linkUsable = true;
};

} // namespace hotsync
