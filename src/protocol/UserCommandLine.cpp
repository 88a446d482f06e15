#include "protocol/UserCommandLine.h"

namespace tavrin {

QString userCommandLine(const QString &timeText, const QString &commandText)
{
    return timeText + QLatin1Char(' ') + commandText;
}

} // namespace tavrin
