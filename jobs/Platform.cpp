#include "jobs/Platform.h"

#include <charconv>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <utility>

#if defined(_WIN32)
// <shellapi.h> uses the types <windows.h> declares, so it comes second.
// clang-format off
#include <windows.h>
#include <shellapi.h>
// clang-format on
#else
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;
#endif

namespace {

#if !defined(_WIN32)

#if defined(__APPLE__)
constexpr const char* OPENER = "open";
#else
constexpr const char* OPENER = "xdg-open";
#endif

// How long to wait for the opener itself to finish. Openers hand the file to the desktop and return at once;
// some fall back to running the application in the foreground, and the caller must not wait for that.
constexpr std::chrono::milliseconds OPENER_WAIT{5000};
constexpr std::chrono::milliseconds OPENER_POLL{10};

std::string ErrorText(int error)
{
    return std::error_code(error, std::generic_category()).message();
}

// Reaps the opener once it ends, without holding up the caller.
void ReapLater(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
        }
    }).detach();
}

IPlatform::OpenResult RunOpener(const std::string& path)
{
    // A path that starts with "-" would be taken for an option.
    std::string argument = (!path.empty() && path.front() == '-') ? "./" + path : path;
    std::string program = OPENER;
    char* argv[] = {program.data(), argument.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
#if defined(POSIX_SPAWN_SETSID)
    // Its own session: the opened application does not end with the terminal of a command-line run.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
#endif
    pid_t pid = 0;
    const int spawnError = posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        return {false, "cannot start " + program + ": " + ErrorText(spawnError)};
    }

    const auto deadline = std::chrono::steady_clock::now() + OPENER_WAIT;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                return {true, {}};
            }
            if (WIFEXITED(status)) {
                // 127 is the shell's "command not found" when the opener is a script whose helper is missing.
                return {false, program + " failed with exit status " + std::to_string(WEXITSTATUS(status))};
            }
            return {false, program + " ended abnormally"};
        }
        if (done == -1 && errno != EINTR) {
            return {false, "cannot wait for " + program + ": " + ErrorText(errno)};
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            // Still running: the opener started the application itself. The request was made.
            ReapLater(pid);
            return {true, {}};
        }
        std::this_thread::sleep_for(OPENER_POLL);
    }
}

#else

std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

IPlatform::OpenResult RunOpener(const std::string& path)
{
    const std::wstring widePath = WideFromUtf8(path);
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", widePath.c_str(), L"", L"", SW_SHOW);
    // Values above 32 mean success.
    if (reinterpret_cast<INT_PTR>(result) > 32) {
        return {true, {}};
    }
    return {false,
            "the shell could not open the file (error " +
                std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(result))) + ")"};
}

#endif

} // namespace

std::string WithTrailingSeparator(std::string folder)
{
#if defined(_WIN32)
    const bool ends = !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
    constexpr char separator = '\\';
#else
    const bool ends = !folder.empty() && folder.back() == '/';
    constexpr char separator = '/';
#endif
    if (!folder.empty() && !ends) {
        folder.push_back(separator);
    }
    return folder;
}

std::string CSystemPlatform::TempFolder()
{
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::temp_directory_path(error);
    if (error || folder.empty()) {
        return {};
    }
#if defined(_WIN32)
    const std::u8string u8 = folder.u8string();
    std::string text(u8.begin(), u8.end());
#else
    std::string text = folder.string();
#endif
    return WithTrailingSeparator(std::move(text));
}

IPlatform::OpenResult CSystemPlatform::OpenWithDefaultApplication(const std::string& path)
{
    return RunOpener(path);
}

std::uint32_t CSystemPlatform::Now()
{
    // Reproducible builds: SOURCE_DATE_EPOCH, when it holds a plain decimal number of seconds, replaces the clock.
    if (const char* fixed = std::getenv("SOURCE_DATE_EPOCH")) {
        const std::string_view text(fixed);
        std::uint32_t seconds = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (!text.empty() && error == std::errc() && end == text.data() + text.size()) {
            return seconds;
        }
    }
    return static_cast<std::uint32_t>(std::time(nullptr));
}
