#pragma once

#include <cstdint>
#include <string>

// The desktop services the jobs need, behind an interface so that tests can replace them.
class IPlatform
{
public:
    virtual ~IPlatform() = default;

    // The temporary folder, always ending in the path separator; empty when there is none.
    virtual std::string TempFolder() = 0;

    struct OpenResult
    {
        bool ok = false;
        std::string error; // why the request failed, when it did
    };
    // Asks the desktop to open `path` with the application associated with its type; does not wait for it.
    virtual OpenResult OpenWithDefaultApplication(const std::string& path) = 0;

    // Seconds since 1970-01-01 UTC, for database dates.
    virtual std::uint32_t Now() = 0;
};

// `folder` with the platform's path separator appended when it does not end in one; empty stays empty.
std::string WithTrailingSeparator(std::string folder);

// The real desktop: std::filesystem's temporary folder (TMPDIR honoured), "xdg-open" on Linux, "open" on
// macOS, the shell's open verb on Windows; the system clock, or SOURCE_DATE_EPOCH when it is set.
class CSystemPlatform : public IPlatform
{
public:
    std::string TempFolder() override;
    OpenResult OpenWithDefaultApplication(const std::string& path) override;
    std::uint32_t Now() override;
};
