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
    tavrin::exitOnceStartedUp(&window, sinceExec);
    return app.exec();
}
