#pragma once
// What the link's user-interface side and its worker share: the job queue, the answers
// being waited for, the snapshot of the client's state, and the way back to the link.
// Everything here is guarded by `mutex`. Internal to the automation backend.

#include "echolink/automation/AutomationLink.h"

#include <QHash>
#include <QMetaObject>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace tavrin::automation {

enum class Query { Transmitting, StationCount, Connected, Callsign };

// Identical queries waiting in the queue share one job.
inline QString askKey(Query query, const QString &callsign)
{
    return QString::number(int(query)) + QLatin1Char(':') + callsign;
}

struct LinkAnswer {
    bool flag = false;
    int number = 0;
    QString text;
};

// One answer someone may wait for: a query's, or an opening's.
struct Ticket {
    bool done = false;
    bool ok = false;
    bool overrun = false; // an opening someone already gave up waiting for
    LinkAnswer answer;
    QString error;
};

struct Job {
    enum class Kind { Open, Command, Ask } kind = Kind::Command;
    const char *operation = "";
    std::function<void(AutomationPort &)> call;
    Query query = Query::Transmitting;
    QString callsign;
    std::shared_ptr<Ticket> ticket;
};

enum class LinkState { Closed, Opening, Open };

// The last answers the client gave, for queries that cannot wait.
struct Snapshot {
    static constexpr int kRememberedCalls = 16;

    std::optional<bool> transmitting;
    std::optional<int> stationCount;
    std::optional<QString> callsign;
    QHash<QString, bool> connected;
    QStringList connectedOrder; // oldest first, for the cap

    void rememberConnected(const QString &call, bool linked)
    {
        if (!connected.contains(call)) {
            connectedOrder.append(call);
            if (connectedOrder.size() > kRememberedCalls)
                connected.remove(connectedOrder.takeFirst());
        }
        connected.insert(call, linked);
    }
    void clear() { *this = Snapshot{}; }
};

struct LinkShared {
    std::mutex mutex;
    std::condition_variable answered; // a ticket was finished, or the state changed

    LinkState state = LinkState::Closed;
    std::deque<Job> jobs;
    QHash<QString, std::shared_ptr<Ticket>> pendingAsks; // queued, not yet started
    std::shared_ptr<Ticket> pendingOpen;
    Snapshot snapshot;

    bool inCall = false;
    std::chrono::steady_clock::time_point callStarted;
    bool stop = false;

    AutomationLink *ui = nullptr; // null once the link is destroyed
    QObject *worker = nullptr;    // the worker while its event loop may run

    // With `mutex` held: runs `f` on the link's thread later, unless the link is gone by then.
    template <class F>
    void toUiLocked(F f)
    {
        if (AutomationLink *link = ui)
            QMetaObject::invokeMethod(link, [link, f = std::move(f)] { f(*link); }, Qt::QueuedConnection);
    }
    template <class F>
    void toUi(F f)
    {
        std::lock_guard lock(mutex);
        toUiLocked(std::move(f));
    }
    // With `mutex` held: has the worker look at the queue.
    void wakeWorkerLocked();
};

} // namespace tavrin::automation
