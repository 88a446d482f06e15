#include "protocol/PrivateMessages.h"

namespace tavrin::remote {

using namespace privatetexts;

QString privateMarker(const QString &localCallsign)
{
    return QLatin1String(kMarkerStart) + localCallsign + QLatin1String(kMarkerEnd);
}

QString extraReplyMarker(const QString &localCallsign, const QString &destination)
{
    return QLatin1String(kMarkerStart) + localCallsign + QLatin1String(kReplyJoin) + destination.toUpper()
        + QLatin1String(kMarkerEnd);
}

bool PrivateMarkers::addressedBy(const QString &line) const
{
    const auto after1 = [&line](const QString &marker) { return line.indexOf(marker, 1) >= 0; };
    if (!extraCall.isEmpty() && after1(privateMarker(extraCall)))
        return true;
    if (localCallsign.isEmpty())
        return false;
    return after1(privateMarker(localCallsign)) || after1(extraReplyMarker(localCallsign, destination));
}

PrivateSplit splitPrivate(const QString &line)
{
    const qsizetype at = line.indexOf(QLatin1String(kMarkerEnd));
    if (at < 0)
        return {line, QString()};
    return {line.left(at + 1), line.mid(at + 1)};
}

QString receiptFor(const PrivateSplit &message, const QString &localCallsign, const QString &extraCall)
{
    if (message.body.endsWith(QLatin1String(kMarkerEnd)))
        return {};
    // The sender tag, not what is left after taking our callsign out of the header: with
    // K1AB here, "K1ABC>:K1AB~" would leave "C".
    const qsizetype tagEnd = message.header.indexOf(QLatin1Char('>'));
    if (tagEnd <= 0)
        return {};
    QString to = message.header.left(tagEnd);
    const bool toLocal = !localCallsign.isEmpty() && message.header.contains(privateMarker(localCallsign));
    if (!toLocal && !extraCall.isEmpty() && message.header.contains(privateMarker(extraCall)))
        to += QLatin1String(kReplyJoin) + extraCall + QLatin1String(kMarkerEnd);
    return QLatin1String(kMarkerStart) + to + QLatin1String(kMarkerEnd) + QLatin1String(kReceiptBody);
}

QString wireText(SendForm form, const QString &destination, const QString &text)
{
    switch (form) {
    case SendForm::Private:
        return QLatin1String(kMarkerStart) + destination + QLatin1String(kMarkerEnd) + text;
    case SendForm::SysopButton:
        return QLatin1String(kSysopMark) + destination + QLatin1String(kSysopMark) + text;
    case SendForm::SysopEnter:
        return QLatin1String(kSysopMark) + destination + QLatin1String(kSysopMark) + QLatin1Char(' ') + text;
    }
    return {};
}

} // namespace tavrin::remote
