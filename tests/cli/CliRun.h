#pragma once

// Running the built tunelore-cli through the system's command interpreter, as a user's shell would.

#include <cstdlib>
#include <string>
#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/wait.h>
#endif

// What a run of the program gave: its exit status (-1 when it did not exit), standard output and error.
struct CliRun
{
    int status = -1;
    std::string out;
    std::string err;
};

#if defined(_WIN32)
// For cmd.exe, which runs the commands on Windows; no argument of these tests holds a double quote.
inline std::string Quote(const std::string& word)
{
    return '"' + word + '"';
}
// Runs a UTF-8 command line through the wide-character API: std::system would read it in the ANSI code page.
inline int RunCommand(const std::string& command)
{
    std::wstring wide(command.size(), L'\0');
    wide.resize(static_cast<std::size_t>(MultiByteToWideChar(
        CP_UTF8, 0, command.data(), static_cast<int>(command.size()), wide.data(), static_cast<int>(wide.size()))));
    return _wsystem(wide.c_str());
}
#else
inline std::string Quote(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}
inline int RunCommand(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
#endif
