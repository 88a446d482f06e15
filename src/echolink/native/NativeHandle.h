#pragma once
// One window's handle on the native station, and the factory that makes them. A handle
// outlives the station safely: its calls then fail with EchoLinkError.
//
// Thread: user-interface thread.

#include "echolink/EchoLinkClient.h"

#include "echolink/native/NativeStation.h"

#include <QPointer>

namespace tavrin {


class NativeClient : public EchoLinkClient {
    Q_OBJECT
public:
    explicit NativeClient(NativeLinkStation *station);

    void Connect(const QString &callsign, bool flag) override;
    void Disconnect(const QString &callsign) override;
    void DisconnectAll() override;
    void SetTransmit(bool on) override;
    bool IsTransmitting() override;
    int StationCount() override;
    bool IsConnected(const QString &callsign) override;
    QString StationCallsign() override;
    void SetBusy(bool busy) override;
    void SendChatText(const QString &text) override;
    void SetCallTimeout(int milliseconds) override { callTimeout_ = milliseconds; }
    int callTimeout() const override { return callTimeout_; }

private:
    NativeLinkStation &station();

    QPointer<NativeLinkStation> station_;
    int callTimeout_ = 0;
};

class NativeClientFactory : public EchoLinkClientFactory {
public:
    explicit NativeClientFactory(NativeLinkStation *station) : station_(station) { }
    std::unique_ptr<EchoLinkClient> create() override;

private:
    QPointer<NativeLinkStation> station_;
};

} // namespace tavrin
