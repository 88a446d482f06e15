#pragma once
// The embedded default link: a believable EchoLink neighbourhood in one process.
//
// One SimulatedLink is the "network": a directory of stations, the distant HF node
// ("XX9XYZ-L" by default) and any number of local stations, one per running program, each
// with its own callsign. factoryFor(call) gives a program its client factory; every handle
// that factory creates belongs to that local station, and events reach the station's
// handles in the order they were created.
//
// Behaviour:
//  - Connect(call) links the station to a directory station (unknown callsigns fail with
//    EchoLinkError); linking raises Connected and a station-list StationTextReceived.
//  - A chat line one local station sends reaches the other local stations as "CALL>text"
//    (never echoed to the sender); the distant node hears it when linked to the sender and
//    answers the command vocabulary: "FN<freq>" (reads the number right after FN, ignores
//    the rest) and "FR?" with "XX9XYZ-L>FN14.2300 USB", "Time?" with its time, "... CPT?" by
//    ending its own transmission (RX off) within a second, "CV?", "SR?", "CVSA?", "CVSD?",
//    "CPA?" with short replies. Commands are found anywhere in the line.
//  - SetTransmit(true) while at least one station is linked makes IsTransmitting true;
//    SetTransmit(false) or the last unlink makes it false.
//  - Replies and events are raised at least 100 ms later from the event loop.
//  - With background activity on, the node keys up now and then (RX), other stations
//    connect, chat and leave. Everything random comes from the seed; times from the clock.
//
// Thread: user-interface thread. Owns the directory and the local stations; handles are
// owned by whoever asked the factory for them and detach themselves when destroyed.

#include "common/Clock.h"
#include "echolink/EchoLinkClient.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace tavrin {

class SimulatedStation;

class SimulatedLink : public QObject {
    Q_OBJECT
public:
    struct Options {
        quint32 seed = 1;
        const Clock *clock = nullptr;  // null: system clock
        bool backgroundActivity = true;
        QString nodeCall = QStringLiteral("XX9XYZ-L");
        int replyDelayMs = 300;        // never below 100
        // Mean gap between background events; a node key-up lasts 0.4 to 1.6 times this
        // (2 to 8 s by default). Tests shorten it.
        int activityPeriodMs = 5000;
    };

    explicit SimulatedLink(Options options);
    SimulatedLink() : SimulatedLink(Options{}) {}
    ~SimulatedLink() override;

    // Client factory for the program whose local node is `localCallsign`. The factory stays
    // valid as long as this link.
    std::unique_ptr<EchoLinkClientFactory> factoryFor(const QString &localCallsign);

    QString nodeCall() const;
    QStringList directory() const; // callsigns that Connect accepts

    // --- controls for scenarios, demos and tests ---------------------------------------
    void setNodeQuiet(bool quiet);           // the distant node stops answering
    void setBackgroundActivity(bool on);     // random key-ups, stations coming and going
    QString nodeFrequency() const;           // e.g. "14.2300"
    QString nodeMode() const;                // e.g. "USB"

    // Link `remote` to local station `local` (adds it to the directory when unknown) and
    // raise Connected + station text; unlink removes it.
    void linkStation(const QString &local, const QString &remote);
    void unlinkStation(const QString &local, const QString &remote);
    // Raise one event on every handle of local station `local` (after the usual delay when
    // `delayed`, else queued at once).
    void raiseChat(const QString &local, const QString &line);
    void raiseStationText(const QString &local, const QString &text);
    void raiseRx(const QString &local, bool receiving);
    void raiseConnected(const QString &local, const QString &callsign);
    void raiseClosing(const QString &local);
    // What IsTransmitting reports for `local`, as if the client keyed itself.
    void setTransmitting(const QString &local, bool on);

    // Every chat line `local` has sent, oldest first.
    QStringList sentLines(const QString &local) const;

private:
    friend class SimulatedStation;
    friend class SimulatedHandle;
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tavrin
