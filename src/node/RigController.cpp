#include "node/RigController.h"

#include <QPointer>

#include <algorithm>
#include <string>

namespace tavrin::node {

namespace {
constexpr size_t kMaxQueued = 16;
constexpr unsigned long kStopWaitMs = 3000;
constexpr unsigned long kUnkeyWaitMs = 10000; // longest wait at exit for an unkey behind a slow call
// What an S-meter can show, in dB over S9, with room to spare: S0 is 54 dB under S9, and no
// scale reaches 80 dB over it. A rig or a rigctld can answer any number; past these it is
// no reading.
constexpr int kWeakestDb = -80;
constexpr int kStrongestDb = 80;
} // namespace

RigController::RigController(std::unique_ptr<Rig> rig, int timeoutMs, QObject *parent)
    : QObject(parent), thread_(new QThread), worker_(new QObject), rig_(std::move(rig)), timeoutMs_(timeoutMs)
{
    worker_->moveToThread(thread_);
    connect(thread_, &QThread::finished, worker_, &QObject::deleteLater);
    thread_->setObjectName(QStringLiteral("rig"));
    thread_->start();
    watchdog_.setSingleShot(true);
    connect(&watchdog_, &QTimer::timeout, this, &RigController::timedOut);
}

RigController::~RigController()
{
    // The rig is closed on its own thread, after every queued call. An unkey still waiting
    // behind a slow call goes first: once the event loop has ended nothing else would send it,
    // and the transmitter would stay keyed.
    std::shared_ptr<Rig> rig = rig_;
    unsigned long waitMs = kStopWaitMs;
    for (Pending &p : queue_) {
        if (!p.mustRun)
            continue;
        waitMs = std::clamp(static_cast<unsigned long>(timeoutMs_), kStopWaitMs, kUnkeyWaitMs);
        QMetaObject::invokeMethod(worker_, [rig, job = std::move(p.job)] {
            try {
                job(*rig);
            } catch (const std::exception &) {
                // Nobody is left to hear it; the close below is all that remains.
            }
        }, Qt::QueuedConnection);
    }
    queue_.clear();
    // The thread ends from its own queue, so that nothing posted before is dropped unrun.
    QMetaObject::invokeMethod(worker_, [rig] {
        rig->close();
        QThread::currentThread()->quit();
    }, Qt::QueuedConnection);
    if (thread_->wait(waitMs)) {
        delete thread_;
        return;
    }
    // A rig call that never returns: leave the thread to the end of the process rather
    // than hang the exit. Its late answer finds no receiver (see next()).
    qWarning("rig thread still busy at exit");
}

void RigController::run(Job job, Done done, bool mustRun)
{
    if (!mustRun && (hung_ || queue_.size() >= kMaxQueued)) {
        RigOutcome outcome;
        outcome.error = hung_ ? QStringLiteral("the rig is not answering") : QStringLiteral("the rig is busy");
        if (done)
            done(outcome);
        return;
    }
    queue_.push_back({std::move(job), std::move(done), mustRun});
    next();
}

void RigController::next()
{
    if (inFlight_ || hung_ || queue_.empty())
        return;
    Pending p = std::move(queue_.front());
    queue_.pop_front();
    inFlight_ = true;
    inFlightDone_ = std::move(p.done);
    currentId_ = ++nextId_;
    const quint64 id = currentId_;
    std::shared_ptr<Rig> rig = rig_;
    QPointer<RigController> self(this);
    QMetaObject::invokeMethod(
        worker_,
        [rig, job = std::move(p.job), self, id] {
            RigOutcome outcome;
            try {
                outcome = job(*rig);
                outcome.ok = true;
            } catch (const RigRefusal &e) {
                outcome.ok = false;
                outcome.refused = true;
                outcome.error = QString::fromLocal8Bit(e.what());
            } catch (const std::exception &e) {
                outcome.ok = false;
                outcome.error = QString::fromLocal8Bit(e.what());
            }
            // Posted to the controller's thread; dropped there if the controller is gone.
            if (self)
                QMetaObject::invokeMethod(self.data(), [self, id, outcome] {
                    if (self)
                        self->finished(id, outcome);
                }, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    watchdog_.start(timeoutMs_);
}

void RigController::finished(quint64 id, const RigOutcome &outcome)
{
    if (id != currentId_)
        return;
    watchdog_.stop();
    inFlight_ = false;
    const bool wasHung = hung_;
    hung_ = false;
    Done done = std::move(inFlightDone_);
    inFlightDone_ = nullptr;
    // A late answer: its caller already heard of the time-out.
    if (!wasHung && done)
        done(outcome);
    note(outcome);
    next();
}

void RigController::timedOut()
{
    hung_ = true;
    RigOutcome outcome;
    outcome.error = QStringLiteral("the rig did not answer within %1 ms").arg(timeoutMs_);
    Done done = std::move(inFlightDone_);
    inFlightDone_ = nullptr;
    note(outcome);
    if (done)
        done(outcome);
    // Everyone waiting behind the hung call hears now; the unkey stays queued for when the
    // rig thread comes free.
    std::deque<Pending> waiting;
    waiting.swap(queue_);
    for (Pending &p : waiting) {
        if (p.mustRun)
            queue_.push_back(std::move(p));
        else if (p.done)
            p.done(outcome);
    }
}

void RigController::note(const RigOutcome &outcome)
{
    // A refusal is an answer: the rig is there.
    if (outcome.ok || outcome.refused) {
        answered_ = true;
        if (faulty_) {
            faulty_ = false;
            lastFault_.clear();
            Q_EMIT recovered();
        }
        return;
    }
    if (!faulty_ || outcome.error != lastFault_) {
        faulty_ = true;
        lastFault_ = outcome.error;
        Q_EMIT fault(outcome.error);
    }
}

RigOutcome RigController::read(Rig &rig)
{
    RigOutcome o;
    o.reading = rig.read();
    return o;
}

RigController::Job RigController::setFrequency(qint64 hz)
{
    return [hz](Rig &rig) {
        rig.setFrequency(hz);
        return read(rig);
    };
}

RigController::Job RigController::setPtt(bool on)
{
    return [on](Rig &rig) {
        rig.setPtt(on);
        return RigOutcome{};
    };
}

RigOutcome RigController::strength(Rig &rig)
{
    RigOutcome o;
    o.strength = rig.strength();
    if (o.strength && (*o.strength < kWeakestDb || *o.strength > kStrongestDb))
        throw RigError("reading the S-meter: the rig answered " + std::to_string(*o.strength)
                       + " dB over S9, which no S-meter shows");
    return o;
}

} // namespace tavrin::node
