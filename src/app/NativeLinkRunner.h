#pragma once
// One run of the native EchoLink station: built from the link settings, started, and given
// the directory password once the keychain answers. Its status texts go to a sink (the
// main window's status line once that exists; standard error until then).
//
// Thread: user-interface thread. Owns the station and its client factory; does not own
// the vault. Must outlive every client handle made from factory().

#include "app/LinkChoice.h"
#include "settings/PasswordVault.h"

#ifdef TAVRIN_HAVE_NATIVE_LINK

#include <QObject>

#include <functional>
#include <memory>

namespace tavrin::link {

class NativeLinkRunner : public QObject {
    Q_OBJECT
public:
    using StatusSink = std::function<void(const QString &)>;

    NativeLinkRunner(const LinkSettings &settings, PasswordVault &vault, QObject *parent = nullptr);
    ~NativeLinkRunner() override;

    // Starts the station, then asks the keychain for the password. False when the station
    // cannot run (failureText() says why); its handles then fail their calls.
    bool start();
    QString failureText() const { return failure_; }

    EchoLinkClientFactory &factory() { return *factory_; }
    NativeLink &station() { return *station_; }

    // At the end of the run, once the windows are gone: shuts the station down and lets the
    // directory logoff finish (at most `maxWaitMs`) so the station is not left listed as on
    // the air. Runs the event loop itself: call it only after the main loop has returned.
    void finish(int maxWaitMs);

    // From now on status texts go to `sink`; the station's current status is passed on at once.
    void setStatusSink(StatusSink sink);

private:
    void report(const QString &text);
    void takePassword(const PasswordVault::Result &result);

    QString callsign_;
    PasswordVault &vault_;
    std::unique_ptr<NativeLink> station_;
    std::unique_ptr<EchoLinkClientFactory> factory_;
    StatusSink sink_;
    QString failure_;
};

} // namespace tavrin::link

#endif
