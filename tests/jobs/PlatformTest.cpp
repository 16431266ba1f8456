#include "jobs/Platform.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

namespace {

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        Set(value);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;
    ~ScopedEnv() { Set(m_old); }

private:
    void Set(const std::optional<std::string>& value)
    {
        if (value) {
            setenv(m_name.c_str(), value->c_str(), 1);
        } else {
            unsetenv(m_name.c_str());
        }
    }

    std::string m_name;
    std::optional<std::string> m_old;
};

TEST(SystemPlatform, TempFolderHonoursTmpdirAndEndsWithSeparator)
{
    TempDir dir;
    CSystemPlatform platform;
    {
        ScopedEnv tmpdir("TMPDIR", dir.Str());
        EXPECT_EQ(platform.TempFolder(), dir.Str() + "/");
    }
    {
        ScopedEnv tmpdir("TMPDIR", dir.Str() + "/");
        EXPECT_EQ(platform.TempFolder(), dir.Str() + "/");
    }
}

TEST(SystemPlatform, NowFromSourceDateEpoch)
{
    CSystemPlatform platform;
    {
        ScopedEnv epoch("SOURCE_DATE_EPOCH", "1136073600");
        EXPECT_EQ(platform.Now(), 1136073600u);
    }
    {
        ScopedEnv epoch("SOURCE_DATE_EPOCH", "0");
        EXPECT_EQ(platform.Now(), 0u);
    }
    // Anything but a plain number of seconds that fits is ignored, and the clock is used.
    for (const char* bad : {"", "12abc", "-5", " 7", "4294967296", "1e9"}) {
        SCOPED_TRACE(bad);
        ScopedEnv epoch("SOURCE_DATE_EPOCH", std::string(bad));
        const auto before = static_cast<std::uint32_t>(std::time(nullptr));
        EXPECT_GE(platform.Now(), before);
    }
    ScopedEnv unset("SOURCE_DATE_EPOCH", std::nullopt);
    EXPECT_GE(platform.Now(), 1136073600u);
}

#if defined(__linux__)

// Puts a stand-in for xdg-open first on PATH: it records its argument and exits with the given status.
class OpenerTest : public ::testing::Test
{
protected:
    void InstallOpener(int exitStatus)
    {
        const std::string script = m_bin.File("xdg-open");
        WriteFileBytes(script,
                       "#!/bin/sh\nprintf '%s' \"$1\" > '" + m_out.File("argument") + "'\nexit " +
                           std::to_string(exitStatus) + "\n");
        std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    }
    std::optional<std::string> Argument() const { return ReadFileBytes(m_out.File("argument")); }

    TempDir m_bin;
    TempDir m_out;
    CSystemPlatform m_platform;
};

TEST_F(OpenerTest, SuccessfulOpen)
{
    InstallOpener(0);
    ScopedEnv path("PATH", m_bin.Str());
    const IPlatform::OpenResult result = m_platform.OpenWithDefaultApplication("/tmp/Tunelore DB.pdb");
    EXPECT_TRUE(result.ok) << result.error;
    EXPECT_EQ(Argument(), std::optional<std::string>("/tmp/Tunelore DB.pdb"));
}

TEST_F(OpenerTest, PathLikeAnOptionIsMadeRelative)
{
    InstallOpener(0);
    ScopedEnv path("PATH", m_bin.Str());
    EXPECT_TRUE(m_platform.OpenWithDefaultApplication("-x.pdb").ok);
    EXPECT_EQ(Argument(), std::optional<std::string>("./-x.pdb"));
}

TEST_F(OpenerTest, ErrorExitIsReported)
{
    InstallOpener(3);
    ScopedEnv path("PATH", m_bin.Str());
    const IPlatform::OpenResult result = m_platform.OpenWithDefaultApplication("/tmp/x.pdb");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("3"), std::string::npos) << result.error;
    EXPECT_EQ(Argument(), std::optional<std::string>("/tmp/x.pdb"));
}

TEST_F(OpenerTest, MissingOpenerIsReported)
{
    ScopedEnv path("PATH", m_bin.Str()); // holds no xdg-open
    const IPlatform::OpenResult result = m_platform.OpenWithDefaultApplication("/tmp/x.pdb");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.error.find("xdg-open"), std::string::npos) << result.error;
}

#endif

} // namespace
