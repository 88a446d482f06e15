#pragma once
// The EchoLink client as the windows see it: the operations and events of the
// client's automation interface. Each window that talks to the link owns its own
// handle (one EchoLinkClient object); all handles of one program run share one
// backend (simulated link, native link, or the test double).
//
// Thread: user-interface thread only. Events are queued signals raised from the
// event loop, never from inside an operation. A failed operation throws
// EchoLinkError; callers that must carry on catch it themselves (see ignoreErrors).

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

namespace tavrin {

class EchoLinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class EchoLinkClient : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~EchoLinkClient() override = default;

    // Links to that station. The flag is passed through (the program always sends true).
    virtual void Connect(const QString &callsign, bool flag) = 0;
    virtual void Disconnect(const QString &callsign) = 0;
    virtual void DisconnectAll() = 0;
    virtual void SetTransmit(bool on) = 0;
    virtual bool IsTransmitting() = 0;
    virtual int StationCount() = 0;
    virtual bool IsConnected(const QString &callsign) = 0;
    // LocalStation().StationCallsign: the local node's callsign as the client reports it,
    // possibly ending in "-R" or "-L".
    virtual QString StationCallsign() = 0;
    virtual void SetBusy(bool busy) = 0;
    virtual void SendChatText(const QString &text) = 0;

    // Automation call time-out of this handle: how long a call may wait on a busy client
    // before it fails. In-process backends accept it and carry on.
    virtual void SetCallTimeout(int milliseconds) = 0;
    virtual int callTimeout() const = 0;

Q_SIGNALS:
    void ChatTextReceived(const QString &text);
    void StationTextReceived(const QString &text);
    void RX(bool receiving);
    void Connected(const QString &callsign, const QString &name, const QString &address);
    void Closing();
};

// The time-out every timer and chat handler sets before talking to the client, so that a
// busy client delays a call instead of failing it.
inline constexpr int kAutomationTimeoutMs = 900000;
inline void useAutomationTimeouts(EchoLinkClient *client)
{
    if (client)
        client->SetCallTimeout(kAutomationTimeoutMs);
}

// Creates the handles of one program run. create() throws EchoLinkError when no client
// exists (the "client not running" case).
class EchoLinkClientFactory {
public:
    virtual ~EchoLinkClientFactory() = default;
    virtual std::unique_ptr<EchoLinkClient> create() = 0;
};

// Runs one step "with errors ignored": a failure of the client (or a missing client) is
// swallowed and reported as false. Returns true when the step ran to its end.
template <class F>
bool ignoreErrors(F &&step) noexcept
{
    try {
        std::forward<F>(step)();
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

// Asks a question of the client; a failure (or no client) yields the fallback.
template <class T, class F>
T askOr(T fallback, F &&question) noexcept
{
    try {
        return std::forward<F>(question)();
    } catch (const std::exception &) {
        return fallback;
    }
}

} // namespace tavrin
