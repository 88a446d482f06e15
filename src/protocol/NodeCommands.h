#pragma once
// The distant HF node's side of the command vocabulary: what a chat line asks of the node
// and the texts the node answers with. The simulated node and tavrin-node both answer
// through this, and the frequency report it builds is the one frequencyReport() reads.
//
// Commands are found anywhere in a line and matched case-blind as whole words, so "CVSA?"
// is never taken for "CV?" and "XCV?" is nobody's command.

#include <QString>
#include <QTime>

#include <optional>

namespace tavrin::remote {

struct NodeRequest {
    std::optional<double> frequencyMHz; // "FN" followed by a usable frequency
    bool unreadableFrequency = false;   // an "FN" command word with no usable frequency
    bool frequencyQuery = false;        // "FR?"
    bool timeQuery = false;             // "Time?"
    bool voice = false;                 // "CV?"
    bool signalReport = false;          // "SR?"
    bool squelchActive = false;         // "CVSA?"
    bool squelchDisable = false;        // "CVSD?"
    bool preamp = false;                // "CPA?"
    bool endTransmission = false;       // " CPT?" at the end of the line
    bool versionQuery = false;          // "/ver/" (as the panels ask each other)

    bool any() const
    {
        return frequencyMHz || unreadableFrequency || frequencyQuery || timeQuery || voice || signalReport
               || squelchActive || squelchDisable || preamp || endTransmission || versionQuery;
    }
};

NodeRequest readNodeRequest(const QString &line);

// The frequency in MHz right after the first "FN" that is followed by a number (digits
// with at most one "."); nothing when the line has none or it is not a usable frequency.
std::optional<double> nodeFrequencyCommand(const QString &line);
// "14.2350" for 14.235: the node's frequency text, four decimals.
QString nodeFrequencyText(double mhz);
// Sideband by amateur convention: LSB below 10 MHz, USB from 10 MHz up.
QString sidebandFor(double mhz);

// "CALL>text": how every node line reaches the chat.
QString nodeLine(const QString &callsign, const QString &text);
// "FN14.2300 USB"; without a mode just "FN14.2300".
QString frequencyReportText(const QString &frequencyText, const QString &mode);
// "Time 14:05:09".
QString nodeTimeText(const QTime &time);

// The node's fixed answers.
inline constexpr char kVoiceOnText[] = "Voice announcements ON";
inline constexpr char kVoiceOffText[] = "Voice announcements OFF";
inline constexpr char kSignalReportText[] = "Signal report S7";
inline constexpr char kSquelchActiveText[] = "Squelch active";
inline constexpr char kSquelchDisabledText[] = "Squelch disabled";
inline constexpr char kPreampOnText[] = "Preamp ON";
inline constexpr char kPreampOffText[] = "Preamp OFF";

// The sender's tag of an incoming "CALL>text" line, upper-cased; empty when there is none.
QString senderOf(const QString &line);

} // namespace tavrin::remote
