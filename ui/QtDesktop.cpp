#include "ui/QtDesktop.h"

#include "ui/QtText.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

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

std::string CQtDesktop::TempFolder()
{
    return m_system.TempFolder();
}

IPlatform::OpenResult CQtDesktop::OpenWithDefaultApplication(const std::string& path)
{
    return m_system.OpenWithDefaultApplication(path);
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

std::optional<QString> CQtDesktop::AskSaveFileName(QWidget* owner, const QString& filter, const QString& defaultSuffix)
{
    CNormalCursorWhilePrompting normalCursor;
    QFileDialog dialog(owner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(ToQtNameFilters(filter));
    dialog.setDefaultSuffix(defaultSuffix);
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
    const QString folder = QFileDialog::getExistingDirectory(owner, title);
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
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

ExistingFileChoice CQtDesktop::AskReplaceFile(QWidget* owner, const QString& text)
{
    CNormalCursorWhilePrompting normalCursor;
    QMessageBox box(QMessageBox::Warning, MessageCaption(), text, QMessageBox::Cancel, owner);
    const QAbstractButton* replace = box.addButton(FromUtf8(res::REPLACE_CAPTION), QMessageBox::DestructiveRole);
    QPushButton* keepBoth = box.addButton(FromUtf8(res::KEEP_BOTH_CAPTION), QMessageBox::AcceptRole);
    box.setDefaultButton(keepBoth); // the choice that loses nothing
    box.exec();
    if (box.clickedButton() == replace) {
        return ExistingFileChoice::Replace;
    }
    return box.clickedButton() == keepBoth ? ExistingFileChoice::KeepBoth : ExistingFileChoice::Cancel;
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
