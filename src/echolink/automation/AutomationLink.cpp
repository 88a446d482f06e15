#include "echolink/automation/AutomationLink.h"

#include "echolink/automation/AutomationHandle.h"
#include "echolink/automation/LinkWorker.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace tavrin::automation {

namespace {

std::chrono::steady_clock::time_point deadlineAfter(int ms)
{
    return std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
}

} // namespace

bool isServerGoneError(std::int32_t hresult)
{
    switch (hresult) {
    case kRpcDisconnected:
    case kRpcServerUnavailable:
    case kRpcServerDied:
    case kRpcServerDiedDne:
    case kObjectNotConnected:
        return true;
    default:
        return false;
    }
}

AutomationLink::AutomationLink(AutomationPortFactory ports, Options options)
    : options_(options), shared_(std::make_shared<LinkShared>())
{
    shared_->ui = this;
    auto *thread = new WorkerThread(shared_, std::move(ports), options_.refreshIntervalMs);
    thread->setObjectName(QStringLiteral("EchoLinkAutomation"));
    thread_ = thread;
    thread_->start();
}

AutomationLink::~AutomationLink()
{
    for (AutomationHandle *h : std::as_const(handles_))
        h->detach();
    handles_.clear();
    {
        std::lock_guard lock(shared_->mutex);
        shared_->ui = nullptr;
        shared_->stop = true;
        shared_->answered.notify_all();
    }
    thread_->quit();
    if (thread_->wait(QDeadlineTimer(options_.shutdownWaitMs))) {
        delete thread_;
    } else {
        // The client is stuck in a call. The thread finishes (closing and destroying the
        // port) if that call ever returns; its object is freed from the event loop then.
        qWarning("EchoLink did not return from a call; leaving it to finish on its own");
        connect(thread_, &QThread::finished, thread_, &QObject::deleteLater);
        if (thread_->isFinished()) {
            // It finished between the wait and the connection: nothing will ask again.
            thread_->deleteLater();
        }
    }
    thread_ = nullptr;
}

std::unique_ptr<EchoLinkClient> AutomationLink::create()
{
    std::unique_lock lock(shared_->mutex);
    if (shared_->state != LinkState::Open) {
        std::shared_ptr<Ticket> ticket = shared_->pendingOpen;
        int waitMs = options_.openWaitMs;
        if (ticket) {
            if (ticket->overrun)
                waitMs = options_.answerWaitMs;
        } else {
            ticket = std::make_shared<Ticket>();
            shared_->pendingOpen = ticket;
            shared_->state = LinkState::Opening;
            Job job;
            job.kind = Job::Kind::Open;
            job.ticket = ticket;
            shared_->jobs.push_back(std::move(job));
            shared_->wakeWorkerLocked();
        }
        shared_->answered.wait_until(lock, deadlineAfter(waitMs), [&] { return ticket->done; });
        if (!ticket->done) {
            ticket->overrun = true;
            throw EchoLinkError(kClientNoAnswer);
        }
        if (!ticket->ok)
            throw EchoLinkError(ticket->error.toStdString());
        if (shared_->state != LinkState::Open) // gone again already
            throw EchoLinkError(kClientNotRunning);
    }
    lock.unlock();
    auto handle = std::make_unique<AutomationHandle>(this);
    handles_.append(handle.get());
    return handle;
}

int AutomationLink::workerThreadCount() { return WorkerThread::count(); }

bool AutomationLink::isOpen() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->state == LinkState::Open;
}

void AutomationLink::command(const char *operation, std::function<void(AutomationPort &)> call)
{
    std::lock_guard lock(shared_->mutex);
    if (shared_->state != LinkState::Open)
        throw EchoLinkError(kClientNotRunning);
    Job job;
    job.kind = Job::Kind::Command;
    job.operation = operation;
    job.call = std::move(call);
    shared_->jobs.push_back(std::move(job));
    shared_->wakeWorkerLocked();
}

LinkAnswer AutomationLink::ask(int queryNumber, const QString &callsign)
{
    const auto query = Query(queryNumber);
    std::unique_lock lock(shared_->mutex);
    if (shared_->state != LinkState::Open)
        throw EchoLinkError(kClientNotRunning);

    // A worker already stuck in a call longer than the bound will not answer in time.
    const auto bound = std::chrono::milliseconds(options_.answerWaitMs);
    const bool stuck = shared_->inCall && std::chrono::steady_clock::now() - shared_->callStarted > bound;

    const QString key = askKey(query, callsign);
    std::shared_ptr<Ticket> ticket = shared_->pendingAsks.value(key);
    if (!ticket) {
        ticket = std::make_shared<Ticket>();
        shared_->pendingAsks.insert(key, ticket);
        Job job;
        job.kind = Job::Kind::Ask;
        job.query = query;
        job.callsign = callsign;
        job.ticket = ticket;
        shared_->jobs.push_back(std::move(job));
        shared_->wakeWorkerLocked();
    }
    if (!stuck)
        shared_->answered.wait_until(lock, deadlineAfter(options_.answerWaitMs),
                                     [&] { return ticket->done || shared_->state != LinkState::Open; });

    if (shared_->state != LinkState::Open)
        throw EchoLinkError(kClientNotRunning);
    if (ticket->done) {
        if (!ticket->ok)
            throw EchoLinkError(ticket->error.toStdString());
        return ticket->answer;
    }

    const Snapshot &s = shared_->snapshot;
    LinkAnswer known;
    switch (query) {
    case Query::Transmitting:
        if (s.transmitting) {
            known.flag = *s.transmitting;
            return known;
        }
        break;
    case Query::StationCount:
        if (s.stationCount) {
            known.number = *s.stationCount;
            return known;
        }
        break;
    case Query::Connected:
        if (auto it = s.connected.constFind(callsign); it != s.connected.cend()) {
            known.flag = *it;
            return known;
        }
        break;
    case Query::Callsign:
        if (s.callsign) {
            known.text = *s.callsign;
            return known;
        }
        break;
    }
    throw EchoLinkError(kClientBusy);
}

void AutomationLink::detach(AutomationHandle *handle) { handles_.removeOne(handle); }

void AutomationLink::deliver(const std::function<void(EchoLinkClient &)> &emitOne)
{
    // A handler may destroy or create handles: only those alive now, and still alive at
    // their turn, hear the event.
    QList<QPointer<AutomationHandle>> live;
    live.reserve(handles_.size());
    for (AutomationHandle *h : std::as_const(handles_))
        live.append(h);
    for (const QPointer<AutomationHandle> &h : std::as_const(live))
        if (h)
            emitOne(*h);
}

void AutomationLink::reportOpened() { Q_EMIT clientOpened(); }

void AutomationLink::reportGone(const QString &reason)
{
    qWarning("EchoLink: %s", qPrintable(reason));
    Q_EMIT clientGone(reason);
}

void AutomationLink::reportFailure(const QString &operation, const QString &message)
{
    qWarning("EchoLink %s failed: %s", qPrintable(operation), qPrintable(message));
    Q_EMIT commandFailed(operation, message);
}

std::unique_ptr<AutomationClientFactory> makeAutomationClientFactory(AutomationPortFactory ports,
                                                                     AutomationLink::Options options)
{
    return std::make_unique<AutomationClientFactory>(std::move(ports), options);
}

} // namespace tavrin::automation
