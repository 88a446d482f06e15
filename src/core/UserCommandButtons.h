#pragma once
// The main window's twelve user buttons Command81 ... Command92. A press sends the button's
// user command (the time text at the press, a space, the command text the user-button editor
// holds right now) through the main window's client; a failure shows in the main window's
// status line. The captions are written by the editor's refresh timer (UserWindows.h).
//
// Thread: user-interface thread. A child of the main window; asks the composition root for
// the editor, so a missing editor leaves nothing to send.

#include <QObject>

namespace tavrin {

class MainWindow;
class Program;

class UserCommandButtons : public QObject {
    Q_OBJECT
public:
    UserCommandButtons(MainWindow &window, Program &program);

    // Sends user button k's command (k = 1 ... 12).
    void press(int k);

private:
    MainWindow &window_;
    Program &program_;
};

} // namespace tavrin
