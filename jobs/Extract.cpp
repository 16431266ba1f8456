#include "jobs/Extract.h"

#include "jobs/Charset.h"
#include "jobs/FileChecks.h"
#include "jobs/FileNames.h"
#include "jobs/Messages.h"
#include "pdb/AtomicFile.h"
#include "pdb/FileIo.h"
#include "text/RecordFormat.h"
#include "text/Scan.h"
#include "text/SongTitle.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace {

// The file names one extraction has given out, compared with Windows-1252 letters folded to one case, so
// that two songs differing only in case do not overwrite each other on file systems that ignore case. Per
// name it remembers the number to try next, so that thousands of songs of one title cost what thousands of
// titles cost.
class CNameTable
{
public:
    bool Taken(const std::string& name) const { return m_taken.count(FoldCp1252Case(name)) != 0; }
    void Take(const std::string& name) { m_taken.insert(FoldCp1252Case(name)); }

    // The first of "name", "name (2)", "name (3)", ... that is not taken and that `usable` accepts.
    template <class Usable> std::string FirstFree(const std::string& name, const Usable& usable)
    {
        if (!Taken(name) && usable(name)) {
            return name;
        }
        // Only names given out are skipped for good: a name one song could not use may suit the next.
        std::size_t& next = m_next.try_emplace(FoldCp1252Case(name), 2).first->second;
        while (Taken(name + " (" + std::to_string(next) + ")")) {
            ++next;
        }
        for (std::size_t number = next;; ++number) {
            std::string candidate = name + " (" + std::to_string(number) + ")";
            if (!Taken(candidate) && usable(candidate)) {
                return candidate;
            }
        }
    }

private:
    std::unordered_set<std::string> m_taken;
    std::unordered_map<std::string, std::size_t> m_next;
};

enum class OnDisk
{
    Absent,
    Same,      // a regular file holding exactly the bytes
    Different, // a regular file holding anything else
    Link,      // a symbolic link, never read through
    Other,     // a folder or other entry that is no regular file
};

OnDisk CompareWithDisk(const std::filesystem::path& path, std::string_view bytes, bool followLinks = false)
{
    std::error_code error;
    const std::filesystem::file_status status =
        followLinks ? std::filesystem::status(path, error) : std::filesystem::symlink_status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return OnDisk::Absent;
    }
    if (status.type() == std::filesystem::file_type::symlink) {
        return OnDisk::Link;
    }
    if (error || status.type() != std::filesystem::file_type::regular) {
        return OnDisk::Other;
    }
    // A file of another size differs without being read; a larger one is never read whole.
    const Result<std::string> read = ReadWholeFile(path, bytes.size());
    return read && *read == bytes ? OnDisk::Same : OnDisk::Different;
}

// The entries of a folder by their names with letters folded to one case, so that a song's file is found
// under "song.pro" when "Song.pro" is asked for, on file systems that tell the two apart as on those that
// do not.
class CFolderListing
{
public:
    explicit CFolderListing(std::filesystem::path folder)
        : m_folder(std::move(folder))
    {
        std::error_code error;
        for (std::filesystem::directory_iterator entry(m_folder, error), end; !error && entry != end;
             entry.increment(error)) {
            const std::string name = Utf8FromPath(entry->path().filename());
            const std::string cp1252 = Utf8ToCp1252(name);
            if (Cp1252ToUtf8(cp1252) == name) { // a name the songs' character set can spell
                m_byFoldedName.emplace(FoldCp1252Case(cp1252), entry->path().filename());
            }
        }
    }

    // The path of `fileName` (Windows-1252): itself when an entry has this very name or none differs from it
    // only in case, else that entry.
    std::filesystem::path Resolve(const std::string& fileName) const
    {
        std::filesystem::path exact = m_folder / PathFromUtf8(Cp1252ToUtf8(fileName));
        std::error_code error;
        if (std::filesystem::exists(std::filesystem::symlink_status(exact, error))) {
            return exact;
        }
        const auto other = m_byFoldedName.find(FoldCp1252Case(fileName));
        return other == m_byFoldedName.end() ? exact : m_folder / other->second;
    }

private:
    std::filesystem::path m_folder;
    std::unordered_map<std::string, std::filesystem::path> m_byFoldedName;
};

// "<stem> (number)<extension>" beside `path`.
std::filesystem::path NumberedPath(const std::filesystem::path& path, int number)
{
    const std::string name =
        Utf8FromPath(path.stem()) + " (" + std::to_string(number) + ")" + Utf8FromPath(path.extension());
    return path.parent_path() / PathFromUtf8(name);
}

constexpr int MOST_NUMBERED_NAMES = 9999;

} // namespace

ChordTextResult ExportChordsToText(const CPalmDatabase& database,
                                   const std::filesystem::path& textPath,
                                   const ExistingFilePolicy& existing)
{
    ChordTextResult result;

    std::string text;
    int chords = 0;
    for (const CPdbRecord& record : database.Records()) {
        // A record too short for the frets and the name's first byte is not a chord.
        const std::optional<std::string> line = ChordLineOfRecord(record.Data());
        if (!line) {
            ++result.skipped;
            continue;
        }
        text += Cp1252ToUtf8(WithCrLf(*line + "\n"));
        ++chords;
    }

    // The user named this file, so a link there leads to the file meant.
    std::filesystem::path path = textPath;
    OnDisk onDisk = CompareWithDisk(path, text, true);
    if (onDisk == OnDisk::Different) {
        const ExistingFileChoice choice = existing ? existing(path) : ExistingFileChoice::Replace;
        if (choice == ExistingFileChoice::Cancel) {
            result.cancelled = true;
            return result;
        }
        result.replaced = choice == ExistingFileChoice::Replace;
        // Kept: the first numbered name that is free or already holds these chords.
        for (int number = 2; !result.replaced; ++number) {
            if (number > MOST_NUMBERED_NAMES) {
                result.error = messages::CantWriteFile(Utf8FromPath(textPath), messages::EVERY_NUMBERED_NAME_TAKEN);
                return result;
            }
            path = NumberedPath(textPath, number);
            onDisk = CompareWithDisk(path, text, true);
            if (onDisk == OnDisk::Absent || onDisk == OnDisk::Same) {
                break;
            }
        }
    }
    result.path = Utf8FromPath(path);
    result.unchanged = onDisk == OnDisk::Same;
    if (!result.unchanged) {
        if (const Status written = WriteFileAtomically(path, std::string_view(text)); !written) {
            result.error = messages::CantWriteFile(result.path, written.error().text);
            result.replaced = false;
            return result;
        }
    }
    result.written = true;
    result.chords = chords;
    return result;
}

ExtractResult
ExtractSongs(const CPalmDatabase& database, const std::filesystem::path& folder, const ExistingFilePolicy& existing)
{
    ExtractResult result;
    const std::filesystem::path folderPath = folder.empty() ? std::filesystem::path(".") : folder;
    std::optional<CFolderListing> listing;
    CNameTable names;
    const auto pathOf = [&listing](const std::string& fileName) { return listing->Resolve(fileName + ".pro"); };
    const auto anyName = [](const std::string&) { return true; };

    for (const CPdbRecord& record : database.Records()) {
        if (IsMarkerRecord(record.Data())) {
            continue;
        }
        const std::string_view text = SongRecordText(record.Data());
        const std::string displayName = GetSongDisplayName(text);

        if (!listing) {
            // Made only when there is a song to put in it; a failure shows up as songs that cannot be written.
            std::error_code ignored;
            std::filesystem::create_directories(folderPath, ignored);
            listing.emplace(folderPath);
            // What a killed writer left in the folder goes once here, rather than looked for before each song.
            RemoveAbandonedTemporaryFiles(folderPath);
        }

        const std::string baseName = SafeSongFileName(displayName);
        std::string fileName = names.FirstFree(baseName, anyName);
        std::filesystem::path filePath = pathOf(fileName);
        const std::string bytes = Cp1252ToUtf8(WithCrLf(text));
        OnDisk onDisk = CompareWithDisk(filePath, bytes);
        bool replacing = false;
        if (onDisk == OnDisk::Different || onDisk == OnDisk::Link) {
            // A song kept under a numbered name by an earlier extraction is already there: nothing to ask or
            // write. Kept names are given out in order, so the search ends at the first free one.
            OnDisk numbered = OnDisk::Absent;
            const std::string earlier = names.FirstFree(baseName, [&](const std::string& candidate) {
                numbered = CompareWithDisk(pathOf(candidate), bytes);
                return numbered == OnDisk::Absent || numbered == OnDisk::Same;
            });
            if (numbered == OnDisk::Same) {
                fileName = earlier;
                filePath = pathOf(fileName);
                onDisk = OnDisk::Same;
            }
        }
        // A folder or device in the way is nothing to replace or keep: the write fails and says why.
        if (onDisk == OnDisk::Different || onDisk == OnDisk::Link) {
            const ExistingFileChoice choice = existing ? existing(filePath) : ExistingFileChoice::Replace;
            if (choice == ExistingFileChoice::Cancel) {
                result.cancelled = true;
                break;
            }
            replacing = choice == ExistingFileChoice::Replace;
            if (!replacing) {
                // A numbered file that already holds the song will do as well as a new one.
                fileName = names.FirstFree(baseName, [&](const std::string& candidate) {
                    onDisk = CompareWithDisk(pathOf(candidate), bytes);
                    return onDisk == OnDisk::Absent || onDisk == OnDisk::Same;
                });
                filePath = pathOf(fileName);
            }
        }
        // Songs can be extracted again from the database, so they are not synced one by one. A link already in
        // the folder under the song's name is replaced, never followed, so nothing outside the folder is written.
        if (onDisk == OnDisk::Same) {
            ++result.unchanged;
        } else if (const Status written = WriteFileAtomically(filePath,
                                                              std::string_view(bytes),
                                                              FileDurability::Unsynced,
                                                              LinkPolicy::Replace,
                                                              LeftoverCheck::DoneForFolder);
                   !written) {
            result.failed.push_back(Cp1252ToUtf8(displayName));
            result.errors.push_back(messages::CantWriteFile(Utf8FromPath(filePath), written.error().text));
            names.Take(fileName); // what is in the way stays there for the songs after this one
            continue;
        }
        if (replacing) {
            result.replaced.push_back(Utf8FromPath(filePath));
            if (onDisk == OnDisk::Link) {
                result.links.push_back(result.replaced.back());
            }
        }
        names.Take(fileName);
        result.files.push_back(Utf8FromPath(filePath));
        ++result.written;
    }
    return result;
}
