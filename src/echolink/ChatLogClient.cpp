#include "echolink/ChatLogClient.h"

#include "echolink/ForwardingClient.h"

namespace tavrin {

// Passes everything on; a line that the inner handle took is logged.
class ChatLogClient final : public ForwardingClient {
public:
    ChatLogClient(ChatLogClientFactory *factory, std::unique_ptr<EchoLinkClient> inner)
        : ForwardingClient(std::move(inner)), factory_(factory)
    {
    }

    void SendChatText(const QString &text) override
    {
        // A failed send throws past the log: only lines that went out are written.
        inner().SendChatText(text);
        factory_->append(text);
    }

private:
    ChatLogClientFactory *factory_;
};

ChatLogClientFactory::ChatLogClientFactory(EchoLinkClientFactory *inner, const QString &path)
    : inner_(inner), file_(path)
{
    file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

std::unique_ptr<EchoLinkClient> ChatLogClientFactory::create()
{
    if (!inner_)
        throw EchoLinkError("EchoLink client not running");
    std::unique_ptr<EchoLinkClient> handle = inner_->create();
    if (!handle)
        return handle;
    return std::make_unique<ChatLogClient>(this, std::move(handle));
}

void ChatLogClientFactory::append(const QString &line)
{
    if (!file_.isOpen())
        return;
    file_.write(line.toUtf8());
    file_.write("\n");
    // Someone may be reading the file while we run: each line reaches it as it is sent.
    file_.flush();
}

} // namespace tavrin
