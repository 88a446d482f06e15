#include "protocol/RemoteProtocol.h"

#include "protocol/FrequencyText.h"

#include "BuildConfig.h"

#include <array>

namespace tavrin::remote {

namespace {
inline constexpr char kVersionQuery[] = "/ver/";
inline constexpr char kReportTag[] = ">FN";
inline constexpr char kRefusalTag[] = ">Refused FN";
inline constexpr char kRelaySuffix[] = "-R";
inline constexpr char kLinkSuffix[] = "-L";
inline constexpr char kAcknowledgementHead[] = " Message has been received and left for the ";
inline constexpr char kAcknowledgementTail[] = "'s Sysop";
inline constexpr char kTransmitRequestTail[] = " CPT?";
constexpr std::array<const char *, 12> kModeNames{
    {"USB", "LSB", "CW", "CWR", "RTTY", "RTTYR", "AM", "FM", "PKTUSB", "PKTLSB", "PKTFM", "DSB"}};
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
    const qsizetype tag = line.indexOf(QLatin1String(kReportTag), 1, Qt::CaseInsensitive);
    if (tag < 0)
        return std::nullopt;
    // Only the number right after "FN": the rest of a report ("USB S9") holds digits too.
    qsizetype i = tag + qsizetype(sizeof kReportTag) - 1;
    while (i < line.size() && line[i] == QLatin1Char(' '))
        ++i;
    const qsizetype start = i;
    while (i < line.size() && ((line[i] >= QLatin1Char('0') && line[i] <= QLatin1Char('9')) || line[i] == QLatin1Char('.')))
        ++i;
    const QString number = line.mid(start, i - start);
    // "14,230" is a number we cannot read for certain; better no reading than a wrong one.
    if (!isNumberText(number) || (i < line.size() && line[i] == QLatin1Char(',')))
        return std::nullopt;
    // Another panel on the link asking for a frequency is no word from the node about it.
    if (isCommandLineTail(QStringView(line).mid(i)))
        return std::nullopt;
    return formatFrequency(number);
}

std::optional<QString> refusedFrequency(const QString &line)
{
    const qsizetype tag = line.indexOf(QLatin1String(kRefusalTag), 1, Qt::CaseSensitive);
    if (tag < 0)
        return std::nullopt;
    const qsizetype start = tag + qsizetype(sizeof kRefusalTag) - 1;
    qsizetype i = start;
    while (i < line.size() && ((line[i] >= QLatin1Char('0') && line[i] <= QLatin1Char('9')) || line[i] == QLatin1Char('.')))
        ++i;
    const QString number = line.mid(start, i - start);
    if (!isNumberText(number) || i == line.size() || line[i] != QLatin1Char(':'))
        return std::nullopt;
    return formatFrequency(number);
}

QString reportedModeWord(const QString &reportLine)
{
    const QString upper = reportLine.toUpper();
    const qsizetype at = upper.indexOf(QLatin1String(kReportTag));
    if (at < 0)
        return {};
    qsizetype i = at + qsizetype(sizeof kReportTag) - 1;
    // Skip the frequency (and a unit written after it), then take the next word.
    while (i < upper.size() && (upper.at(i).isDigit() || upper.at(i) == u'.' || upper.at(i) == u' '))
        ++i;
    if (upper.mid(i, 3) == QLatin1String("MHZ") || upper.mid(i, 3) == QLatin1String("KHZ"))
        i += 3;
    while (i < upper.size() && upper.at(i) == u' ')
        ++i;
    qsizetype end = i;
    while (end < upper.size() && upper.at(end).isLetter())
        ++end;
    const QString word = upper.mid(i, end - i);
    return isModeName(word) ? word : QString();
}

bool isModeName(QStringView word)
{
    for (const char *name : kModeNames)
        if (word == QLatin1String(name))
            return true;
    return false;
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
    // The line is searched upper-cased, so the markers are too: an extra call typed or
    // stored in lower case ("xx7ext") must match as the private messages to it do.
    for (QString &m : markers_)
        m = m.toUpper();
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
