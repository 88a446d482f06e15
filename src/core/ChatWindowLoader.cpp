#include "core/ChatWindowLoader.h"

#include "core/Program.h"
#include "messaging/ChatWindow.h"

namespace tavrin {

std::unique_ptr<messaging::ChatWindow> loadChatWindow(Program &program)
{
    auto chat = std::make_unique<messaging::ChatWindow>(program.store(), program.registry(), program.clock());
    chat->hide();
    chat->Form_Load(program.createClient());
    QObject::connect(chat.get(), &messaging::ChatWindow::endProgramRequested, &program,
                     [&program] { program.endProgram(); });
    program.registry().add(chat.get());
    return chat;
}

} // namespace tavrin
