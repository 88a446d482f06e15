#pragma once
// The one transmit algorithm, shared by the main window's button Command1x, the Remote Pad's
// button and the rig server's PTT:
//  - while the link is receiving, a press sends a transmit request ("hh:mm:ss CPT?") and
//    starts two timers: Timer6 ends the request after the wait taken from Text15 (the
//    notices go), Timer7 polls every 300 ms and keys once the link has gone quiet;
//  - otherwise, with a station connected, a press keys or releases the transmitter.
// The station state and the displays change even when the client refuses a call: the
// supervision tick puts them right within 300 ms.
//
// Each window talks to the client through its own handle, so a press comes with the port of
// the window that was pressed; keying from a timer or a release goes through the station
// port, the main window's.
//
// Thread: user-interface thread. Owns its two timers; owned by StationState.

#include <QObject>
#include <QString>

class QTimer;

namespace tavrin {
class Clock;
}

namespace tavrin::station {

class StationState;

// A window's way to the client for the transmit control. Each call reports its own failure
// (in that window's status line) and never throws.
class TransmitPort {
public:
    virtual ~TransmitPort() = default;
    virtual void sendRequestLine(const QString &line) = 0;
    // True when the client took it: the state follows only what the client did.
    virtual bool setTransmit(bool key) = 0;
    // Something about the request that the operator should know (a bad wait).
    virtual void reportProblem(const QString &text) = 0;
};

inline constexpr char kWaitTimerName[] = "Timer6";
inline constexpr char kPollTimerName[] = "Timer7";
inline constexpr int kDefaultWaitMs = 5000;
inline constexpr int kPollMs = 300;
inline constexpr char kBadWait[] = "The transmit wait \"%1\" is not a whole number of milliseconds; kept %2 ms";

class TransmitControl : public QObject {
    Q_OBJECT
public:
    TransmitControl(StationState &state, const Clock &clock, QObject *parent = nullptr);

    // The main window's port; not owned. Timer-driven keying and releases go through it.
    void setStationPort(TransmitPort *port) { stationPort_ = port; }

    // The request wait as typed (Text15); read when a request starts.
    void setRequestWait(const QString &text) { requestWait_ = text; }

    // The button, pressed in the window that owns `port`.
    void press(TransmitPort &port);
    // The button as the station's own (the rig server's PTT).
    void press();
    // Releases the transmitter when it is keyed.
    void release();

    // A request is waiting for the link to go quiet (Timer7 runs).
    bool requestPending() const;
    // The request notices are shown (until Timer6's wait is over).
    bool requestShown() const { return requestShown_; }

    QTimer *waitTimer() const { return waitTimer_; }
    QTimer *pollTimer() const { return pollTimer_; }

public slots:
    // Timer6: the request's wait is over; the notices go and both timers stop.
    void waitOver();
    // Timer7: keys once the link is quiet (with a station connected), then stops itself.
    void pollLink();

signals:
    void requestShownChanged(bool shown);

private:
    void toggle(TransmitPort &port);
    void setRequestShown(bool shown);

    StationState &state_;
    const Clock &clock_;
    TransmitPort *stationPort_ = nullptr;
    QString requestWait_;
    bool requestShown_ = false;
    QTimer *waitTimer_ = nullptr; // Timer6
    QTimer *pollTimer_ = nullptr; // Timer7
};

} // namespace tavrin::station
