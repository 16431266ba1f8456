#include "ui/HotSyncDlg.h"

#include "ui/QtText.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "res/Resource.h"

CHotSyncDlg::CHotSyncDlg(QWidget* parent,
                         const std::string& connection,
                         std::function<void(const HotSyncSessionSetup&)> work)
    : QDialog(parent)
    , m_work(std::move(work))
{
    setObjectName(QStringLiteral("IDD_HOTSYNC"));
    setWindowTitle(FromUtf8(res::HOTSYNC_TITLE));
    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(FromUtf8(res::HOTSYNC_WAIT), this);
    m_status->setObjectName(QStringLiteral("IDC_HOTSYNC_STATUS"));
    m_status->setMinimumWidth(m_status->fontMetrics().averageCharWidth() * 48);
    layout->addWidget(m_status);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 0); // busy until the first database starts
    layout->addWidget(m_progress);
    // Where the session waits, and where that is changed: a handheld or emulator on another connection would
    // otherwise be waited for in vain.
    if (const std::string where = WhereHotSyncWaits(connection); !where.empty()) {
        auto* whereLabel =
            new QLabel(FromUtf8(where) + QLatin1Char('\n') + FromUtf8(res::HOTSYNC_CHANGE_CONNECTION), this);
        whereLabel->setObjectName(QStringLiteral("IDC_HOTSYNC_WHERE"));
        whereLabel->setWordWrap(true);
        layout->addWidget(whereLabel);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("IDC_HOTSYNC_CANCEL"));
    connect(buttons, &QDialogButtonBox::rejected, this, &CHotSyncDlg::reject);
    layout->addWidget(buttons);

    // The callbacks run on the worker; each hands its report to the UI thread. Queued calls to this dialog
    // are dropped once it is gone, and the destructor waits for the worker first.
    m_setup.connection = connection;
    m_setup.cancel = &m_cancel;
    m_setup.connected = [this] {
        QMetaObject::invokeMethod(
            this, [this] { ShowConnected(); }, Qt::QueuedConnection);
    };
    m_setup.progress = [this](const hotsync::Progress& step) {
        QMetaObject::invokeMethod(
            this, [this, step] { ShowProgress(step); }, Qt::QueuedConnection);
    };
}

CHotSyncDlg::~CHotSyncDlg()
{
    m_cancel = true;
    Wait();
}

void CHotSyncDlg::Start()
{
    m_worker = std::thread([this] {
        m_work(m_setup);
        QMetaObject::invokeMethod(
            this, [this] { Finished(); }, Qt::QueuedConnection);
    });
}

void CHotSyncDlg::Wait()
{
    if (m_worker.joinable()) {
        m_worker.join();
    }
}

void CHotSyncDlg::reject()
{
    // The session sees the flag within 100 ms and ends; the window waits for it after the dialog.
    m_cancel = true;
    QDialog::reject();
}

void CHotSyncDlg::ShowConnected()
{
    m_status->setText(FromUtf8(res::HOTSYNC_CONNECTED));
}

void CHotSyncDlg::ShowProgress(const hotsync::Progress& step)
{
    m_status->setText(
        FromUtf8(res::HOTSYNC_PROGRESS).arg(FromCp1252(step.database)).arg(step.record).arg(step.records));
    m_progress->setRange(0, std::max(step.records, 1));
    m_progress->setValue(step.record);
}

void CHotSyncDlg::Finished()
{
    if (isVisible()) {
        accept();
    }
}
