#pragma once
// The chat window "Messages": the link's text chat with coloured sender tags and emoticon
// pictures, the send line, the filters, the version answer, and the private-message panel
// with its receipts. Incoming lines are also copied into the main window's chat log and
// last-line box and into the Remote Pad's chat log, when those windows exist.
//
// Thread: user-interface thread. Owns its client handle; reaches other windows only
// through the registry. Never re-enters the event loop.

#include "common/Clock.h"
#include "common/WindowRegistry.h"
#include "echolink/EchoLinkClient.h"
#include "settings/ProfileStore.h"

#include <QWidget>

#include <memory>

namespace tavrin::messaging {

class ChatWindow : public QWidget {
    Q_OBJECT
public:
    ChatWindow(ProfileStore &store, WindowRegistry &registry, const Clock &clock);
    ~ChatWindow() override;

    // Load steps: client handle (null when no client runs), caption, markers, settings,
    // text size, sizes. The window stays hidden.
    void Form_Load(std::unique_ptr<EchoLinkClient> client);

    void EchoLink_ChatTextReceived(const QString &line);
    void TXText();
    void TXText2();
    void AddChatLine(const QString &senderTag, const QString &text);
    SaveResult SaveData();

signals:
    // The client is closing: the program ends at once, without saving here.
    void endProgramRequested();
};

} // namespace tavrin::messaging
