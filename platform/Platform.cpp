#include "platform/Platform.h"

#include "text/Scan.h"

#include <charconv>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/CommandLine.h"
#include "platform/Process.h"

#if defined(_WIN32)
// <windows.h> first: <shellapi.h> and <shlwapi.h> rely on its types.
// clang-format off
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
// clang-format on
#endif

namespace {

#if !defined(_WIN32)

#if defined(__APPLE__)
constexpr const char* OPENER = "open";
#else
constexpr const char* OPENER = "xdg-open";
#endif

// How long to wait for a helper to finish. Openers hand the file to the desktop and return at once; some
// fall back to running the application in the foreground, and the caller must not wait for that.
constexpr std::chrono::milliseconds HELPER_WAIT{5000};

// A path that starts with "-" would be taken for an option.
std::string PathArgument(const std::string& path)
{
    return (!path.empty() && path.front() == '-') ? "./" + path : path;
}

// What a helper that ended with a failure said, as the end of a one-line message.
std::string FailureText(const std::string& program, const ProgramRun& run)
{
    if (!run.started || !run.error.empty()) {
        return run.error;
    }
    // 127 is the shell's "command not found" when the helper is a script whose own helper is missing.
    std::string text = run.exitStatus >= 0 ? program + " failed with exit status " + std::to_string(run.exitStatus)
                                           : program + " ended abnormally";
    const std::string said = LastOutputLine(run.output);
    return said.empty() ? text : text + " (" + said + ")";
}

Status RunOpener(const std::string& path)
{
    const ProgramRun run = RunProgram({OPENER, PathArgument(path)}, HELPER_WAIT);
    if (run.started && run.error.empty() && (!run.finished || run.exitStatus == 0)) {
        // Ended well, or still running after the wait because it started the application itself: the request
        // was made.
        return {};
    }
    return MakeError(ErrorKind::System, FailureText(OPENER, run));
}

#if !defined(__APPLE__)
// The first line of a query's answer, without its line end; NotFound when the helper is not installed.
Result<std::string> QueryLine(const std::vector<std::string>& arguments)
{
    const ProgramRun run = RunProgram(arguments, HELPER_WAIT);
    if (run.notFound) {
        return MakeError(ErrorKind::NotFound, arguments.front() + ": " + run.cause);
    }
    if (!run.finished || run.exitStatus != 0) {
        return MakeError(ErrorKind::System,
                         run.finished || !run.error.empty() ? FailureText(arguments.front(), run)
                                                            : arguments.front() + " did not answer");
    }
    std::string_view output = run.output;
    std::string line(PopLine(output, LineEnds::TextMode));
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}
#endif

#else

Status RunOpener(const std::string& path)
{
    const std::wstring widePath = WideFromUtf8(path);
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", widePath.c_str(), L"", L"", SW_SHOW);
    // Values above 32 mean success.
    if (reinterpret_cast<INT_PTR>(result) > 32) {
        return {};
    }
    return MakeError(ErrorKind::System,
                     "the shell could not open the file (error " +
                         std::to_string(static_cast<long long>(reinterpret_cast<INT_PTR>(result))) + ")");
}

#endif

} // namespace

Status CSystemPlatform::OpenWithDefaultApplication(const std::string& path)
{
    return RunOpener(path);
}

IPlatform::DefaultApplication CSystemPlatform::DefaultApplicationFor(const std::string& path)
{
    DefaultApplication result;
#if defined(_WIN32)
    // The program the shell's open verb starts for the file's extension.
    const std::wstring extension = std::filesystem::path(WideFromUtf8(path)).extension().wstring();
    wchar_t program[MAX_PATH * 2] = {};
    DWORD size = MAX_PATH * 2;
    result.known = true;
    if (AssocQueryStringW(ASSOCF_INIT_IGNOREUNKNOWN, ASSOCSTR_EXECUTABLE, extension.c_str(), L"open", program, &size) ==
        S_OK) {
        result.application = Utf8FromWide(program);
    }
#elif defined(__APPLE__)
    (void)path; // Launch Services is not asked; "open" reports a file no application takes.
#else
    // xdg-open picks the default application of the type xdg-mime gives the file.
    // A failed query leaves its field empty and says why; a helper that is not installed means no tool.
    const auto query = [&result](const std::vector<std::string>& arguments) {
        Result<std::string> line = QueryLine(arguments);
        if (!line) {
            result.error = line.error().text;
            result.noTool = line.error().kind == ErrorKind::NotFound;
            return std::string();
        }
        return std::move(*line);
    };
    result.type = query({"xdg-mime", "query", "filetype", PathArgument(path)});
    if (!result.type.empty()) {
        result.application = query({"xdg-mime", "query", "default", result.type});
    }
    result.known = result.error.empty();
#endif
    return result;
}

std::optional<std::string> CSystemPlatform::Variable(const std::string& name)
{
#if defined(_WIN32)
    const wchar_t* value = _wgetenv(WideFromUtf8(name).c_str());
    return value != nullptr ? std::optional<std::string>(Utf8FromWide(value)) : std::nullopt;
#else
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
#endif
}

Result<std::optional<std::uint32_t>> ParseSourceDateEpoch(const char* value)
{
    if (value == nullptr) {
        return std::optional<std::uint32_t>();
    }
    const std::string_view text(value);
    std::uint64_t seconds = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || text.front() == '-') {
        return MakeError(ErrorKind::Malformed, "SOURCE_DATE_EPOCH must be a whole number of seconds since 1970");
    }
    if (seconds > LAST_PALM_TIME) {
        return MakeError(ErrorKind::TooLarge,
                         "SOURCE_DATE_EPOCH is past 2040-02-06T06:28:15Z, the last date the handheld can hold");
    }
    return std::optional(static_cast<std::uint32_t>(seconds));
}

Result<std::optional<std::uint32_t>> SourceDateEpochFromEnvironment()
{
    return ParseSourceDateEpoch(std::getenv("SOURCE_DATE_EPOCH"));
}

std::uint32_t CSystemPlatform::Now()
{
    const std::optional<std::uint32_t> fixed = SourceDateEpochFromEnvironment().value_or(std::nullopt);
    if (fixed) {
        return *fixed;
    }
    return static_cast<std::uint32_t>(std::time(nullptr));
}

std::uint32_t CSystemPlatform::Random()
{
    // A reproducible build draws the same names from the same SOURCE_DATE_EPOCH, from the C library's
    // generator seeded once with it.
    if (const std::optional<std::uint32_t> fixed = SourceDateEpochFromEnvironment().value_or(std::nullopt)) {
        static const bool seeded = [&fixed] {
            std::srand(static_cast<unsigned>(*fixed));
            return true;
        }();
        (void)seeded;
        return static_cast<std::uint32_t>(std::rand());
    }
    // Otherwise the system's random source, so that builds in the same second get different names.
    try {
        std::random_device source;
        return static_cast<std::uint32_t>(source());
    } catch (const std::exception&) {
        // No random source: the clock's finest tick will have to do.
        return static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    }
}
