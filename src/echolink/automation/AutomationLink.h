#pragma once
// The client interface over an automation port: every handle of one program run shares one
// AutomationLink, which drives one AutomationPort on a worker thread of its own.
//
// Threads:
//  - The link, its handles and every signal here live on the thread that built the link
//    (the user-interface thread).
//  - The port is created, entered, opened, called, closed and destroyed on the worker thread
//    only. On Windows that thread is a single-threaded apartment whose Qt event loop pumps
//    the messages COM needs for calls and events.
//
// What the user-interface thread may wait for, at most:
//  - Commands (Connect, Disconnect, DisconnectAll, SetTransmit, SetBusy, SendChatText) never
//    wait: they are queued to the worker in call order and return at once. A command that
//    later fails is reported by commandFailed() and a warning in the log.
//  - Queries (IsTransmitting, StationCount, IsConnected, StationCallsign) are queued behind
//    the commands and waited for at most Options::answerWaitMs (100 ms). When the worker is
//    already stuck in a call for longer than that, they do not wait at all. Without a fresh
//    answer in time, the query answers from the snapshot the worker keeps (refreshed after
//    commands, on every event and every Options::refreshIntervalMs); with nothing known yet
//    it throws EchoLinkError ("busy"). The queued query still runs and fills the snapshot.
//  - create() waits for the client's object to be made, at most Options::openWaitMs (making
//    it may start the client's program). Once an opening has overrun that, later create()s
//    wait no longer than answerWaitMs for it.
//  - The destructor waits at most Options::shutdownWaitMs for the worker, which still runs
//    the commands queued so far (a release of the transmitter at exit). A worker stuck in
//    a call past that is left running on its own; the port is deliberately leaked with it
//    and is closed and destroyed on that thread if the call ever returns.
//
// The client going away: on the Closing event, the port's serverGone, or a call failing with
// a disconnected-server error, the link closes the port (after the call in progress, never
// inside an event) and reports clientGone(). Until a later create() opens the port again,
// every handle's operations throw EchoLinkError and create() itself tries to open it anew,
// throwing when that fails. Handles made before the client went away work again once it is
// back: they belong to the link, not to one object of the client.
//
// Events reach the handles as signals on the user-interface thread, in the order the handles
// were created, always from the event loop (queued), including events the client raises
// while one of the port's calls is still waiting.

#include "echolink/EchoLinkClient.h"
#include "echolink/automation/AutomationPort.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QThread;

namespace tavrin::automation {

// HRESULTs that mean the client's process is gone, not that one call failed.
inline constexpr std::int32_t kRpcDisconnected = std::int32_t(0x80010108);      // RPC_E_DISCONNECTED
inline constexpr std::int32_t kRpcServerUnavailable = std::int32_t(0x800706BA); // RPC_S_SERVER_UNAVAILABLE
inline constexpr std::int32_t kRpcServerDied = std::int32_t(0x80010007);        // RPC_E_SERVER_DIED
inline constexpr std::int32_t kRpcServerDiedDne = std::int32_t(0x80010012);     // RPC_E_SERVER_DIED_DNE
inline constexpr std::int32_t kObjectNotConnected = std::int32_t(0x800401FD);   // CO_E_OBJNOTCONNECTED
bool isServerGoneError(std::int32_t hresult);

// Texts of the errors the handles throw.
inline constexpr char kClientNotRunning[] = "EchoLink client not running";
inline constexpr char kClientBusy[] = "EchoLink is busy: no answer yet";
inline constexpr char kClientNoAnswer[] = "EchoLink did not answer in time";
// What to do when the client cannot be reached at start-up (the program says it once).
inline constexpr char kMissingClientAdvice[] =
    "Tavrin drives the EchoLink client on this computer. Install it (www.echolink.org) if it is not, "
    "start it once and log in, then start Tavrin again; until then Tavrin cannot link, key or chat.\n\n"
    "To work without the EchoLink client, choose \"Simulated link\" under Setup > Link Settings, "
    "save, and start Tavrin again.";

class AutomationHandle;
struct LinkShared;
struct LinkAnswer;

class AutomationLink : public QObject {
    Q_OBJECT
public:
    struct Options {
        int answerWaitMs = 100;
        int openWaitMs = 5000;
        int refreshIntervalMs = 1000; // 0: refresh only after commands and events
        int shutdownWaitMs = 2000;
    };

    AutomationLink(AutomationPortFactory ports, Options options);
    explicit AutomationLink(AutomationPortFactory ports) : AutomationLink(std::move(ports), Options{}) {}
    ~AutomationLink() override;

    // A new handle; opens the port first when it is not open. Throws EchoLinkError when the
    // client cannot be reached.
    std::unique_ptr<EchoLinkClient> create();

    bool isOpen() const;
    const Options &options() const { return options_; }

    // Worker threads of all links whose thread object still exists, including any left
    // running by a stuck client after their link was destroyed.
    static int workerThreadCount();

Q_SIGNALS:
    void clientOpened();
    void clientGone(const QString &reason);
    void commandFailed(const QString &operation, const QString &message);

private:
    friend class AutomationHandle;
    friend class LinkWorker;
    friend struct LinkShared;

    // Called by the handles (user-interface thread).
    void command(const char *operation, std::function<void(AutomationPort &)> call);
    LinkAnswer ask(int query, const QString &callsign = {});
    void detach(AutomationHandle *handle);

    // Posted by the worker (run on the user-interface thread).
    void deliver(const std::function<void(EchoLinkClient &)> &emitOne);
    void reportOpened();
    void reportGone(const QString &reason);
    void reportFailure(const QString &operation, const QString &message);

    Options options_;
    std::shared_ptr<LinkShared> shared_;
    QThread *thread_ = nullptr;
    QList<AutomationHandle *> handles_; // creation order
};

// The factory the program is built with; owns the link.
class AutomationClientFactory final : public EchoLinkClientFactory {
public:
    AutomationClientFactory(AutomationPortFactory ports, AutomationLink::Options options)
        : link_(std::move(ports), options) {}
    std::unique_ptr<EchoLinkClient> create() override { return link_.create(); }
    AutomationLink &link() { return link_; }

private:
    AutomationLink link_;
};

std::unique_ptr<AutomationClientFactory> makeAutomationClientFactory(AutomationPortFactory ports,
                                                                     AutomationLink::Options options = {});

} // namespace tavrin::automation
