#include "ui/QtDesktop.h"

#include "ui/QtText.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

#if defined(TUNELORE_HAVE_QTDBUS)
#include <QDBusConnection>
#include <QDBusMessage>
#endif

#include "res/Resource.h"

namespace {
// While a prompt is up the user needs the normal pointer, even inside a command that shows the wait cursor.
class CNormalCursorWhilePrompting
{
public:
    CNormalCursorWhilePrompting()
        : m_active(QGuiApplication::overrideCursor() != nullptr)
    {
        if (m_active) {
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        }
    }
    ~CNormalCursorWhilePrompting()
    {
        if (m_active) {
            QGuiApplication::restoreOverrideCursor();
        }
    }
    CNormalCursorWhilePrompting(const CNormalCursorWhilePrompting&) = delete;
    CNormalCursorWhilePrompting& operator=(const CNormalCursorWhilePrompting&) = delete;

private:
    bool m_active;
};

// How long the file manager may take to answer the request to show a file.
constexpr int SHOW_ITEMS_TIMEOUT_MS = 3000;

// The caption of message boxes: the application's name.
QString MessageCaption()
{
    return QGuiApplication::applicationDisplayName();
}
} // namespace

QStringList ToQtNameFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts[i].trimmed();
        if (description.isEmpty()) {
            break; // the "||" that ends the list
        }
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        const qsizetype paren = description.indexOf(QLatin1Char('('));
        if (paren >= 0) {
            description = description.left(paren).trimmed();
        }
        result.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return result;
}

Status CQtDesktop::OpenWithDefaultApplication(const std::string& path)
{
    return m_system.OpenWithDefaultApplication(path);
}

IPlatform::DefaultApplication CQtDesktop::DefaultApplicationFor(const std::string& path)
{
    return m_system.DefaultApplicationFor(path);
}

std::optional<std::string> CQtDesktop::Variable(const std::string& name)
{
    return m_system.Variable(name);
}

std::uint32_t CQtDesktop::Now()
{
    return m_system.Now();
}

std::uint32_t CQtDesktop::Random()
{
    return m_system.Random();
}

std::optional<QStringList> CQtDesktop::AskOpenFileNames(QWidget* owner, const QString& filter)
{
    CNormalCursorWhilePrompting normalCursor;
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (!m_dialogFolder.isEmpty()) {
        dialog.setDirectory(ExistingDialogFolder(m_dialogFolder));
    }
    const QStringList filters = ToQtNameFilters(filter);
    dialog.setNameFilters(filters);
    if (!filters.isEmpty()) {
        dialog.selectNameFilter(filters.front());
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.selectedFiles();
}

std::optional<QString> CQtDesktop::AskSaveFileName(QWidget* owner,
                                                   const QString& filter,
                                                   const QString& defaultSuffix,
                                                   const QString& suggestedName)
{
    CNormalCursorWhilePrompting normalCursor;
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!m_dialogFolder.isEmpty()) {
        dialog.setDirectory(ExistingDialogFolder(m_dialogFolder));
    }
    dialog.setNameFilters(ToQtNameFilters(filter));
    dialog.setDefaultSuffix(defaultSuffix);
    if (!suggestedName.isEmpty()) {
        dialog.selectFile(suggestedName);
    }
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return files.front();
}

std::optional<QString> CQtDesktop::AskFolder(QWidget* owner, const QString& title)
{
    CNormalCursorWhilePrompting normalCursor;
    const QString folder = QFileDialog::getExistingDirectory(owner, title, ExistingDialogFolder(m_dialogFolder));
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder;
}

void CQtDesktop::ShowMessage(QWidget* owner, const QString& text, MessageIcon icon)
{
    CNormalCursorWhilePrompting normalCursor;
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    if (icon == MessageIcon::Warning) {
        boxIcon = QMessageBox::Warning;
    } else if (icon == MessageIcon::Error) {
        boxIcon = QMessageBox::Critical;
    }
    QMessageBox box(boxIcon, MessageCaption(), text, QMessageBox::Ok, owner);
    box.exec();
}

bool CQtDesktop::AskOkCancel(QWidget* owner, const QString& text)
{
    CNormalCursorWhilePrompting normalCursor;
    QMessageBox box(QMessageBox::Warning, MessageCaption(), text, QMessageBox::Ok | QMessageBox::Cancel, owner);
    box.setDefaultButton(QMessageBox::Cancel); // keeping things as they are is the safe answer
    return box.exec() == QMessageBox::Ok;
}

std::optional<QString> CQtDesktop::AskText(QWidget* owner, const QString& text, const QString& initial)
{
    CNormalCursorWhilePrompting normalCursor;
    bool ok = false;
    QString answer = QInputDialog::getText(owner, MessageCaption(), text, QLineEdit::Normal, initial, &ok);
    return ok ? std::optional(answer) : std::nullopt;
}

std::optional<int> CQtDesktop::AskChoice(QWidget* owner, const QString& text, const QStringList& choices)
{
    CNormalCursorWhilePrompting normalCursor;
    bool ok = false;
    const QString chosen = QInputDialog::getItem(owner, MessageCaption(), text, choices, 0, false, &ok);
    const qsizetype index = choices.indexOf(chosen);
    if (!ok || index < 0) {
        return std::nullopt;
    }
    return static_cast<int>(index);
}

void CQtDesktop::SetDialogFolder(const QString& folder)
{
    m_dialogFolder = folder;
}

void CQtDesktop::ShowInFileManager(const QString& path)
{
#if defined(TUNELORE_HAVE_QTDBUS)
    // The file manager's own interface selects the file in its folder; any file manager may provide it.
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, SHOW_ITEMS_TIMEOUT_MS);
    if (reply.type() == QDBusMessage::ReplyMessage) {
        return;
    }
#endif
    const QString folder = QFileInfo(path).absolutePath();
    m_system.OpenWithDefaultApplication(folder.toUtf8().toStdString());
}

bool CQtDesktop::AskYesNo(QWidget* owner, const QString& text)
{
    CNormalCursorWhilePrompting normalCursor;
    QMessageBox box(QMessageBox::Warning, MessageCaption(), text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

IDesktop::ReplaceAnswer CQtDesktop::AskReplaceFile(QWidget* owner, const QString& text)
{
    CNormalCursorWhilePrompting normalCursor;
    QMessageBox box(QMessageBox::Warning, MessageCaption(), text, QMessageBox::Cancel, owner);
    const std::pair<std::string_view, ReplaceAnswer> buttons[] = {
        {res::REPLACE_CAPTION, ReplaceAnswer::Replace},
        {res::REPLACE_ALL_CAPTION, ReplaceAnswer::ReplaceAll},
        {res::KEEP_BOTH_CAPTION, ReplaceAnswer::KeepBoth},
        {res::KEEP_ALL_CAPTION, ReplaceAnswer::KeepAll},
    };
    std::vector<std::pair<const QAbstractButton*, ReplaceAnswer>> added;
    for (const auto& [caption, answer] : buttons) {
        const bool keeps = answer == ReplaceAnswer::KeepBoth || answer == ReplaceAnswer::KeepAll;
        QPushButton* button =
            box.addButton(FromUtf8(caption), keeps ? QMessageBox::AcceptRole : QMessageBox::DestructiveRole);
        if (answer == ReplaceAnswer::KeepBoth) {
            box.setDefaultButton(button); // the choice that loses nothing
        }
        added.emplace_back(button, answer);
    }
    box.exec();
    for (const auto& [button, answer] : added) {
        if (box.clickedButton() == button) {
            return answer;
        }
    }
    return ReplaceAnswer::Cancel;
}

void CQtDesktop::RunModal(QDialog& dialog)
{
    CNormalCursorWhilePrompting normalCursor;
    dialog.exec();
}

void CQtDesktop::BeginWaitCursor()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void CQtDesktop::EndWaitCursor()
{
    QGuiApplication::restoreOverrideCursor();
}

QString ExistingDialogFolder(const QString& folder)
{
    if (folder.isEmpty()) {
        return folder;
    }
    QString path = QDir::cleanPath(QDir(folder).absolutePath());
    // The root is its own parent, and exists.
    for (QString parent; !QDir(path).exists() && (parent = QFileInfo(path).path()) != path;) {
        path = parent;
    }
    return path;
}
