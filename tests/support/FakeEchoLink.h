#pragma once
// The test double of the EchoLink client: one backend shared by all handles of a program,
// recording every call and letting a test raise every event and make any call fail.

#include "echolink/EchoLinkClient.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QStringList>

#include <memory>

namespace tavrin::test {

struct FakeCall {
    int handle;        // index of the handle in creation order (0 = first created)
    QString operation; // "Connect", "SendChatText", ...
    QString argument;  // first argument as text ("" when none; bools as "true"/"false")
};

class FakeEchoLinkBackend {
public:
    FakeEchoLinkBackend() = default;
    // Handles still alive when the backend goes fail as "client not running" from then on.
    ~FakeEchoLinkBackend();
    FakeEchoLinkBackend(const FakeEchoLinkBackend &) = delete;
    FakeEchoLinkBackend &operator=(const FakeEchoLinkBackend &) = delete;

    // --- state the operations answer from ---------------------------------------------
    QString localCallsign = QStringLiteral("XX1TST-L");
    QSet<QString> connected;   // IsConnected answers true for these (exact match)
    int stationCount = 0;
    bool transmitting = false;
    bool clientExists = true;  // false: the factory's create() throws
    QSet<QString> failing;     // operation names that throw EchoLinkError

    QList<FakeCall> calls;
    QStringList sent() const;  // arguments of every SendChatText, oldest first
    QList<FakeCall> callsOf(const QString &operation) const;
    void clearCalls() { calls.clear(); }

    // --- events, delivered synchronously to every live handle in creation order --------
    void raiseChat(const QString &line);
    void raiseStationText(const QString &text);
    void raiseRx(bool receiving);
    void raiseConnected(const QString &callsign, const QString &name = {}, const QString &address = {});
    void raiseClosing();

    std::unique_ptr<EchoLinkClientFactory> factory();
    int handleCount() const;

private:
    friend class FakeHandle;
    QList<class FakeHandle *> handles_;
    int created_ = 0;
};

} // namespace tavrin::test
