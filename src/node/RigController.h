#pragma once
// Runs the rig's blocking calls on a thread of their own so that a hung rig never freezes
// the node's event loop. Jobs run one at a time, in order. A job that has not come back
// within the time-out counts as a rig that does not answer: its caller hears so at once,
// the rig is marked faulty, and its late answer (whenever the rig thread comes free) only
// clears the fault.
//
// Faults and recoveries are signalled once per change, so the log and the chat hear each
// fault once and not on every poll.
//
// Thread: the owner's (event loop) thread; the rig object lives on the rig thread.

#include "node/Rig.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

namespace tavrin::node {

struct RigOutcome {
    bool ok = false;
    QString error;       // when !ok
    bool refused = false; // when !ok: the rig answered and turned the request down
    RigReading reading;  // what the job read back, if it reads
    std::optional<int> strength;
};

class RigController : public QObject {
    Q_OBJECT
public:
    using Job = std::function<RigOutcome(Rig &)>; // runs on the rig thread; may throw RigError
    using Done = std::function<void(const RigOutcome &)>;

    RigController(std::unique_ptr<Rig> rig, int timeoutMs, QObject *parent = nullptr);
    ~RigController() override; // waits a bounded time for the rig thread

    // Queues `job`; `done` runs on this thread. A full queue or a rig that is not
    // answering fails at once (the unkey is the exception: it always queues).
    void run(Job job, Done done, bool mustRun = false);

    bool answering() const { return !hung_; }
    bool faulty() const { return faulty_; }
    // The rig has answered at least once (opened and took a call, or refused one).
    bool hasAnswered() const { return answered_; }
    QString lastFault() const { return lastFault_; }
    bool idle() const { return !inFlight_ && queue_.empty(); }

    // The usual jobs.
    static RigOutcome read(Rig &rig);
    static Job setFrequency(qint64 hz);
    static Job setPtt(bool on);
    static RigOutcome strength(Rig &rig);

Q_SIGNALS:
    void fault(const QString &text);
    void recovered();

private:
    struct Pending {
        Job job;
        Done done;
        bool mustRun = false;
    };
    void next();
    void finished(quint64 id, const RigOutcome &outcome);
    void timedOut();
    void note(const RigOutcome &outcome);

    QThread *thread_; // left running at exit when a rig call never returns
    QObject *worker_; // lives on thread_
    std::shared_ptr<Rig> rig_;
    int timeoutMs_;
    std::deque<Pending> queue_;
    bool inFlight_ = false;
    Done inFlightDone_;
    quint64 nextId_ = 0;
    quint64 currentId_ = 0;
    bool hung_ = false;
    bool faulty_ = false;
    bool answered_ = false;
    QString lastFault_;
    QTimer watchdog_;
};

} // namespace tavrin::node
