// The window with many songs: dropping N song files on the real dialog (offscreen), which loads them and
// refreshes the title list, and refreshing the list of N loaded songs again. The dialog is shown, and the
// events the work leaves behind (layout, paint) are processed inside the timed part.

#include "pdb/AtomicFile.h"
#include "ui/Desktop.h"
#include "ui/ImporterDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "bench/BenchData.h"

namespace {

namespace fs = std::filesystem;

// Answers nothing: loading song files asks the user no question, so any prompt ends the run as an error.
class CBenchDesktop : public IDesktop
{
public:
    Status OpenWithDefaultApplication(const std::string& path) override
    {
        return m_platform.OpenWithDefaultApplication(path);
    }
    DefaultApplication DefaultApplicationFor(const std::string& path) override
    {
        return m_platform.DefaultApplicationFor(path);
    }
    std::optional<std::string> Variable(const std::string& name) override { return m_platform.Variable(name); }
    std::uint32_t Now() override { return m_platform.Now(); }
    std::uint32_t Random() override { return m_platform.Random(); }
    std::optional<QStringList> AskOpenFileNames(QWidget*, const QString&) override
    {
        prompted = true;
        return std::nullopt;
    }
    std::optional<QString> AskSaveFileName(QWidget*, const QString&, const QString&, const QString&) override
    {
        prompted = true;
        return std::nullopt;
    }
    bool AskYesNo(QWidget*, const QString&) override
    {
        prompted = true;
        return false;
    }
    std::optional<QString> AskText(QWidget*, const QString&, const QString&) override
    {
        prompted = true;
        return std::nullopt;
    }
    std::optional<QString> AskFolder(QWidget*, const QString&) override
    {
        prompted = true;
        return std::nullopt;
    }
    void ShowMessage(QWidget*, const QString&, MessageIcon) override { prompted = true; }
    bool AskOkCancel(QWidget*, const QString&) override
    {
        prompted = true;
        return false;
    }
    std::optional<int> AskChoice(QWidget*, const QString&, const QStringList&) override
    {
        prompted = true;
        return std::nullopt;
    }
    void SetDialogFolder(const QString&) override {}
    void ShowInFileManager(const QString&) override { prompted = true; }
    ReplaceAnswer AskReplaceFile(QWidget*, const QString&) override
    {
        prompted = true;
        return ReplaceAnswer::Cancel;
    }
    void RunModal(QDialog&) override { prompted = true; }
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}

    bool prompted = false;

private:
    CBenchPlatform m_platform;
};

fs::path SongFolder(std::int64_t count)
{
    return fs::temp_directory_path() / ("tunelore-bench-window-" + std::to_string(count));
}

// N song files of about 2 KB in a folder under TMPDIR, written once per size and removed at the end.
QStringList SongFiles(std::int64_t count)
{
    const fs::path folder = SongFolder(count);
    QStringList paths;
    fs::create_directories(folder);
    for (std::int64_t i = 0; i < count; ++i) {
        const fs::path file = folder / ("song-" + std::to_string(i) + ".pro");
        if (!fs::exists(file)) {
            WriteFileAtomically(file.string(), MakeLoadedSong(static_cast<std::size_t>(i)), FileDurability::Unsynced);
        }
        paths.append(QString::fromStdString(file.string()));
    }
    return paths;
}

void BM_WindowDropSongs(benchmark::State& state)
{
    const QStringList paths = SongFiles(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        CBenchDesktop desktop;
        auto dialog = std::make_unique<CImporterDlg>(desktop);
        dialog->show();
        QApplication::processEvents();
        state.ResumeTiming();

        dialog->OnDropFiles(paths);
        QApplication::processEvents();

        state.PauseTiming();
        const auto* list = dialog->findChild<QComboBox*>(QStringLiteral("IDC_SONG_TITLE"));
        if (desktop.prompted || list == nullptr || list->count() != state.range(0)) {
            state.SkipWithError("the dialog did not list every song");
        }
        dialog.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WindowDropSongs)->Arg(5000 / 64)->Arg(5000 / 8)->Arg(5000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowRefreshSongList(benchmark::State& state)
{
    const QStringList paths = SongFiles(state.range(0));
    CBenchDesktop desktop;
    CImporterDlg dialog(desktop);
    dialog.show();
    dialog.OnDropFiles(paths);
    QApplication::processEvents();
    for (auto _ : state) {
        dialog.RefreshSongList();
        QApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WindowRefreshSongList)
    ->Arg(5000 / 64)
    ->Arg(5000 / 8)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const std::int64_t count : {5000 / 64, 5000 / 8, 5000}) {
        std::error_code ignored;
        fs::remove_all(SongFolder(count), ignored);
    }
    return 0;
}
