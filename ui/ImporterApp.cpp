#include "ui/ImporterApp.h"

#include "pdb/AtomicFile.h"
#include "ui/ImporterDlg.h"
#include "ui/QtDesktop.h"
#include "ui/QtText.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <exception>

#include "res/Resource.h"

namespace {
// Paths from the command line as full paths, as a drop delivers them.
QStringList AbsolutePaths(const QStringList& arguments)
{
    QStringList paths;
    for (const QString& argument : arguments) {
        paths.append(QFileInfo(argument).absoluteFilePath());
    }
    return paths;
}

void LoadFiles(CImporterDlg& dialog, const QStringList& paths)
{
    if (paths.isEmpty()) {
        return;
    }
    try {
        dialog.OnDropFiles(paths);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tunelore-importer: %s\n", error.what());
    }
}

// Shows the window offscreen or on screen, lets it lay itself out and saves what it shows.
int SaveScreenshot(CImporterDlg& dialog, const QString& file)
{
    dialog.show();
    QApplication::processEvents();
    const QPixmap picture = dialog.grab();
    if (!picture.save(file, "PNG")) {
        std::fprintf(stderr, "tunelore-importer: can't write %s\n", file.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
} // namespace

int CImporterApp::Run(int& argc, char** argv)
{
    InstallTemporaryFileCleanup();
    QApplication application(argc, argv);
    QApplication::setApplicationName(FromUtf8(res::IMPORTER_CAPTION));
    QApplication::setApplicationVersion(QStringLiteral(TUNELORE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("tunelore-importer"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Converts songs and chord lists into databases for the Tunelore songbook on a Palm "
                       "handheld, and extracts such databases."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the window to <file> and exit."),
                                        QStringLiteral("file"));
    parser.addOption(screenshot);
    parser.addPositionalArgument(QStringLiteral("files"),
                                 QStringLiteral("Song, tab, chord or database files to load."),
                                 QStringLiteral("[files...]"));
    parser.process(application);
    const QStringList paths = AbsolutePaths(parser.positionalArguments());

    CQtDesktop desktop;
    CImporterDlg dialog(desktop);
    QApplication::setWindowIcon(dialog.AppIcon());
    if (parser.isSet(screenshot)) {
        LoadFiles(dialog, paths);
        return SaveScreenshot(dialog, parser.value(screenshot));
    }
    // The files are loaded once the window is up, so any question about them has the window as owner.
    QTimer::singleShot(0, &dialog, [&dialog, &paths] { LoadFiles(dialog, paths); });
    dialog.exec();
    return 0;
}
