#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Result.h"

// The desktop services the jobs need, behind an interface so that tests can replace them.
class IPlatform
{
public:
    virtual ~IPlatform() = default;

    // Asks the desktop to open `path` with the application associated with its type; does not wait for it.
    // The opener's own output never reaches the terminal; a failure's text is one line.
    virtual Status OpenWithDefaultApplication(const std::string& path) = 0;

    struct DefaultApplication
    {
        bool known = false;      // the system told which application opens the file
        std::string type;        // the file's type as the desktop sees it (a MIME type on Linux), if it says
        std::string application; // that application (a desktop entry, a program); empty when there is none
        std::string error;       // why the system could not be asked; empty where it has no way to tell
        bool noTool = false;     // no program to ask was found; `error` is then its name and the system's cause
    };
    // The application that OpenWithDefaultApplication would hand `path` to.
    virtual DefaultApplication DefaultApplicationFor(const std::string& path) = 0;

    // An environment variable (HOME, XDG_DATA_HOME, APPDATA, ...) in UTF-8; nullopt when it is not set.
    virtual std::optional<std::string> Variable(const std::string& name) = 0;

    // Seconds since 1970-01-01 UTC, for database dates.
    virtual std::uint32_t Now() = 0;

    // A fresh pseudo-random number, for database names.
    virtual std::uint32_t Random() = 0;
};

// The latest moment the handheld's dates can hold: 2^32 - 1 seconds after 1904-01-01, in seconds since 1970.
inline constexpr std::uint32_t LAST_PALM_TIME = 0xFFFFFFFFu - 2082844800u;

// SOURCE_DATE_EPOCH as reproducible builds set it: a plain decimal number of seconds since 1970.
Result<std::optional<std::uint32_t>> ParseSourceDateEpoch(const char* value);
// The environment's SOURCE_DATE_EPOCH, parsed.
Result<std::optional<std::uint32_t>> SourceDateEpochFromEnvironment();

// The real desktop: "xdg-open" on Linux, "open" on
// macOS, the shell's open verb on Windows; "xdg-mime" (Linux) or the file associations (Windows) for the
// default application; the process environment; the system clock, or SOURCE_DATE_EPOCH when it is set. The
// random numbers come from the system's random source (std::random_device), or, when SOURCE_DATE_EPOCH is
// set, from the C library's generator seeded once with it, so that the same inputs give the same names.
class CSystemPlatform : public IPlatform
{
public:
    Status OpenWithDefaultApplication(const std::string& path) override;
    DefaultApplication DefaultApplicationFor(const std::string& path) override;
    std::optional<std::string> Variable(const std::string& name) override;
    std::uint32_t Now() override;
    std::uint32_t Random() override;
};
