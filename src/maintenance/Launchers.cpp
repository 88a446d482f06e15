#include "maintenance/Launchers.h"

#include <QDesktopServices>
#include <QProcess>

namespace tavrin::maintenance {

bool ProcessStarter::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool DesktopUrlOpener::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

} // namespace tavrin::maintenance
