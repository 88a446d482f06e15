#pragma once
// The link's worker: owns the port and runs every call to it, one at a time, in queue
// order. Lives on its own thread (WorkerThread), whose event loop also carries the periodic
// refresh and, on Windows, the apartment's messages. Internal to the automation backend.

#include "echolink/automation/LinkShared.h"

#include <QThread>
#include <QTimer>

#include <atomic>

namespace tavrin::automation {

class LinkWorker : public QObject {
    Q_OBJECT
public:
    LinkWorker(std::shared_ptr<LinkShared> shared, AutomationPortFactory ports, int refreshIntervalMs);
    ~LinkWorker() override;

    // Runs the queued jobs, then refreshes the snapshot when the queue is empty. Returns at
    // once when entered again from inside a call (a nested message loop).
    void drain();
    // Closes and releases the port: the thread's last act.
    void finish() noexcept;

private:
    class Sink;

    void runOpen(Job &job);
    void runCommand(Job &job);
    // Asks the port, updates the snapshot and finishes `ticket` (may be null). False on failure.
    bool runAsk(Query query, const QString &callsign, const std::shared_ptr<Ticket> &ticket);
    void refresh();
    void scheduleDrain();
    void markGone(const QString &reason);
    void closePort() noexcept;
    void failed(const std::exception &error, QString &message);

    std::shared_ptr<LinkShared> shared_;
    AutomationPortFactory ports_;
    std::unique_ptr<AutomationPort> port_;
    std::unique_ptr<Sink> sink_;
    QTimer refreshTimer_;
    bool entered_ = false;
    bool draining_ = false;
    bool drainQueued_ = false;
    bool dirty_ = false;       // the snapshot wants refreshing
    bool dropPending_ = false; // the client went away: close the port outside any call
};

class WorkerThread : public QThread {
    Q_OBJECT
public:
    WorkerThread(std::shared_ptr<LinkShared> shared, AutomationPortFactory ports, int refreshIntervalMs)
        : shared_(std::move(shared)), ports_(std::move(ports)), refreshIntervalMs_(refreshIntervalMs)
    {
        ++count_;
    }
    ~WorkerThread() override { --count_; }

    static int count() { return count_.load(); }

protected:
    void run() override;

private:
    std::shared_ptr<LinkShared> shared_;
    AutomationPortFactory ports_;
    int refreshIntervalMs_;
    static inline std::atomic<int> count_{0};
};

} // namespace tavrin::automation
