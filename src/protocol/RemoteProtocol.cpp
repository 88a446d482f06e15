#include "protocol/RemoteProtocol.h"

#include "protocol/FrequencyText.h"

#include "BuildConfig.h"

namespace tavrin::remote {

namespace {
inline constexpr char kVersionQuery[] = "/ver/";
inline constexpr char kReportTag[] = ">FN";
inline constexpr char kRelaySuffix[] = "-R";
inline constexpr char kLinkSuffix[] = "-L";
inline constexpr char kAcknowledgementHead[] = " Message has been received and left for the ";
inline constexpr char kAcknowledgementTail[] = "'s Sysop";
inline constexpr char kTransmitRequestTail[] = " CPT?";
} // namespace

bool isVersionQuery(const QString &line)
{
    return line.indexOf(QLatin1String(kVersionQuery), 1, Qt::CaseSensitive) >= 0;
}

QString versionAnswer()
{
    return versionAnswerFor(QStringLiteral(TAVRIN_PRODUCT_NAME));
}

QString versionAnswerFor(const QString &program)
{
    return program + QStringLiteral(" ") + QStringLiteral(" v")
           + QStringLiteral("%1.%2.%3").arg(TAVRIN_VERSION_MAJOR).arg(TAVRIN_VERSION_MINOR).arg(TAVRIN_VERSION_REVISION);
}

bool isFrequencyReport(const QString &line)
{
    return line.indexOf(QLatin1String(kReportTag), 1, Qt::CaseInsensitive) >= 0;
}

std::optional<QString> frequencyReport(const QString &line)
{
    if (!isFrequencyReport(line))
        return std::nullopt;
    // The first ">" lies at or before the report tag, so two characters follow it.
    const qsizetype start = line.indexOf(QLatin1Char('>')) + 3;
    QString kept;
    for (qsizetype i = start; i < line.size(); ++i) {
        const QChar c = line[i];
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.'))
            kept.append(c);
    }
    if (kept.isEmpty())
        return std::nullopt;
    return formatFrequency(kept);
}

QString baseCallsign(const QString &localCallsign)
{
    QString base = localCallsign;
    base.remove(QLatin1String(kRelaySuffix), Qt::CaseSensitive);
    base.remove(QLatin1String(kLinkSuffix), Qt::CaseSensitive);
    return base;
}

SysopMarkers::SysopMarkers(const QString &localCallsign, const QString &extraCall)
{
    const auto addPair = [this](const QString &call) {
        if (call.isEmpty())
            return;
        markers_ << QStringLiteral("** ") + call + QStringLiteral(" **") << QStringLiteral("**") + call + QStringLiteral("**");
    };
    addPair(localCallsign);
    addPair(baseCallsign(localCallsign));
    if (!extraCall.isEmpty())
        markers_ << QStringLiteral("**") + extraCall + QStringLiteral("**");
}

bool SysopMarkers::foundIn(const QString &upperCasedLine) const
{
    for (const QString &m : markers_)
        if (upperCasedLine.contains(m, Qt::CaseSensitive))
            return true;
    return false;
}

QString sysopAcknowledgement(const QString &localCallsign)
{
    return QLatin1String(kAcknowledgementHead) + localCallsign + QLatin1String(kAcknowledgementTail);
}

QString sysopLogEntry(const QString &dateText, const QString &timeText, const QString &line)
{
    return dateText + QStringLiteral(" at ") + timeText + QStringLiteral(" ") + line + QStringLiteral("\r\n\r\n");
}

QString transmitRequestLine(const QString &timeText) { return timeText + QLatin1String(kTransmitRequestTail); }

} // namespace tavrin::remote
