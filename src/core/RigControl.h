#pragma once
// The station as the rig server's clients see it: answers from RigState (fed by the station
// model's frequency reports), sets the frequency through the keypad's Enter path, and keys the
// transmitter through the station model's transmit control, as the transmit buttons do (a
// timed transmit request while the link is busy), only when PTT is allowed.
//
// The operator has the last word: a frequency sent from a panel is what the clients read from
// then on (until the node reports), and a client's frequency still waiting for its turn is
// dropped rather than sent after it.
//
// A transmitter keyed through the server belongs to the connection that keyed it: it is
// released by that client's "T 0", when that connection closes, or when the PTT time-out
// passes; the main window's status line says why. If anything else releases it first
// (the operator, the client's own transmit state), the server lets go of it.
//
// What reaches the station is thinned out, so that a client in a loop cannot flood the link's
// chat or chatter the transmitter: kActionBurst frequency commands and key-ups go at once,
// then one per kActionIntervalMs. A frequency asked for meanwhile is answered at once and
// only the latest one is sent when its turn comes; a key-up meanwhile is refused. A release
// always goes at once.
//
// Thread: user-interface thread. Owned by RigService; owns its timers.

#include "rig/RigProtocol.h"
#include "rig/RigState.h"

#include <QObject>

class QTimer;

namespace tavrin {
class MainWindow;
class Program;
} // namespace tavrin

namespace tavrin::rig {

inline constexpr char kPttTimerName[] = "RigPttTimer";
inline constexpr char kActionTimerName[] = "RigActionTimer";
inline constexpr int kActionBurst = 5;
inline constexpr int kActionIntervalMs = 500;
inline constexpr char kReleasedOnClose[] = "Rig server: transmitter released, the client that keyed it disconnected";
inline constexpr char kReleasedOnTimeout[] = "Rig server: transmitter released after the %1 s transmit time-out";
inline constexpr char kReleasedByClient[] = "Rig server: transmitter released by the client";
inline constexpr char kKeyedByClient[] = "Rig server: transmitter keyed by a client";

class RigControl : public QObject, public RigBackend {
    Q_OBJECT
public:
    RigControl(MainWindow &window, Program &program, QObject *parent = nullptr);

    void setPttPolicy(bool allowPtt, int timeoutS);

    qint64 frequencyHz() const override;
    int setFrequencyHz(qint64 hz) override;
    QByteArray mode() const override { return state_.mode(); }
    bool transmitting() const override;
    int setPtt(int client, bool on) override;

    const RigState &state() const { return state_; }
    // The connection that keyed the transmitter through the server, 0 when none did.
    int pttOwner() const { return owner_; }
    QTimer *pttTimer() const { return pttTimer_; }
    QTimer *actionTimer() const { return actionTimer_; }

public slots:
    void frequencyReported(const QString &frequency, const QString &modeWord);
    void frequencyRefused(const QString &frequency);
    // A frequency command from a panel (or from here).
    void frequencyCommanded(qint64 hz);
    void clientClosed(int client);
    void RigPttTimer_Timer();

private:
    bool requestPending() const;
    void release(const QString &why);
    // Lets go of a transmitter that someone else has released meanwhile.
    void followTransmitter();
    // Takes one of the actions the station may have now; false when they are used up.
    bool takeAction();
    void nextAction();
    bool sendFrequency(qint64 hz);

    MainWindow &window_;
    Program &program_;
    RigState state_;
    bool allowPtt_ = false;
    int timeoutS_ = 180;
    int owner_ = 0;
    QTimer *pttTimer_ = nullptr;
    QTimer *actionTimer_ = nullptr;
    int actionsLeft_ = kActionBurst;
    std::optional<qint64> heldFrequency_; // asked for while the actions were used up
    bool sending_ = false; // our own frequency command is going out
};

} // namespace tavrin::rig
