#include "platform/Process.h"

#include "text/Scan.h"

#include <memory>
#include <system_error>

#if !defined(_WIN32)
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;
#endif

namespace {
constexpr std::size_t LINE_LIMIT = 200;
} // namespace

std::string LastOutputLine(std::string_view output)
{
    std::string_view last;
    while (!output.empty()) {
        std::string_view line = PopLine(output, LineEnds::TextMode);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            last = line;
        }
    }
    std::string text(last.substr(0, LINE_LIMIT));
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return text;
}

#if defined(_WIN32)

ProgramRun RunProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds)
{
    ProgramRun run;
    run.error =
        "cannot start " + (arguments.empty() ? std::string("a program") : arguments.front()) + " on this system";
    return run;
}

#else

namespace {
constexpr std::size_t OUTPUT_LIMIT = 64 * 1024;
constexpr std::chrono::milliseconds POLL{10};

// Reaps the program once it ends, without holding up the caller.
void ReapLater(pid_t pid)
{
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) == -1 && errno == EINTR) {
        }
    }).detach();
}

std::string ReadCaptured(std::FILE* file)
{
    std::string output(OUTPUT_LIMIT, '\0');
    std::rewind(file);
    output.resize(std::fread(output.data(), 1, output.size(), file));
    return output;
}
} // namespace

ProgramRun RunProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds wait)
{
    ProgramRun run;
    if (arguments.empty()) {
        run.error = "no program to start";
        return run;
    }
    std::vector<std::string> words = arguments;
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    // The output goes to an unlinked temporary file rather than a pipe: a program the helper starts may keep
    // its end open for as long as it runs, and a file never fills up and blocks the writer.
    const auto close = [](std::FILE* file) { std::fclose(file); };
    const std::unique_ptr<std::FILE, decltype(close)> captured(std::tmpfile(), close);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (captured) {
        const int fd = ::fileno(captured.get());
        ::fcntl(fd, F_SETFD, FD_CLOEXEC); // the copies below are the child's only ones
        posix_spawn_file_actions_adddup2(&actions, fd, STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, fd, STDERR_FILENO);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
#if defined(POSIX_SPAWN_SETSID)
    // Its own session: an application it starts does not end with the terminal of a command-line run.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
#endif
    pid_t pid = 0;
    const int spawnError = posix_spawnp(&pid, argv.front(), &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        run.cause = std::generic_category().message(spawnError);
        run.notFound = spawnError == ENOENT;
        run.error = "cannot start " + arguments.front() + ": " + run.cause;
        return run;
    }
    run.started = true;

    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int status = 0;
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            run.finished = true;
            run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            if (captured) {
                run.output = ReadCaptured(captured.get());
            }
            return run;
        }
        if (done == -1 && errno != EINTR) {
            run.error = "cannot wait for " + arguments.front() + ": " + std::generic_category().message(errno);
            return run;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            ReapLater(pid);
            return run;
        }
        std::this_thread::sleep_for(POLL);
    }
}

#endif
