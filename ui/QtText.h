#pragma once

#include "jobs/Charset.h"

#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

// The window's conversions between the core's 8-bit strings and QString. Loaded texts and display names are
// Windows-1252; paths and the jobs' messages are UTF-8.

// Windows-1252 text for a widget.
QString FromCp1252(std::string_view text);
// A widget's text as Windows-1252; characters without a Windows-1252 form become "?" and are added to
// `replaced` by the second form.
std::string ToCp1252(const QString& text);
std::string ToCp1252(const QString& text, ReplacedCharacters& replaced);

// A loaded text (Windows-1252, CR LF line ends) as the editor shows it: CR LF becomes LF.
QString LoadedTextToEditor(std::string_view loadedText);
// A song file's text (UTF-8) as the editor shows it: CR LF becomes LF.
QString SongFileToEditor(std::string_view songFile);
// The editor's raw text (paragraph and line separators, or LF, between lines) as a loaded text: every line
// break becomes CR LF. A text shown by LoadedTextToEditor and not edited comes back unchanged. The second
// form adds the characters that became "?" to `replaced`.
std::string EditorToLoadedText(const QString& editorText);
std::string EditorToLoadedText(const QString& editorText, ReplacedCharacters& replaced);
// The editor's raw text as a song file holds it: UTF-8, every line break CR LF; a character the handheld
// cannot show stays as it is.
std::string EditorToSongFile(const QString& editorText);

// File paths for the jobs (UTF-8) and back.
std::filesystem::path ToPath(const QString& path);
QString FromUtf8(std::string_view text);

// `format` with its first "%s" replaced by `value`.
QString FormatString(std::string_view format, const QString& value);
// `format` with its first "%d" replaced by `value`.
QString FormatNumber(std::string_view format, long long value);
