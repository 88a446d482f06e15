#pragma once
// A client handle that passes every call and every event straight on to a handle it wraps:
// the base of the decorators that watch what goes through (ChatLogClient, RecordingClient),
// which override only the calls they look at.
//
// Thread: user-interface thread. Owns the wrapped handle.

#include "echolink/EchoLinkClient.h"

#include <memory>

namespace tavrin {

class ForwardingClient : public EchoLinkClient {
public:
    explicit ForwardingClient(std::unique_ptr<EchoLinkClient> inner) : inner_(std::move(inner))
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
    void SendChatText(const QString &text) override { inner_->SendChatText(text); }
    void SetCallTimeout(int milliseconds) override { inner_->SetCallTimeout(milliseconds); }
    int callTimeout() const override { return inner_->callTimeout(); }

protected:
    EchoLinkClient &inner() const { return *inner_; }

private:
    std::unique_ptr<EchoLinkClient> inner_;
};

} // namespace tavrin
