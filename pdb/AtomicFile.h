#pragma once

#include <cstdint>
#include <span>
#include <string>

// Whether the new file's bytes reach the disk before the rename. Synced survives a power cut; Unsynced still
// never leaves a half-written file under the target name, and is many times faster for thousands of
// small files that can be written again from their source.
enum class FileDurability
{
    Synced,
    Unsynced,
};

// Writes `bytes` to `path` through a temporary file beside it, renamed over the target only after
// everything was written and flushed. On any failure the temporary file is removed, an existing file at
// `path` is left as it was, and the result is false.
bool WriteFileAtomically(const std::string& path,
                         std::span<const std::uint8_t> bytes,
                         FileDurability durability = FileDurability::Synced);
bool WriteFileAtomically(const std::string& path,
                         std::string_view bytes,
                         FileDurability durability = FileDurability::Synced);
