#pragma once
// The protocol library's event loop on Qt 6: the library's timers run on Qt timers and its
// socket watches on QSocketNotifiers, so the library's objects live on the user-interface
// thread's ordinary event loop. exec()/quit() map to QCoreApplication.
//
// The library allows one application object per process and keeps a pointer to it for
// ever, so there is exactly one of these: ensure() makes it on first use (before the first
// library object) and it lives until the process ends. A QCoreApplication must exist.
//
// Name look-ups through the library are not supported: we only hand it IP addresses, and the
// library gives no way to build a look-up worker of our own (its worker class is not public).
//
// Thread: the thread of the QCoreApplication.

#include <AsyncApplication.h>

#include <functional>
#include <map>
#include <memory>

class QObject;
class QSocketNotifier;

namespace tavrin {

class QtAsyncApplication : public Async::Application {
public:
    QtAsyncApplication();
    ~QtAsyncApplication() override;

    QtAsyncApplication(const QtAsyncApplication &) = delete;
    QtAsyncApplication &operator=(const QtAsyncApplication &) = delete;

    // The process's adapter, made on first call.
    static QtAsyncApplication &ensure();
    static QtAsyncApplication *instance();

    void exec() override;
    void quit() override;

    // Asked before the library is woken to read a descriptor: false leaves the library asleep
    // (the guard has dealt with what was waiting). Empty: the library reads everything.
    using ReadGuard = std::function<bool(int fd)>;
    void setReadGuard(ReadGuard guard) { readGuard_ = std::move(guard); }

    // Live timers and watches: for tests that check nothing is left behind.
    int activeTimerCount() const;
    int activeWatchCount() const;

private:
    class TimerHost;
    friend class TimerHost;

    void addFdWatch(Async::FdWatch *watch) override;
    void delFdWatch(Async::FdWatch *watch) override;
    void addTimer(Async::Timer *timer) override;
    void delTimer(Async::Timer *timer) override;
    Async::DnsLookupWorker *newDnsLookupWorker(const std::string &label) override;

    void timerFired(int id);
    void watchActive(Async::FdWatch *watch, QSocketNotifier *notifier);

    std::unique_ptr<TimerHost> host_;
    std::map<int, Async::Timer *> timersById_;
    std::map<Async::Timer *, int> idsByTimer_;
    std::map<Async::FdWatch *, QSocketNotifier *> watches_;
    QSocketNotifier *activeNotifier_ = nullptr; // the one whose callback is running
    bool activeNotifierDropped_ = false;
    ReadGuard readGuard_;
};

} // namespace tavrin
