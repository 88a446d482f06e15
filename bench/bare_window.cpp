// The yardstick of bench/startup.sh: the least a Qt Widgets program does to show a window.
// Started and measured exactly as the program is (--exit-when-idle; "startup-ms" from the
// first line of main() to the first idle pass after the window is shown), so the ratio of
// the two says what our own start-up costs.
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>

#include <cstdio>

int main(int argc, char *argv[])
{
    QElapsedTimer sinceExec;
    sinceExec.start();
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Tavrin"));
    label.show();
    QTimer::singleShot(0, &app, [&] {
        std::printf("startup-ms %.1f\n", double(sinceExec.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        app.exit(0);
    });
    return app.exec();
}
