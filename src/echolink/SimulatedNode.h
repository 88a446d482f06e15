#pragma once
// The distant HF node of the simulated link, as a plain object: it hears one chat line and
// says what it answers. No timers and no client here; SimulatedLink decides when and to
// whom the answers go.
//
// Commands are found anywhere in a line and matched case-blind as whole words, so "CVSA?"
// is never taken for "CV?" and "XCV?" is nobody's command.
//
// Thread: any (no shared state). Owns its frequency, mode and switch states.

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

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

    // The frequency in MHz right after the first "FN" that is followed by a number
    // (digits with at most one "."); nothing when the line has none or it is not a
    // usable frequency.
    static std::optional<double> frequencyCommand(const QString &line);
    // "14.2350" for 14.235: the node's frequency text, four decimals.
    static QString formatFrequency(double mhz);
    // Sideband by amateur convention: LSB below 10 MHz, USB from 10 MHz up.
    static QString modeFor(double mhz);

private:
    QString tagged(const QString &text) const;

    QString callsign_;
    QString frequency_ = QStringLiteral("14.2300");
    QString mode_ = QStringLiteral("USB");
    bool voice_ = true;
    bool preamp_ = false;
};

} // namespace tavrin
