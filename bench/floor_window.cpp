// The second yardstick of bench/startup.sh: what any program with our shared libraries and a
// main window of our size pays before it does anything of its own. It links the same
// libraries as the program (all loaded at start, though it calls none of them) and shows an
// empty main window with a menu bar at the main window's default size. The program's ratio
// to this one is what our own code costs; this one's ratio to the bare window is what the
// libraries and the window's size cost.
#include "app/FirstFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QElapsedTimer sinceExec;
    sinceExec.start();
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("File"));
    window.setCentralWidget(new QLabel(QStringLiteral("Tavrin")));
    window.resize(1221, 607); // the main window's default size
    window.show();
    int ended = 0; // the program's own rule: it ends once it has both figures
    QTimer::singleShot(0, &app, [&] {
        std::printf("startup-ms %.1f\n", double(sinceExec.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        if (++ended == 2)
            app.exit(0);
    });
    tavrin::FirstFrameWatch firstFrame(&window, [&](std::int64_t ns) {
        std::printf("first-frame-ns %lld\n", static_cast<long long>(ns));
        std::fflush(stdout);
        if (++ended == 2)
            app.exit(0);
    });
    return app.exec();
}
