#pragma once
// Whether the running program belongs to the system's package manager. A package installs a
// marker file in the program directory that names that directory; the package manager then
// also updates the program, so the program must not replace itself. A copy of the folder
// somewhere else (a user's own copy) names another directory and keeps the updater.

#include "common/PlatformNames.h"

#include <QDir>
#include <QFile>
#include <QString>

namespace tavrin::platform {

inline constexpr char kPackageMarkerFile[] = "packaged";

// The one text both programs show instead of updating a packaged installation.
inline constexpr char kUpdateThroughPackageManager[] =
    "Tavrin was installed by your package manager, which also updates it: "
    "install the new version there (for example: sudo apt update && sudo apt upgrade).";

// `programDirectory` with or without its trailing separator.
inline bool isPackageManaged(const QString &programDirectory)
{
    QFile marker(QDir(programDirectory).filePath(QString::fromLatin1(kPackageMarkerFile)));
    if (!marker.open(QIODevice::ReadOnly))
        return false;
    const QString recorded = QString::fromUtf8(marker.readLine()).trimmed();
    const QString here = QDir(programDirectory).canonicalPath();
    return !recorded.isEmpty() && !here.isEmpty() && QDir(recorded).canonicalPath() == here;
}

inline bool runningProgramIsPackageManaged()
{
    return isPackageManaged(defaultProgramDirectory());
}

} // namespace tavrin::platform
