#include "app/Application.h"

#include <QApplication>
#include <QElapsedTimer>

int main(int argc, char *argv[])
{
    QElapsedTimer sinceExec; // first thing: the start-up benchmark measures from here
    sinceExec.start();
    if (const auto answered = tavrin::answerWithoutWindows(argc, argv))
        return *answered;
    QApplication app(argc, argv);
    return tavrin::runApplication(app, sinceExec);
}
