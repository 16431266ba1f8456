#pragma once

#include "jobs/HotSyncJobs.h"
#include "pdb/PalmDatabase.h"

#include <QDialog>

#include <functional>
#include <string>
#include <thread>
#include <vector>

class QLabel;
class QProgressBar;

// The HotSync sessions the window runs; the window's tests put in their own, so no network is needed.
// Both run on a worker thread and report through `setup`'s callbacks from that thread.
class IHotSyncSession
{
public:
    virtual ~IHotSyncSession() = default;
    virtual Status
    Install(const HotSyncSessionSetup& setup, const std::vector<const CPalmDatabase*>& databases, bool replace) = 0;
    virtual Result<std::vector<CPalmDatabase>> ReadSongbook(const HotSyncSessionSetup& setup) = 0;
};

// The real session over the connection the setup names.
class CHotSyncSession : public IHotSyncSession
{
public:
    Status
    Install(const HotSyncSessionSetup& setup, const std::vector<const CPalmDatabase*>& databases, bool replace) override
    {
        return InstallDatabasesByHotSync(setup, databases, replace);
    }
    Result<std::vector<CPalmDatabase>> ReadSongbook(const HotSyncSessionSetup& setup) override
    {
        return ReadSongbookByHotSync(setup);
    }
};

// The waiting dialog (IDD_HOTSYNC): "Press the HotSync button on the handheld" with Cancel, then the
// database and record the session reached. The session runs on a worker thread, so the window keeps
// painting; its reports come to this dialog as queued calls. The dialog ends by itself when the session
// ends; Cancel sets the session's cancel flag and ends the dialog at once.
class CHotSyncDlg : public QDialog
{
    Q_OBJECT

public:
    // `work` runs on the worker with the setup whose callbacks report to this dialog.
    CHotSyncDlg(QWidget* parent, const std::string& connection, std::function<void(const HotSyncSessionSetup&)> work);
    // Waits for the worker (which sees a cancel within 100 ms).
    ~CHotSyncDlg() override;
    CHotSyncDlg(const CHotSyncDlg&) = delete;
    CHotSyncDlg& operator=(const CHotSyncDlg&) = delete;

    // Starts the worker; call once, before the dialog runs.
    void Start();
    // Waits for the worker to end.
    void Wait();
    bool Cancelled() const { return m_cancel.load(); }

protected:
    void reject() override;

private:
    void ShowConnected();
    void ShowProgress(const hotsync::Progress& step);
    void Finished();

    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    hotsync::CancelFlag m_cancel{false};
    HotSyncSessionSetup m_setup;
    std::function<void(const HotSyncSessionSetup&)> m_work;
    std::thread m_worker;
};
