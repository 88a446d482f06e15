#pragma once
// What main() does once QApplication exists: reads the command line, then runs either the
// interactive program on a simulated link with background activity, or a scenario.
//
// Thread: user-interface thread.

#include <optional>

class QApplication;
class QElapsedTimer;

namespace tavrin {

// Exit codes besides the program's own: the command line was not understood, or another
// instance holds the settings directory.
inline constexpr int kExitUsage = 2;
inline constexpr int kExitAlreadyRunning = 1;

// Answers --help and --version before any window system is needed (so they work without a
// display); nullopt when the program has to start.
std::optional<int> answerWithoutWindows(int argc, char **argv);

// `sinceExec` was started first thing in main(); --exit-when-idle reports it.
int runApplication(QApplication &app, const QElapsedTimer &sinceExec);

} // namespace tavrin
