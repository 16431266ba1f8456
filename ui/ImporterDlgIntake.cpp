// How files get into the main window: dropped on it, picked in the open dialog, or named on the command
// line. Handheld databases among them are extracted at once; import databases of this program load their
// songs or chord list; text files become loaded texts; anything else is named in one message.

#include "jobs/Extract.h"
#include "jobs/FileChecks.h"
#include "jobs/InputFile.h"
#include "jobs/Messages.h"
#include "pdb/FileIo.h"
#include "text/RecordFormat.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include <algorithm>

#include "res/Resource.h"

void CImporterDlg::OnDropFilesButton()
{
    CommitEditedSong();
    StartDialogIn(Setting::OpenFolder);
    const std::optional<QStringList> paths =
        m_desktop.AskOpenFileNames(this, FromUtf8(res::ALL_SONG_FILES_FILTER) + FromUtf8(res::OPEN_FILTER));
    if (!paths) {
        return;
    }
    if (!paths->isEmpty()) {
        RememberDialogFolder(Setting::OpenFolder, paths->front(), false);
    }
    CWaitCursor wait(m_desktop);
    LoadInputFiles(*paths);
}

void CImporterDlg::OnDropFiles(const QStringList& paths)
{
    CommitEditedSong();
    CWaitCursor wait(m_desktop);
    LoadInputFiles(paths);
}

std::optional<QString> CImporterDlg::BrowseForFolder()
{
    StartDialogIn(Setting::ExtractFolder);
    std::optional<QString> folder = m_desktop.AskFolder(this, FromUtf8(res::EXTRACT_FOLDER_TITLE));
    if (folder) {
        RememberDialogFolder(Setting::ExtractFolder, *folder, true);
    }
    return folder;
}

void CImporterDlg::LoadInputFiles(const QStringList& paths)
{
    QStringList notSongs;
    QStringList notes;
    const bool emptyBefore = m_songs.Empty();
    std::vector<std::pair<QString, bool>> appended; // the file of each text loaded now, and whether it is a chord list
    std::size_t firstFileTexts = 0;                 // the texts of the first file that gave any
    // A folder stands for the song files in it, in its place among the files dropped.
    QStringList files = paths;
    for (qsizetype next = 0; next < files.size(); ++next) {
        const QString path = files[next];
        InputFile input = ReadInputFile(ToPath(path), m_textConversion);
        const QString name = FromUtf8(Utf8FromPath(ToPath(path).filename()));
        switch (input.kind) {
        case InputKind::Folder:
            if (const Result<std::vector<std::filesystem::path>> inFolder = SongFilesInFolder(ToPath(path))) {
                QStringList found;
                for (const std::filesystem::path& file : *inFolder) {
                    found.append(FromUtf8(Utf8FromPath(file)));
                }
                files.insert(next + 1, found.size(), QString());
                std::copy(found.begin(), found.end(), files.begin() + next + 1);
            } else {
                notSongs.append(FromUtf8(inFolder.error().text));
            }
            break;
        case InputKind::ChordDatabase:
            ExtractChords(*input.database, path);
            break;
        case InputKind::SongDatabase:
            ExtractSongDatabase(*input.database);
            break;
        case InputKind::Texts:
        case InputKind::ImportDatabase: {
            if (appended.empty()) {
                firstFileTexts = input.texts.size();
            }
            std::size_t replaced = 0;
            for (LoadedText& loaded : input.texts) {
                replaced += loaded.replaced.Total();
                appended.emplace_back(name, IsChordModeText(loaded.text));
                m_songs.Append(std::move(loaded));
            }
            if (replaced != 0) {
                // The number first, so that a "%d" in the file's name stays as it is.
                const QString line = FormatNumber(replaced == 1 ? res::NOTE_REPLACED_ONE : res::NOTE_REPLACED,
                                                  static_cast<long long>(replaced));
                notes.append(FormatString(line.toStdString(), name));
            }
            break;
        }
        case InputKind::NotText:
            notSongs.append(FromUtf8(messages::NotASongFile(name.toStdString(), input.notTextCause)));
            break;
        case InputKind::Unreadable:
            notSongs.append(FromUtf8(input.error));
            break;
        }
    }
    RefreshSongList();
    // A chord list among songs is listed and exported as a song; after a chord list, every text is left out.
    // A songbook file of several songs is named once; more than one file left out (a folder of songs behind a
    // chord list) is one line with their number.
    // The songs after a first chord list in its own songbook file are named apart: the file's chords do go.
    QStringList leftOut;
    bool songsAfterChords = false;
    for (std::size_t i = 0; i < appended.size(); ++i) {
        const auto& [name, chordList] = appended[i];
        if (m_songs.ChordMode() && !(emptyBefore && i == 0)) {
            if (emptyBefore && i < firstFileTexts) {
                songsAfterChords = true;
            } else if (!leftOut.contains(name)) {
                leftOut.append(name);
            }
        } else if (!m_songs.ChordMode() && chordList) {
            notes.append(FormatString(res::NOTE_CHORDS_AS_SONG, name));
        }
    }
    if (songsAfterChords) {
        notes.append(FormatString(res::NOTE_SONGS_AFTER_CHORDS_LEFT_OUT, appended.front().first));
    }
    if (!leftOut.isEmpty()) {
        notes.append(leftOut.size() == 1
                         ? FormatString(res::NOTE_LEFT_OUT, leftOut.front())
                         : FormatNumber(res::NOTE_LEFT_OUT_FILES, static_cast<long long>(leftOut.size())));
    }
    ShowNote(notes.join(QLatin1Char('\n')));
    // Every file that is no song, or could not be read, in one message after the files that were taken.
    if (!notSongs.isEmpty()) {
        m_desktop.ShowMessage(this, notSongs.join(QLatin1Char('\n')), IDesktop::MessageIcon::Warning);
    }
}

void CImporterDlg::ExtractChords(const CPalmDatabase& database, const QString& source)
{
    StartDialogIn(Setting::ChordsFolder);
    const std::optional<QString> target =
        m_desktop.AskSaveFileName(this, FromUtf8(res::TEXT_FILTER), FromUtf8(res::TEXT_EXTENSION));
    if (!target) {
        return;
    }
    RememberDialogFolder(Setting::ChordsFolder, *target, false);
    // Writing the chords over the database they come from would lose it.
    if (!source.isEmpty() && IsSameFile(ToPath(*target), ToPath(source))) {
        ShowError(FromUtf8(messages::SameFileAsInput(ToPath(*target), ToPath(source))));
        return;
    }
    // A chord list that holds another text, perhaps edited since an earlier extraction, is the user's to decide.
    const ChordTextResult result =
        ExportChordsToText(database, ToPath(*target), [this](const std::filesystem::path& file) {
            // One file: "all" means this one.
            switch (
                m_desktop.AskReplaceFile(this, FormatString(res::REPLACE_SONG_FILE, FromUtf8(Utf8FromPath(file))))) {
            case IDesktop::ReplaceAnswer::Replace:
            case IDesktop::ReplaceAnswer::ReplaceAll:
                return ExistingFileChoice::Replace;
            case IDesktop::ReplaceAnswer::KeepBoth:
            case IDesktop::ReplaceAnswer::KeepAll:
                return ExistingFileChoice::KeepBoth;
            case IDesktop::ReplaceAnswer::Cancel:
                break;
            }
            return ExistingFileChoice::Cancel;
        });
    if (result.cancelled) {
        return;
    }
    if (!result.written) {
        ShowError(FromUtf8(result.error));
        return;
    }
    m_desktop.ShowMessage(
        this, FormatString(res::CHORDS_EXTRACTED, FromUtf8(result.path)), IDesktop::MessageIcon::None);
}

namespace {
// "1 song ..." or "%d songs ..."; nothing for none unless `always`.
QString CountLine(std::string_view one, std::string_view many, long long count, bool always = false)
{
    if (count == 0 && !always) {
        return {};
    }
    return QLatin1Char('\n') + (count == 1 ? FromUtf8(one) : FormatNumber(many, count));
}
} // namespace

void CImporterDlg::ExtractSongDatabase(const CPalmDatabase& database)
{
    const std::optional<QString> folder = BrowseForFolder();
    if (!folder) {
        return;
    }
    // A song file that holds another text, perhaps edited since an earlier extraction, is the user's to decide;
    // "Replace All" and "Keep All" decide for the rest of this extraction.
    std::optional<ExistingFileChoice> forAll;
    long long keptBeside = 0;
    const ExtractResult result = ExtractSongs(database, ToPath(*folder), [&](const std::filesystem::path& file) {
        ExistingFileChoice choice = ExistingFileChoice::Cancel;
        if (forAll) {
            choice = *forAll;
        } else {
            switch (
                m_desktop.AskReplaceFile(this, FormatString(res::REPLACE_SONG_FILE, FromUtf8(Utf8FromPath(file))))) {
            case IDesktop::ReplaceAnswer::ReplaceAll:
                forAll = ExistingFileChoice::Replace;
                [[fallthrough]];
            case IDesktop::ReplaceAnswer::Replace:
                choice = ExistingFileChoice::Replace;
                break;
            case IDesktop::ReplaceAnswer::KeepAll:
                forAll = ExistingFileChoice::KeepBoth;
                [[fallthrough]];
            case IDesktop::ReplaceAnswer::KeepBoth:
                choice = ExistingFileChoice::KeepBoth;
                break;
            case IDesktop::ReplaceAnswer::Cancel:
                break;
            }
        }
        keptBeside += choice == ExistingFileChoice::KeepBoth ? 1 : 0;
        return choice;
    });
    QString text =
        FormatString(res::SONGS_EXTRACTED, *folder) +
        CountLine(res::ONE_SONG_WRITTEN, res::SONGS_WRITTEN, result.written - result.unchanged, true) +
        CountLine(res::ONE_ALREADY_THERE, res::ALREADY_THERE, result.unchanged) +
        CountLine(res::ONE_FILE_REPLACED, res::FILES_REPLACED, static_cast<long long>(result.replaced.size())) +
        CountLine(res::ONE_KEPT_BESIDE, res::KEPT_BESIDE, keptBeside);
    if (result.cancelled) {
        const auto& records = database.Records();
        const auto songs = std::count_if(
            records.begin(), records.end(), [](const CPdbRecord& record) { return !IsMarkerRecord(record.Data()); });
        const auto done = static_cast<long long>(result.written) + static_cast<long long>(result.failed.size());
        text += QLatin1Char('\n') + FormatNumber(FormatNumber(res::STOPPED_AFTER, done).toUtf8().toStdString(), songs);
    }
    if (!result.failed.empty()) {
        text += QLatin1Char('\n') + FromUtf8(res::SONGS_NOT_WRITTEN);
        for (const std::string& name : result.failed) {
            text += QLatin1Char('\n') + FromUtf8(name);
        }
    }
    const bool complete = result.failed.empty() && !result.cancelled;
    m_desktop.ShowMessage(this, text, complete ? IDesktop::MessageIcon::None : IDesktop::MessageIcon::Warning);
}
