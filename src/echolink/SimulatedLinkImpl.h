#pragma once
// Inside the simulated link: the shared state behind every handle. Private to
// src/echolink; windows only see EchoLinkClient and SimulatedLink.
//
// Thread: user-interface thread. Impl owns the directory, the local stations and the node;
// a station lists (but does not own) its live handles.

#include "echolink/SimulatedLink.h"
#include "echolink/SimulatedNode.h"

#include <QList>
#include <QRandomGenerator>
#include <QTimer>

#include <functional>
#include <vector>

namespace tavrin {

class SimulatedHandle;

struct DirectoryEntry {
    QString callsign;
    QString name;
    QString address;
};

// One running program's local node.
class SimulatedStation {
public:
    explicit SimulatedStation(QString call) : callsign(std::move(call)) {}

    bool isLinked(const QString &call) const;

    QString callsign;
    QList<SimulatedHandle *> handles; // creation order
    QStringList linked;               // link order, callsigns as in the directory
    QStringList sent;
    bool transmitting = false;
    bool busy = false;
    bool receiving = false;           // last RX state raised to this station
};

class SimulatedHandle final : public EchoLinkClient {
    Q_OBJECT
public:
    SimulatedHandle(SimulatedLink *link, SimulatedStation *station);
    ~SimulatedHandle() override;

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

    // The link is gone: from now on every operation fails as "client not running".
    void detach();

private:
    SimulatedStation &station();

    SimulatedLink::Impl *link_;
    SimulatedStation *station_;
    int callTimeout_ = 0;
};

struct SimulatedLink::Impl {
    using Event = std::function<void(EchoLinkClient &)>;

    Impl(SimulatedLink *owner, Options options);
    ~Impl();

    const Clock &clock() const { return options.clock ? *options.clock : systemClock; }
    QDateTime now() const { return clock().now(); }

    SimulatedStation *findStation(const QString &call) const;
    SimulatedStation &station(const QString &call); // created on first use
    const DirectoryEntry *findEntry(const QString &call) const;
    const DirectoryEntry &ensureEntry(const QString &call);
    QStringList fictionalCalls() const;

    // Raises `event` on every live handle of `st`, creation order, `delayMs` from now.
    void post(SimulatedStation &st, int delayMs, Event event);
    void postChat(SimulatedStation &st, int delayMs, const QString &line);
    void postStationText(SimulatedStation &st, int delayMs);
    void postRx(SimulatedStation &st, int delayMs, bool receiving);

    void connect(SimulatedStation &st, const QString &call); // throws EchoLinkError
    void link(SimulatedStation &st, const DirectoryEntry &remote, int delayMs);
    bool unlink(SimulatedStation &st, const QString &call, int delayMs);
    void unlinkAll(SimulatedStation &st, int delayMs);
    QString stationText(const SimulatedStation &st) const;

    void sendChat(SimulatedStation &from, const QString &text);
    bool nodeLinkedTo(const SimulatedStation &st) const;
    void keyNode(bool on, int delayMs);
    void endNodeTransmission(SimulatedStation &asker);

    // Background activity (SimulatedActivity.cpp).
    void startActivity();
    void stopActivity();
    void activityTick();
    void scheduleActivity(int delayMs);
    QStringList visitorsOf(const SimulatedStation &st) const; // linked neighbours
    void visitorComesOrGoes(SimulatedStation &st);
    void visitorChats(SimulatedStation &st);
    void sysopMessage(SimulatedStation &st);
    int randomBetween(int low, int high); // inclusive

    SimulatedLink *q;
    Options options;
    SystemClock systemClock;
    int replyDelayMs;
    QList<DirectoryEntry> directory;
    std::vector<std::unique_ptr<SimulatedStation>> stations;
    SimulatedNode node;
    bool nodeQuiet = false;
    bool nodeKeyed = false;

    QRandomGenerator random;
    QTimer activityTimer;
    bool activityOn = false;
    bool keyDownDue = false; // the next tick ends the node's key-up
};

} // namespace tavrin
