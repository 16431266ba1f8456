#pragma once

#include "tests/support/FakePlatform.h"
#include "ui/Desktop.h"

#include <QDialog>

#include <gtest/gtest.h>

#include <deque>
#include <vector>

// A desktop that answers the window's prompts from queues and records every call, so no modal window
// opens. A prompt with no answer queued fails the test. The jobs' services come from FakePlatform.
class CFakeDesktop : public IDesktop
{
public:
    struct Prompt
    {
        QString kind;      // "open", "save", "folder", "message", "okcancel", "modal"
        QString text;      // filter, title, message text, or the dialog's object name
        QString extra;     // default suffix, or the message icon
        int waitDepth = 0; // wait cursors active while the prompt was up
    };

    std::string TempFolder() override { return platform.TempFolder(); }
    OpenResult OpenWithDefaultApplication(const std::string& path) override
    {
        waitDepthAtOpen = waitDepth;
        return platform.OpenWithDefaultApplication(path);
    }
    std::uint32_t Now() override { return platform.Now(); }

    std::optional<QStringList> AskOpenFileNames(QWidget*, const QString& filter) override
    {
        Record(QStringLiteral("open"), filter);
        return Next(openAnswers);
    }
    std::optional<QString> AskSaveFileName(QWidget*, const QString& filter, const QString& suffix) override
    {
        Record(QStringLiteral("save"), filter, suffix);
        return Next(saveAnswers);
    }
    std::optional<QString> AskFolder(QWidget*, const QString& title) override
    {
        Record(QStringLiteral("folder"), title);
        return Next(folderAnswers);
    }
    void ShowMessage(QWidget*, const QString& text, MessageIcon icon) override
    {
        Record(QStringLiteral("message"), text, QString::number(static_cast<int>(icon)));
    }
    bool AskOkCancel(QWidget*, const QString& text) override
    {
        Record(QStringLiteral("okcancel"), text);
        return Next(okCancelAnswers).value_or(false);
    }
    void RunModal(QDialog& dialog) override
    {
        Record(QStringLiteral("modal"), dialog.objectName(), dialog.windowTitle());
        modalDialogChildren = dialog.findChildren<QWidget*>().size();
    }
    void BeginWaitCursor() override { ++waitDepth; }
    void EndWaitCursor() override { --waitDepth; }

    // The texts of the recorded prompts of one kind, in order.
    QStringList Texts(const QString& kind) const
    {
        QStringList texts;
        for (const Prompt& prompt : prompts) {
            if (prompt.kind == kind) {
                texts.append(prompt.text);
            }
        }
        return texts;
    }

    FakePlatform platform;
    std::deque<std::optional<QStringList>> openAnswers;
    std::deque<std::optional<QString>> saveAnswers;
    std::deque<std::optional<QString>> folderAnswers;
    std::deque<std::optional<bool>> okCancelAnswers;

    std::vector<Prompt> prompts;
    int waitDepth = 0;
    int waitDepthAtOpen = -1;
    qsizetype modalDialogChildren = 0;

private:
    void Record(const QString& kind, const QString& text, const QString& extra = {})
    {
        prompts.push_back({kind, text, extra, waitDepth});
    }
    template <class T> std::optional<T> Next(std::deque<std::optional<T>>& answers)
    {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected prompt: " << prompts.back().kind.toStdString() << " "
                          << prompts.back().text.toStdString();
            return std::nullopt;
        }
        const bool given = answers.front().has_value();
        T value = given ? *answers.front() : T();
        answers.pop_front();
        if (!given) {
            return std::nullopt;
        }
        return value;
    }
};
