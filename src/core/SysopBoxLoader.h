#pragma once
// Start-up loader for the sysop message box Form126: builds it hidden with its own client
// handle, lets it read "kelmmessageforsysop.ini" and registers it.

#include <memory>

namespace tavrin {

class Program;
namespace messaging {
class SysopBox;
}

std::unique_ptr<messaging::SysopBox> loadSysopBox(Program &program);

} // namespace tavrin
