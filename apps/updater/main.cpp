#include "ui/Dialogs.h"
#include "common/Installation.h"
#include "updater/UpdaterSetup.h"
#include "updater/UpdaterWindow.h"

#include <QApplication>

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
    tavrin::updater::UpdaterWindow window(std::move(options));
    QObject::connect(&window, &tavrin::updater::UpdaterWindow::ended, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    window.show();
    return app.exec();
}
