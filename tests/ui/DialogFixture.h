#pragma once

#include "jobs/Export.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/TempDir.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace std::string_literals;

// A desktop that logs every prompt, open request and file shown as a line "kind@wait cursors: text (extra)", and
// its kind in `kinds`, and answers the prompts from `answers` in order: nullopt cancels, any text is OK, an open
// dialog takes lines of paths, a choice the index of the one chosen. Environment and applications are `platform`'s.
class CFakeDesktop : public IDesktop
{
public:
    Status OpenWithDefaultApplication(const std::string& path) override
    {
        Record("request", QString::fromStdString(path));
        return platform.OpenWithDefaultApplication(path);
    }
    DefaultApplication DefaultApplicationFor(const std::string& path) override
    {
        return platform.DefaultApplicationFor(path);
    }
    std::optional<std::string> Variable(const std::string& name) override { return platform.Variable(name); }
    std::uint32_t Now() override { return platform.Now(); }
    std::uint32_t Random() override { return platform.Random(); }
    std::optional<QStringList> AskOpenFileNames(QWidget*, const QString& filter) override
    {
        const std::optional<QString> paths = Ask("open", filter);
        return paths ? std::optional(paths->split(QLatin1Char('\n'))) : std::nullopt;
    }
    std::optional<QString>
    AskSaveFileName(QWidget*, const QString& filter, const QString& suffix, const QString& name) override
    {
        return Ask("save", filter, suffix + (name.isEmpty() ? QString() : QStringLiteral(", ") + name));
    }
    std::optional<QString> AskFolder(QWidget*, const QString& title) override
    {
        folderStarts.push_back(dialogFolder.toStdString());
        return Ask("folder", title);
    }
    void ShowMessage(QWidget*, const QString& text, MessageIcon) override { Record("message", text); }
    bool AskOkCancel(QWidget*, const QString& text) override { return Ask("okcancel", text).has_value(); }
    std::optional<QString> AskText(QWidget*, const QString& text, const QString& initial) override
    {
        return Ask("text", text, initial);
    }
    std::optional<int> AskChoice(QWidget*, const QString& text, const QStringList& choices) override
    {
        const std::optional<QString> answer = Ask("choice", text, choices.join(QStringLiteral(" | ")));
        return answer ? std::optional(answer->toInt()) : std::nullopt;
    }
    void SetDialogFolder(const QString& folder) override { dialogFolder = folder; }
    void ShowInFileManager(const QString& path) override { Record("show", path); }
    bool AskYesNo(QWidget*, const QString& text) override { return Ask("yesno", text).has_value(); }
    ReplaceAnswer AskReplaceFile(QWidget*, const QString& text) override
    {
        // "keep" keeps both, "keep all", "replace all", and any other text replaces.
        const std::optional<QString> answer = Ask("replace", text);
        return !answer                                   ? ReplaceAnswer::Cancel
               : *answer == QLatin1String("keep")        ? ReplaceAnswer::KeepBoth
               : *answer == QLatin1String("keep all")    ? ReplaceAnswer::KeepAll
               : *answer == QLatin1String("replace all") ? ReplaceAnswer::ReplaceAll
                                                         : ReplaceAnswer::Replace;
    }
    void RunModal(QDialog& dialog) override
    {
        Record("modal", dialog.objectName());
        if (runModal)
            runModal(dialog);
    }
    void BeginWaitCursor() override { ++waitDepth; }
    void EndWaitCursor() override { --waitDepth; }

    FakePlatform platform;
    std::vector<std::optional<std::string>> answers;
    std::string prompts;
    std::string kinds; // "show message ..."
    int waitDepth = 0;
    std::function<void(QDialog&)> runModal; // runs a modal dialog the test lets run (none by default)
    QString dialogFolder;                   // where the next file dialog starts
    std::vector<std::string> folderStarts;  // where each folder picker started

private:
    void Record(const char* kind, const QString& text, const QString& extra = {})
    {
        kinds += (kinds.empty() ? "" : " ") + std::string(kind);
        prompts += kind + ("@" + std::to_string(waitDepth)) + ": " + text.toStdString() +
                   (extra.isEmpty() ? "" : " (" + extra.toStdString() + ")") + "\n";
    }
    std::optional<QString> Ask(const char* kind, const QString& text, const QString& extra = {})
    {
        Record(kind, text, extra);
        EXPECT_LT(m_next, answers.size()) << "unexpected prompt: " << kind << " " << text.toStdString();
        const std::optional<std::string> answer = m_next < answers.size() ? answers[m_next++] : std::nullopt;
        return answer ? std::optional(QString::fromStdString(*answer)) : std::nullopt;
    }
    std::size_t m_next = 0;
};

inline constexpr const char* GRACE_FILE = "{title: Amazing Grace}\n[G]Amazing grace, how [C]sweet the sound\n";
inline constexpr const char* FAIR_FILE = "{t:Scarborough Fair}\n{st:Traditional}\n[Am]Are you going\n";
inline constexpr const char* VALLEY_FILE = "down in the valley\n[G]valley so low\n";
inline constexpr const char* CHORDS_FILE = "C x 3 2 0 1 0\nG 3 2 0 0 0 3\nD x x 0 2 3 2\n";

// Names each case of a table-driven test by its `name`.
inline const auto CaseName = [](const auto& info) { return std::string(info.param.name); };

// The handheld of every test window without a session of its own: never there, so nothing waits on a USB bus.
class CNoHandheld : public IHotSyncSession
{
public:
    Status Install(const HotSyncSessionSetup& setup, const std::vector<const CPalmDatabase*>&, bool) override
    {
        return Absent(setup);
    }
    Result<std::vector<CPalmDatabase>> ReadSongbook(const HotSyncSessionSetup& setup) override { return Absent(setup); }
    Error Absent(const HotSyncSessionSetup& setup)
    {
        connections += setup.connection + " ";
        return MakeError(ErrorKind::NotFound, "no USB handheld is connected");
    }
    std::string connections;
};

// A fresh window; the fake desktop's temporary folder and HOME (its only variable) are folders of the test's.
class DialogTest : public ::testing::Test
{
protected:
    // J-Pilot's folder is there, so that Install hands the songs to its list unless a test takes it away.
    DialogTest()
    {
        m_desktop.platform.environment = {{"HOME", m_home.Str()}};
        std::filesystem::create_directory(m_home.Path() / ".jpilot");
    }

    QString WriteFile(const std::string& name, const std::string& bytes) const
    {
        WriteFileBytes(m_dir.File(name), bytes);
        return QString::fromStdString(m_dir.File(name));
    }
    void Drop(const QStringList& paths) { m_dialog->OnDropFiles(paths); }
    // Writes the files, each {name, bytes}, and drops them all at once.
    void DropFiles(const std::vector<std::pair<std::string, std::string>>& files)
    {
        QStringList paths;
        for (const auto& [name, bytes] : files)
            paths.append(WriteFile(name, bytes));
        Drop(paths);
    }
    void LoadThreeSongs() { DropFiles({{"grace.pro", GRACE_FILE}, {"fair.pro", FAIR_FILE}, {"v.txt", VALLEY_FILE}}); }
    // Types into the editor with key presses carrying the text: at the end, or over the first line.
    void Type(const QString& text, QTextCursor::MoveOperation to = QTextCursor::End)
    {
        Editor()->moveCursor(to, to == QTextCursor::End ? QTextCursor::MoveAnchor : QTextCursor::KeepAnchor);
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(Editor(), &press);
        }
    }
    void ShowActive()
    {
        m_dialog->show();
        m_dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_dialog.get()));
    }

    // The context menu's entry with `text` (in its submenus too), triggered when enabled and `trigger`; "" when there
    // is no such entry, else "on" or "off" (as it was before) or "disabled".
    std::string Menu(const QString& text, bool trigger = true)
    {
        QMenu menu;
        m_dialog->FillContextMenu(menu);
        QList<QAction*> actions = menu.actions();
        for (qsizetype i = 0; i < actions.size(); ++i) {
            QAction* action = actions[i];
            if (action->menu() != nullptr) {
                actions.append(action->menu()->actions());
            } else if (action->text() == text) {
                const std::string was = !action->isEnabled() ? "disabled" : action->isChecked() ? "on" : "off";
                if (action->isEnabled() && trigger)
                    action->trigger();
                return was;
            }
        }
        return "";
    }

    std::string Note() const { return m_dialog->findChild<QLabel*>(QStringLiteral("IDC_NOTE"))->text().toStdString(); }
    QComboBox* TitleList() const { return m_dialog->findChild<QComboBox*>(QStringLiteral("IDC_SONG_TITLE")); }
    QPlainTextEdit* Editor() const { return m_dialog->findChild<QPlainTextEdit*>(QStringLiteral("IDC_SONG_TEXT")); }
    QPushButton* Button(const char* name) const { return m_dialog->findChild<QPushButton*>(QLatin1String(name)); }
    const std::string& Text(std::size_t index) const { return m_dialog->Songs().Texts().at(index).text; }
    // "LEIS" for the enabled list, editor, Install and Save PDB ("-" where disabled), the Install caption after
    // "*" when Install is the default button, the status, and the list's entries, the selected one in brackets.
    std::string State() const
    {
        const QWidget* controls[] = {TitleList(), Editor(), Button("IDC_INSTALL"), Button("IDC_SAVE_PDB")};
        std::string state;
        for (std::size_t i = 0; i < 4; ++i)
            state += controls[i]->isEnabled() ? "LEIS"[i] : '-';
        state += (Button("IDC_INSTALL")->isDefault() ? " *" : " ") + Button("IDC_INSTALL")->text().toStdString() +
                 " | " + m_dialog->findChild<QLabel*>(QStringLiteral("IDC_STATUS"))->text().toStdString() + " |";
        for (int i = 0; i < TitleList()->count(); ++i) {
            const std::string label = TitleList()->itemText(i).toStdString();
            state += " " + (i == TitleList()->currentIndex() ? "[" + label + "]" : label);
        }
        return state;
    }
    // The path of the one database in the folder where Install keeps them, or "".
    std::string KeptFile() const
    {
        const std::filesystem::path folder = m_home.Path() / ".local/share/tunelore-importer";
        const std::vector<std::string> files = FolderEntries(folder);
        return files.size() == 1 ? (folder / files[0]).string() : "";
    }

    TempDir m_dir;
    TempDir m_temp;
    TempDir m_home;
    CFakeDesktop m_desktop;
    CNoHandheld m_noHandheld;
    std::unique_ptr<CImporterDlg> m_dialog = NewWindow();

    std::unique_ptr<CImporterDlg> NewWindow()
    {
        auto window = std::make_unique<CImporterDlg>(m_desktop);
        window->SetHotSyncSession(m_noHandheld);
        return window;
    }
};
