// Installing, listing and reading databases against a scripted handheld, including the ways a handheld
// refuses or fails.

#include "hotsync/Operations.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeHandheld.h"

using namespace hotsync;

namespace {

CPdbRecord MakeRecord(const std::string& text, std::uint8_t attributes = 0x40, std::uint32_t id = 0)
{
    CPdbRecord record;
    record.SetData(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::uint32_t>(text.size()));
    record.m_attributes = attributes;
    record.m_uniqueId = id;
    return record;
}

CPalmDatabase MakeSongs(const std::string& name, int count, std::size_t size = 10)
{
    CPalmDatabase db(name, MakeFourCC("TuNe"), MakeFourCC("SONG"), false, 1000);
    for (int i = 0; i < count; ++i) {
        db.AddRecord(
            MakeRecord(std::string(size, static_cast<char>('a' + i % 26)), static_cast<std::uint8_t>(0x40 | (i % 3))));
    }
    return db;
}

struct Session
{
    FakeHandheld handheld;
    CancelFlag cancel{false};
    std::vector<std::uint8_t> Functions(std::uint8_t function) const
    {
        std::vector<std::uint8_t> found;
        std::copy_if(handheld.requests.begin(),
                     handheld.requests.end(),
                     std::back_inserter(found),
                     [function](std::uint8_t f) { return f == function; });
        return found;
    }
    Status Run(const SessionWork& work)
    {
        FakeHandheldLink link(handheld);
        return RunSession(link, cancel, SessionOptions{}, work);
    }
    Status Install(const CPalmDatabase& db, bool replace = false)
    {
        return Run([&](DlpClient& dlp, const Handheld& info) -> Result<std::string> {
            Status done = InstallOnHandheld(dlp, info, db, InstallOptions{replace});
            if (!done) {
                return done.error();
            }
            return "Installed " + db.m_name;
        });
    }
};

void ExpectSameRecords(const CPalmDatabase& actual, const CPalmDatabase& expected)
{
    ASSERT_EQ(actual.GetRecordCount(), expected.GetRecordCount());
    for (int i = 0; i < expected.GetRecordCount(); ++i) {
        const CPdbRecord& a = actual.Records()[static_cast<std::size_t>(i)];
        const CPdbRecord& e = expected.Records()[static_cast<std::size_t>(i)];
        EXPECT_TRUE(std::ranges::equal(a.Data(), e.Data())) << "record " << i;
        EXPECT_EQ(a.m_attributes, e.m_attributes) << "record " << i;
        EXPECT_EQ(a.m_resourceType, e.m_resourceType) << "record " << i;
        EXPECT_EQ(a.m_resourceId, e.m_resourceId) << "record " << i;
    }
}

} // namespace

TEST(HotSyncOperations, InstalledDatabasesReadBackTheSame)
{
    Session session;
    CPalmDatabase songs = MakeSongs("Songs", 5);
    songs.m_appInfo = {1, 2, 3, 4};
    songs.m_sortInfo = {9, 8};
    songs.m_version = 3;
    CPalmDatabase resources("Res", MakeFourCC("TuNe"), MakeFourCC("appl"), true, 1000);
    CPdbRecord resource = MakeRecord("code bytes", 0);
    resource.m_resourceType = MakeFourCC("code");
    resource.m_resourceId = 7;
    resources.AddRecord(resource);

    std::vector<Progress> steps;
    std::optional<CPalmDatabase> readSongs;
    std::optional<CPalmDatabase> readResources;
    const Status done = session.Run([&](DlpClient& dlp, const Handheld& info) -> Result<std::string> {
        for (const CPalmDatabase* db : {&songs, &resources}) {
            if (Status installed =
                    InstallOnHandheld(dlp, info, *db, {}, [&](const Progress& p) { steps.push_back(p); });
                !installed) {
                return installed.error();
            }
        }
        Result<CPalmDatabase> a = ReadFromHandheld(dlp, info, "Songs");
        Result<CPalmDatabase> b = ReadFromHandheld(dlp, info, "Res");
        if (!a || !b) {
            return MakeError(ErrorKind::Protocol, "read back failed");
        }
        readSongs = std::move(*a);
        readResources = std::move(*b);
        return std::string("Installed Songs, Res");
    });
    ASSERT_TRUE(done) << done.error().text;
    ASSERT_TRUE(readSongs && readResources);
    ExpectSameRecords(*readSongs, songs);
    ExpectSameRecords(*readResources, resources);
    EXPECT_EQ(readSongs->m_appInfo, songs.m_appInfo);
    EXPECT_EQ(readSongs->m_sortInfo, songs.m_sortInfo);
    EXPECT_EQ(readSongs->m_creator, MakeFourCC("TuNe"));
    EXPECT_EQ(readSongs->m_type, MakeFourCC("SONG"));
    EXPECT_EQ(readSongs->m_version, 3);
    EXPECT_TRUE(readResources->m_isResourceDb);
    // The handheld gave the records their ids.
    EXPECT_NE(readSongs->Records()[0].m_uniqueId, 0u);
    // One log line, then the end of the sync.
    EXPECT_EQ(session.handheld.log, std::vector<std::string>{"Installed Songs, Res\n"});
    EXPECT_TRUE(session.handheld.ended);
    EXPECT_EQ(session.handheld.requests.back(), 0x2f);
    // Record 0 of 5 first, then each record; the same for the resource database.
    ASSERT_EQ(steps.size(), 8u);
    EXPECT_EQ(steps[0].database, "Songs");
    EXPECT_EQ(steps[0].record, 0);
    EXPECT_EQ(steps[5].record, 5);
    EXPECT_EQ(steps[5].records, 5);
    EXPECT_EQ(steps[7].database, "Res");
}

TEST(HotSyncOperations, ADatabaseOfTheSameNameIsKeptUnlessReplacing)
{
    Session session;
    session.handheld.databases["Songs"] = MakeSongs("Songs", 2);
    const Status kept = session.Install(MakeSongs("Songs", 4));
    ASSERT_FALSE(kept);
    EXPECT_EQ(kept.error().kind, ErrorKind::Exists);
    EXPECT_NE(kept.error().text.find("\"Songs\" is already on the handheld"), std::string::npos) << kept.error().text;
    EXPECT_EQ(session.handheld.databases.at("Songs").GetRecordCount(), 2);
    EXPECT_TRUE(session.Functions(0x1a).empty()) << "nothing may be deleted without replacing";
    EXPECT_TRUE(session.handheld.log.empty());
    EXPECT_TRUE(session.handheld.ended);

    Session replacing;
    replacing.handheld.databases["Songs"] = MakeSongs("Songs", 2);
    const Status replaced = replacing.Install(MakeSongs("Songs", 4), true);
    ASSERT_TRUE(replaced) << replaced.error().text;
    EXPECT_EQ(replacing.handheld.databases.at("Songs").GetRecordCount(), 4);

    // Replacing a database that is not there is a plain install.
    Session fresh;
    ASSERT_TRUE(fresh.Install(MakeSongs("Songs", 1), true));
    EXPECT_EQ(fresh.handheld.databases.at("Songs").GetRecordCount(), 1);
}

TEST(HotSyncOperations, AFailedInstallLeavesNoHalfDatabase)
{
    struct Case
    {
        const char* what;
        std::size_t spaceLeft;
        ErrorKind kind;
    };
    for (const Case& c : {Case{"no space for the third record", 25, ErrorKind::NoSpace},
                          Case{"no space for the first record", 0, ErrorKind::NoSpace}}) {
        SCOPED_TRACE(c.what);
        Session session;
        session.handheld.spaceLeft = c.spaceLeft;
        const Status result = session.Install(MakeSongs("Songs", 5));
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, c.kind);
        EXPECT_NE(result.error().text.find("not enough space"), std::string::npos) << result.error().text;
        EXPECT_EQ(session.handheld.databases.count("Songs"), 0u) << "the half database stayed";
        EXPECT_TRUE(session.handheld.ended) << "the sync was not ended";
    }
}

TEST(HotSyncOperations, ACancelledInstallStillDeletesTheHalfDatabase)
{
    Session session;
    session.handheld.cancelOnRecord = &session.cancel;
    const Status result = session.Install(MakeSongs("Songs", 5));
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, ErrorKind::Cancelled);
    EXPECT_EQ(session.handheld.databases.count("Songs"), 0u) << "the half database stayed";
    EXPECT_EQ(session.handheld.requests.back(), 0x1a) << "the session ends with the cleanup's DeleteDB";
    EXPECT_TRUE(session.cancel.load()) << "the cancel holds after the cleanup";
}

TEST(HotSyncOperations, HandheldFailuresEndTheSessionWithTheirReason)
{
    {
        Session session;
        session.handheld.cancelOnConduit = true;
        const Status result = session.Install(MakeSongs("Songs", 2));
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, ErrorKind::Cancelled);
        EXPECT_NE(result.error().text.find("cancelled on the handheld"), std::string::npos);
        EXPECT_TRUE(session.Functions(0x18).empty());
    }
    {
        // A handheld that hangs up on receiving the end of the sync, before answering it, synced fine.
        Session session;
        session.handheld.vanishAfter = 3;
        const Status result =
            session.Run([](DlpClient&, const Handheld&) -> Result<std::string> { return std::string(); });
        EXPECT_TRUE(result) << result.error().text;
        EXPECT_EQ(session.handheld.requests.back(), 0x2f);
    }
    {
        Session session;
        session.handheld.answerWrongFunction = true;
        const Status result = session.Install(MakeSongs("Songs", 1));
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error().kind, ErrorKind::Protocol);
        EXPECT_EQ(session.handheld.requests.size(), 1u);
    }
}

TEST(HotSyncOperations, LargeRecordsAreRefusedBeforeTouchingAnOlderHandheld)
{
    for (const bool old : {true, false}) {
        SCOPED_TRACE(old ? "DLP 1.2" : "DLP 1.4");
        Session session;
        session.handheld.dlpMinor = old ? 2 : 4;
        CPalmDatabase db = MakeSongs("Big", 1);
        db.AddRecord(MakeRecord(std::string(kMaxRecordBeforeDlp14 + 1, 'x')));
        const Status result = session.Install(db);
        if (old) {
            ASSERT_FALSE(result);
            EXPECT_EQ(result.error().kind, ErrorKind::TooLarge);
            EXPECT_NE(result.error().text.find("record 2"), std::string::npos) << result.error().text;
            EXPECT_TRUE(session.Functions(0x2e).empty()) << "the handheld was touched";
        } else {
            ASSERT_TRUE(result) << result.error().text;
            EXPECT_EQ(session.handheld.databases.at("Big").GetRecordCount(), 2);
        }
    }
    // The largest record an older handheld takes goes through.
    Session session;
    session.handheld.dlpMinor = 2;
    CPalmDatabase db("Edge", 1, 2, false, 0);
    db.AddRecord(MakeRecord(std::string(kMaxRecordBeforeDlp14, 'y')));
    EXPECT_TRUE(session.Install(db));
}

TEST(HotSyncOperations, DatabaseListsArePagedAndBounded)
{
    Session session;
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g"}) {
        session.handheld.databases[name] = MakeSongs(name, 0);
    }
    std::vector<std::string> names;
    ASSERT_TRUE(session.Run([&](DlpClient& dlp, const Handheld&) -> Result<std::string> {
        Result<std::vector<DbInfo>> list = ListDatabases(dlp);
        if (!list) {
            return list.error();
        }
        for (const DbInfo& info : *list) {
            names.push_back(info.name);
        }
        return std::string();
    }));
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(session.Functions(0x16).size(), 3u);

    Session stuck;
    for (const char* name : {"a", "b", "c", "d"}) {
        stuck.handheld.databases[name] = MakeSongs(name, 0);
    }
    stuck.handheld.listNeverAdvances = true;
    const Status result = stuck.Run([](DlpClient& dlp, const Handheld&) -> Result<std::string> {
        Result<std::vector<DbInfo>> list = ListDatabases(dlp);
        if (!list) {
            return list.error();
        }
        return std::string();
    });
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error().kind, ErrorKind::Protocol);
    EXPECT_EQ(stuck.Functions(0x16).size(), 2u);
}

TEST(HotSyncOperations, OldHandheldsAreReadWithoutFindDBAndDeletedRecordsLeftOut)
{
    Session session;
    session.handheld.dlpMinor = 1;
    CPalmDatabase songs = MakeSongs("Songs", 3);
    session.handheld.databases["Songs"] = songs;
    // A record deleted on the handheld is no longer part of the database.
    session.handheld.databases["Songs"].AddRecord(MakeRecord("gone", 0x80));
    std::optional<CPalmDatabase> read;
    ASSERT_TRUE(session.Run([&](DlpClient& dlp, const Handheld& info) -> Result<std::string> {
        Result<CPalmDatabase> db = ReadFromHandheld(dlp, info, "Songs");
        if (!db) {
            return db.error();
        }
        read = std::move(*db);
        return std::string();
    }));
    ASSERT_TRUE(read);
    ExpectSameRecords(*read, songs);
    EXPECT_TRUE(session.Functions(0x39).empty());
    EXPECT_EQ(session.Functions(0x2b).size(), 1u);
}
