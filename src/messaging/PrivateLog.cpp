#include "messaging/PrivateLog.h"

#include "messaging/ChatFormat.h"
#include "messaging/SendFailureTexts.h"

namespace tavrin::messaging {

using namespace privatetexts;

QString receivedLogLine(const remote::PrivateSplit &message, const QString &localCallsign)
{
    QString header = message.header;
    if (!localCallsign.isEmpty())
        header.replace(remote::privateMarker(localCallsign), QStringLiteral(" "));
    // One entry a message: a line break of the sender's could otherwise write what reads as a
    // further message, from another station.
    return QLatin1String(kReceivedLog) + oneLine(header + message.body) + QLatin1String(chattexts::kCrLf);
}

QString sentLogLine(const QString &destination, const QString &hhmm, const QString &text, bool sent)
{
    return QLatin1String(sent ? kSentLog : sendtexts::kNotSentLog) + destination + QLatin1Char(' ') + hhmm + QStringLiteral(" > ")
        + text + QLatin1String(chattexts::kCrLf);
}

} // namespace tavrin::messaging
