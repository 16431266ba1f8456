#pragma once

#include "tests/support/TempDir.h"
#include "tests/ui/FakeDesktop.h"
#include "ui/ImporterDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Three small songs as files hold them (LF line ends) and as loaded texts (CR LF).
inline constexpr const char* GRACE_FILE = "{title: Amazing Grace}\n[G]Amazing grace, how [C]sweet the sound\n";
inline constexpr const char* FAIR_FILE = "{t:Scarborough Fair}\n{st:Traditional}\n[Am]Are you going\n";
inline constexpr const char* VALLEY_FILE = "down in the valley\n[G]valley so low\n";
inline constexpr const char* CHORDS_FILE = "C x 3 2 0 1 0\nG 3 2 0 0 0 3\nD x x 0 2 3 2\n";

// A fresh window with a fake desktop whose temporary folder is an empty folder of the test's own.
class DialogTest : public ::testing::Test
{
protected:
    DialogTest();

    // Writes a file into the test's folder; returns its path.
    QString WriteFile(const std::string& name, const std::string& bytes) const;
    // A song database (creator TuNe, type SONG) or chord database (CHRD) with these records.
    QString WriteSongDatabase(const std::string& name, const std::vector<std::string>& songs) const;
    QString WriteChordDatabase(const std::string& name, const std::vector<std::string>& records) const;
    // Loads files as a drop of them would.
    void Drop(const QStringList& paths);
    // Loads the three songs, in the order Grace, Fair, Valley.
    void LoadThreeSongs();
    // Types at the end of the editor's text, as the user would.
    void TypeAtEnd(const QString& text);
    // Replaces the editor's first line, as the user would.
    void ReplaceFirstLine(const QString& line);

    QComboBox* TitleList() const;
    QPlainTextEdit* Editor() const;
    QPushButton* Button(const char* objectName) const;
    QLabel* Status() const;
    QStringList Labels() const;
    // The song texts of a database file, in record order.
    static std::vector<std::string> SongsIn(const QString& path);
    // The database files in the fake desktop's temporary folder.
    std::vector<std::string> TempFiles() const;

    TempDir m_dir;
    TempDir m_temp;
    CFakeDesktop m_desktop;
    std::unique_ptr<CImporterDlg> m_dialog;
};
