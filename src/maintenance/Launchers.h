#pragma once
// How the About window hands over to other programs: starting the updater, opening a web
// page or a new e-mail. Behind small interfaces so tests never start processes or browsers.
//
// Thread: user-interface thread.

#include <QString>
#include <QStringList>
#include <QUrl>

namespace tavrin::maintenance {

class ProgramStarter {
public:
    virtual ~ProgramStarter() = default;
    // Starts `program` detached; false when it could not be started.
    virtual bool startDetached(const QString &program, const QStringList &arguments) = 0;
};

class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // Hands the address to the desktop (browser, mail program); false when nothing took it.
    virtual bool openUrl(const QUrl &url) = 0;
};

// QProcess::startDetached.
class ProcessStarter final : public ProgramStarter {
public:
    bool startDetached(const QString &program, const QStringList &arguments) override;
};

// QDesktopServices::openUrl.
class DesktopUrlOpener final : public UrlOpener {
public:
    bool openUrl(const QUrl &url) override;
};

} // namespace tavrin::maintenance
