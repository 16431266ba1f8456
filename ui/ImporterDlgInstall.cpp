// The main window's Install: the destination the user chose (context menu, or asked each time), the one
// message that says where the songs went, the database dragged out of the window, and the window's settings.

#include "jobs/InputFile.h"
#include "jobs/Install.h"
#include "jobs/TuneloreDatabase.h"
#include "pdb/FileIo.h"
#include "ui/ImporterDlg.h"
#include "ui/QtText.h"

#include <QActionGroup>
#include <QApplication>
#include <QDrag>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QSettings>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "hotsync/Connection.h"
#include "hotsync/SerialPort.h"
#include "res/Resource.h"

namespace {
constexpr const char* SETTINGS_FILE = "window.conf";

// The key of each of the window's settings in SETTINGS_FILE.
QString SettingKey(CImporterDlg::Setting setting)
{
    using enum CImporterDlg::Setting;
    switch (setting) {
    case Geometry:
        return QStringLiteral("window/geometry");
    case ChordSheets:
        return QStringLiteral("conversion/chordSheets");
    case FixedPitchFont:
        return QStringLiteral("editor/fixedPitchFont");
    case OpenFolder:
        return QStringLiteral("folders/open");
    case DatabaseFolder:
        return QStringLiteral("folders/database");
    case ExtractFolder:
        return QStringLiteral("folders/extract");
    case ChordsFolder:
        return QStringLiteral("folders/chords");
    case SongFolder:
        return QStringLiteral("folders/song");
    case InstallFolder:
        return QStringLiteral("folders/install");
    }
    return {};
}

// A menu text as a choice in a list: without its "&" and "...".
QString ChoiceText(std::string_view menuText)
{
    QString text = FromUtf8(menuText);
    text.remove(QLatin1Char('&'));
    if (text.endsWith(QStringLiteral("..."))) {
        text.chop(3);
    }
    return text;
}

QString FromPath(const std::filesystem::path& path)
{
    return FromUtf8(Utf8FromPath(path));
}
} // namespace

std::unique_ptr<QSettings> CImporterDlg::OpenSettings() const
{
    const std::optional<std::filesystem::path> folder = ConfigFolder(m_desktop);
    if (!folder) {
        return nullptr;
    }
    return std::make_unique<QSettings>(FromPath(*folder / SETTINGS_FILE), QSettings::IniFormat);
}

QVariant CImporterDlg::ReadSetting(Setting setting) const
{
    const std::unique_ptr<QSettings> settings = OpenSettings();
    return settings ? settings->value(SettingKey(setting)) : QVariant();
}

void CImporterDlg::WriteSetting(Setting setting, const QVariant& value) const
{
    if (const std::unique_ptr<QSettings> settings = OpenSettings()) {
        settings->setValue(SettingKey(setting), value);
    }
}

void CImporterDlg::StartDialogIn(Setting folder, const QString& firstTime)
{
    const QVariant remembered = ReadSetting(folder);
    m_desktop.SetDialogFolder(remembered.isValid() ? remembered.toString() : firstTime);
}

void CImporterDlg::RememberDialogFolder(Setting folder, const QString& fileOrFolder, bool isFolder)
{
    WriteSetting(folder, isFolder ? fileOrFolder : QFileInfo(fileOrFolder).absolutePath());
}

void CImporterDlg::RestoreWindowPlace()
{
    restoreGeometry(ReadSetting(Setting::Geometry).toByteArray());
    // A second window opened while one is up stands a little below and to the right of it, not on top.
    // (The places are compared loosely: a shown window's place may count its frame, this one's not yet.)
    constexpr int OFFSET = 32;
    for (int moves = 0; moves < 16; ++moves) {
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto covering = std::find_if(windows.begin(), windows.end(), [this](const QWidget* window) {
            const QPoint apart = window->pos() - pos();
            return window != this && window->isVisible() && qobject_cast<const CImporterDlg*>(window) != nullptr &&
                   std::abs(apart.x()) < OFFSET && std::abs(apart.y()) < OFFSET;
        });
        if (covering == windows.end()) {
            break;
        }
        move((*covering)->pos() + QPoint(OFFSET, OFFSET));
    }
    m_textConversion =
        ReadSetting(Setting::ChordSheets).toBool() ? TextConversion::ChordSheets : TextConversion::Strict;
}

void CImporterDlg::OnChordSheetMode(bool on)
{
    m_textConversion = on ? TextConversion::ChordSheets : TextConversion::Strict;
    WriteSetting(Setting::ChordSheets, on);
    ShowNote(FromUtf8(on ? res::NOTE_CHORD_SHEETS_ON : res::NOTE_CHORD_SHEETS_OFF));
}

void CImporterDlg::done(int result)
{
    WriteSetting(Setting::Geometry, saveGeometry());
    QDialog::done(result);
}

std::optional<std::string> CImporterDlg::AskInstallFolder()
{
    // A memory card that the handheld reads installs from PALM/Launcher; mounted cards are offered first.
    const std::vector<std::filesystem::path> cards = LauncherFolders(m_desktop);
    if (!cards.empty()) {
        QStringList choices;
        for (const std::filesystem::path& card : cards) {
            choices.append(FromPath(card));
        }
        choices.append(FromUtf8(res::ANOTHER_FOLDER));
        const std::optional<int> chosen = m_desktop.AskChoice(this, FromUtf8(res::CHOOSE_CARD), choices);
        if (!chosen) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(*chosen) < cards.size()) {
            return Utf8FromPath(cards[static_cast<std::size_t>(*chosen)]);
        }
    }
    StartDialogIn(Setting::InstallFolder);
    const std::optional<QString> folder = m_desktop.AskFolder(this, FromUtf8(res::INSTALL_FOLDER_TITLE));
    if (!folder) {
        return std::nullopt;
    }
    RememberDialogFolder(Setting::InstallFolder, *folder, true);
    return Utf8FromPath(ToPath(*folder));
}

void CImporterDlg::OnInstallDestination(InstallMethod method)
{
    // The HotSync connection stays remembered for Get Songs and for choosing HotSync again.
    InstallChoice choice{method, {}, ReadInstallChoice(m_desktop).connection};
    if (method == InstallMethod::Folder) {
        std::optional<std::string> folder = AskInstallFolder();
        if (!folder) {
            return;
        }
        choice.folder = std::move(*folder);
    }
    RememberInstallChoice(choice);
}

void CImporterDlg::RememberInstallChoice(const InstallChoice& choice)
{
    if (const Status saved = SaveInstallChoice(m_desktop, choice); !saved) {
        ShowError(FromUtf8(saved.error().text));
    }
}

std::optional<std::string> CImporterDlg::AskHotSyncConnection()
{
    // The connections offered: USB, network HotSync, each serial port present, an emulator's serial port
    // over TCP, or one the user types (the remembered one to start with).
    std::vector<std::string> connections = {"usb", "net"};
    QStringList choices = {FromUtf8(res::HOTSYNC_USB), FromUtf8(res::HOTSYNC_NET)};
    for (const std::string& port : hotsync::ListSerialPorts()) {
        connections.push_back("serial:" + port);
        choices.append(FormatString(res::HOTSYNC_SERIAL, FromUtf8(port)));
    }
    connections.push_back("serial-net");
    choices.append(FromUtf8(res::HOTSYNC_EMULATOR));
    choices.append(ChoiceText(res::HOTSYNC_OTHER));
    const std::optional<int> chosen = m_desktop.AskChoice(this, FromUtf8(res::HOTSYNC_ASK_CONNECTION), choices);
    if (!chosen || *chosen < 0 || *chosen >= choices.size()) {
        return std::nullopt;
    }
    std::string connection;
    if (static_cast<std::size_t>(*chosen) < connections.size()) {
        connection = connections[static_cast<std::size_t>(*chosen)];
    } else {
        const std::optional<QString> typed = m_desktop.AskText(
            this, FromUtf8(res::HOTSYNC_TYPE_CONNECTION), FromUtf8(ReadInstallChoice(m_desktop).connection));
        if (!typed) {
            return std::nullopt;
        }
        connection = typed->trimmed().toStdString();
        if (const Result<hotsync::HandheldRoute> route = hotsync::ParseConnection(connection); !route) {
            ShowError(FromUtf8(route.error().text));
            return std::nullopt;
        }
    }
    return connection;
}

void CImporterDlg::OnHotSyncDestination()
{
    if (const std::optional<std::string> connection = AskHotSyncConnection()) {
        RememberInstallChoice({InstallMethod::HotSync, {}, *connection});
    }
}

void CImporterDlg::AddInstallDestinations(QMenu& menu)
{
    QMenu* destinations = menu.addMenu(FromUtf8(res::INSTALL_TO_MENU));
    auto* group = new QActionGroup(destinations);
    const InstallChoice current = ReadInstallChoice(m_desktop);
    // One entry per destination; a new destination is one more line here.
    const std::pair<InstallMethod, std::string_view> entries[] = {
        {InstallMethod::Automatic, res::DESTINATION_AUTOMATIC},
        {InstallMethod::JPilot, res::DESTINATION_JPILOT},
        {InstallMethod::Folder, res::DESTINATION_FOLDER},
        {InstallMethod::SystemTool, res::DESTINATION_SYSTEM},
        {InstallMethod::Ask, res::DESTINATION_ASK},
    };
    const bool byHotSync = current.method == InstallMethod::HotSync;
    for (const auto& [method, text] : entries) {
        QString label = FromUtf8(text);
        if (method == InstallMethod::Folder && current.method == method && !current.folder.empty()) {
            label = FormatString(res::DESTINATION_FOLDER_CHOSEN, FromUtf8(current.folder));
        }
        QAction* action = destinations->addAction(label);
        action->setCheckable(true);
        action->setChecked(!byHotSync && method == current.method);
        action->setData(static_cast<int>(method));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, method = method] {
            RunCommand([this, method] { OnInstallDestination(method); });
        });
    }
    QAction* hotsync =
        destinations->addAction(byHotSync && !current.connection.empty()
                                    ? FormatString(res::DESTINATION_HOTSYNC_CHOSEN, FromUtf8(current.connection))
                                    : FromUtf8(res::DESTINATION_HOTSYNC));
    hotsync->setCheckable(true);
    hotsync->setChecked(byHotSync);
    group->addAction(hotsync);
    connect(hotsync, &QAction::triggered, this, [this] { RunCommand([this] { OnHotSyncDestination(); }); });
}

std::optional<InstallChoice> CImporterDlg::ChooseInstall()
{
    InstallChoice choice = ReadInstallChoice(m_desktop);
    if (choice.method != InstallMethod::Ask) {
        return choice;
    }
    const QStringList choices = {ChoiceText(res::DESTINATION_JPILOT),
                                 ChoiceText(res::DESTINATION_FOLDER),
                                 ChoiceText(res::DESTINATION_SYSTEM),
                                 ChoiceText(res::DESTINATION_HOTSYNC)};
    const std::optional<int> chosen = m_desktop.AskChoice(this, FromUtf8(res::ASK_DESTINATION), choices);
    if (!chosen) {
        return std::nullopt;
    }
    if (*chosen == 3) {
        choice.method = InstallMethod::HotSync; // over the remembered connection, USB when none
        return choice;
    }
    if (*chosen == 1) {
        std::optional<std::string> folder = AskInstallFolder();
        if (!folder) {
            return std::nullopt;
        }
        return InstallChoice{InstallMethod::Folder, std::move(*folder), {}};
    }
    return InstallChoice{*chosen == 0 ? InstallMethod::JPilot : InstallMethod::SystemTool, {}, {}};
}

void CImporterDlg::OnInstall()
{
    if (m_songs.Empty()) {
        return;
    }
    CommitEditedSong();
    if (!ConfirmLosses()) {
        return; // the texts stay as they are
    }
    const std::optional<InstallChoice> choice = ChooseInstall();
    if (!choice) {
        return;
    }
    if (DestinationFor(*choice, m_desktop) == InstallDestination::HotSync) {
        if (InstallByHotSync(choice->HotSyncConnection())) {
            ClearLoadedSongs();
        }
        return;
    }
    InstallResult result;
    {
        CWaitCursor wait(m_desktop);
        result = InstallLoadedTexts(m_songs.Texts(), *choice, m_desktop, ShownExport());
    }
    if (!result.written) {
        // Nothing was written anywhere, so the texts stay loaded for another try.
        ShowError(FromUtf8(result.error));
        return;
    }
    const bool one = m_songs.Count() == 1 && !m_songs.ChordMode();
    ClearLoadedSongs();
    ReportInstall(result, one);
}

void CImporterDlg::ReportInstall(const InstallResult& result, bool oneSong)
{
    const QString file = FromUtf8(result.path);
    if (!result.ok() || result.destination == InstallDestination::None) {
        // The database waits in the folder where Install keeps it: show it to the user.
        m_desktop.ShowInFileManager(file);
        QString text = FormatString(oneSong ? res::INSTALL_SAVED_ONE : res::INSTALL_SAVED, file);
        if (!result.ok()) {
            text += QStringLiteral("\n\n") + FromUtf8(res::INSTALL_NOT_HANDED_ON) + FromUtf8(result.error) +
                    QLatin1Char('.');
        }
        ShowNote(text);
        m_desktop.ShowMessage(this, text, result.ok() ? IDesktop::MessageIcon::None : IDesktop::MessageIcon::Warning);
        return;
    }
    QString text;
    if (result.destination == InstallDestination::JPilot) {
        text = FormatString(oneSong ? res::INSTALL_QUEUED_ONE : res::INSTALL_QUEUED, file);
    } else if (result.destination == InstallDestination::Folder) {
        text = FormatString(oneSong ? res::INSTALL_COPIED_ONE : res::INSTALL_COPIED,
                            FromPath(PathFromUtf8(result.target).parent_path()));
    } else {
        text = FormatString(oneSong ? res::INSTALL_HANDED_ONE : res::INSTALL_HANDED, file);
    }
    // The songs are gone from the window: the note says where they went, as after Save PDB, and no longer
    // speaks of the files they came from.
    ShowNote(text);
    m_desktop.ShowMessage(this, text, IDesktop::MessageIcon::None);
}

QString CImporterDlg::HotSyncFailure(const Error& error, bool cancelled, bool installing) const
{
    const QString cause = FromUtf8(error.text);
    if (cancelled) {
        return FromUtf8(installing ? res::HOTSYNC_CANCELLED : res::HOTSYNC_READ_CANCELLED);
    }
    QString text;
    switch (error.kind) {
    case ErrorKind::Cancelled:
        text = FromUtf8(installing ? res::HOTSYNC_CANCELLED_ON_HANDHELD : res::HOTSYNC_READ_CANCELLED);
        break;
    case ErrorKind::NotFound:
    case ErrorKind::Refused:
    case ErrorKind::Timeout:
        text = FormatString(res::HOTSYNC_NO_HANDHELD, cause);
        break;
    case ErrorKind::NoSpace:
        text = FormatString(res::HOTSYNC_NO_SPACE, cause);
        break;
    case ErrorKind::Disconnected:
        // The link's own text may already say so; the cause is added only when it tells more.
        text = error.text.find("connection to the handheld was lost") != std::string::npos
                   ? FromUtf8(res::HOTSYNC_LOST_PLAIN)
                   : FormatString(res::HOTSYNC_LOST, cause);
        break;
    default:
        text = FormatString(res::HOTSYNC_FAILED, cause);
        break;
    }
    return installing && !m_songs.Empty() ? text + QStringLiteral("\n\n") + FromUtf8(res::HOTSYNC_SONGS_STAY) : text;
}

bool CImporterDlg::InstallByHotSync(const std::string& connection)
{
    const CPalmDatabase database = BuildImportDatabase(m_songs.Texts(), m_desktop, ShownExport());
    bool replace = false;
    for (;;) {
        Status done = MakeError(ErrorKind::Cancelled, "not run");
        CHotSyncDlg dialog(this, connection, [&](const HotSyncSessionSetup& setup) {
            done = m_hotsync->Install(setup, {&database}, replace);
        });
        dialog.Start();
        m_desktop.RunModal(dialog);
        dialog.Wait();
        if (done) {
            m_desktop.ShowMessage(this,
                                  FormatString(res::HOTSYNC_INSTALLED, FromCp1252(database.m_name)) +
                                      QStringLiteral(" (") + FromUtf8(connection) + QLatin1Char(')'),
                                  IDesktop::MessageIcon::None);
            return true;
        }
        if (done.error().kind == ErrorKind::Exists && !dialog.Cancelled() && !replace) {
            const std::optional<int> answer =
                m_desktop.AskChoice(this,
                                    FormatString(res::HOTSYNC_EXISTS, FromCp1252(database.m_name)),
                                    {FromUtf8(res::HOTSYNC_REPLACE), FromUtf8(res::HOTSYNC_CANCEL)});
            if (answer == 0) {
                replace = true;
                continue;
            }
            return false;
        }
        m_desktop.ShowMessage(
            this, HotSyncFailure(done.error(), dialog.Cancelled(), true), IDesktop::MessageIcon::Warning);
        return false;
    }
}

std::optional<QString> CImporterDlg::BuildDragFile()
{
    CommitEditedSong();
    if (const std::vector<TextLossReport> losses = m_songs.Losses(); !losses.empty()) {
        m_desktop.ShowMessage(this,
                              FromUtf8(res::DRAG_REFUSED) + LossList(losses) + QStringLiteral("\n\n") +
                                  FromUtf8(res::DRAG_USE_COMMANDS),
                              IDesktop::MessageIcon::Warning);
        return std::nullopt;
    }
    CPalmDatabase database = BuildImportDatabase(m_songs.Texts(), m_desktop, ShownExport());
    const InstallResult kept = KeepDatabase(database, m_desktop);
    if (!kept.written) {
        ShowError(FromUtf8(kept.error));
        return std::nullopt;
    }
    return FromUtf8(kept.path);
}

void CImporterDlg::mousePressEvent(QMouseEvent* event)
{
    // A press on the window itself or on the status line (which passes its clicks on) may start a drag.
    if (event->button() == Qt::LeftButton) {
        m_dragStart = event->position().toPoint();
    }
    QDialog::mousePressEvent(event);
}

void CImporterDlg::mouseMoveEvent(QMouseEvent* event)
{
    if ((event->buttons() & Qt::LeftButton) != 0 && !m_songs.Empty() &&
        (event->position().toPoint() - m_dragStart).manhattanLength() >= QApplication::startDragDistance()) {
        RunCommand([this] { StartDrag(); });
        return;
    }
    QDialog::mouseMoveEvent(event);
}

void CImporterDlg::StartDrag()
{
    const std::optional<QString> file = BuildDragFile();
    if (!file) {
        return;
    }
    auto* mimeData = new QMimeData;
    mimeData->setUrls({QUrl::fromLocalFile(*file)});
    // Marks the drag as the window's own, so that dropping it back on the window loads nothing.
    mimeData->setData(QString::fromLatin1(OWN_DRAG_FORMAT), QByteArray());
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeData);
    drag->setPixmap(m_appIcon.pixmap(32, 32));
    if (drag->exec(Qt::CopyAction) == Qt::IgnoreAction) {
        QFile::remove(*file); // nobody took it
    }
}

void CImporterDlg::OnGetSongsFromHandheld()
{
    // The edit goes back into its song first: songs loaded from the handheld rebuild the list and the editor.
    CommitEditedSong();
    // The remembered connection, else the one the user chooses now, remembered for the next time.
    InstallChoice remembered = ReadInstallChoice(m_desktop);
    std::optional<std::string> connection = remembered.connection;
    if (connection->empty()) {
        connection = AskHotSyncConnection();
        if (!connection) {
            return;
        }
        remembered.connection = *connection;
        RememberInstallChoice(remembered);
    }
    Result<std::vector<CPalmDatabase>> read = MakeError(ErrorKind::Cancelled, "not run");
    CHotSyncDlg dialog(
        this, *connection, [&](const HotSyncSessionSetup& setup) { read = m_hotsync->ReadSongbook(setup); });
    dialog.Start();
    m_desktop.RunModal(dialog);
    dialog.Wait();
    if (!read) {
        m_desktop.ShowMessage(
            this, HotSyncFailure(read.error(), dialog.Cancelled(), false), IDesktop::MessageIcon::Warning);
        return;
    }
    const bool anySongs =
        std::any_of(read->begin(), read->end(), [](const CPalmDatabase& db) { return HoldsSongs(KindOf(db)); });
    if (read->empty()) {
        m_desktop.ShowMessage(this, FromUtf8(res::HOTSYNC_NOTHING_READ), IDesktop::MessageIcon::None);
        return;
    }
    bool load = false;
    if (anySongs) {
        const std::optional<int> answer = m_desktop.AskChoice(
            this, FromUtf8(res::HOTSYNC_ASK_SONGS), {FromUtf8(res::HOTSYNC_EXTRACT), FromUtf8(res::HOTSYNC_LOAD)});
        if (!answer) {
            return;
        }
        load = *answer == 1;
    }
    // Songs go where the user said; chord databases as a dropped one: their chords into a text file.
    QStringList loaded; // the song databases whose songs were loaded
    for (const CPalmDatabase& db : *read) {
        if (HoldsChords(KindOf(db))) {
            ExtractChords(db);
        } else if (!load) {
            ExtractSongDatabase(db);
        } else {
            for (LoadedText& text : LoadedTextsOfDatabase(db)) {
                m_songs.Append(std::move(text));
            }
            loaded.append(FromCp1252(db.GetName()));
        }
    }
    if (load) {
        RefreshSongList();
        // Behind a chord list the songs are held but not exported, as for files loaded after one: said so.
        QStringList notes;
        for (const QString& name : loaded) {
            if (m_songs.ChordMode()) {
                notes.append(FormatString(res::NOTE_LEFT_OUT, name));
            }
        }
        ShowNote(notes.join(QLatin1Char('\n')));
    }
}
