#include "echolink/automation/LinkWorker.h"

namespace tavrin::automation {

namespace {

constexpr char kClientClosing[] = "EchoLink is closing";
constexpr char kServerGone[] = "EchoLink went away";
constexpr char kClosedWhileOpening[] = "EchoLink closed while it was being reached";
constexpr char kNoPort[] = "no automation port";

// Marks the worker as inside a port call, so that queries know not to wait for a stuck one.
class CallGuard {
public:
    explicit CallGuard(LinkShared &shared) : shared_(shared)
    {
        std::lock_guard lock(shared_.mutex);
        shared_.inCall = true;
        shared_.callStarted = std::chrono::steady_clock::now();
    }
    ~CallGuard()
    {
        std::lock_guard lock(shared_.mutex);
        shared_.inCall = false;
    }
    CallGuard(const CallGuard &) = delete;
    CallGuard &operator=(const CallGuard &) = delete;

private:
    LinkShared &shared_;
};

void finishTicket(LinkShared &shared, const std::shared_ptr<Ticket> &ticket, bool ok, const QString &error,
                  const LinkAnswer &answer = {})
{
    if (!ticket)
        return;
    ticket->done = true;
    ticket->ok = ok;
    ticket->error = error;
    ticket->answer = answer;
    shared.answered.notify_all();
}

} // namespace

void LinkShared::wakeWorkerLocked()
{
    if (auto *w = static_cast<LinkWorker *>(worker))
        QMetaObject::invokeMethod(w, [w] { w->drain(); }, Qt::QueuedConnection);
}

// Events arrive on the worker thread, possibly inside one of the port's calls: they are only
// passed on here, never acted on with further calls.
class LinkWorker::Sink final : public AutomationEvents {
public:
    explicit Sink(LinkWorker &worker) : worker_(worker) {}

    void chatTextReceived(const std::string &text) override
    {
        pass([t = QString::fromStdString(text)](EchoLinkClient &c) { Q_EMIT c.ChatTextReceived(t); });
    }
    void stationTextReceived(const std::string &text) override
    {
        pass([t = QString::fromStdString(text)](EchoLinkClient &c) { Q_EMIT c.StationTextReceived(t); });
    }
    void rx(bool receiving) override
    {
        pass([receiving](EchoLinkClient &c) { Q_EMIT c.RX(receiving); });
    }
    void connected(const std::string &callsign, const std::string &name, const std::string &address) override
    {
        pass([c1 = QString::fromStdString(callsign), c2 = QString::fromStdString(name),
              c3 = QString::fromStdString(address)](EchoLinkClient &c) { Q_EMIT c.Connected(c1, c2, c3); });
    }
    void closing() override
    {
        pass([](EchoLinkClient &c) { Q_EMIT c.Closing(); });
        worker_.markGone(QString::fromLatin1(kClientClosing));
    }
    void serverGone() override { worker_.markGone(QString::fromLatin1(kServerGone)); }

private:
    void pass(std::function<void(EchoLinkClient &)> emitOne)
    {
        worker_.shared_->toUi([emitOne = std::move(emitOne)](AutomationLink &link) { link.deliver(emitOne); });
        worker_.dirty_ = true;
        worker_.scheduleDrain();
    }

    LinkWorker &worker_;
};

LinkWorker::LinkWorker(std::shared_ptr<LinkShared> shared, AutomationPortFactory ports, int refreshIntervalMs)
    : shared_(std::move(shared)), ports_(std::move(ports)), sink_(std::make_unique<Sink>(*this))
{
    if (refreshIntervalMs > 0) {
        refreshTimer_.setInterval(refreshIntervalMs);
        connect(&refreshTimer_, &QTimer::timeout, this, [this] {
            dirty_ = true;
            drain();
        });
        refreshTimer_.start();
    }
}

LinkWorker::~LinkWorker() { finish(); }

void LinkWorker::scheduleDrain()
{
    if (drainQueued_)
        return;
    drainQueued_ = true;
    QMetaObject::invokeMethod(this, [this] { drain(); }, Qt::QueuedConnection);
}

void LinkWorker::drain()
{
    drainQueued_ = false;
    if (draining_)
        return;
    draining_ = true;
    for (;;) {
        if (dropPending_)
            closePort();
        Job job;
        {
            std::lock_guard lock(shared_->mutex);
            if (shared_->jobs.empty())
                break;
            job = std::move(shared_->jobs.front());
            shared_->jobs.pop_front();
            if (job.kind == Job::Kind::Ask)
                shared_->pendingAsks.remove(askKey(job.query, job.callsign));
            // Once the link is going, what the program last told the client still happens
            // (releasing the transmitter, a last chat line); nobody waits for an answer any more.
            if (shared_->stop && job.kind != Job::Kind::Command)
                continue;
        }
        switch (job.kind) {
        case Job::Kind::Open:
            runOpen(job);
            break;
        case Job::Kind::Command:
            runCommand(job);
            break;
        case Job::Kind::Ask:
            runAsk(job.query, job.callsign, job.ticket);
            break;
        }
    }
    refresh();
    draining_ = false;
    // A call that waited on the client may have pumped messages, and a drain asked for in
    // that time returned at once: pick up what it left.
    bool leftOver = dropPending_;
    {
        std::lock_guard lock(shared_->mutex);
        leftOver = leftOver || (!shared_->stop && !shared_->jobs.empty());
    }
    if (leftOver)
        scheduleDrain();
}

void LinkWorker::runOpen(Job &job)
{
    QString error;
    try {
        if (!port_) {
            port_ = ports_ ? ports_() : nullptr;
            if (!port_)
                throw std::runtime_error(kNoPort);
        }
        if (!entered_) {
            port_->enterThread();
            entered_ = true;
        }
        if (port_->isOpen())
            port_->close();
        dropPending_ = false;
        CallGuard guard(*shared_);
        port_->open(sink_.get());
    } catch (const std::exception &e) {
        error = QStringLiteral("%1 (%2)").arg(QString::fromLatin1(kClientNotRunning), QString::fromStdString(e.what()));
        if (!entered_)
            port_.reset(); // made anew by the next attempt
    }
    if (error.isEmpty() && dropPending_) {
        error = QString::fromLatin1(kClosedWhileOpening);
        closePort();
    }

    std::lock_guard lock(shared_->mutex);
    if (error.isEmpty()) {
        shared_->state = LinkState::Open;
        shared_->snapshot.clear();
        shared_->toUiLocked([](AutomationLink &link) { link.reportOpened(); });
        dirty_ = true;
    } else {
        shared_->state = LinkState::Closed;
        qWarning("EchoLink: %s", qPrintable(error));
    }
    if (shared_->pendingOpen == job.ticket)
        shared_->pendingOpen.reset();
    finishTicket(*shared_, job.ticket, error.isEmpty(), error);
}

void LinkWorker::runCommand(Job &job)
{
    QString message;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->state != LinkState::Open)
            message = QString::fromLatin1(kClientNotRunning);
    }
    if (message.isEmpty()) {
        try {
            CallGuard guard(*shared_);
            job.call(*port_);
        } catch (const std::exception &e) {
            failed(e, message);
        }
        dirty_ = true;
    }
    if (!message.isEmpty()) {
        const QString operation = QString::fromLatin1(job.operation);
        shared_->toUi([operation, message](AutomationLink &link) { link.reportFailure(operation, message); });
    }
}

bool LinkWorker::runAsk(Query query, const QString &callsign, const std::shared_ptr<Ticket> &ticket)
{
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->state != LinkState::Open) {
            finishTicket(*shared_, ticket, false, QString::fromLatin1(kClientNotRunning));
            return false;
        }
    }
    LinkAnswer answer;
    QString message;
    try {
        CallGuard guard(*shared_);
        switch (query) {
        case Query::Transmitting:
            answer.flag = port_->IsTransmitting();
            break;
        case Query::StationCount:
            answer.number = port_->StationCount();
            break;
        case Query::Connected:
            answer.flag = port_->IsConnected(callsign.toStdString());
            break;
        case Query::Callsign:
            answer.text = QString::fromStdString(port_->StationCallsign());
            break;
        }
    } catch (const std::exception &e) {
        failed(e, message);
    }

    std::lock_guard lock(shared_->mutex);
    if (!message.isEmpty()) {
        finishTicket(*shared_, ticket, false, message);
        return false;
    }
    if (shared_->state == LinkState::Open) {
        Snapshot &s = shared_->snapshot;
        switch (query) {
        case Query::Transmitting:
            s.transmitting = answer.flag;
            break;
        case Query::StationCount:
            s.stationCount = answer.number;
            break;
        case Query::Connected:
            s.rememberConnected(callsign, answer.flag);
            break;
        case Query::Callsign:
            s.callsign = answer.text;
            break;
        }
    }
    finishTicket(*shared_, ticket, true, {}, answer);
    return true;
}

// Only while nothing else is queued, and it gives way as soon as something is.
void LinkWorker::refresh()
{
    if (!dirty_ || !port_ || dropPending_)
        return;
    QStringList calls;
    bool needCallsign = false;
    const auto giveWay = [this] {
        std::lock_guard lock(shared_->mutex);
        const bool busy = shared_->stop || shared_->state != LinkState::Open || !shared_->jobs.empty();
        if (busy && !shared_->stop && shared_->state == LinkState::Open)
            dirty_ = true; // finish the refresh after the queued jobs
        return busy;
    };
    if (giveWay())
        return;
    {
        std::lock_guard lock(shared_->mutex);
        calls = shared_->snapshot.connectedOrder;
        needCallsign = !shared_->snapshot.callsign.has_value();
    }
    dirty_ = false;
    if (!runAsk(Query::Transmitting, {}, nullptr) || giveWay())
        return;
    if (!runAsk(Query::StationCount, {}, nullptr) || giveWay())
        return;
    if (needCallsign && (!runAsk(Query::Callsign, {}, nullptr) || giveWay()))
        return;
    for (const QString &call : std::as_const(calls))
        if (!runAsk(Query::Connected, call, nullptr) || giveWay())
            return;
}

void LinkWorker::failed(const std::exception &error, QString &message)
{
    message = QString::fromStdString(error.what());
    if (message.isEmpty())
        message = QStringLiteral("call failed");
    if (const auto *failure = dynamic_cast<const AutomationFailure *>(&error);
        failure && isServerGoneError(failure->hresult()))
        markGone(message);
}

void LinkWorker::markGone(const QString &reason)
{
    {
        std::lock_guard lock(shared_->mutex);
        const bool wasOpen = shared_->state == LinkState::Open;
        if (wasOpen) {
            shared_->state = LinkState::Closed;
            shared_->toUiLocked([reason](AutomationLink &link) { link.reportGone(reason); });
        }
        shared_->snapshot.clear();
        shared_->answered.notify_all();
    }
    dropPending_ = true;
    scheduleDrain();
}

void LinkWorker::closePort() noexcept
{
    dropPending_ = false;
    if (port_ && port_->isOpen())
        port_->close();
}

void LinkWorker::finish() noexcept
{
    refreshTimer_.stop();
    closePort();
    if (port_ && entered_)
        port_->leaveThread();
    entered_ = false;
    port_.reset();
}

void WorkerThread::run()
{
    LinkWorker worker(shared_, std::move(ports_), refreshIntervalMs_);
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stop)
            return;
        shared_->worker = &worker;
    }
    worker.drain(); // whatever was queued before the worker existed
    exec();
    worker.drain(); // the commands queued as the link was told to stop
    {
        std::lock_guard lock(shared_->mutex);
        shared_->worker = nullptr;
    }
    worker.finish();
}

} // namespace tavrin::automation
