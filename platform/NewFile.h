#pragma once

#include <filesystem>
#include <string_view>

#include "platform/Result.h"

// Files and folders that must be new and private: a database kept for the user, the program's own folders.

// Creates `path` exclusively (never opening a file that exists, never through a link), readable and writable
// by the user alone, writes all of `bytes`, flushes them to the disk and closes it. ErrorKind::Exists when the
// name is taken; on any other failure the cause, and the file is gone again.
Status WriteNewFile(const std::filesystem::path& path, std::string_view bytes);

// Creates the folder `path` with mode 0700 whatever the umask (on Windows as the system makes folders). An
// existing entry of that name is no failure; the caller looks at what it is.
Status MakePrivateFolder(const std::filesystem::path& path);
