#pragma once
// Start-up loader for the About window Form14: builds it hidden from the program's store,
// dialogs, clock, server addresses and platform names, lets it read "TVRDir.ini" and start
// its version check, registers it, and lets its updater start end the program.

#include <memory>

namespace tavrin {

class Program;

namespace maintenance {
class AboutWindow;
}

std::unique_ptr<maintenance::AboutWindow> loadAboutWindow(Program &program);

} // namespace tavrin
