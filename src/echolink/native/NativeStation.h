#pragma once
// The native station behind NativeLink and its handles: the dispatcher, the directory
// client, one link per connected station, the voice path, and the events raised on the
// handles. Private to this folder.
//
// Thread: user-interface thread. Library callbacks arrive through the Qt event loop; no
// library object is deleted from inside one of its own callbacks (links are dropped from a
// queued clean-up).

#include "echolink/native/NativeLink.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Async {
class IpAddress;
}

namespace tavrin {

class DirectoryClient;
class NativeClient;

// What every call says once the station is gone.
inline constexpr char kStationShutDown[] = "The EchoLink station has shut down";
class VoiceCapture;
class VoicePlayback;
enum class DirectoryStatus;

class NativeLinkStation : public QObject {
public:
    NativeLinkStation(NativeLink *owner, NativeLinkOptions options);
    ~NativeLinkStation() override;

    bool start();
    bool logoffPending() const { return !loggingOff_.isNull(); }
    void shutdown();
    void setPassword(const QString &password);
    QString statusText() const { return status_; }
    bool isRunning() const { return running_; }

    // The handles' operations; each throws EchoLinkError when the station is not running.
    void connectTo(const QString &callsign);
    void disconnectFrom(const QString &callsign);
    void disconnectAll();
    void setTransmit(bool on);
    bool isTransmitting() const;
    int stationCount() const;
    bool isConnected(const QString &callsign) const;
    QString callsign() const;
    void setBusy(bool busy);
    void sendChat(const QString &text);

    void addHandle(NativeClient *handle);

private:
    struct Link;

    void requireRunning() const;
    void setStatus(const QString &text);
    // Queues `event` on every live handle, in the order the handles were made.
    void raise(const std::function<void(NativeClient *)> &event);

    void onIncoming(const Async::IpAddress &ip, const std::string &callsign,
                    const std::string &name, const std::string &priv);
    struct Caller;
    // Whether the station list vouches for a caller: listed, and at the address it calls from
    // unless it calls from this network.
    bool listedAt(const QString &callsign, const QString &address) const;
    // The checks after the station list's: a twin, room, busy; then the answer.
    void admit(const Caller &caller);
    void decideUnverified(const QString &listFailure);
    // A fresh station list for the callers waiting on it, coalesced (see the .cpp).
    void listForCallers();
    void listAnswered();
    void onStationsUpdated();
    void onDirectoryFailed(const QString &message);
    void onLoggedIn(DirectoryStatus status);
    void refreshDirectory();
    void loginNow();
    // One directory request at a time, so that a failure is known to be the login's or
    // the list's.
    void pumpDirectory();

    void linkTo(const QString &callsign, const QHostAddress &address);
    Link *addLink(const Async::IpAddress &ip, const QString &callsign);
    void wireLink(Link *link);
    void linkStateChanged(Link *link, int state);
    void linkReceiving(Link *link, bool receiving);
    void refuse(const Async::IpAddress &ip, const QString &callsign);
    // Turns a request away without answering it; repeats are ignored for a while.
    void ignore(const QString &address, const QString &why);
    void remember(const QString &address);
    void dropFailed(Link *link);
    std::size_t liveLinks() const;
    Link *findByCallsign(const QString &callsign) const;
    Link *findByAddress(const Async::IpAddress &ip) const;
    void schedulePurge();
    void purgeDeadLinks();
    void dropAllLinks();
    void updateRx();
    void updateCapture();
    void sendVoice(const float *samples, int count);
    void playVoice(const float *samples, int count);

    NativeLink *owner_;
    NativeLinkOptions options_;
    QString status_;
    QString stopReason_; // what a call on a station that is not running is told
    bool running_ = false;
    bool busy_ = false;
    bool keyed_ = false;
    bool rxShown_ = false;
    bool purgeQueued_ = false;
    enum class Request { None, Login, List };
    Request inFlight_ = Request::None;
    bool loginWanted_ = false;
    bool listWanted_ = false;
    std::unique_ptr<DirectoryClient> directory_;
    QPointer<DirectoryClient> loggingOff_; // after shutdown, until the logoff is answered or given up
    std::vector<std::unique_ptr<Link>> links_;
    std::vector<QPointer<NativeClient>> handles_;
    QSet<QString> pendingConnects_; // upper-case callsigns waiting for the station list
    std::vector<Caller> unverified_; // callers waiting for the station list (bounded)
    QHash<QString, QDeadlineTimer> recentlyRefused_; // by address: the library repeats requests (bounded)
    QTimer refreshTimer_;
    QTimer callerListTimer_;     // the next list fetch for waiting callers
    QDeadlineTimer listSpacing_; // until then, waiting callers start no list fetch
    std::unique_ptr<VoiceCapture> capture_;
    std::unique_ptr<VoicePlayback> playback_;
};

} // namespace tavrin
