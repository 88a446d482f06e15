#pragma once
// The private-message channel layered on the chat text: the markers a station answers to,
// the test of an incoming line, the receipt and the three sending forms (the private
// message and the two sysop forms). The log lines about them are the chat window's
// (messaging/PrivateLog.h).
//
// Pure functions; any thread.

#include <QString>

namespace tavrin::remote {

namespace privatetexts {
inline constexpr char kMarkerStart[] = ":";
inline constexpr char kMarkerEnd[] = "~";
inline constexpr char kReplyJoin[] = ">:";
inline constexpr char kReceiptBody[] = " Message Received~";
inline constexpr char kSysopMark[] = "**";
} // namespace privatetexts

// ":" + local callsign + "~".
QString privateMarker(const QString &localCallsign);
// ":" + local callsign + ">:" + upper-cased destination + "~".
QString extraReplyMarker(const QString &localCallsign, const QString &destination);

// The texts a station answers to. A marker built on an empty callsign is left out: ":~"
// would take half the chat for a private message.
struct PrivateMarkers {
    QString extraCall;     // the ExtraCall box text, already upper-cased
    QString localCallsign; // as the client reports it
    QString destination;   // the destination box text
    // True when the line holds a marker after its first character (exact comparison).
    bool addressedBy(const QString &line) const;
};

// A received private message split at its first "~": the header keeps the "~".
struct PrivateSplit {
    QString header;
    QString body;
};
PrivateSplit splitPrivate(const QString &line);

// The receipt for a received message, addressed to the sender named by the line's sender
// tag (the text before its first ">"), time stamp or not: ":" + sender + "~ Message
// Received~". A message that came through the extra call (and not the local call) gets
// ":" + sender + ">:" + extra call + "~~ Message Received~", the form its sender accepts
// while its destination box still names that call. Empty when none is due: the body ends in
// "~" (a receipt), or the line names no sender.
QString receiptFor(const PrivateSplit &message, const QString &localCallsign, const QString &extraCall);

enum class SendForm { Private, SysopButton, SysopEnter };
// ":" + dest + "~" + text; "**" + dest + "**" + text; "**" + dest + "** " + text.
QString wireText(SendForm form, const QString &destination, const QString &text);

} // namespace tavrin::remote
