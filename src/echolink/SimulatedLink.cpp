#include "echolink/SimulatedLinkImpl.h"

#include <QPointer>
#include <QTimer>

namespace tavrin {

namespace {

constexpr int kMinimumReplyDelayMs = 100;
// The node drops its carrier well inside a second of being asked.
constexpr int kLongestUnkeyDelayMs = 900;
const QString kNotRunning = QStringLiteral("EchoLink client not running");
const QString kLocalName = QStringLiteral("Local station");
const QString kLocalAddress = QStringLiteral("127.0.0.1");
const QString kNodeName = QStringLiteral("HF Remote Node");
const QString kNodeAddress = QStringLiteral("192.0.2.9");

// Fictional neighbours; addresses from the documentation ranges.
const DirectoryEntry kNeighbours[] = {
    {QStringLiteral("XX2ABC"), QStringLiteral("Alan"), QStringLiteral("192.0.2.21")},
    {QStringLiteral("XX3DEF-R"), QStringLiteral("Ridge Repeater"), QStringLiteral("192.0.2.33")},
    {QStringLiteral("XX4GHI-L"), QStringLiteral("Gina's Link"), QStringLiteral("198.51.100.4")},
    {QStringLiteral("XX5JKL"), QStringLiteral("Jack"), QStringLiteral("198.51.100.55")},
    {QStringLiteral("X6MNO"), QStringLiteral("Mona"), QStringLiteral("203.0.113.6")},
    {QStringLiteral("XX7PQR-R"), QStringLiteral("Harbour Repeater"), QStringLiteral("203.0.113.77")},
};

bool sameCall(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

class SimulatedFactory final : public EchoLinkClientFactory {
public:
    SimulatedFactory(SimulatedLink *link, SimulatedStation *station) : link_(link), station_(station)
    {
    }

    std::unique_ptr<EchoLinkClient> create() override
    {
        if (!link_)
            throw EchoLinkError(kNotRunning.toStdString());
        return std::make_unique<SimulatedHandle>(link_.data(), station_);
    }

private:
    QPointer<SimulatedLink> link_; // the station lives exactly as long as the link
    SimulatedStation *station_;
};

} // namespace

// --- station and handle -------------------------------------------------------------

bool SimulatedStation::isLinked(const QString &call) const
{
    for (const QString &c : linked)
        if (sameCall(c, call))
            return true;
    return false;
}

SimulatedHandle::SimulatedHandle(SimulatedLink *link, SimulatedStation *station)
    : link_(link->d.get()), station_(station)
{
    station_->handles.append(this);
    // A handle that joins a station already linked hears the current list, as the other
    // handles did when the link came up; otherwise its window shows no stations until the
    // next change.
    if (station_->linked.isEmpty())
        return;
    QTimer::singleShot(0, this, [this] {
        if (link_ && station_)
            emit StationTextReceived(link_->stationText(*station_));
    });
}

SimulatedHandle::~SimulatedHandle()
{
    if (station_)
        station_->handles.removeOne(this);
}

void SimulatedHandle::detach()
{
    link_ = nullptr;
    station_ = nullptr;
}

SimulatedStation &SimulatedHandle::station()
{
    if (!station_)
        throw EchoLinkError(kNotRunning.toStdString());
    return *station_;
}

void SimulatedHandle::Connect(const QString &callsign, bool)
{
    SimulatedStation &st = station(); // throws first when the link is gone
    link_->connect(st, callsign);
}

void SimulatedHandle::Disconnect(const QString &callsign)
{
    SimulatedStation &st = station();
    link_->unlink(st, callsign, link_->replyDelayMs);
}

void SimulatedHandle::DisconnectAll()
{
    SimulatedStation &st = station();
    link_->unlinkAll(st, link_->replyDelayMs);
}

void SimulatedHandle::SetTransmit(bool on)
{
    SimulatedStation &st = station();
    st.transmitting = on && !st.linked.isEmpty();
}

bool SimulatedHandle::IsTransmitting()
{
    return station().transmitting;
}

int SimulatedHandle::StationCount()
{
    return int(station().linked.size());
}

bool SimulatedHandle::IsConnected(const QString &callsign)
{
    return station().isLinked(callsign);
}

QString SimulatedHandle::StationCallsign()
{
    return station().callsign;
}

void SimulatedHandle::SetBusy(bool busy)
{
    station().busy = busy;
}

void SimulatedHandle::SendChatText(const QString &text)
{
    SimulatedStation &st = station();
    link_->sendChat(st, text);
}

// --- the shared state ---------------------------------------------------------------

SimulatedLink::Impl::Impl(SimulatedLink *owner, Options opts)
    : q(owner),
      options(std::move(opts)),
      replyDelayMs(qMax(kMinimumReplyDelayMs, options.replyDelayMs)),
      node(options.nodeCall),
      random(options.seed)
{
    options.activityPeriodMs = qMax(kMinimumReplyDelayMs, options.activityPeriodMs);
    directory.append({options.nodeCall, kNodeName, kNodeAddress});
    for (const DirectoryEntry &e : kNeighbours)
        directory.append(e);
    activityTimer.setSingleShot(true);
    QObject::connect(&activityTimer, &QTimer::timeout, q, [this] { activityTick(); });
}

SimulatedLink::Impl::~Impl()
{
    // Handles may outlive the link (windows torn down after it); they must not reach back.
    for (const auto &st : stations)
        for (SimulatedHandle *h : std::as_const(st->handles))
            h->detach();
}

SimulatedStation *SimulatedLink::Impl::findStation(const QString &call) const
{
    for (const auto &st : stations)
        if (sameCall(st->callsign, call))
            return st.get();
    return nullptr;
}

SimulatedStation &SimulatedLink::Impl::station(const QString &call)
{
    if (SimulatedStation *st = findStation(call))
        return *st;
    stations.push_back(std::make_unique<SimulatedStation>(call));
    if (const DirectoryEntry *e = findEntry(call)) {
        // A fictional call taken over by a local program: it is now that program's node.
        for (DirectoryEntry &d : directory)
            if (&d == e)
                d = {call, kLocalName, kLocalAddress};
    } else {
        directory.append({call, kLocalName, kLocalAddress});
    }
    return *stations.back();
}

const DirectoryEntry *SimulatedLink::Impl::findEntry(const QString &call) const
{
    for (const DirectoryEntry &e : directory)
        if (sameCall(e.callsign, call))
            return &e;
    return nullptr;
}

const DirectoryEntry &SimulatedLink::Impl::ensureEntry(const QString &call)
{
    if (const DirectoryEntry *e = findEntry(call))
        return *e;
    directory.append({call, QString(), QString()});
    return directory.constLast();
}

QStringList SimulatedLink::Impl::fictionalCalls() const
{
    QStringList calls;
    for (const DirectoryEntry &e : directory)
        if (!sameCall(e.callsign, options.nodeCall) && !findStation(e.callsign))
            calls << e.callsign;
    return calls;
}

void SimulatedLink::Impl::post(SimulatedStation &st, int delayMs, Event event)
{
    SimulatedStation *target = &st;
    QTimer::singleShot(qMax(0, delayMs), q, [target, event = std::move(event)] {
        // Taken at delivery: a handle created meanwhile hears it, a destroyed one does not.
        QList<QPointer<SimulatedHandle>> handles;
        for (SimulatedHandle *h : std::as_const(target->handles))
            handles << h;
        for (const QPointer<SimulatedHandle> &h : std::as_const(handles))
            if (h)
                event(*h);
    });
}

void SimulatedLink::Impl::postChat(SimulatedStation &st, int delayMs, const QString &line)
{
    post(st, delayMs, [line](EchoLinkClient &c) { emit c.ChatTextReceived(line); });
}

void SimulatedLink::Impl::postStationText(SimulatedStation &st, int delayMs)
{
    const QString text = stationText(st);
    post(st, delayMs, [text](EchoLinkClient &c) { emit c.StationTextReceived(text); });
}

void SimulatedLink::Impl::postRx(SimulatedStation &st, int delayMs, bool receiving)
{
    st.receiving = receiving;
    post(st, delayMs, [receiving](EchoLinkClient &c) { emit c.RX(receiving); });
}

QString SimulatedLink::Impl::stationText(const SimulatedStation &st) const
{
    QStringList lines;
    for (const QString &call : st.linked) {
        const DirectoryEntry *e = findEntry(call);
        lines << (e && !e->name.isEmpty() ? call + QStringLiteral("  ") + e->name : call);
    }
    return lines.join(QLatin1Char('\r'));
}

void SimulatedLink::Impl::connect(SimulatedStation &st, const QString &call)
{
    const DirectoryEntry *remote = findEntry(call);
    if (!remote)
        throw EchoLinkError(("Station not found: " + call).toStdString());
    if (sameCall(remote->callsign, st.callsign))
        throw EchoLinkError(("Cannot connect to own station: " + call).toStdString());
    link(st, *remote, replyDelayMs);
}

void SimulatedLink::Impl::link(SimulatedStation &st, const DirectoryEntry &remote, int delayMs)
{
    if (st.isLinked(remote.callsign))
        return;
    const DirectoryEntry entry = remote; // the directory may grow below
    st.linked << entry.callsign;
    post(st, delayMs, [entry](EchoLinkClient &c) { emit c.Connected(entry.callsign, entry.name, entry.address); });
    postStationText(st, delayMs);
    // Two local programs linked to each other both see the link.
    if (SimulatedStation *other = findStation(entry.callsign))
        if (const DirectoryEntry *self = findEntry(st.callsign))
            link(*other, *self, delayMs);
}

bool SimulatedLink::Impl::unlink(SimulatedStation &st, const QString &call, int delayMs)
{
    const auto it = std::find_if(st.linked.begin(), st.linked.end(),
                                 [&](const QString &c) { return sameCall(c, call); });
    if (it == st.linked.end())
        return false;
    const QString removed = *it;
    st.linked.erase(it);
    if (st.linked.isEmpty())
        st.transmitting = false;
    postStationText(st, delayMs);
    if (SimulatedStation *other = findStation(removed))
        unlink(*other, st.callsign, delayMs);
    return true;
}

void SimulatedLink::Impl::unlinkAll(SimulatedStation &st, int delayMs)
{
    const QStringList calls = st.linked;
    for (const QString &call : calls)
        unlink(st, call, delayMs);
}

bool SimulatedLink::Impl::nodeLinkedTo(const SimulatedStation &st) const
{
    return st.isLinked(options.nodeCall);
}

void SimulatedLink::Impl::sendChat(SimulatedStation &from, const QString &text)
{
    from.sent << text;
    const QString line = from.callsign + QLatin1Char('>') + text;
    for (const auto &st : stations)
        if (st.get() != &from)
            postChat(*st, replyDelayMs, line);

    if (nodeQuiet || !nodeLinkedTo(from))
        return;
    const SimulatedNode::Answer answer = node.hear(text, now());
    for (const auto &st : stations)
        if (nodeLinkedTo(*st))
            for (const QString &reply : answer.lines)
                postChat(*st, replyDelayMs, reply);
    if (answer.endTransmission)
        endNodeTransmission(from);
}

void SimulatedLink::Impl::keyNode(bool on, int delayMs)
{
    nodeKeyed = on;
    for (const auto &st : stations)
        if (nodeLinkedTo(*st) && st->receiving != on)
            postRx(*st, delayMs, on);
}

void SimulatedLink::Impl::endNodeTransmission(SimulatedStation &asker)
{
    if (!nodeKeyed && !asker.receiving)
        return;
    const int delay = qMin(replyDelayMs, kLongestUnkeyDelayMs);
    keyNode(false, delay);
    if (asker.receiving)
        postRx(asker, delay, false);
    keyDownDue = false; // the background key-up is over already
}

// --- public face --------------------------------------------------------------------

SimulatedLink::SimulatedLink(Options options) : d(std::make_unique<Impl>(this, std::move(options)))
{
    if (d->options.backgroundActivity)
        d->startActivity();
}

SimulatedLink::~SimulatedLink() = default;

std::unique_ptr<EchoLinkClientFactory> SimulatedLink::factoryFor(const QString &localCallsign)
{
    return std::make_unique<SimulatedFactory>(this, &d->station(localCallsign));
}

QString SimulatedLink::nodeCall() const
{
    return d->options.nodeCall;
}

QStringList SimulatedLink::directory() const
{
    QStringList calls;
    for (const DirectoryEntry &e : d->directory)
        calls << e.callsign;
    return calls;
}

void SimulatedLink::setNodeQuiet(bool quiet)
{
    d->nodeQuiet = quiet;
    if (quiet && d->nodeKeyed)
        d->keyNode(false, 0);
}

void SimulatedLink::setBackgroundActivity(bool on)
{
    if (on)
        d->startActivity();
    else
        d->stopActivity();
}

QString SimulatedLink::nodeFrequency() const
{
    return d->node.frequency();
}

QString SimulatedLink::nodeMode() const
{
    return d->node.mode();
}

void SimulatedLink::linkStation(const QString &local, const QString &remote)
{
    SimulatedStation &st = d->station(local);
    if (!sameCall(local, remote))
        d->link(st, d->ensureEntry(remote), 0);
}

void SimulatedLink::unlinkStation(const QString &local, const QString &remote)
{
    d->unlink(d->station(local), remote, 0);
}

void SimulatedLink::raiseChat(const QString &local, const QString &line)
{
    d->postChat(d->station(local), 0, line);
}

void SimulatedLink::raiseStationText(const QString &local, const QString &text)
{
    d->post(d->station(local), 0, [text](EchoLinkClient &c) { emit c.StationTextReceived(text); });
}

void SimulatedLink::raiseRx(const QString &local, bool receiving)
{
    d->postRx(d->station(local), 0, receiving);
}

void SimulatedLink::raiseConnected(const QString &local, const QString &callsign)
{
    const DirectoryEntry *e = d->findEntry(callsign);
    const DirectoryEntry entry = e ? *e : DirectoryEntry{callsign, QString(), QString()};
    d->post(d->station(local), 0,
            [entry](EchoLinkClient &c) { emit c.Connected(entry.callsign, entry.name, entry.address); });
}

void SimulatedLink::raiseClosing(const QString &local)
{
    d->post(d->station(local), 0, [](EchoLinkClient &c) { emit c.Closing(); });
}

void SimulatedLink::setTransmitting(const QString &local, bool on)
{
    d->station(local).transmitting = on;
}

QStringList SimulatedLink::sentLines(const QString &local) const
{
    const SimulatedStation *st = d->findStation(local);
    return st ? st->sent : QStringList();
}

} // namespace tavrin
