// The yardstick of bench/startup.sh: the least a Qt Widgets program does to show a window.
// Started and measured exactly as the program is with --exit-when-idle: "startup-ms" from the
// first line of main() to the first idle pass after the window is shown, "first-frame-ns" the
// moment its first frame was painted; so the ratio of the two says what our own start-up costs.
#include "app/FirstFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>

int main(int argc, char *argv[])
{
    QElapsedTimer sinceExec;
    sinceExec.start();
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Tavrin"));
    label.show();
    tavrin::exitOnceStartedUp(&label, sinceExec);
    return app.exec();
}
