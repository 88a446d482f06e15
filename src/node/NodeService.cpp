#include "node/NodeService.h"

#include "echolink/EchoLinkClient.h"
#include "protocol/NodeCommands.h"
#include "protocol/RemoteProtocol.h"

#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace tavrin::node {

using namespace tavrin::remote;

namespace {

// The node's own chat lines (the link adds our callsign in front). A refusal never starts with
// "FN" nor with a sender's callsign: the panels read every line with ">FN" as the frequency the
// rig is on.
constexpr char kProgramName[] = "tavrin-node";
constexpr char kNotAllowed[] = "Refused: %1 may not control this node";
constexpr char kOutOfRange[] = "Refused FN%1: outside the frequency ranges of this node";
constexpr char kNoFrequency[] = "Refused FN: no frequency given";
constexpr char kRigRefused[] = "Refused FN%1: %2";
constexpr char kNotKeyed[] = "Not transmitting: %1";
constexpr char kRigFault[] = "Rig fault: %1";
constexpr char kRigBack[] = "Rig is answering again";
constexpr char kRigNotReady[] = "Rig not ready yet: %1";
constexpr char kNotAvailable[] = "%1 is not available on this node";
constexpr char kTimedOut[] = "Transmit time-out after %1 s: transmitter released";
constexpr char kSignalReport[] = "Signal report %1";
constexpr char kNoSignalReport[] = "Signal report not available";

// Hamlib gives the S-meter in dB over S9, 6 dB an S unit below it.
QString sUnits(int dbOverS9)
{
    if (dbOverS9 > 0)
        return QStringLiteral("S9+%1").arg(dbOverS9);
    return QStringLiteral("S%1").arg(std::max(0, 9 + int(std::lround(dbOverS9 / 6.0))));
}

} // namespace

NodeServiceOptions serviceOptionsFrom(const NodeConfig &config)
{
    NodeServiceOptions o;
    o.callsign = config.callsign;
    o.ranges = config.ranges;
    o.allow = config.allow;
    o.listeners = config.listeners;
    o.transmitTimeoutMs = config.transmitTimeoutMs;
    o.pollIntervalMs = config.pollIntervalMs;
    return o;
}

QString printableLogLine(const QString &text)
{
    QString line = text;
    for (QChar &c : line)
        if (c.category() == QChar::Other_Control)
            c = c.isSpace() ? QLatin1Char(' ') : QLatin1Char('?');
    return line;
}

NodeService::NodeService(NodeServiceOptions options, EchoLinkClient &link, RigController &rig, Log log, QObject *parent)
    : QObject(parent), options_(std::move(options)), link_(link), rig_(rig), log_(std::move(log))
{
    if (!options_.clockMs)
        options_.clockMs = [] {
            return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now().time_since_epoch())
                              .count());
        };
    transmitTimer_.setObjectName(QStringLiteral("TransmitTimeout"));
    transmitTimer_.setSingleShot(true);
    transmitTimer_.setInterval(options_.transmitTimeoutMs);
    pollTimer_.setObjectName(QStringLiteral("RigPoll"));
    pollTimer_.setInterval(options_.pollIntervalMs);
    linkTimer_.setObjectName(QStringLiteral("LinkCheck"));
    linkTimer_.setInterval(options_.linkCheckMs);
    startTimer_.setObjectName(QStringLiteral("StartGrace"));
    startTimer_.setSingleShot(true);
    startTimer_.setInterval(options_.startGraceMs);
    connect(&startTimer_, &QTimer::timeout, this, &NodeService::startOver);
    connect(&transmitTimer_, &QTimer::timeout, this, &NodeService::transmitTimedOut);
    connect(&pollTimer_, &QTimer::timeout, this, &NodeService::pollRig);
    connect(&linkTimer_, &QTimer::timeout, this, &NodeService::checkLinks);
    connect(&link_, &EchoLinkClient::ChatTextReceived, this, &NodeService::hearChat);
    connect(&link_, &EchoLinkClient::RX, this, &NodeService::linkReceiving);
    connect(&link_, &EchoLinkClient::Connected, this, [this](const QString &call) { stationConnected(call); });
    connect(&rig_, &RigController::fault, this, &NodeService::rigFault);
    connect(&rig_, &RigController::recovered, this, &NodeService::rigRecovered);
}

void NodeService::start()
{
    // Whatever a crash or a previous run left keyed is released first; a rig that cannot be
    // reached yet is released when it first answers.
    unkeyOwed_ = true;
    starting_ = true;
    startTimer_.start();
    key(false, QStringLiteral("start-up"));
    pollRig();
    pollTimer_.start();
    linkTimer_.start();
}

void NodeService::stop(std::function<void(bool, const QString &)> done)
{
    stopping_ = true;
    startTimer_.stop();
    pollTimer_.stop();
    linkTimer_.stop();
    transmitTimer_.stop();
    keyed_ = false;
    updateSend(QStringLiteral("stopping"));
    log_(QStringLiteral("stopping: unkeying the rig"));
    rig_.run(RigController::setPtt(false), [done = std::move(done)](const RigOutcome &o) { done(o.ok, o.error); }, true);
}

bool NodeService::mayControl(const QString &callsign) const
{
    const QString call = callsign.toUpper();
    return options_.allow.contains(call) || options_.allow.contains(baseCallsign(call));
}

bool NodeService::allLinkedMayControl() const
{
    if (linked_.isEmpty())
        return false;
    for (const QString &call : linked_)
        if (!mayControl(call))
            return false;
    return true;
}

void NodeService::reply(const QString &text)
{
    if (!ignoreErrors([&] { link_.SendChatText(text); }))
        log_(QStringLiteral("could not send to the chat: %1").arg(text));
}

void NodeService::sayFault(const QString &error)
{
    // A failed command and the controller's fault signal come in the same turn with the same
    // text (in either order): the chat hears it once.
    if (error == faultSaid_)
        return;
    faultSaid_ = error;
    QTimer::singleShot(0, this, [this] { faultSaid_.clear(); });
    reply(QString::fromLatin1(waitingForRig_ ? kRigNotReady : kRigFault).arg(error));
}

void NodeService::report(const RigOutcome &outcome)
{
    if (!outcome.ok) {
        sayFault(outcome.error);
        return;
    }
    reading_ = outcome.reading;
    reply(frequencyReportText(nodeFrequencyText(double(outcome.reading.hz) / 1e6), outcome.reading.mode));
    updateKey(QStringLiteral("frequency read back"));
}

void NodeService::reportFrequency()
{
    if (readingBusy_)
        return;
    readingBusy_ = true;
    rig_.run(&RigController::read, [this](const RigOutcome &o) {
        readingBusy_ = false;
        report(o);
    });
}

void NodeService::refuseFrequency(const QString &text)
{
    reply(text);
    // The panel shows a frequency as soon as it sends it: after a refusal it hears where the
    // rig really is, or its display would claim a frequency the rig never went to. A tune on
    // its way reports on its own.
    if (!tuning_)
        reportFrequency();
}

void NodeService::hearChat(const QString &line)
{
    const QString sender = senderOf(line);
    if (sender.isEmpty() || sender == options_.callsign.toUpper())
        return;
    if (line.size() > kMaxCommandLine) {
        log_(QStringLiteral("ignored a chat line of %1 characters from %2").arg(line.size()).arg(sender.left(16)));
        return;
    }
    const QString text = line.mid(line.indexOf(QLatin1Char('>')) + 1);
    const NodeRequest request = readNodeRequest(text);
    if (!request.any())
        return;
    if (!mayControl(sender)) {
        refuseStranger(sender);
        return;
    }
    log_(QStringLiteral("command from %1: %2").arg(sender, text.simplified()));

    if (request.versionQuery)
        reply(versionAnswerFor(QLatin1String(kProgramName)));
    if (request.frequencyMHz)
        setFrequency(std::llround(*request.frequencyMHz * 1e6), nodeFrequencyText(*request.frequencyMHz));
    else if (request.unreadableFrequency)
        refuseFrequency(QLatin1String(kNoFrequency));
    if (request.frequencyQuery)
        reportFrequency();
    if (request.timeQuery)
        reply(nodeTimeText(QTime::currentTime()));
    if (request.signalReport && !strengthBusy_) {
        strengthBusy_ = true;
        rig_.run(&RigController::strength, [this](const RigOutcome &o) {
            strengthBusy_ = false;
            if (!o.ok)
                sayFault(o.error);
            else
                reply(o.strength ? QString::fromLatin1(kSignalReport).arg(sUnits(*o.strength))
                                 : QString::fromLatin1(kNoSignalReport));
        });
    }
    if (request.voice)
        reply(QString::fromLatin1(kNotAvailable).arg(QStringLiteral("CV?")));
    if (request.squelchActive)
        reply(QString::fromLatin1(kNotAvailable).arg(QStringLiteral("CVSA?")));
    if (request.squelchDisable)
        reply(QString::fromLatin1(kNotAvailable).arg(QStringLiteral("CVSD?")));
    if (request.preamp)
        reply(QString::fromLatin1(kNotAvailable).arg(QStringLiteral("CPA?")));
    if (request.endTransmission && squelchOpen_) {
        // The operator wants to talk: the node falls quiet until this signal ends.
        holdReceiver_ = true;
        updateSend(QStringLiteral("asked to stop sending"));
    }
}

void NodeService::refuseStranger(const QString &sender)
{
    const QString refused = QStringLiteral("refused a command from %1: not on the allow-list").arg(sender);
    // Once while it stays linked: a stranger's flood must not flood every station's chat.
    if (std::any_of(refused_.cbegin(), refused_.cend(), [&](const Refused &r) { return r.sender == sender; })) {
        log_(refused);
        return;
    }
    // The line came over one of the links, but only its sender's name says which, and that
    // name may be made up: a linked station's own name counts as its link, any other name as
    // the only link there is, or as an unknown one.
    QString via;
    if (linked_.contains(sender))
        via = sender;
    else if (linked_.size() == 1)
        via = *linked_.cbegin();
    const qint64 now = options_.clockMs();
    for (auto it = refusalWindows_.begin(); it != refusalWindows_.end();)
        it = now - it->startMs >= kRefusalWindowMs ? refusalWindows_.erase(it) : std::next(it);
    auto window = refusalWindows_.find(via);
    if (window == refusalWindows_.end())
        window = refusalWindows_.insert(via, RefusalWindow{now, 0, 0});
    if (window->said >= kRefusalsPerWindow) {
        // Not remembered either: a real station held back here hears its refusal next time.
        ++window->held;
        log_(QStringLiteral("%1; not said in the chat (%2 held back from %3 this minute)")
                 .arg(refused)
                 .arg(window->held)
                 .arg(via.isEmpty() ? QStringLiteral("the links") : via));
        return;
    }
    ++window->said;
    refused_.append(Refused{sender, via});
    if (refused_.size() > kMaxRefusedRemembered)
        refused_.removeFirst();
    log_(refused);
    reply(QString::fromLatin1(kNotAllowed).arg(sender));
}

void NodeService::forgetLink(const QString &call)
{
    // What came over that link, and the station itself: when it links again it hears its
    // refusal again.
    refused_.removeIf([&](const Refused &r) { return r.sender == call || r.link == call; });
    if (linked_.isEmpty())
        refused_.clear();
}

void NodeService::setFrequency(qint64 hz, const QString &asked)
{
    if (!options_.ranges.contains(hz)) {
        log_(QStringLiteral("refused FN%1: outside the configured ranges").arg(asked));
        refuseFrequency(QString::fromLatin1(kOutOfRange).arg(asked));
        return;
    }
    tune(hz);
}

void NodeService::tune(qint64 hz)
{
    if (tuning_) {
        nextFrequency_ = hz;
        return;
    }
    tuning_ = true;
    rig_.run(RigController::setFrequency(hz), [this, hz](const RigOutcome &o) {
        tuning_ = false;
        if (o.refused) {
            // The rig is fine and stays where it was: a refusal, not a fault.
            const QString asked = nodeFrequencyText(double(hz) / 1e6);
            log_(QStringLiteral("refused FN%1: %2").arg(asked, o.error));
            if (nextFrequency_)
                reply(QString::fromLatin1(kRigRefused).arg(asked, o.error));
            else
                refuseFrequency(QString::fromLatin1(kRigRefused).arg(asked, o.error));
        } else if (!nextFrequency_) {
            report(o);
            return;
        } else if (!o.ok) {
            // Overtaken: its fault still counts, its frequency does not.
            report(o);
        }
        if (!nextFrequency_)
            return;
        const qint64 next = *nextFrequency_;
        nextFrequency_.reset();
        tune(next);
    });
}

void NodeService::linkReceiving(bool receiving)
{
    if (receiving != receiving_)
        log_(receiving ? QStringLiteral("voice from the link") : QStringLiteral("voice from the link ended"));
    receiving_ = receiving;
    if (!receiving) {
        overTimedOut_ = false;
        keyFailed_ = false;
    }
    updateKey(receiving ? QStringLiteral("voice from the link") : QStringLiteral("voice from the link ended"));
}

void NodeService::stationConnected(const QString &callsign)
{
    const QString call = callsign.toUpper();
    if (!options_.listeners && !mayControl(call)) {
        log_(QStringLiteral("%1 linked but is not on the allow-list: disconnected").arg(call));
        ignoreErrors([&] { link_.Disconnect(call); });
        return;
    }
    linked_.insert(call);
    forgetLink(call);
    log_(QStringLiteral("%1 linked%2").arg(call, mayControl(call) ? QString() : QStringLiteral(" (listening only)")));
    // A newcomer hears at once that the rig is down, before it talks into it.
    if (rig_.faulty() && mayControl(call))
        reply(QString::fromLatin1(waitingForRig_ ? kRigNotReady : kRigFault).arg(rig_.lastFault()));
    updateKey(QStringLiteral("station linked"));
}

void NodeService::checkLinks()
{
    const int count = askOr(0, [&] { return link_.StationCount(); });
    for (auto it = linked_.begin(); it != linked_.end();) {
        const QString call = *it;
        if (count == 0 || !askOr(false, [&] { return link_.IsConnected(call); })) {
            log_(QStringLiteral("%1 unlinked").arg(call));
            it = linked_.erase(it);
            forgetLink(call);
        } else {
            ++it;
        }
    }
    updateKey(QStringLiteral("link dropped"));
}

void NodeService::pollRig()
{
    // A slow rig must not pile up polls behind its commands.
    if (!rig_.idle())
        return;
    rig_.run(&RigController::read, [this](const RigOutcome &o) {
        if (!o.ok)
            return; // the fault is reported once, by the controller's signal
        const bool moved = reading_ && (reading_->hz != o.reading.hz || reading_->mode != o.reading.mode);
        if (!reading_ || moved)
            log_(QStringLiteral("rig on %1 Hz %2").arg(o.reading.hz).arg(o.reading.mode));
        reading_ = o.reading;
        // Turned at the rig itself: the panels would go on showing (and stepping from) the old
        // frequency. A tune or a read-back under way reports on its own; one line per poll at
        // most, however fast the knob turns.
        if (moved && !tuning_ && !readingBusy_ && !linked_.isEmpty())
            reply(frequencyReportText(nodeFrequencyText(double(o.reading.hz) / 1e6), o.reading.mode));
        updateKey(QStringLiteral("frequency changed at the rig"));
    });
}

void NodeService::transmitTimedOut()
{
    if (!keyed_)
        return;
    overTimedOut_ = true;
    reply(QString::fromLatin1(kTimedOut).arg(options_.transmitTimeoutMs / 1000));
    updateKey(QStringLiteral("transmit time-out"));
}

void NodeService::updateKey(const QString &why)
{
    const bool inRange = reading_ && options_.ranges.contains(reading_->hz);
    const bool want = receiving_ && !overTimedOut_ && !keyFailed_ && !stopping_ && allLinkedMayControl() && inRange
                      && rig_.answering() && !rig_.faulty();
    if (want != keyed_)
        key(want, why);
    updateSend(why);
    // An operator talking into a rig that stays unkeyed hears why, once for each reason.
    const QString notKeyed = want ? QString() : whyNotKeyed();
    if (notKeyed.isEmpty()) {
        notKeyedSaid_.clear();
    } else if (receiving_ && notKeyed != notKeyedSaid_) {
        notKeyedSaid_ = notKeyed;
        log_(QStringLiteral("not keying the rig: %1").arg(notKeyed));
        reply(QString::fromLatin1(kNotKeyed).arg(notKeyed));
    }
}

QString NodeService::whyNotKeyed() const
{
    // The time-out and the stop say so themselves; a fault is said as it happens.
    if (overTimedOut_ || keyFailed_ || stopping_ || linked_.isEmpty() || !rig_.answering() || rig_.faulty())
        return {};
    for (const QString &call : linked_)
        if (!mayControl(call))
            return QStringLiteral("%1 is linked and may not control this node").arg(call);
    if (!reading_)
        return QStringLiteral("the rig's frequency is not known yet");
    if (!options_.ranges.contains(reading_->hz))
        return QStringLiteral("%1 MHz is outside the frequency ranges of this node").arg(nodeFrequencyText(double(reading_->hz) / 1e6));
    return {};
}

void NodeService::receiverSquelch(bool open)
{
    squelchOpen_ = open;
    if (!open)
        holdReceiver_ = false;
    updateSend(open ? QStringLiteral("squelch open") : QStringLiteral("squelch closed"));
}

void NodeService::updateSend(const QString &why)
{
    const bool want = squelchOpen_ && !holdReceiver_ && !keyed_ && !receiving_ && !linked_.isEmpty() && !stopping_;
    if (want == sending_)
        return;
    sending_ = want;
    log_(QStringLiteral("%1 the rig's audio to the link (%2)").arg(want ? QStringLiteral("sending") : QStringLiteral("stopped sending"), why));
    if (!ignoreErrors([&] { link_.SetTransmit(want); }))
        log_(QStringLiteral("the link refused to change its transmit state"));
}

void NodeService::key(bool on, const QString &why)
{
    keyed_ = on;
    if (on) {
        transmitTimer_.start();
        log_(QStringLiteral("keying the rig (%1)").arg(why));
    } else {
        transmitTimer_.stop();
        log_(QStringLiteral("unkeying the rig (%1)").arg(why));
    }
    rig_.run(RigController::setPtt(on), [this, on](const RigOutcome &o) {
        if (!on) {
            unkeyError_ = o.ok ? QString() : o.error;
            // An unkey that did not reach the rig is owed to it: a rig keyed by CAT stays keyed
            // through a restart of rigctld or a pulled cable, so it goes again once the rig answers.
            unkeyOwed_ = !o.ok;
            if (o.ok)
                owedUnkeyRetried_ = false;
            return;
        }
        if (o.ok)
            return;
        // Keying failed: the rig may be half-keyed; release it and wait for the next over
        // (a rig that takes no PTT would otherwise be tried again at every poll, each time
        // with a fault and a recovery in the chat). A hung rig that answers again mid-over is
        // keyed then, as before.
        keyFailed_ = rig_.answering();
        key(false, QStringLiteral("keying failed: ") + o.error);
    }, !on);
}

void NodeService::rigFault(const QString &text)
{
    lastFault_ = text;
    if (starting_ && !rig_.hasAnswered()) {
        // Not a fault yet: rigctld, started with the node, may still be opening the rig.
        waitingForRig_ = true;
        log_(QStringLiteral("waiting for the rig: %1").arg(text));
        return;
    }
    waitingForRig_ = false;
    log_(QStringLiteral("rig fault: %1").arg(text));
    if (!linked_.isEmpty())
        sayFault(text);
    if (keyed_)
        key(false, QStringLiteral("rig fault"));
}

void NodeService::rigRecovered()
{
    if (waitingForRig_) {
        waitingForRig_ = false;
        log_(QStringLiteral("rig answering"));
    } else {
        log_(QStringLiteral("rig answering again"));
        if (!linked_.isEmpty())
            reply(QLatin1String(kRigBack));
    }
    // Tried once more when the rig answers; not again when that try was the fault: the rig
    // answers, only not to PTT, and each try would fail the same way at every poll.
    if (unkeyOwed_ && !keyed_ && !stopping_ && !(owedUnkeyRetried_ && lastFault_ == unkeyError_)) {
        owedUnkeyRetried_ = true;
        key(false, QStringLiteral("rig back, not yet released"));
    }
    updateKey(QStringLiteral("rig back"));
}

void NodeService::startOver()
{
    starting_ = false;
    // Still nothing from the rig: now it is a fault.
    if (waitingForRig_ && rig_.faulty())
        rigFault(rig_.lastFault());
}

} // namespace tavrin::node
