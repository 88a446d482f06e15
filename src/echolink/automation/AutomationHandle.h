#pragma once
// One window's handle on the automation link. Commands are queued to the link's worker and
// return at once; queries wait a bounded time (see AutomationLink). Once the link is
// destroyed every operation throws EchoLinkError.
//
// Thread: the link's (user-interface) thread.

#include "echolink/EchoLinkClient.h"

namespace tavrin::automation {

class AutomationLink;

class AutomationHandle final : public EchoLinkClient {
    Q_OBJECT
public:
    explicit AutomationHandle(AutomationLink *link) : link_(link) {}
    ~AutomationHandle() override;

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

    // Kept per handle; every call already waits out a busy client on the worker thread.
    void SetCallTimeout(int milliseconds) override { callTimeout_ = milliseconds; }
    int callTimeout() const override { return callTimeout_; }

    // The link is going away: from now on every operation fails.
    void detach() { link_ = nullptr; }

private:
    AutomationLink &link() const;

    AutomationLink *link_;
    int callTimeout_ = 0;
};

} // namespace tavrin::automation
