#pragma once
// What the program knows about the station and its link, apart from any window: whether we
// transmit, whether the link is receiving, how many stations are connected, the frequency
// (as last set here or reported by the node, with the node's mode word, and as the large
// display shows it) and the node we are linked to. It also holds the transmit control with its request timers.
//
// Every window renders this model and sends it commands; none keeps a copy of this state in a
// widget and reads it back. Each setter emits its signal only when the value changes.
//
// Thread: user-interface thread. Owns its transmit control; owned by the main window (as a
// QObject child, so the request timers keep their names inside "Form2").

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

namespace tavrin {
class Clock;
}

namespace tavrin::station {

class TransmitControl;

// The frequency text before anything set one, and after the last station left.
inline constexpr char kNoFrequency[] = "000.0000";

class StationState : public QObject {
    Q_OBJECT
public:
    StationState(const Clock &clock, QObject *parent = nullptr);
    ~StationState() override;

    TransmitControl &transmit() const { return *transmit_; }

    // TxState: our transmitter is keyed (as we last set it, or as the client last said).
    bool transmitting() const { return transmitting_; }
    void setTransmitting(bool transmitting);

    // The link is sending audio to us: the channel is busy.
    bool receiving() const { return receiving_; }
    void setReceiving(bool receiving);

    // Stations connected, as the client last said.
    int stationCount() const { return stationCount_; }
    bool stationConnected() const { return stationCount_ > 0; }
    void setStationCount(int count);

    // The frequency text of the main window's field Text1 (formatted, no unit).
    const QString &frequency() const { return frequency_; }
    void setFrequency(const QString &frequency);
    // A frequency report from the node: the frequency and its mode word ("USB"), which is
    // empty when the report names none (the mode then stays as it was). The frequency and the
    // display follow it unless it is only a late receipt (see lineSent()).
    void reportFrequency(const QString &frequency, const QString &modeWord);
    const QString &reportedMode() const { return mode_; }
    // The node says it did not tune to `frequency` (formatted text).
    void refuseFrequency(const QString &frequency) { emit frequencyRefused(frequency); }
    // The large display Label4: the frequency as typed, stepped or reported; the steps work
    // from it.
    const QString &display() const { return display_; }
    void setDisplay(const QString &text);

    // A line went out to the node; a frequency command in it is remembered until the node
    // reports that frequency (or for kAskedFrequencyMs at most). Over a link with some delay,
    // the report of one step can arrive after the operator has stepped again: it is then the
    // node catching up with a command of ours that a later one has overtaken, and setting the
    // display back to it would make the next step start from the old frequency. Such a report
    // is taken as a receipt only. Any other report (the last command's, a refusal, a change
    // made at the station) moves the displays as always.
    void lineSent(const QString &line);
    // How long a frequency command waits for the node's report before it is forgotten.
    static constexpr qint64 kAskedFrequencyMs = 10000;

    // The node (or station) on the link, as Text2 shows it; empty before any.
    const QString &linkedNode() const { return linkedNode_; }
    void setLinkedNode(const QString &call);

signals:
    void transmittingChanged(bool transmitting);
    void receivingChanged(bool receiving);
    void stationCountChanged(int count);
    void frequencyChanged(const QString &frequency);
    void displayChanged(const QString &text);
    // Every report, even one that repeats the last: the rig server confirms commands by it.
    void frequencyReported(const QString &frequency, const QString &modeWord);
    // A frequency command went out to the node (lineSent), from whichever window: the
    // frequency asked for, in hertz at the node's resolution.
    void frequencyCommanded(qint64 hz);
    void frequencyRefused(const QString &frequency);
    void linkedNodeChanged(const QString &call);

private:
    // Whether a report of `frequency` moves the displays (lineSent()); forgets what it answers.
    bool reportIsCurrent(const QString &frequency);

    struct Asked {
        qint64 hz;
        QDateTime at;
    };

    const Clock &clock_;
    TransmitControl *transmit_ = nullptr; // child
    QList<Asked> asked_; // frequency commands not yet reported, oldest first
    bool transmitting_ = false;
    bool receiving_ = false;
    int stationCount_ = 0;
    QString frequency_ = QString::fromLatin1(kNoFrequency);
    QString mode_;
    QString display_ = QString::fromLatin1(kNoFrequency);
    QString linkedNode_;
};

} // namespace tavrin::station
