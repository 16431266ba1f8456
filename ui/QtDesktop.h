#pragma once

#include "ui/Desktop.h"

// The real desktop: Qt's file dialogs, message boxes and item picker, the application's override cursor, the
// file manager over D-Bus, and the system services of CSystemPlatform for the jobs.
class CQtDesktop : public IDesktop
{
public:
    Status OpenWithDefaultApplication(const std::string& path) override;
    DefaultApplication DefaultApplicationFor(const std::string& path) override;
    std::optional<std::string> Variable(const std::string& name) override;
    std::uint32_t Now() override;
    std::uint32_t Random() override;

    std::optional<QStringList> AskOpenFileNames(QWidget* owner, const QString& filter) override;
    std::optional<QString> AskSaveFileName(QWidget* owner,
                                           const QString& filter,
                                           const QString& defaultSuffix,
                                           const QString& suggestedName) override;
    std::optional<QString> AskFolder(QWidget* owner, const QString& title) override;
    void ShowMessage(QWidget* owner, const QString& text, MessageIcon icon) override;
    bool AskOkCancel(QWidget* owner, const QString& text) override;
    std::optional<QString> AskText(QWidget* owner, const QString& text, const QString& initial) override;
    std::optional<int> AskChoice(QWidget* owner, const QString& text, const QStringList& choices) override;
    void SetDialogFolder(const QString& folder) override;
    void ShowInFileManager(const QString& path) override;
    bool AskYesNo(QWidget* owner, const QString& text) override;
    ReplaceAnswer AskReplaceFile(QWidget* owner, const QString& text) override;
    void RunModal(QDialog& dialog) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;

private:
    CSystemPlatform m_system;
    QString m_dialogFolder;
};

// The filter notation of IDesktop ("Text Files (*.txt)|*.txt|All Files (*.*)|*.*||") as Qt name filters
// ("Text Files (*.txt)", "All Files (*)"): each description keeps its text before the parenthesis and gets
// the entry's own patterns; "*.*" becomes "*", so names without an extension match too.
QStringList ToQtNameFilters(const QString& filter);

// Where a file dialog opens for `folder`: the folder itself, or, when it is gone (a remembered folder since
// removed, a documents folder that was never made), the nearest folder above it that exists. Empty stays empty.
QString ExistingDialogFolder(const QString& folder);
