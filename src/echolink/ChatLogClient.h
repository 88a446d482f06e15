#pragma once
// A factory decorator that appends every line sent on the chat channel (SendChatText)
// through its handles to a text file, one line each, as it is sent. For support and for
// checking scenario runs; every other call passes straight through.
//
// Thread: user-interface thread. Owns the open file; the wrapped factory is not owned.
// Handles must not outlive the factory.

#include "echolink/EchoLinkClient.h"

#include <QFile>

namespace tavrin {

class ChatLogClientFactory final : public EchoLinkClientFactory {
public:
    // Opens `path` for appending; isOpen() says whether that worked (if not, lines are
    // passed on and not logged).
    ChatLogClientFactory(EchoLinkClientFactory *inner, const QString &path);
    std::unique_ptr<EchoLinkClient> create() override;

    bool isOpen() const { return file_.isOpen(); }
    QString errorString() const { return file_.errorString(); }

private:
    friend class ChatLogClient;
    void append(const QString &line);

    EchoLinkClientFactory *inner_;
    QFile file_;
};

} // namespace tavrin
