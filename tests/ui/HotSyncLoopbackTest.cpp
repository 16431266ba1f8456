// The window's HotSync with the real session: a scripted handheld connects over loopback TCP to the
// connection chosen in the menu, takes the loaded songs, and gives them back to Get Songs.

#include "tests/hotsync/FakeHandheld.h"
#include "tests/ui/DialogFixture.h"

#include <thread>

#include "hotsync/SerialPort.h"
#include "hotsync/Tcp.h"

namespace {

// Plays `handheld` on the connection listening at 127.0.0.1:port, once it listens; for as long as it lives.
class CHandheldOnLoopback
{
public:
    CHandheldOnLoopback(FakeHandheld& handheld, std::uint16_t port)
        : m_thread([&handheld, port] {
            hotsync::CancelFlag never{false};
            for (int attempt = 0; attempt < 500; ++attempt) {
                Result<std::unique_ptr<hotsync::IByteStream>> stream =
                    hotsync::ConnectTcp("127.0.0.1", port, hotsync::Deadline::In(std::chrono::seconds(5)), never);
                if (stream) {
                    ServeNetSync(handheld, std::move(*stream));
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        })
    {}
    ~CHandheldOnLoopback() { m_thread.join(); }
    CHandheldOnLoopback(const CHandheldOnLoopback&) = delete;
    CHandheldOnLoopback& operator=(const CHandheldOnLoopback&) = delete;

private:
    std::thread m_thread;
};

} // namespace

TEST_F(DialogTest, HotSyncInstallsOnAHandheldOverLoopbackAndGetSongsLoadsThemBack)
{
    const std::uint16_t port = [] {
        Result<std::unique_ptr<hotsync::TcpListener>> listener = hotsync::TcpListener::Listen("127.0.0.1", 0);
        return listener ? (*listener)->Port() : std::uint16_t{0};
    }();
    ASSERT_NE(port, 0);
    const std::string connection = "net:127.0.0.1:" + std::to_string(port);
    CHotSyncSession real;
    m_dialog->SetHotSyncSession(real);
    m_desktop.runModal = [](QDialog& dialog) { dialog.exec(); };
    // The last choice of the connection question types one.
    m_desktop.answers = {std::to_string(3 + hotsync::ListSerialPorts().size()), connection};
    Menu(QStringLiteral("&HotSync..."));
    LoadThreeSongs();

    FakeHandheld handheld;
    {
        CHandheldOnLoopback playing(handheld, port);
        m_dialog->OnInstall();
    }
    EXPECT_NE(m_desktop.prompts.find("HotSync installed TuneloreDB"), std::string::npos) << m_desktop.prompts;
    EXPECT_NE(m_desktop.prompts.find("(" + connection + ")"), std::string::npos) << m_desktop.prompts;
    ASSERT_EQ(handheld.databases.size(), 1u);
    EXPECT_EQ(m_dialog->Songs().Count(), 0u);

    // The installed import database is the songbook's once the handheld has taken it in.
    FakeHandheld later;
    later.databases = handheld.databases;
    later.databases.begin()->second.m_type = SONG_DB_TYPE;
    m_desktop.answers.push_back("1"); // load them for editing
    {
        CHandheldOnLoopback playing(later, port);
        Menu(QStringLiteral("&Get Songs From The Handheld..."));
    }
    EXPECT_EQ(m_dialog->Songs().Count(), 3u) << m_desktop.prompts;
    EXPECT_TRUE(later.ended);
}
