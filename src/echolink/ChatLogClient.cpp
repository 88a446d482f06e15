#include "echolink/ChatLogClient.h"

namespace tavrin {

// Passes everything on; a line that the inner handle took is logged.
class ChatLogClient final : public EchoLinkClient {
public:
    ChatLogClient(ChatLogClientFactory *factory, std::unique_ptr<EchoLinkClient> inner)
        : factory_(factory), inner_(std::move(inner))
    {
        EchoLinkClient *in = inner_.get();
        connect(in, &EchoLinkClient::ChatTextReceived, this, &EchoLinkClient::ChatTextReceived);
        connect(in, &EchoLinkClient::StationTextReceived, this, &EchoLinkClient::StationTextReceived);
        connect(in, &EchoLinkClient::RX, this, &EchoLinkClient::RX);
        connect(in, &EchoLinkClient::Connected, this, &EchoLinkClient::Connected);
        connect(in, &EchoLinkClient::Closing, this, &EchoLinkClient::Closing);
    }

    void Connect(const QString &callsign, bool flag) override { inner_->Connect(callsign, flag); }
    void Disconnect(const QString &callsign) override { inner_->Disconnect(callsign); }
    void DisconnectAll() override { inner_->DisconnectAll(); }
    void SetTransmit(bool on) override { inner_->SetTransmit(on); }
    bool IsTransmitting() override { return inner_->IsTransmitting(); }
    int StationCount() override { return inner_->StationCount(); }
    bool IsConnected(const QString &callsign) override { return inner_->IsConnected(callsign); }
    QString StationCallsign() override { return inner_->StationCallsign(); }
    void SetBusy(bool busy) override { inner_->SetBusy(busy); }
    void SendChatText(const QString &text) override
    {
        // A failed send throws past the log: only lines that went out are written.
        inner_->SendChatText(text);
        factory_->append(text);
    }
    void SetCallTimeout(int milliseconds) override { inner_->SetCallTimeout(milliseconds); }
    int callTimeout() const override { return inner_->callTimeout(); }

private:
    ChatLogClientFactory *factory_;
    std::unique_ptr<EchoLinkClient> inner_;
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
