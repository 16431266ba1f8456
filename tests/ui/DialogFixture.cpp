#include "tests/ui/DialogFixture.h"

#include "jobs/Export.h"
#include "jobs/Extract.h"
#include "tests/support/TestDatabase.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTextCursor>

DialogTest::DialogTest()
{
    m_desktop.platform.tempFolder = m_temp.Str() + "/";
    m_dialog = std::make_unique<CImporterDlg>(m_desktop);
}

QString DialogTest::WriteFile(const std::string& name, const std::string& bytes) const
{
    WriteFileBytes(m_dir.File(name), bytes);
    return QString::fromStdString(m_dir.File(name));
}

QString DialogTest::WriteSongDatabase(const std::string& name, const std::vector<std::string>& songs) const
{
    std::vector<std::string> records;
    for (const std::string& song : songs) {
        records.push_back(song + std::string(1, '\0'));
    }
    WriteTestDatabase(m_dir.File(name), TUNELORE_CREATOR, SONG_DB_TYPE, records);
    return QString::fromStdString(m_dir.File(name));
}

QString DialogTest::WriteChordDatabase(const std::string& name, const std::vector<std::string>& records) const
{
    WriteTestDatabase(m_dir.File(name), TUNELORE_CREATOR, CHORD_DB_TYPE, records);
    return QString::fromStdString(m_dir.File(name));
}

void DialogTest::Drop(const QStringList& paths)
{
    m_dialog->OnDropFiles(paths);
}

void DialogTest::LoadThreeSongs()
{
    Drop({WriteFile("grace.pro", GRACE_FILE), WriteFile("fair.pro", FAIR_FILE), WriteFile("valley.txt", VALLEY_FILE)});
}

// Key presses carrying the characters, so letters outside ASCII can be typed too.
static void Type(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

void DialogTest::TypeAtEnd(const QString& text)
{
    Editor()->moveCursor(QTextCursor::End);
    Type(Editor(), text);
}

void DialogTest::ReplaceFirstLine(const QString& line)
{
    QTextCursor cursor(Editor()->document());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    Editor()->setTextCursor(cursor);
    Type(Editor(), line);
}

QComboBox* DialogTest::TitleList() const
{
    return m_dialog->findChild<QComboBox*>(QStringLiteral("IDC_SONG_TITLE"));
}

QPlainTextEdit* DialogTest::Editor() const
{
    return m_dialog->findChild<QPlainTextEdit*>(QStringLiteral("IDC_SONG_TEXT"));
}

QPushButton* DialogTest::Button(const char* objectName) const
{
    return m_dialog->findChild<QPushButton*>(QString::fromLatin1(objectName));
}

QLabel* DialogTest::Status() const
{
    return m_dialog->findChild<QLabel*>(QStringLiteral("IDC_STATUS"));
}

QStringList DialogTest::Labels() const
{
    QStringList labels;
    for (int i = 0; i < TitleList()->count(); ++i) {
        labels.append(TitleList()->itemText(i));
    }
    return labels;
}

std::vector<std::string> DialogTest::SongsIn(const QString& path)
{
    CPalmDatabase database;
    EXPECT_EQ(database.ReadFromFile(path.toStdString()), 0) << path.toStdString();
    std::vector<std::string> songs;
    for (const CPdbRecord& record : database.Records()) {
        songs.emplace_back(SongRecordText(record));
    }
    return songs;
}

std::vector<std::string> DialogTest::TempFiles() const
{
    return FolderEntries(m_temp.Path());
}
