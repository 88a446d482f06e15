#pragma once
// The log lines of the private-message box (and the sysop box's sent lines): what came in,
// what went out and what did not.
//
// Pure functions; any thread.

#include "protocol/PrivateMessages.h"

#include <QString>

namespace tavrin::messaging {

namespace privatetexts {
inline constexpr char kReceivedLog[] = "Message From <- ";
inline constexpr char kSentLog[] = "Message Sent To -> ";
} // namespace privatetexts

// "Message From <- " + header with each PrivateMarker replaced by one space + body + CR LF.
QString receivedLogLine(const remote::PrivateSplit &message, const QString &localCallsign);
// "Message Sent To -> " (or the not-sent form) + destination + " " + HH:MM + " > " + text + CR LF.
QString sentLogLine(const QString &destination, const QString &hhmm, const QString &text, bool sent = true);

} // namespace tavrin::messaging
