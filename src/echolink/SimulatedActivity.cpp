// Background life on the simulated link: the node keys up now and then, neighbours link
// in and out and chat, and once in a while someone leaves a line for the local sysop.
// One tick does one thing and schedules the next, so the whole sequence follows from the
// seed alone and never from how two timers happened to race. Everything it raises is
// queued at once, so its events arrive in the order the ticks made them.

#include "echolink/SimulatedLinkImpl.h"

namespace tavrin {

namespace {

// Shares of the dice roll (out of 100) for each kind of event.
constexpr int kKeyUpShare = 40;
constexpr int kVisitorShare = 35;
constexpr int kChatShare = 15;       // the rest is a message for the sysop
// More neighbours than this at once would crowd the node's own link off the list.
constexpr int kMaxVisitors = 2;

const char *const kGreetings[] = {
    "Good evening all, just listening in",
    "Hello from the shack, %1 here",
    "Anyone on 40 m tonight?",
    "Conditions look good on 20 m, %1 local",
    "QRV for a while, 73",
};

const char *const kFarewells[] = {
    "73, going QRT",
    "Time for dinner, 73 all",
    "Thanks for the QSO, %1 here, signing off",
};

const char *const kRemarks[] = {
    "Nice audio from the HF side today",
    "Band is opening up, hearing stations to the west",
    "Clock here says %1",
    "Who is on the remote right now?",
};

const char *const kBands[] = {"80 m", "40 m", "20 m", "17 m", "15 m", "10 m"};

template <size_t N>
QString pick(QRandomGenerator &random, const char *const (&texts)[N])
{
    return QString::fromLatin1(texts[random.bounded(quint32(N))]);
}

QString withTime(const QString &text, const QString &time)
{
    return text.contains(QLatin1String("%1")) ? text.arg(time) : text;
}

} // namespace

int SimulatedLink::Impl::randomBetween(int low, int high)
{
    return low + int(random.bounded(quint32(high - low + 1)));
}

void SimulatedLink::Impl::startActivity()
{
    if (activityOn)
        return;
    activityOn = true;
    scheduleActivity(randomBetween(options.activityPeriodMs / 2, options.activityPeriodMs * 3 / 2));
}

void SimulatedLink::Impl::stopActivity()
{
    activityOn = false;
    activityTimer.stop();
    if (keyDownDue) {
        keyDownDue = false;
        keyNode(false, 0);
    }
}

void SimulatedLink::Impl::scheduleActivity(int delayMs)
{
    if (activityOn)
        activityTimer.start(delayMs);
}

void SimulatedLink::Impl::activityTick()
{
    const int period = options.activityPeriodMs;
    const auto next = [&] { scheduleActivity(randomBetween(period / 2, period * 3 / 2)); };

    if (keyDownDue) {
        keyDownDue = false;
        if (nodeKeyed)
            keyNode(false, 0);
        next();
        return;
    }
    if (stations.empty()) {
        next();
        return;
    }

    SimulatedStation &st = *stations[random.bounded(quint32(stations.size()))];
    const int roll = randomBetween(0, 99);
    if (roll < kKeyUpShare) {
        if (!nodeQuiet && !nodeKeyed && nodeLinkedTo(st)) {
            keyNode(true, 0);
            keyDownDue = true;
            scheduleActivity(randomBetween(period * 2 / 5, period * 8 / 5));
            return;
        }
        // Nobody to key up to: a neighbour drops by instead.
        visitorComesOrGoes(st);
    } else if (roll < kKeyUpShare + kVisitorShare) {
        visitorComesOrGoes(st);
    } else if (roll < kKeyUpShare + kVisitorShare + kChatShare) {
        visitorChats(st);
    } else {
        sysopMessage(st);
    }
    next();
}

QStringList SimulatedLink::Impl::visitorsOf(const SimulatedStation &st) const
{
    QStringList visitors;
    for (const QString &call : fictionalCalls())
        if (st.isLinked(call))
            visitors << call;
    return visitors;
}

void SimulatedLink::Impl::visitorComesOrGoes(SimulatedStation &st)
{
    const QStringList visitors = visitorsOf(st);
    const QStringList calls = visitors.size() >= kMaxVisitors ? visitors : fictionalCalls();
    if (calls.isEmpty())
        return;
    const QString call = calls.at(random.bounded(quint32(calls.size())));
    const QString time = now().toString(QStringLiteral("HH:mm"));
    if (st.isLinked(call)) {
        postChat(st, 0, call + QLatin1Char('>') + withTime(pick(random, kFarewells), time));
        unlink(st, call, 0);
    } else {
        link(st, *findEntry(call), 0);
        postChat(st, 0, call + QLatin1Char('>') + withTime(pick(random, kGreetings), time));
    }
}

void SimulatedLink::Impl::visitorChats(SimulatedStation &st)
{
    const QStringList visitors = visitorsOf(st);
    if (visitors.isEmpty()) {
        visitorComesOrGoes(st);
        return;
    }
    const QString call = visitors.at(random.bounded(quint32(visitors.size())));
    const QString time = now().toString(QStringLiteral("HH:mm"));
    postChat(st, 0, call + QLatin1Char('>') + withTime(pick(random, kRemarks), time));
}

void SimulatedLink::Impl::sysopMessage(SimulatedStation &st)
{
    const QStringList calls = fictionalCalls();
    if (calls.isEmpty())
        return;
    const QString call = calls.at(random.bounded(quint32(calls.size())));
    postChat(st, 0,
             call + QStringLiteral(">**") + st.callsign + QStringLiteral("** please call me on ")
                 + pick(random, kBands));
}

} // namespace tavrin
