// Installing, listing and reading databases against a scripted handheld, and the ways a handheld refuses or fails.

#include "hotsync/Operations.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "FakeHandheld.h"

using namespace hotsync;
using Bytes = std::vector<std::uint8_t>;

namespace {

CPdbRecord MakeRecord(const std::string& text, std::uint8_t attributes = 0x40)
{
    CPdbRecord record;
    record.SetData(reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::uint32_t>(text.size()));
    record.m_attributes = attributes;
    return record;
}

CPalmDatabase MakeSongs(const std::string& name, int count)
{
    CPalmDatabase db(name, MakeFourCC("TuNe"), MakeFourCC("SONG"), false, 1000);
    for (int i = 0; i < count; ++i) {
        db.AddRecord(MakeRecord(std::string(10, static_cast<char>('a' + i)), static_cast<std::uint8_t>(0x40 | i % 3)));
    }
    return db;
}

std::size_t Asked(const FakeHandheld& handheld, std::uint8_t function)
{
    return static_cast<std::size_t>(std::count(handheld.requests.begin(), handheld.requests.end(), function));
}

} // namespace

// Installed, then read back by DLP 1.4 and by an older handheld without FindDB; a record deleted meanwhile is left out.
TEST(HotSyncOperations, InstalledDatabasesReadBackTheSame)
{
    CancelFlag cancel{false};
    CPalmDatabase songs = MakeSongs("Songs", 5);
    songs.m_appInfo = {1, 2, 3, 4};
    songs.m_sortInfo = {9, 8};
    songs.m_version = 3;
    CPalmDatabase resources("Res", MakeFourCC("TuNe"), MakeFourCC("appl"), true, 1000);
    CPdbRecord resource = MakeRecord("code bytes", 0);
    resource.m_resourceType = MakeFourCC("code");
    resource.m_resourceId = 7;
    resources.AddRecord(resource);
    for (const int minor : {4, 1}) {
        SCOPED_TRACE(minor);
        FakeHandheld handheld;
        handheld.dlpMinor = static_cast<std::uint16_t>(minor);
        std::vector<Progress> steps;
        const Status done = RunSession(handheld, cancel, {}, [&](DlpClient& dlp, const Handheld& info) {
            const auto step = [&](const Progress& p) { steps.push_back(p); };
            const Status installed = InstallOnHandheld(dlp, info, songs, {}, step);
            return Done(installed ? InstallOnHandheld(dlp, info, resources, {}, step) : installed,
                        "Installed Songs, Res");
        });
        ASSERT_TRUE(done) << done.error().text;
        EXPECT_EQ(handheld.log, std::vector<std::string>{"Installed Songs, Res\n"});
        EXPECT_EQ(handheld.requests.back(), 0x2f);
        // Record 0 of 5 first, then each record; the same for the resource database.
        ASSERT_EQ(steps.size(), 8u);
        EXPECT_EQ(
            std::make_tuple(steps[0].database, steps[0].record, steps[5].record, steps[5].records, steps[7].database),
            std::make_tuple(std::string("Songs"), 0, 5, 5, std::string("Res")));

        handheld.databases["Songs"].AddRecord(MakeRecord("gone", 0x80));
        handheld.requests.clear();
        handheld.ended.reset();
        std::optional<CPalmDatabase> read[2];
        // An old handheld's databases are described by the database list.
        const Status readBack = RunSession(handheld, cancel, {}, [&](DlpClient& dlp, const Handheld& info) {
            Result<std::vector<DbInfo>> list = ListDatabases(dlp);
            for (const DbInfo& db : list ? *list : std::vector<DbInfo>()) {
                Result<CPalmDatabase> one = ReadFromHandheld(dlp, info, db.name, {}, minor == 1 ? &db : nullptr);
                if (!one) {
                    return Done(one);
                }
                read[db.name == "Res"] = std::move(*one);
            }
            return Done(list);
        });
        ASSERT_TRUE(readBack) << readBack.error().text;
        ASSERT_TRUE(read[0] && read[1]);
        EXPECT_EQ(Records(*read[0]), Records(songs));
        EXPECT_EQ(Records(*read[1]), Records(resources));
        EXPECT_EQ(
            std::tie(read[0]->m_appInfo, read[0]->m_sortInfo, read[0]->m_creator, read[0]->m_type, read[0]->m_version),
            std::tie(songs.m_appInfo, songs.m_sortInfo, songs.m_creator, songs.m_type, songs.m_version));
        EXPECT_TRUE(read[1]->m_isResourceDb);
        EXPECT_NE(read[0]->Records()[0].m_uniqueId, 0u) << "the handheld gives the records their ids";
        EXPECT_EQ(std::tuple(Asked(handheld, 0x39), Asked(handheld, 0x2b)),
                  minor == 1 ? std::tuple(0u, 2u) : std::tuple(2u, 0u));
    }
}

// Installs "Songs" of five records against a handheld that each case sets up.
TEST(HotSyncOperations, InstallsSucceedOrFailWithTheirReasonAndLeaveNoHalfDatabase)
{
    enum Twist
    {
        Plain,
        Existing,       // a "Songs" of two records is there
        SpaceLeft,      // record bytes the handheld takes: `value`
        DesktopCancel,  // the desktop's user cancels as the first record arrives
        HandheldCancel, // OpenConduit answers that the user cancelled
        WrongFunction,  // every reply names another function
        ExtraRecord,    // a sixth record of `value` bytes; DLP 1.2, or 1.4 past `big`
        HangUp,         // the handheld goes away on request `value`, before answering it
    };
    struct Case
    {
        const char* what;
        Twist twist;
        std::size_t value;
        bool replace;
        std::optional<ErrorKind> failure;
        const char* text;      // in the error's text
        int recordsLeft;       // of "Songs" on the handheld afterwards; -1: none there
        std::uint8_t notAsked; // a function that must not have been asked for (0: none)
        std::uint8_t last;     // the last function asked for
    };
    const std::size_t big = kMaxRecordBeforeDlp14 + 1;
    const Case cases[] = {
        {"kept", Existing, 0, false, ErrorKind::Exists, "\"Songs\" is already on the handheld", 2, 0x1a, 0x2f},
        {"replaced", Existing, 0, true, std::nullopt, "", 5, 0, 0x2f},
        {"replacing what is not there", Plain, 0, true, std::nullopt, "", 5, 0, 0x2f},
        {"no space for the third record", SpaceLeft, 25, false, ErrorKind::NoSpace, "not enough space", -1, 0, 0x2f},
        {"no space for the first record", SpaceLeft, 0, false, ErrorKind::NoSpace, "not enough space", -1, 0, 0x2f},
        {"the desktop's user cancels", DesktopCancel, 0, false, ErrorKind::Cancelled, "cancelled", -1, 0, 0x1a},
        {"handheld cancels", HandheldCancel, 0, false, ErrorKind::Cancelled, "on the handheld", -1, 0x18, 0x2f},
        {"a reply to another function", WrongFunction, 0, false, ErrorKind::Protocol, "answered", -1, 0x10, 0x12},
        {"a record too large for DLP 1.2", ExtraRecord, big, false, ErrorKind::TooLarge, "record 6", -1, 0x2e, 0x2f},
        {"the largest record DLP 1.2 takes", ExtraRecord, big - 1, false, std::nullopt, "", 6, 0, 0x2f},
        {"a large record on DLP 1.4", ExtraRecord, big + 4, false, std::nullopt, "", 6, 0, 0x2f},
        {"a hang-up on the end of the sync is no failure", HangUp, 12, false, std::nullopt, "", 5, 0, 0x2f},
        {"a hang-up on the second record", HangUp, 6, false, ErrorKind::Disconnected, "closed", 2, 0, 0x21},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeHandheld handheld;
        CancelFlag cancel{false};
        CPalmDatabase db = MakeSongs("Songs", 5);
        if (c.twist == Existing) {
            handheld.databases["Songs"] = MakeSongs("Songs", 2);
        }
        handheld.spaceLeft = c.twist == SpaceLeft ? c.value : SIZE_MAX;
        handheld.cancelOnRecord = c.twist == DesktopCancel ? &cancel : nullptr;
        handheld.cancelOnConduit = c.twist == HandheldCancel;
        handheld.answerWrongFunction = c.twist == WrongFunction;
        handheld.vanishAfter = c.twist == HangUp ? std::optional(c.value) : std::nullopt;
        if (c.twist == ExtraRecord) {
            handheld.dlpMinor = c.value > big ? 4 : 2;
            db.AddRecord(MakeRecord(std::string(c.value, 'x')));
        }
        const Status result = RunSession(handheld, cancel, {}, [&](DlpClient& dlp, const Handheld& info) {
            return Done(InstallOnHandheld(dlp, info, db, InstallOptions{c.replace}), "Installed Songs");
        });
        EXPECT_EQ(Failure(result), c.failure);
        EXPECT_NE((result ? "" : result.error().text).find(c.text), std::string::npos) << result.error().text;
        const auto songs = handheld.databases.find("Songs");
        EXPECT_EQ(songs == handheld.databases.end() ? -1 : songs->second.GetRecordCount(), c.recordsLeft);
        ASSERT_FALSE(handheld.requests.empty());
        EXPECT_EQ(std::tuple(Asked(handheld, c.notAsked), handheld.requests.back(), handheld.log.size()),
                  std::tuple(0u, c.last, result ? 1u : 0u));
        EXPECT_EQ(cancel.load(), handheld.cancelOnRecord != nullptr) << "a cancel holds after the cleanup";
        // The handheld is told why the sync ended: done, cancelled by its user, or another failure.
        if (handheld.ended) {
            EXPECT_EQ(*handheld.ended, !c.failure ? 0 : c.failure == ErrorKind::Cancelled ? 2 : 3);
        }
    }
}

TEST(HotSyncOperations, DatabaseListsArePagedAndBounded)
{
    for (const bool stuck : {false, true}) {
        SCOPED_TRACE(stuck ? "never advances" : "pages");
        FakeHandheld handheld;
        CancelFlag cancel{false};
        for (const char* name : {"a", "b", "c", "d", "e", "f", "g"}) {
            handheld.databases[name] = MakeSongs(name, 0);
        }
        handheld.listNeverAdvances = stuck;
        std::string names;
        const Status result = RunSession(handheld, cancel, {}, [&](DlpClient& dlp, const Handheld&) {
            Result<std::vector<DbInfo>> list = ListDatabases(dlp);
            for (const DbInfo& info : list ? *list : std::vector<DbInfo>()) {
                names += info.name;
            }
            return Done(list);
        });
        EXPECT_EQ(Asked(handheld, 0x16), stuck ? 2u : 4u);
        EXPECT_EQ(Failure(result), stuck ? std::optional(ErrorKind::Protocol) : std::nullopt);
        EXPECT_EQ(names, stuck ? "" : "abcdefg");
    }
}
