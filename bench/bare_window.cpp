// The yardstick of bench/startup.sh: the least a Qt Widgets program does to show a window.
// Started and measured exactly as the program is with --exit-when-idle: "startup-ms" from the
// first line of main() to the first idle pass after the window is shown, "first-frame-ns" the
// moment its first frame was painted; so the ratio of the two says what our own start-up costs.
#include "app/FirstFrame.h"

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
    int ended = 0; // the program's own rule: it ends once it has both figures
    QTimer::singleShot(0, &app, [&] {
        std::printf("startup-ms %.1f\n", double(sinceExec.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        if (++ended == 2)
            app.exit(0);
    });
    tavrin::FirstFrameWatch firstFrame(&label, [&](std::int64_t ns) {
        std::printf("first-frame-ns %lld\n", static_cast<long long>(ns));
        std::fflush(stdout);
        if (++ended == 2)
            app.exit(0);
    });
    return app.exec();
}
