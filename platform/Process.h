#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

// Running a desktop helper program (xdg-open, xdg-mime, open) with its output kept away from the terminal.

struct ProgramRun
{
    bool started = false;  // the program was started
    bool finished = false; // it ended within the wait
    int exitStatus = -1;   // its exit status when it finished normally; -1 for a signal
    std::string output;    // what it wrote on standard output and standard error, at most 64 KiB
    std::string error;     // why it could not be started or waited for
    bool notFound = false; // it could not be started because no such program was found
    std::string cause;     // when it could not be started: the system's own text
};

// Runs `arguments` (the program, looked up on PATH, then its arguments) with standard input from the null
// device and standard output and error captured, in a session of its own, and waits at most `wait` for it.
// A program still running after the wait is reaped in the background when it ends; its output is dropped.
// Not available on Windows, where the result says so.
ProgramRun RunProgram(const std::vector<std::string>& arguments, std::chrono::milliseconds wait);

// One line of a helper's output for a message: its last non-empty line with control characters as spaces,
// at most 200 bytes; empty when it printed nothing.
std::string LastOutputLine(std::string_view output);
