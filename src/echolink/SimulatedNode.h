#pragma once
// The distant HF node of the simulated link, as a plain object: it hears one chat line and
// says what it answers. No timers and no client here; SimulatedLink decides when and to
// whom the answers go. The lines are read and answered through the node vocabulary that
// tavrin-node uses too (protocol/NodeCommands.h).
//
// Thread: any (no shared state). Owns its frequency, mode and switch states.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace tavrin {

class SimulatedNode {
public:
    explicit SimulatedNode(QString callsign);

    struct Answer {
        QStringList lines;           // complete chat lines, each "CALL>text"
        bool endTransmission = false; // the sender asked the node to stop sending
    };

    // What the node does on hearing `line`; `now` stamps the time answer.
    Answer hear(const QString &line, const QDateTime &now);

    QString callsign() const { return callsign_; }
    QString frequency() const { return frequency_; } // "14.2300"
    QString mode() const { return mode_; }           // "USB" or "LSB"
    QString report() const;                          // "XX9XYZ-L>FN14.2300 USB"

private:
    QString tagged(const QString &text) const;

    QString callsign_;
    QString frequency_ = QStringLiteral("14.2300");
    QString mode_ = QStringLiteral("USB");
    bool voice_ = true;
    bool preamp_ = false;
};

} // namespace tavrin
