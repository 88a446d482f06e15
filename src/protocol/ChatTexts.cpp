#include "protocol/ChatTexts.h"

#include "BuildConfig.h"

namespace tavrin::remote {

namespace {
constexpr char kVersionQuery[] = "/chat/";
constexpr char kVersionAnswerPrefix[] = "Chat-QX v";
constexpr char kOutgoingStampEnd[] = ") >";
} // namespace

bool isChatVersionQuery(const QString &line) { return line.contains(QLatin1String(kVersionQuery)); }

QString chatVersionAnswer()
{
    return QString::fromLatin1(kVersionAnswerPrefix)
        + QStringLiteral("%1.%2.%3").arg(TAVRIN_VERSION_MAJOR).arg(TAVRIN_VERSION_MINOR).arg(TAVRIN_VERSION_REVISION);
}

QString hoursMinutes(const QTime &time) { return time.toString(QStringLiteral("HH:mm")); }

QString stampOutgoing(const QTime &time, const QString &text)
{
    return QLatin1Char('(') + hoursMinutes(time) + QLatin1String(kOutgoingStampEnd) + text;
}

} // namespace tavrin::remote
