#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The four commands of tunelore-cli; each returns the process exit status and prints its own messages.

struct BuildOptions
{
    std::optional<std::string> name; // database name, already in the handheld's character set
    std::string output;              // the .pdb file to write; empty when installing
    bool install = false;
    std::vector<std::string> files;
};
int RunBuild(const BuildOptions& options);

// A song file in the folder that holds another text is replaced and named on standard error, or with
// `keepExisting` kept, the song going under a numbered name.
int RunExtract(const std::string& databasePath, const std::string& destination, bool keepExisting = false);
int RunConvert(const std::string& path);
int RunInfo(const std::string& databasePath, bool json);

// Turns the --name argument (UTF-8 from the command line) into a database name in the handheld's character
// set; nullopt and `error` when it is empty, longer than the 31 bytes of the name field, or holds a control
// character.
std::optional<std::string> MakeDatabaseNameArgument(std::string_view argument, std::string& error);
