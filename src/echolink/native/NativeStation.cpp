#include "echolink/native/NativeStation.h"

#include "common/TextDecoding.h"
#include "echolink/native/ControlGuard.h"
#include "echolink/native/DirectoryClient.h"
#include "echolink/native/DirectoryProtocol.h"
#include "echolink/native/LibraryMessages.h"
#include "echolink/native/NativeHandle.h"
#include "echolink/native/NativeVoice.h"
#include "echolink/native/QtAsyncApplication.h"

#include <AsyncAudioSink.h>
#include <AsyncAudioSource.h>
#include <AsyncIpAddress.h>
#include <EchoLinkDispatcher.h>
#include <EchoLinkQso.h>

#include <QCoreApplication>
#include <QHostAddress>

#include <algorithm>

namespace tavrin {

namespace {

constexpr int kRefusedMemoryMs = 5000; // repeats of a refused request are ignored this long
constexpr int kRefusalHangUpMs = 200;  // a refused caller gets this long to read why
// Callers the station list does not know wait for a fresh one; a new fetch for them starts no
// sooner than this after the last answer, however many there are.
constexpr int kCallerListSpacingMs = 2000;
// Connections held at once, refusals under way included: each costs codec state and timers,
// and a flood of requests from many addresses must not grow that without end. Callers past
// it get no answer.
constexpr std::size_t kMaxLinks = 16;
constexpr qsizetype kMaxRemembered = 1024; // refused addresses remembered at once
constexpr qsizetype kMaxCallsignChars = 20;

constexpr char kNotStarted[] = "The EchoLink station is not running";
constexpr char kNoCallsign[] = "No EchoLink callsign is configured";
constexpr char kAlreadyRunning[] = "Another EchoLink station is already running in this program";
constexpr char kBadBindAddress[] = "The bind address \"%1\" is not an IPv4 address";
constexpr char kPortsInUse[] = "EchoLink UDP ports %1 and %2 are in use or cannot be opened";
constexpr char kNoDirectory[] = "No directory server is configured";
constexpr char kNoPassword[] = "No directory password: not logged in";
constexpr char kOnline[] = "Online as %1";
constexpr char kLoggingIn[] = "Logging in as %1";
constexpr char kBusy[] = "Busy (listed as busy) as %1";
constexpr char kOffline[] = "Offline";
constexpr char kLookingUp[] = "Looking up %1 in the station list";
constexpr char kNotListed[] = "%1 is not in the station list";
constexpr char kCannotLink[] = "Cannot link to %1: %2";
constexpr char kLinking[] = "Linking to %1 at %2";
constexpr char kLinked[] = "Linked to %1";
constexpr char kLinkFailed[] = "Could not link to %1";
constexpr char kUnlinked[] = "%1 disconnected";
constexpr char kRefused[] = "Refused %1: busy";
constexpr char kRefusalInfo[] = "Busy: not taking connections now";
constexpr char kIgnoredCall[] = "Ignored a connection from %1: \"%2\" is not a callsign";
constexpr char kIgnoredTwin[] = "Ignored a connection from %1: %2 is already linked from %3";
constexpr char kIgnoredSelf[] = "Ignored a connection from %1: %2 is this station's callsign";
constexpr char kIgnoredFull[] = "Ignored a connection from %1 (%2): %3 stations linked already";
constexpr char kChecking[] = "Looking up %1 (calling from %2) in the station list";
constexpr char kIgnoredUnlisted[] = "Ignored a connection from %1: %2 is not in the station list at that address";
constexpr char kIgnoredWaiting[] = "Ignored a connection from %1 (%2): %3 callers are waiting for the station list already";
constexpr char kIgnoredUnchecked[] = "Ignored a connection from %1 (%2): the station list could not be read";
constexpr char kDirectoryFailed[] = "Directory: %1";
constexpr char kNotLinked[] = "Not linked: nothing sent";
constexpr char kChatNotTaken[] = "The link did not take the line (too long?)";

NativeLinkStation *s_activeStation = nullptr; // the library's dispatcher is one per process

QString decodeText(const std::string &bytes)
{
    return decodeUtf8OrWindows1252(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

// What other stations may call themselves: letters, digits and the few marks real callsigns
// and conference names use. Anything else (">" above all) would let a station's chat lines
// carry another station's tag.
bool isCallsign(const QString &call)
{
    if (call.isEmpty() || call.size() > kMaxCallsignChars)
        return false;
    return std::all_of(call.begin(), call.end(), [](QChar c) {
        return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            || c == QLatin1Char('-') || c == QLatin1Char('/') || c == QLatin1Char('*') || c == QLatin1Char('_')
            || c == QLatin1Char('.');
    });
}

// A short printable sample of what a caller sent, for a status line.
QString shownCall(const QString &call)
{
    QString shown = call;
    shown.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return shown.size() > kMaxCallsignChars ? shown.left(kMaxCallsignChars) + QStringLiteral("...") : shown;
}

QString withoutTrailingBreaks(QString text)
{
    while (text.endsWith(QLatin1Char('\n')) || text.endsWith(QLatin1Char('\r')))
        text.chop(1);
    return text;
}

std::string oneLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return line.toStdString();
}

QString ipText(const Async::IpAddress &ip)
{
    return QString::fromStdString(ip.toString());
}

// This machine and the private networks: the list shows a station at its public address,
// which is not the one it calls from across a home network.
bool isLocalNetwork(const QHostAddress &address)
{
    static const std::pair<QHostAddress, int> kLocal[] = {
        {QHostAddress(QStringLiteral("127.0.0.0")), 8},    {QHostAddress(QStringLiteral("10.0.0.0")), 8},
        {QHostAddress(QStringLiteral("172.16.0.0")), 12},  {QHostAddress(QStringLiteral("192.168.0.0")), 16},
        {QHostAddress(QStringLiteral("169.254.0.0")), 16},
    };
    return std::any_of(std::begin(kLocal), std::end(kLocal),
                       [&](const auto &net) { return address.isInSubnet(net.first, net.second); });
}

// Our microphone side: what we write goes to the link's encoder.
class TxSource : public Async::AudioSource {
public:
    void write(const float *samples, int count)
    {
        int done = 0;
        while (done < count) {
            const int written = sinkWriteSamples(samples + done, count - done);
            if (written <= 0)
                break; // not linked any more: the rest is dropped
            done += written;
        }
    }
    void flush() { sinkFlushSamples(); }
    void resumeOutput() override { }

protected:
    void allSamplesFlushed() override { }
};

// Our loudspeaker side: the link's decoded voice.
class RxSink : public Async::AudioSink {
public:
    explicit RxSink(std::function<void(const float *, int)> out) : out_(std::move(out)) { }
    int writeSamples(const float *samples, int count) override
    {
        out_(samples, count);
        return count;
    }
    void flushSamples() override { sourceAllSamplesFlushed(); }

private:
    std::function<void(const float *, int)> out_;
};

} // namespace

// A connection request waiting for the station list.
struct NativeLinkStation::Caller {
    Async::IpAddress ip;
    QString callsign; // upper case
    std::string name;
    std::string priv;
};

struct NativeLinkStation::Link {
    Link(const Async::IpAddress &ip, const std::string &localCall, const std::string &localName,
         const std::string &info, std::function<void(const float *, int)> rxOut)
        : rx(std::move(rxOut)), qso(std::make_unique<EchoLink::Qso>(ip, localCall, localName, info)),
          address(ipText(ip))
    {
        tx.registerSink(qso.get());
        qso->registerSink(&rx);
    }
    ~Link()
    {
        // Deleting the connection says goodbye to the peer: none of that may reach us.
        qso->stateChange.clear();
        qso->chatMsgReceived.clear();
        qso->infoMsgReceived.clear();
        qso->isReceiving.clear();
        tx.unregisterSink();
        qso->unregisterSink();
        qso.reset();
    }
    Link(const Link &) = delete;
    Link &operator=(const Link &) = delete;

    bool isConnected() const { return !dead && qso->currentState() == EchoLink::Qso::STATE_CONNECTED; }

    TxSource tx;
    RxSink rx;
    std::unique_ptr<EchoLink::Qso> qso;
    QString callsign; // upper case
    QString address;
    bool announced = false;
    bool receiving = false;
    bool refused = false;
    bool dead = false;
};

NativeLinkStation::NativeLinkStation(NativeLink *owner, NativeLinkOptions options)
    : owner_(owner), options_(std::move(options)), status_(QString::fromLatin1(kNotStarted)),
      stopReason_(status_)
{
    options_.callsign = options_.callsign.trimmed().toUpper();
    refreshTimer_.setInterval(std::max(1000, options_.directoryRefreshMs));
    connect(&refreshTimer_, &QTimer::timeout, this, &NativeLinkStation::refreshDirectory);
    callerListTimer_.setSingleShot(true);
    connect(&callerListTimer_, &QTimer::timeout, this, [this] {
        if (unverified_.empty())
            return; // a list came meanwhile and settled them
        listWanted_ = true;
        pumpDirectory();
    });
}

NativeLinkStation::~NativeLinkStation()
{
    shutdown();
}

void NativeLinkStation::setStatus(const QString &text)
{
    status_ = text;
    if (!running_)
        stopReason_ = text; // e.g. why start() failed
    if (owner_)
        Q_EMIT owner_->statusChanged(text);
}

void NativeLinkStation::requireRunning() const
{
    if (!running_)
        throw EchoLinkError(stopReason_.toStdString());
}

void NativeLinkStation::addHandle(NativeClient *handle)
{
    handles_.erase(std::remove_if(handles_.begin(), handles_.end(),
                                  [](const QPointer<NativeClient> &h) { return h.isNull(); }),
                   handles_.end());
    handles_.emplace_back(handle);
}

void NativeLinkStation::raise(const std::function<void(NativeClient *)> &event)
{
    // One posted call per handle, posted in creation order: the event loop keeps that order.
    for (const QPointer<NativeClient> &handle : handles_) {
        if (!handle)
            continue;
        QPointer<NativeClient> target = handle;
        QMetaObject::invokeMethod(
            handle.data(), [target, event] { if (target) event(target.data()); },
            Qt::QueuedConnection);
    }
}

bool NativeLinkStation::start()
{
    if (running_)
        return true;
    // Packets from anyone make the library write a line each: held to a trickle.
    native::limitLibraryMessages();
    if (options_.callsign.isEmpty()) {
        setStatus(QString::fromLatin1(kNoCallsign));
        return false;
    }
    if (s_activeStation && s_activeStation != this) {
        setStatus(QString::fromLatin1(kAlreadyRunning));
        return false;
    }
    QtAsyncApplication::ensure();

    Async::IpAddress bindAddress;
    if (!options_.bindAddress.isEmpty()) {
        const QHostAddress parsed(options_.bindAddress);
        if (parsed.protocol() != QAbstractSocket::IPv4Protocol) {
            setStatus(QString::fromLatin1(kBadBindAddress).arg(options_.bindAddress));
            return false;
        }
        bindAddress.setIpFromString(parsed.toString().toStdString());
    }
    EchoLink::Dispatcher::setPortBase(options_.portBase);
    EchoLink::Dispatcher::setBindAddr(bindAddress);
    EchoLink::Dispatcher *dispatcher = EchoLink::Dispatcher::instance();
    if (!dispatcher) {
        setStatus(QString::fromLatin1(kPortsInUse).arg(options_.portBase).arg(options_.portBase + 1));
        return false;
    }
    s_activeStation = this;
    // The library must not read a control packet that is cut short (see ControlGuard.h).
    QtAsyncApplication::ensure().setReadGuard(
        [port = quint16(options_.portBase + 1)](int fd) { return controlguard::admit(fd, port); });
    dispatcher->incomingConnection.connect(
        [this](const Async::IpAddress &ip, const std::string &call, const std::string &name,
               const std::string &priv) { onIncoming(ip, call, name, priv); });

    auto status = [this](const QString &text) { setStatus(text); };
    capture_ = std::make_unique<VoiceCapture>(
        options_.audioInput, options_.testAudioInput,
        [this](const float *samples, int count) { sendVoice(samples, count); }, status);
    playback_ = std::make_unique<VoicePlayback>(options_.audioOutput, status);

    running_ = true;
    // Online only once the directory has said so.
    setStatus(QString::fromLatin1(kLoggingIn).arg(options_.callsign));

    if (options_.directoryServers.isEmpty()) {
        setStatus(QString::fromLatin1(kNoDirectory));
        return true;
    }
    DirectoryClient::Options dirOptions;
    dirOptions.servers = options_.directoryServers;
    dirOptions.defaultPort = options_.directoryPort;
    dirOptions.callsign = options_.callsign;
    dirOptions.password = options_.password;
    dirOptions.description = options_.location;
    dirOptions.timeoutMs = options_.directoryTimeoutMs;
    directory_ = std::make_unique<DirectoryClient>(dirOptions);
    connect(directory_.get(), &DirectoryClient::loggedIn, this, &NativeLinkStation::onLoggedIn);
    connect(directory_.get(), &DirectoryClient::stationsUpdated, this,
            &NativeLinkStation::onStationsUpdated);
    connect(directory_.get(), &DirectoryClient::failed, this, &NativeLinkStation::onDirectoryFailed);
    refreshDirectory();
    refreshTimer_.start();
    return true;
}

void NativeLinkStation::refreshDirectory()
{
    if (!directory_)
        return;
    loginNow();
    listWanted_ = true;
    pumpDirectory();
}

void NativeLinkStation::loginNow()
{
    if (!directory_)
        return;
    if (options_.password.isEmpty()) {
        setStatus(QString::fromLatin1(kNoPassword));
        return;
    }
    loginWanted_ = true;
    pumpDirectory();
}

void NativeLinkStation::pumpDirectory()
{
    if (!directory_ || !running_ || inFlight_ != Request::None)
        return;
    if (loginWanted_) {
        loginWanted_ = false;
        inFlight_ = Request::Login;
        // The status as it is when the request goes out: a later SetBusy asks again.
        directory_->login(busy_ ? DirectoryStatus::Busy : DirectoryStatus::Online);
    } else if (listWanted_) {
        listWanted_ = false;
        inFlight_ = Request::List;
        directory_->refreshStations();
    }
}

void NativeLinkStation::setPassword(const QString &password)
{
    options_.password = password;
    if (directory_) {
        directory_->setPassword(password);
        if (running_)
            loginNow();
    }
}

void NativeLinkStation::onLoggedIn(DirectoryStatus status)
{
    inFlight_ = Request::None;
    pumpDirectory();
    if (!running_)
        return;
    if (status == DirectoryStatus::Busy)
        setStatus(QString::fromLatin1(kBusy).arg(options_.callsign));
    else if (status == DirectoryStatus::Online)
        setStatus(QString::fromLatin1(kOnline).arg(options_.callsign));
}

void NativeLinkStation::onDirectoryFailed(const QString &message)
{
    const Request failed = std::exchange(inFlight_, Request::None);
    setStatus(QString::fromLatin1(kDirectoryFailed).arg(message));
    if (failed == Request::List) {
        listAnswered();
        // A pending connect cannot go on without the list.
        for (const QString &call : std::as_const(pendingConnects_))
            setStatus(QString::fromLatin1(kCannotLink).arg(call, message));
        pendingConnects_.clear();
        decideUnverified(message);
    }
    pumpDirectory();
}

void NativeLinkStation::onStationsUpdated()
{
    inFlight_ = Request::None;
    listAnswered();
    pumpDirectory();
    if (!running_ || !directory_)
        return;
    const QSet<QString> pending = std::exchange(pendingConnects_, {});
    for (const QString &call : pending) {
        if (const auto station = directory_->find(call))
            linkTo(call, station->address);
        else
            setStatus(QString::fromLatin1(kNotListed).arg(call));
    }
    decideUnverified({});
}

void NativeLinkStation::linkTo(const QString &call, const QHostAddress &address)
{
    if (findByCallsign(call))
        return;
    // "Any address" reaches this very station; broadcast and multicast reach no one station.
    if (address.protocol() != QAbstractSocket::IPv4Protocol || address == QHostAddress(QHostAddress::AnyIPv4)
        || address.isBroadcast() || address.isMulticast()) {
        setStatus(QString::fromLatin1(kCannotLink).arg(call, QStringLiteral("no usable address")));
        return;
    }
    const Async::IpAddress ip(address.toString().toStdString());
    if (const Link *there = findByAddress(ip); there && there->dead)
        purgeDeadLinks(); // a link that has just ended holds its address until it is gone
    if (findByAddress(ip)) {
        setStatus(QString::fromLatin1(kCannotLink).arg(call, QStringLiteral("already linked to that address")));
        return;
    }
    Link *link = addLink(ip, call);
    if (!link)
        return;
    setStatus(QString::fromLatin1(kLinking).arg(call, link->address));
    link->qso->setRemoteCallsign(call.toStdString());
    if (!link->qso->connect())
        dropFailed(link);
}

void NativeLinkStation::dropFailed(Link *link)
{
    // The library could not even send the first packet (an address that takes nothing from
    // us): it reports no state change, so the link would sit there "linking" for ever and
    // block the next attempt.
    link->dead = true;
    if (!link->refused)
        setStatus(QString::fromLatin1(kLinkFailed).arg(link->callsign));
    schedulePurge();
}

std::size_t NativeLinkStation::liveLinks() const
{
    return std::size_t(std::count_if(links_.begin(), links_.end(), [](const std::unique_ptr<Link> &l) { return !l->dead; }));
}

void NativeLinkStation::remember(const QString &address)
{
    if (recentlyRefused_.size() >= kMaxRemembered) {
        for (auto it = recentlyRefused_.begin(); it != recentlyRefused_.end();)
            it = it->hasExpired() ? recentlyRefused_.erase(it) : std::next(it);
        if (recentlyRefused_.size() >= kMaxRemembered)
            recentlyRefused_.clear(); // a flood from that many addresses: start over
    }
    recentlyRefused_.insert(address, QDeadlineTimer(kRefusedMemoryMs));
}

void NativeLinkStation::ignore(const QString &address, const QString &why)
{
    // Unanswered, the caller's library repeats the request: say it once.
    remember(address);
    setStatus(why);
}

NativeLinkStation::Link *NativeLinkStation::addLink(const Async::IpAddress &ip, const QString &callsign)
{
    auto link = std::make_unique<Link>(ip, options_.callsign.toStdString(), options_.name.toStdString(),
                                       options_.location.toStdString(),
                                       [this](const float *samples, int count) { playVoice(samples, count); });
    if (!link->qso->initOk()) {
        setStatus(QString::fromLatin1(kCannotLink).arg(callsign, link->address));
        return nullptr;
    }
    link->callsign = callsign;
    links_.push_back(std::move(link));
    Link *raw = links_.back().get();
    wireLink(raw);
    return raw;
}

void NativeLinkStation::wireLink(Link *link)
{
    EchoLink::Qso *qso = link->qso.get();
    qso->stateChange.connect([this, link](EchoLink::Qso::State state) { linkStateChanged(link, state); });
    qso->isReceiving.connect([this, link](bool receiving) { linkReceiving(link, receiving); });
    qso->chatMsgReceived.connect([this, link](const std::string &message) {
        if (link->refused)
            return;
        QString text = withoutTrailingBreaks(decodeText(message));
        // The sender writes its own tag: one that is not the linked station's callsign gets
        // the real one in front, so no station can speak in another's name.
        const qsizetype tagEnd = text.indexOf(QLatin1Char('>'));
        if (tagEnd < 0 || text.left(tagEnd).trimmed().compare(link->callsign, Qt::CaseInsensitive) != 0)
            text = link->callsign + QLatin1Char('>') + text;
        raise([text](NativeClient *h) { Q_EMIT h->ChatTextReceived(text); });
    });
    qso->infoMsgReceived.connect([this, link](const std::string &message) {
        if (link->refused)
            return;
        const QString text = withoutTrailingBreaks(decodeText(message));
        raise([text](NativeClient *h) { Q_EMIT h->StationTextReceived(text); });
    });
}

void NativeLinkStation::onIncoming(const Async::IpAddress &ip, const std::string &callsign,
                                   const std::string &name, const std::string &priv)
{
    if (!running_ || findByAddress(ip))
        return; // the library repeats a request until it is answered: answer once
    const QString address = ipText(ip);
    const auto refusedIt = recentlyRefused_.constFind(address);
    if (refusedIt != recentlyRefused_.cend() && !refusedIt->hasExpired())
        return;
    if (std::any_of(unverified_.begin(), unverified_.end(), [&](const Caller &c) { return c.ip == ip; }))
        return; // being looked up
    QString call = decodeText(callsign).trimmed().toUpper();
    if (call.isEmpty())
        call = address;
    if (!isCallsign(call))
        return ignore(address, QString::fromLatin1(kIgnoredCall).arg(address, shownCall(call)));
    if (call == options_.callsign)
        return ignore(address, QString::fromLatin1(kIgnoredSelf).arg(address, call));
    Caller caller{ip, call, name, priv};
    // Anybody can send any callsign: with a directory, a caller is the station it names only
    // when the list has that station where the call comes from. Otherwise a stranger could
    // link as a station on a node's allow-list and key its transmitter. A caller the list
    // does not know yet may have logged in since it was read: it waits for a fresh one.
    if (directory_ && !listedAt(call, address)) {
        if (unverified_.size() >= kMaxLinks)
            return ignore(address, QString::fromLatin1(kIgnoredWaiting).arg(address, call).arg(kMaxLinks));
        unverified_.push_back(std::move(caller));
        setStatus(QString::fromLatin1(kChecking).arg(call, address));
        listForCallers();
        return;
    }
    admit(caller);
}

bool NativeLinkStation::listedAt(const QString &callsign, const QString &address) const
{
    const auto station = directory_ ? directory_->find(callsign) : std::nullopt;
    if (!station)
        return false;
    const QHostAddress from(address);
    return station->address == from || isLocalNetwork(from);
}

void NativeLinkStation::listForCallers()
{
    // Callers cost nothing to forge, from any number of addresses: a rush of them must not
    // keep the directory fetching its list. They wait for the fetch under way (or already
    // asked for), and a new one starts no sooner than a while after the last answer.
    if (inFlight_ == Request::List || listWanted_ || callerListTimer_.isActive())
        return;
    if (!listSpacing_.hasExpired()) {
        callerListTimer_.start(int(std::max<qint64>(1, listSpacing_.remainingTime())));
        return;
    }
    listWanted_ = true;
    pumpDirectory();
}

void NativeLinkStation::listAnswered()
{
    listSpacing_.setRemainingTime(kCallerListSpacingMs);
}

void NativeLinkStation::decideUnverified(const QString &listFailure)
{
    const std::vector<Caller> waiting = std::exchange(unverified_, {});
    for (const Caller &caller : waiting) {
        const QString address = ipText(caller.ip);
        if (!running_ || findByAddress(caller.ip))
            continue;
        if (!listFailure.isEmpty())
            ignore(address, QString::fromLatin1(kIgnoredUnchecked).arg(address, caller.callsign));
        else if (!listedAt(caller.callsign, address))
            ignore(address, QString::fromLatin1(kIgnoredUnlisted).arg(address, caller.callsign));
        else
            admit(caller);
    }
}

void NativeLinkStation::admit(const Caller &caller)
{
    const QString address = ipText(caller.ip);
    const QString &call = caller.callsign;
    // A second station under the callsign of one that is linked would speak in its name.
    if (const Link *twin = findByCallsign(call))
        return ignore(address, QString::fromLatin1(kIgnoredTwin).arg(address, call, twin->address));
    if (liveLinks() >= kMaxLinks)
        return ignore(address, QString::fromLatin1(kIgnoredFull).arg(address, call).arg(kMaxLinks));
    if (busy_) {
        refuse(caller.ip, call);
        return;
    }
    Link *link = addLink(caller.ip, call);
    if (!link)
        return;
    link->qso->setRemoteCallsign(call.toStdString());
    link->qso->setRemoteName(caller.name);
    link->qso->setRemoteParams(caller.priv);
    if (!link->qso->accept())
        dropFailed(link);
}

void NativeLinkStation::refuse(const Async::IpAddress &ip, const QString &callsign)
{
    remember(ipText(ip));
    Link *link = addLink(ip, callsign);
    if (!link)
        return;
    // The protocol has no "no": answer, say why, and hang up. The caller's library takes
    // station information only once it counts itself linked, and reads its control and voice
    // ports in turn, so a goodbye sent with the reason overtakes it and the reason is dropped.
    // The reason therefore goes as the information that comes with the answer, and the
    // goodbye follows a moment later.
    link->refused = true;
    link->qso->setLocalInfo(kRefusalInfo);
    if (!link->qso->accept())
        return dropFailed(link);
    setStatus(QString::fromLatin1(kRefused).arg(callsign));
    QTimer::singleShot(kRefusalHangUpMs, this, [this, ip] {
        Link *refused = running_ ? findByAddress(ip) : nullptr;
        if (refused && refused->refused && !refused->dead)
            refused->qso->disconnect();
    });
}

void NativeLinkStation::linkStateChanged(Link *link, int state)
{
    if (link->dead)
        return;
    if (state == EchoLink::Qso::STATE_CONNECTED) {
        if (link->announced || link->refused)
            return;
        link->announced = true;
        // The station's own word for its callsign, when it is one, not ours, and no other
        // link has it.
        const QString remote = decodeText(link->qso->remoteCallsign()).trimmed().toUpper();
        if (isCallsign(remote) && remote != options_.callsign) {
            const Link *other = findByCallsign(remote);
            if (!other || other == link)
                link->callsign = remote;
        }
        const std::string &rawName = link->qso->remoteName();
        const QString name = directory::cleanText(QByteArrayView(rawName.data(), qsizetype(rawName.size())));
        const QString call = link->callsign;
        const QString address = link->address;
        setStatus(QString::fromLatin1(kLinked).arg(call));
        raise([call, name, address](NativeClient *h) { Q_EMIT h->Connected(call, name, address); });
        updateCapture();
    } else if (state == EchoLink::Qso::STATE_DISCONNECTED) {
        link->dead = true;
        link->receiving = false;
        if (!link->refused)
            setStatus(QString::fromLatin1(link->announced ? kUnlinked : kLinkFailed).arg(link->callsign));
        // The transmitter goes with the last link: kept keyed, it would open the microphone
        // to whichever station links next, with nobody having pressed anything.
        if (!running_ || stationCount() == 0)
            keyed_ = false;
        updateRx();
        updateCapture();
        schedulePurge();
    }
}

void NativeLinkStation::linkReceiving(Link *link, bool receiving)
{
    link->receiving = receiving && !link->refused;
    updateRx();
}

void NativeLinkStation::updateRx()
{
    bool any = false;
    for (const auto &link : links_)
        any = any || (!link->dead && link->receiving);
    if (any == rxShown_)
        return;
    rxShown_ = any;
    raise([any](NativeClient *h) { Q_EMIT h->RX(any); });
}

NativeLinkStation::Link *NativeLinkStation::findByCallsign(const QString &callsign) const
{
    for (const auto &link : links_) {
        if (!link->dead && !link->refused && link->callsign.compare(callsign, Qt::CaseInsensitive) == 0)
            return link.get();
    }
    return nullptr;
}

NativeLinkStation::Link *NativeLinkStation::findByAddress(const Async::IpAddress &ip) const
{
    // A dead link still holds its address at the dispatcher until it is purged.
    for (const auto &link : links_) {
        if (link->qso->remoteIp() == ip)
            return link.get();
    }
    return nullptr;
}

void NativeLinkStation::schedulePurge()
{
    if (purgeQueued_)
        return;
    purgeQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { purgeDeadLinks(); }, Qt::QueuedConnection);
}

void NativeLinkStation::purgeDeadLinks()
{
    purgeQueued_ = false;
    links_.erase(std::remove_if(links_.begin(), links_.end(),
                                [](const std::unique_ptr<Link> &link) { return link->dead; }),
                 links_.end());
}

void NativeLinkStation::dropAllLinks()
{
    for (const auto &link : links_) {
        if (!link->dead)
            link->qso->disconnect();
    }
    links_.clear();
}

void NativeLinkStation::connectTo(const QString &callsign)
{
    requireRunning();
    const QString call = callsign.trimmed().toUpper();
    if (call.isEmpty())
        throw EchoLinkError("No callsign to link to");
    if (findByCallsign(call))
        return; // linked or linking already
    if (call == options_.callsign) {
        setStatus(QString::fromLatin1(kCannotLink).arg(call, QStringLiteral("that is this station")));
        return;
    }
    if (!directory_)
        throw EchoLinkError(QString::fromLatin1(kCannotLink).arg(call, QString::fromLatin1(kNoDirectory)).toStdString());
    if (const auto station = directory_->find(call)) {
        linkTo(call, station->address);
        return;
    }
    // Not known (yet): fetch the list first.
    pendingConnects_.insert(call);
    setStatus(QString::fromLatin1(kLookingUp).arg(call));
    listWanted_ = true;
    pumpDirectory();
}

void NativeLinkStation::disconnectFrom(const QString &callsign)
{
    requireRunning();
    pendingConnects_.remove(callsign.trimmed().toUpper());
    if (Link *link = findByCallsign(callsign.trimmed()))
        link->qso->disconnect();
}

void NativeLinkStation::disconnectAll()
{
    requireRunning();
    pendingConnects_.clear();
    // Disconnecting reports the state change at once; collect first.
    std::vector<Link *> live;
    for (const auto &link : links_) {
        if (!link->dead)
            live.push_back(link.get());
    }
    for (Link *link : live)
        link->qso->disconnect();
}

void NativeLinkStation::setTransmit(bool on)
{
    requireRunning();
    // With nobody linked there is no transmitter to key: a station linking later must not find
    // it keyed.
    keyed_ = on && stationCount() > 0;
    updateCapture();
}

bool NativeLinkStation::isTransmitting() const
{
    requireRunning();
    return keyed_ && stationCount() > 0;
}

int NativeLinkStation::stationCount() const
{
    requireRunning();
    int count = 0;
    for (const auto &link : links_)
        count += (link->isConnected() && !link->refused) ? 1 : 0;
    return count;
}

bool NativeLinkStation::isConnected(const QString &callsign) const
{
    requireRunning();
    const Link *link = findByCallsign(callsign.trimmed());
    return link && link->isConnected();
}

QString NativeLinkStation::callsign() const
{
    requireRunning();
    return options_.callsign;
}

void NativeLinkStation::setBusy(bool busy)
{
    requireRunning();
    busy_ = busy;
    if (!busy)
        recentlyRefused_.clear(); // whoever was turned away may come in now
    loginNow();
}

void NativeLinkStation::sendChat(const QString &text)
{
    requireRunning();
    const std::string line = oneLine(text);
    bool linked = false;
    bool sent = false;
    for (const auto &link : links_) {
        if (link->isConnected() && !link->refused) {
            linked = true;
            sent = link->qso->sendChatData(line) || sent;
        }
    }
    // A line that reached nobody is a failed send: the window that sent it must not show it
    // as gone out.
    if (!linked)
        throw EchoLinkError(kNotLinked);
    if (!sent)
        throw EchoLinkError(kChatNotTaken);
}

void NativeLinkStation::updateCapture()
{
    if (!capture_)
        return;
    const bool want = running_ && keyed_ && stationCount() > 0;
    if (want && !capture_->isRunning()) {
        capture_->start();
    } else if (!want && capture_->isRunning()) {
        capture_->stop();
        for (const auto &link : links_) {
            if (link->isConnected())
                link->tx.flush(); // the last partial packet
        }
    }
}

void NativeLinkStation::sendVoice(const float *samples, int count)
{
    for (const auto &link : links_) {
        if (link->isConnected() && !link->refused)
            link->tx.write(samples, count);
    }
}

void NativeLinkStation::playVoice(const float *samples, int count)
{
    if (playback_)
        playback_->write(samples, count);
}

void NativeLinkStation::shutdown()
{
    if (!running_)
        return;
    running_ = false;
    refreshTimer_.stop();
    callerListTimer_.stop();
    pendingConnects_.clear();
    unverified_.clear();
    if (capture_)
        capture_->stop();
    dropAllLinks();
    if (rxShown_) {
        rxShown_ = false;
        raise([](NativeClient *h) { Q_EMIT h->RX(false); });
    }
    capture_.reset();
    playback_.reset();
    EchoLink::Dispatcher::deleteInstance();
    if (s_activeStation == this) {
        s_activeStation = nullptr;
        QtAsyncApplication::ensure().setReadGuard({});
    }

    if (directory_) {
        // Logging off outlives the station: the client goes once the server has answered it.
        DirectoryClient *directory = directory_.release();
        disconnect(directory, nullptr, this, nullptr);
        loggingOff_ = directory;
        // A station list or a login is no use now, and one that stalls would hold the logoff
        // back past the program's wait for it: the directory would go on listing a stopped
        // station. With both dropped, the logoff is the one request left.
        directory->abandonStationList();
        directory->abandonLogin();
        if (!options_.password.isEmpty() && QCoreApplication::instance()) {
            directory->setParent(QCoreApplication::instance());
            connect(directory, &DirectoryClient::loggedIn, directory, &QObject::deleteLater);
            connect(directory, &DirectoryClient::failed, directory, &QObject::deleteLater);
            QTimer::singleShot(2 * options_.directoryTimeoutMs + 1000, directory, &QObject::deleteLater);
            directory->login(DirectoryStatus::Offline);
        } else {
            directory->deleteLater();
        }
    }
    inFlight_ = Request::None;
    loginWanted_ = listWanted_ = false;
    setStatus(QString::fromLatin1(kOffline));
    stopReason_ = QString::fromLatin1(kStationShutDown);
    raise([](NativeClient *h) { Q_EMIT h->Closing(); });
}

} // namespace tavrin
