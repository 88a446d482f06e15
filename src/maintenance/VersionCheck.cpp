#include "maintenance/VersionCheck.h"

namespace tavrin::maintenance {

QString versionText(int major, int minor, int revision)
{
    return QStringLiteral("%1.%2.%3").arg(major).arg(minor).arg(revision);
}

bool isUpdateAvailable(const QString &fetched, const QString &running)
{
    return !fetched.isEmpty() && fetched != running;
}

} // namespace tavrin::maintenance
