#pragma once
// The sysop message box "Form126": the log of messages left for the local sysop (written by
// the main window's chat handler) and the form that sends a message to another node's
// sysop. Keeps its "show the chat window" choice and its position in
// "kelmmessageforsysop.ini".
//
// Thread: user-interface thread. Owns its client handle; reaches other windows only
// through the registry.

#include "common/Clock.h"
#include "common/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "settings/ProfileStore.h"

#include <QWidget>

#include <memory>

namespace tavrin::messaging {

class SysopBox : public QWidget {
    Q_OBJECT
public:
    SysopBox(ProfileStore &store, WindowRegistry &registry, const Clock &clock);
    ~SysopBox() override;

    // Client handle (null when no client runs), then Check1, LEFT and TOP from the file.
    void Form_Load(std::unique_ptr<EchoLinkClient> client);
    // Command3 or Enter in Text3.
    void Send();
    SaveResult SaveData();
};

} // namespace tavrin::messaging
