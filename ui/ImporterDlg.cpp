// The main window's construction and chrome: controls from the IDD_IMPORTER template, icons, the about box,
// tooltips, the Ctrl+A and F1 keys, drops, and the resize layout.

#include "ui/ImporterDlg.h"

#include "text/RecordFormat.h"
#include "ui/AboutDlg.h"
#include "ui/NoteLabel.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextCursor>
#include <QUrl>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <string>
#include <tuple>

#include "res/Resource.h"

// The icons are compiled into this static library; registering them here keeps the linker from dropping them.
static void InitResources()
{
    Q_INIT_RESOURCE(tunelore);
}

namespace {
QIcon LoadAppIcon()
{
    InitResources();
    QIcon icon;
    for (const int size : {16, 32, 48}) {
        icon.addFile(QStringLiteral(":/icons/tunelore-importer-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

QString ObjectName(const char* idName)
{
    return QString::fromLatin1(idName);
}

// The tip of the text length below the status, naming the characters a song record keeps.
std::string TextLengthTip()
{
    return FormatNumber(res::TEXT_LENGTH_TIP, static_cast<long long>(SONG_MAX_TEXT)).toStdString();
}
} // namespace

CImporterDlg::CImporterDlg(IDesktop& desktop, QWidget* parent)
    : QDialog(parent,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                  Qt::WindowCloseButtonHint)
    , m_desktop(desktop)
    , m_collator(QLocale())
    , m_songs([this](std::string_view a, std::string_view b) { return m_collator.compare(FromUtf8(a), FromUtf8(b)); })
    , m_appIcon(LoadAppIcon())
{
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    setObjectName(ObjectName("IDD_IMPORTER"));
    setWindowTitle(FromUtf8(res::IMPORTER_CAPTION));
    setAcceptDrops(true);
    m_baseUnits = MeasureDialogBaseUnits(font());
    CreateControls();
    ConnectControls();
    InitDialog();
}

void CImporterDlg::CreateControls()
{
    const DialogBaseUnits& u = m_baseUnits;

    // Template order, which is also the tab order.
    m_titleList = new QComboBox(this);
    m_titleList->setObjectName(ObjectName("IDC_SONG_TITLE"));
    m_titleList->setEditable(false);
    m_titleList->setMaxVisibleItems(16);
    const QRect titleRect = DluToPixels(u, 46, 7, 176, 163);
    // The template's height is that of the open list; the closed box is as high as its font needs.
    m_titleList->setGeometry(titleRect.x(), titleRect.y(), titleRect.width(), m_titleList->sizeHint().height());
    m_titleList->setEnabled(false);
    m_titleList->installEventFilter(this);

    m_songText = new QPlainTextEdit(this);
    m_songText->setObjectName(ObjectName("IDC_SONG_TEXT"));
    m_songText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_songText->setTabChangesFocus(true);
    m_songText->setGeometry(DluToPixels(u, 7, 29, 216, 186));
    m_songText->setEnabled(false);
    m_songText->viewport()->installEventFilter(this);
    m_songText->setContextMenuPolicy(Qt::CustomContextMenu);

    m_dropFiles = new QPushButton(FromUtf8(res::DROP_FILES_CAPTION), this);
    m_dropFiles->setObjectName(ObjectName("IDC_DROP_FILES"));
    m_dropFiles->setGeometry(DluToPixels(u, 237, 7, 70, 35));

    m_install = new QPushButton(FromUtf8(res::INSTALL_CAPTION), this);
    m_install->setObjectName(ObjectName("IDC_INSTALL"));
    m_install->setGeometry(DluToPixels(u, 237, 49, 70, 14));
    m_install->setEnabled(false);

    m_quit = new QPushButton(FromUtf8(res::QUIT_CAPTION), this);
    m_quit->setObjectName(ObjectName("IDCANCEL"));
    m_quit->setGeometry(DluToPixels(u, 237, 87, 70, 14));

    m_status = new QLabel(this);
    m_status->setObjectName(ObjectName("IDC_STATUS"));
    m_status->setTextFormat(Qt::PlainText);
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_status->setGeometry(DluToPixels(u, 245, 207, 62, 8));

    m_savePdb = new QPushButton(FromUtf8(res::SAVE_PDB_CAPTION), this);
    m_savePdb->setObjectName(ObjectName("IDC_SAVE_PDB"));
    m_savePdb->setGeometry(DluToPixels(u, 237, 68, 70, 14));
    m_savePdb->setEnabled(false);

    m_titleLabel = new QLabel(FromUtf8(res::SONG_TITLE_LABEL), this);
    m_titleLabel->setObjectName(ObjectName("IDC_STATIC_SONG_TITLE"));
    m_titleLabel->setTextFormat(Qt::PlainText);
    m_titleLabel->setGeometry(DluToPixels(u, 7, 9, 35, 8));

    // Below the status: how many of the characters a song record keeps the edited song uses.
    m_textLength = new QLabel(this);
    m_textLength->setObjectName(ObjectName("IDC_TEXT_LENGTH"));
    m_textLength->setTextFormat(Qt::PlainText);
    m_textLength->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_textLength->setGeometry(m_status->geometry().translated(0, m_status->height()));
    m_textLength->setToolTip(FromUtf8(TextLengthTip()));

    // Below the count: notes about the files just loaded and the last command, wrapped to the column.
    m_note = new CNoteLabel(this);
    m_note->setObjectName(ObjectName("IDC_NOTE"));
    m_note->setTextFormat(Qt::PlainText);
    m_note->setWordWrap(true);
    m_note->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_note->setGeometry(m_textLength->geometry().translated(0, m_textLength->height()));

    for (QPushButton* button : {m_dropFiles, m_install, m_quit, m_savePdb}) {
        button->setFocusPolicy(Qt::StrongFocus);
        button->setAutoDefault(true);
    }
    QWidget::setTabOrder(m_titleList, m_songText);
    QWidget::setTabOrder(m_songText, m_dropFiles);
    QWidget::setTabOrder(m_dropFiles, m_install);
    // Save PDB stands above Quit, so Tab reaches it first.
    QWidget::setTabOrder(m_install, m_savePdb);
    QWidget::setTabOrder(m_savePdb, m_quit);
    SetDefaultButton(m_dropFiles);

    // Tooltips of the three buttons; the other controls have none.
    const std::pair<QWidget*, std::string_view> tips[] = {
        {m_install, res::TIP_INSTALL},
        {m_savePdb, res::TIP_SAVE_PDB},
        {m_dropFiles, res::TIP_DROP_FILES},
    };
    for (const auto& [control, tip] : tips) {
        control->setToolTip(FromUtf8(tip));
    }
    m_status->setToolTip(FromUtf8(res::STATUS_TIP));
    // Screen readers: a name for each control without a caption (the status line gets its name with its text
    // in ShowEditorText), and a description for every control.
    const std::string lengthTip = TextLengthTip();
    const std::tuple<QWidget*, std::string_view, std::string_view> accessible[] = {
        {m_titleList, res::SONG_TITLE_NAME, res::SONG_TITLE_DESCRIPTION},
        {m_songText, res::SONG_TEXT_NAME, res::SONG_TEXT_DESCRIPTION},
        {m_dropFiles, {}, res::DROP_FILES_DESCRIPTION},
        {m_install, {}, res::INSTALL_DESCRIPTION},
        {m_quit, {}, res::QUIT_DESCRIPTION},
        {m_status, {}, res::STATUS_DESCRIPTION},
        {m_savePdb, {}, res::SAVE_PDB_DESCRIPTION},
        {m_titleLabel, {}, res::SONG_TITLE_LABEL_DESCRIPTION},
        {m_textLength, res::TEXT_LENGTH_NAME, lengthTip},
        {m_note, res::NOTE_NAME, res::NOTE_DESCRIPTION},
    };
    for (const auto& [control, name, description] : accessible) {
        if (!name.empty()) {
            control->setAccessibleName(FromUtf8(name));
        }
        control->setAccessibleDescription(FromUtf8(description));
    }

    resize(DluToPixelsX(u, 314), DluToPixelsY(u, 222));
    setMinimumSize(MIN_WIDTH, MIN_HEIGHT);
}

void CImporterDlg::ConnectControls()
{
    connect(m_titleList, &QComboBox::currentIndexChanged, this, [this](int) {
        RunCommand([this] { OnSelChangeSongTitle(); });
    });
    connect(m_songText, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_showingText) {
            RunCommand([this] { OnChangeSongText(); });
        }
    });
    connect(m_songText, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        ShowEditorMenu(position);
    });
    connect(m_dropFiles, &QPushButton::clicked, this, [this] { RunCommand([this] { OnDropFilesButton(); }); });
    connect(m_install, &QPushButton::clicked, this, [this] { RunCommand([this] { OnInstall(); }); });
    connect(m_savePdb, &QPushButton::clicked, this, [this] { RunCommand([this] { OnSavePdb(); }); });
    connect(m_quit, &QPushButton::clicked, this, [this] { RunCommand([this] { OnCancel(); }); });
}

void CImporterDlg::InitDialog()
{
    ShowEditorText(nullptr);
    setWindowIcon(m_appIcon);
    RestoreWindowPlace();
    const QVariant fixedPitch = ReadSetting(Setting::FixedPitchFont);
    m_fixedPitch = !fixedPitch.isValid() || fixedPitch.toBool();
    ApplyEditorFont();

    // IDR_IMPORTER_KEYS: Ctrl+A selects the editor's text whichever control has the focus.
    auto* selectAll = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), this);
    selectAll->setObjectName(ObjectName("ID_SELECT_ALL_TEXT"));
    selectAll->setContext(Qt::WindowShortcut);
    connect(selectAll, &QShortcut::activated, this, [this] { OnSelectAllText(); });

    // Ctrl+F and F3: find in the editor.
    const std::pair<QKeySequence, void (CImporterDlg::*)()> findKeys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_F), &CImporterDlg::OnFind},
        {QKeySequence(Qt::Key_F3), &CImporterDlg::OnFindNext},
    };
    for (const auto& [keys, command] : findKeys) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, command = command] {
            RunCommand([this, command] { (this->*command)(); });
        });
    }

    // The about box is reached through the window's context menu and F1.
    auto* about = new QShortcut(QKeySequence(Qt::Key_F1), this);
    about->setObjectName(ObjectName("IDM_SHOW_ABOUT"));
    about->setContext(Qt::WindowShortcut);
    connect(about, &QShortcut::activated, this, [this] { RunCommand([this] { OnAbout(); }); });
}

void CImporterDlg::OnFind()
{
    if (!m_songText->isEnabled()) {
        return;
    }
    const std::optional<QString> text = m_desktop.AskText(this, FromUtf8(res::FIND_PROMPT), m_findText);
    if (!text || text->isEmpty()) {
        return;
    }
    m_findText = *text;
    OnFindNext();
}

void CImporterDlg::OnFindNext()
{
    if (m_findText.isEmpty() || !m_songText->isEnabled()) {
        return;
    }
    if (m_songText->find(m_findText)) {
        return;
    }
    // From the top once the end is reached.
    QTextCursor top = m_songText->textCursor();
    top.movePosition(QTextCursor::Start);
    m_songText->setTextCursor(top);
    if (!m_songText->find(m_findText)) {
        ShowNote(FormatString(res::NOT_FOUND, m_findText));
    }
}

void CImporterDlg::OnAbout()
{
    CAboutDlg about(m_appIcon, this);
    m_desktop.RunModal(about);
}

void CImporterDlg::LayoutControls(int width, int height)
{
    if (width == 0 || height == 0) {
        return;
    }
    const int W = width;
    const int H = height;
    const int dh = m_dropFiles->height();
    const int bw = m_install->width();
    const int bh = m_install->height();
    const int L = m_titleList->x();
    const int hl = m_titleList->height();

    m_titleList->resize(W - bw - L - 20, hl);
    // H - bh - 30 leaves a margin below the editor only for fonts about as small as the template's; with a
    // larger font the editor would reach past the bottom edge and hide its horizontal scroll bar, so it keeps
    // at least its left margin free below it.
    const int editorHeight = std::min(H - bh - 30, H - m_songText->y() - m_songText->x());
    m_songText->resize(W - bw - 30, editorHeight);
    m_dropFiles->move(W - bw - 10, 10);
    m_install->move(W - bw - 10, dh + 20);
    m_savePdb->move(W - bw - 10, dh + bh + 30);
    m_quit->move(W - bw - 10, dh + 2 * bh + 40);
    m_status->move(W - bw - 10, dh + 3 * bh + 50);
    m_textLength->move(m_status->x(), m_status->y() + m_status->height());
    const int noteTop = m_textLength->y() + m_textLength->height() + 4;
    m_note->setGeometry(m_status->x(), noteTop, bw, std::max(0, H - noteTop - 10));
}

void CImporterDlg::ShowNote(const QString& text)
{
    m_chordListNoteShown = false;
    m_note->setText(text);
    m_note->setAccessibleName(text.isEmpty() ? FromUtf8(res::NOTE_NAME) : text);
}

void CImporterDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayoutControls(width(), height());
}

void CImporterDlg::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    FillContextMenu(menu);
    menu.exec(event->globalPos());
}

void CImporterDlg::FillContextMenu(QMenu& menu)
{
    QAction* about = menu.addAction(FromUtf8(res::ABOUT_MENU));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, [this] { RunCommand([this] { OnAbout(); }); });
    menu.addSeparator();
    QAction* remove = menu.addAction(FromUtf8(res::REMOVE_SONG_MENU));
    remove->setShortcut(QKeySequence(Qt::Key_Delete));
    remove->setEnabled(m_songs.Shown() != nullptr);
    connect(remove, &QAction::triggered, this, [this] { RunCommand([this] { OnRemoveSong(); }); });
    QAction* saveSong = menu.addAction(FromUtf8(res::SAVE_SONG_MENU));
    saveSong->setEnabled(m_songs.Shown() != nullptr);
    connect(saveSong, &QAction::triggered, this, [this] { RunCommand([this] { OnSaveSongAs(); }); });
    QAction* saveAll = menu.addAction(FromUtf8(res::SAVE_ALL_MENU));
    saveAll->setEnabled(!m_songs.Empty());
    connect(saveAll, &QAction::triggered, this, [this] { RunCommand([this] { OnSaveAllSongs(); }); });
    QAction* undo = menu.addAction(FromUtf8(res::UNDO_REMOVE_MENU));
    undo->setEnabled(m_songs.CanUndoRemove());
    connect(undo, &QAction::triggered, this, [this] { RunCommand([this] { OnUndoRemove(); }); });
    menu.addSeparator();
    AddInstallDestinations(menu);
    QAction* getSongs = menu.addAction(FromUtf8(res::GET_SONGS_MENU));
    connect(getSongs, &QAction::triggered, this, [this] { RunCommand([this] { OnGetSongsFromHandheld(); }); });
    menu.addSeparator();
    QAction* sheets = menu.addAction(FromUtf8(res::CHORD_SHEETS_MENU));
    sheets->setCheckable(true);
    sheets->setChecked(m_textConversion == TextConversion::ChordSheets);
    connect(sheets, &QAction::triggered, this, [this](bool on) { RunCommand([this, on] { OnChordSheetMode(on); }); });
    AddFontSwitch(menu);
}

void CImporterDlg::AddFontSwitch(QMenu& menu)
{
    QAction* fixed = menu.addAction(FromUtf8(res::FIXED_PITCH_MENU));
    fixed->setCheckable(true);
    fixed->setChecked(m_fixedPitch);
    connect(fixed, &QAction::triggered, this, [this](bool on) { RunCommand([this, on] { OnFixedPitchFont(on); }); });
}

void CImporterDlg::ShowEditorMenu(const QPoint& position)
{
    const std::unique_ptr<QMenu> menu(m_songText->createStandardContextMenu(position));
    menu->addSeparator();
    AddFontSwitch(*menu);
    menu->exec(m_songText->viewport()->mapToGlobal(position));
}

void CImporterDlg::OnFixedPitchFont(bool on)
{
    m_fixedPitch = on;
    ApplyEditorFont();
    WriteSetting(Setting::FixedPitchFont, on);
}

void CImporterDlg::ApplyEditorFont()
{
    QFont editorFont = font();
    if (m_fixedPitch) {
        editorFont = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        editorFont.setPointSizeF(font().pointSizeF());
    }
    m_songText->setFont(editorFont);
}

void CImporterDlg::reject()
{
    // Escape, the close box and the window menu's Close all end up here, like the Quit button.
    RunCommand([this] { OnCancel(); });
}

QStringList CImporterDlg::DroppedFiles(const QMimeData* mimeData)
{
    QStringList paths;
    if (mimeData == nullptr || !mimeData->hasUrls() || mimeData->hasFormat(QLatin1String(OWN_DRAG_FORMAT))) {
        return paths;
    }
    for (const QUrl& url : mimeData->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    return paths;
}

void CImporterDlg::dragEnterEvent(QDragEnterEvent* event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CImporterDlg::dragMoveEvent(QDragMoveEvent* event)
{
    if (!DroppedFiles(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void CImporterDlg::dropEvent(QDropEvent* event)
{
    const QStringList paths = DroppedFiles(event->mimeData());
    if (paths.isEmpty()) {
        return;
    }
    event->acceptProposedAction();
    RunCommand([this, &paths] { OnDropFiles(paths); });
}

bool CImporterDlg::eventFilter(QObject* watched, QEvent* event)
{
    // In the title list, Delete removes the shown song and Ctrl+Z puts the last removed one back.
    if (watched == m_titleList && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            RunCommand([this] { OnRemoveSong(); });
            return true;
        }
        if (key->matches(QKeySequence::Undo)) {
            RunCommand([this] { OnUndoRemove(); });
            return true;
        }
    }
    // Files dropped on the editor are loaded like files dropped anywhere else on the window; other drags
    // (text moved within the editor) stay the editor's.
    if (watched == m_songText->viewport()) {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (!DroppedFiles(drag->mimeData()).isEmpty()) {
                drag->acceptProposedAction();
                return true;
            }
            break;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (!DroppedFiles(drop->mimeData()).isEmpty()) {
                dropEvent(drop);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CImporterDlg::ShowError(const QString& text)
{
    m_desktop.ShowMessage(this, text, IDesktop::MessageIcon::Error);
}
