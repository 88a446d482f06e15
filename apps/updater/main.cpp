#include "ui/Dialogs.h"
#include "common/Installation.h"
#include "common/PlatformNames.h"
#include "updater/ProgramInstaller.h"
#include "updater/UpdaterSetup.h"
#include "updater/UpdaterWindow.h"

#include <QApplication>
#include <QDir>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The window decides when the updater ends: closing it mid-download must not end the
    // process before the partial file is removed, and the completion step runs hidden.
    app.setQuitOnLastWindowClosed(false);
    tavrin::WidgetDialogs dialogs;
    // A packaged installation belongs to the package manager: replacing its files would fight it.
    if (tavrin::platform::runningProgramIsPackageManaged()) {
        dialogs.info(nullptr, QStringLiteral("Tavrin"),
                     QString::fromLatin1(tavrin::platform::kUpdateThroughPackageManager));
        return 0;
    }
    tavrin::updater::UpdaterOptions options =
        tavrin::updater::optionsForRun(tavrin::updater::settingsDirectoryFrom(app.arguments()));
    options.runningVersion = tavrin::updater::installedVersionFrom(app.arguments());
    options.dialogs = &dialogs;
    // An update killed half-way may have left the program under its backup name only: it goes
    // back first, so the program can start again and the directory check finds it.
    const QDir programDir(options.programDirectory);
    if (programDir.isAbsolute() && programDir.exists())
        tavrin::updater::ProgramInstaller::recoverInterrupted(options.programDirectory
                                                              + QLatin1String(tavrin::platform::kMainProgramFile));
    // Old programs an earlier update moved aside while they ran (Windows) can go now.
    if (tavrin::updater::programDirectoryProblem(options.programDirectory).isEmpty())
        tavrin::updater::ProgramInstaller::removeAsideFiles(options.programDirectory
                                                            + QLatin1String(tavrin::platform::kMainProgramFile));
    tavrin::updater::UpdaterWindow window(std::move(options));
    QObject::connect(&window, &tavrin::updater::UpdaterWindow::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
