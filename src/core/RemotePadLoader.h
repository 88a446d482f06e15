#pragma once
// Start-up loader of the Remote Pad "Form3": built hidden with its own client handle, kept
// above other windows, its meter started. The pad renders the main window's station model and
// works on the main window's frequency fields through a host that this loader implements.

#include <memory>

namespace tavrin {

class Program;
namespace messaging {
class RemotePad;
}

std::unique_ptr<messaging::RemotePad> loadRemotePad(Program &program);

} // namespace tavrin
