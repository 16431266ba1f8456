#pragma once

#include <string>
#include <string_view>
#include <vector>

// The program's command line and standard output, the same on every system: UTF-8 in and out.

// The arguments in UTF-8, the program's name first. Windows hands them over in UTF-16 whatever the ANSI code
// page, and its console is then set to show UTF-8; elsewhere they are `argv` as given.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Standard output written byte for byte: Windows' text mode would add a CR before every LF.
void MakeStandardOutputBinary();

// True when standard output is a terminal (a console), where binary data would only garble the screen.
bool StandardOutputIsTerminal();

#if defined(_WIN32)
// UTF-8 to UTF-16 and back, for the system's wide-character calls.
std::wstring WideFromUtf8(std::string_view text);
std::string Utf8FromWide(const wchar_t* wide);
#endif
