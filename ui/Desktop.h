#pragma once

#include "jobs/Extract.h"
#include "platform/Platform.h"

#include <QString>
#include <QStringList>

#include <optional>

class QDialog;
class QWidget;

// Everything the importer window asks of the desktop: the services the jobs need (temporary folder, open
// request, default application, environment, clock), the file manager, and the user prompts (file dialogs,
// folder picker, choices, message boxes, modal dialogs, the wait cursor). The window talks to the desktop only through
// this interface, so tests can answer the prompts without a modal window ever opening.
class IDesktop : public IPlatform
{
public:
    enum class MessageIcon
    {
        None,
        Warning,
        Error,
    };

    // A multi-select open dialog. `filter` is in the "description|patterns|...||" notation (patterns
    // separated by ";"); the first entry is selected. The chosen paths in the dialog's order, or nullopt when
    // the user cancels.
    virtual std::optional<QStringList> AskOpenFileNames(QWidget* owner, const QString& filter) = 0;

    // A save dialog with the filter (same notation), `defaultSuffix` appended to a name typed without one,
    // `suggestedName` as the file name it starts with (none when empty), and a confirmation before an existing
    // file is overwritten. The chosen path, or nullopt on cancel.
    virtual std::optional<QString> AskSaveFileName(QWidget* owner,
                                                   const QString& filter,
                                                   const QString& defaultSuffix,
                                                   const QString& suggestedName = {}) = 0;

    // A folder picker with the given title. The chosen folder, or nullopt on cancel.
    virtual std::optional<QString> AskFolder(QWidget* owner, const QString& title) = 0;

    // A message box with an OK button.
    virtual void ShowMessage(QWidget* owner, const QString& text, MessageIcon icon) = 0;

    // A message box with OK and Cancel and the exclamation icon; true when the user chooses OK.
    virtual bool AskOkCancel(QWidget* owner, const QString& text) = 0;

    // A line of text to type, starting with `initial`; nullopt on cancel.
    virtual std::optional<QString> AskText(QWidget* owner, const QString& text, const QString& initial) = 0;

    // A question with a list of choices; the index of the chosen one, or nullopt on cancel.
    virtual std::optional<int> AskChoice(QWidget* owner, const QString& text, const QStringList& choices) = 0;

    // The folder the next file dialog or folder picker starts in; empty for the desktop's own choice.
    virtual void SetDialogFolder(const QString& folder) = 0;

    // Shows the file selected in the file manager (org.freedesktop.FileManager1 over D-Bus where there is
    // one), or else opens its folder; does not wait.
    virtual void ShowInFileManager(const QString& path) = 0;

    // A question with Yes and No (the default) and the exclamation icon; true when the user chooses Yes.
    virtual bool AskYesNo(QWidget* owner, const QString& text) = 0;

    // A message box asking what to do with a file that would be replaced: Replace, Replace All, Keep Both, Keep
    // All or Cancel.
    enum class ReplaceAnswer
    {
        Replace,
        ReplaceAll,
        KeepBoth,
        KeepAll,
        Cancel,
    };
    virtual ReplaceAnswer AskReplaceFile(QWidget* owner, const QString& text) = 0;

    // Runs `dialog` modally and returns when it has ended.
    virtual void RunModal(QDialog& dialog) = 0;

    // The wait cursor; calls nest, and each Begin is matched by one End.
    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;
};

// Shows the wait cursor for the life of the object, so every way out of a command restores the cursor.
class CWaitCursor
{
public:
    explicit CWaitCursor(IDesktop& desktop)
        : m_desktop(desktop)
    {
        m_desktop.BeginWaitCursor();
    }
    ~CWaitCursor() { m_desktop.EndWaitCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;

private:
    IDesktop& m_desktop;
};
