#include "core/ChatWindowLoader.h"

#include "core/Program.h"
#include "messaging/ChatWindow.h"

namespace tavrin {

std::unique_ptr<messaging::ChatWindow> loadChatWindow(Program &program)
{
    // Its controls are built on first use; it takes every chat line from the start all the same.
    auto chat = std::make_unique<messaging::ChatWindow>(program.store(), program.registry(), program.clock(),
                                                        messaging::ChatWindow::Fields::OnFirstUse);
    chat->hide();
    chat->Form_Load(program.createClient());
    QObject::connect(chat.get(), &messaging::ChatWindow::endProgramRequested, &program,
                     [&program] { program.endOnClientClosing(); });
    program.registry().add(chat.get());
    return chat;
}

} // namespace tavrin
