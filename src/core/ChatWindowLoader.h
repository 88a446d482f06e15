#pragma once
// Start-up loader of the chat window "Messages": built hidden with its own client handle,
// reading "kelmmessagebox.ini", its controls built on first use; the client closing ends the
// program.

#include <memory>

namespace tavrin {

class Program;
namespace messaging {
class ChatWindow;
}

std::unique_ptr<messaging::ChatWindow> loadChatWindow(Program &program);

} // namespace tavrin
