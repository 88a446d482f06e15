#include "echolink/native/QtAsyncApplication.h"

#include <AsyncFdWatch.h>
#include <AsyncTimer.h>

#include <QCoreApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimerEvent>
#include <QtGlobal>

namespace tavrin {

namespace {
QtAsyncApplication *s_instance = nullptr;
}

// One QObject carries every library timer as a Qt timer id: cheaper than a QTimer each,
// and a timer deleted from inside its own callback leaves nothing behind to touch.
class QtAsyncApplication::TimerHost : public QObject {
public:
    explicit TimerHost(QtAsyncApplication *app) : app_(app) { }

protected:
    void timerEvent(QTimerEvent *event) override { app_->timerFired(event->timerId()); }

private:
    QtAsyncApplication *app_;
};

QtAsyncApplication::QtAsyncApplication() : host_(std::make_unique<TimerHost>(this))
{
    Q_ASSERT(!s_instance);
    s_instance = this;
}

QtAsyncApplication::~QtAsyncApplication()
{
    // The base class deletes its task timer after we are gone: disable it while our
    // overrides still exist.
    clearTasks();
    for (const auto &[id, timer] : timersById_)
        host_->killTimer(id);
    timersById_.clear();
    idsByTimer_.clear();
    for (const auto &[watch, notifier] : watches_)
        delete notifier;
    watches_.clear();
    if (s_instance == this)
        s_instance = nullptr;
}

QtAsyncApplication &QtAsyncApplication::ensure()
{
    if (!s_instance)
        new QtAsyncApplication(); // lives for the process: the library keeps pointing at it
    return *s_instance;
}

QtAsyncApplication *QtAsyncApplication::instance()
{
    return s_instance;
}

void QtAsyncApplication::exec()
{
    QCoreApplication::exec();
}

void QtAsyncApplication::quit()
{
    QCoreApplication::quit();
}

int QtAsyncApplication::activeTimerCount() const
{
    return static_cast<int>(timersById_.size());
}

int QtAsyncApplication::activeWatchCount() const
{
    return static_cast<int>(watches_.size());
}

void QtAsyncApplication::addTimer(Async::Timer *timer)
{
    delTimer(timer); // a re-add restarts the timer
    const int id = host_->startTimer(qMax(0, timer->timeout()), Qt::PreciseTimer);
    if (id == 0) {
        qWarning("QtAsyncApplication: could not start a timer");
        return;
    }
    timersById_[id] = timer;
    idsByTimer_[timer] = id;
}

void QtAsyncApplication::delTimer(Async::Timer *timer)
{
    const auto it = idsByTimer_.find(timer);
    if (it == idsByTimer_.end())
        return; // a one-shot timer that has already fired
    host_->killTimer(it->second);
    timersById_.erase(it->second);
    idsByTimer_.erase(it);
}

void QtAsyncApplication::timerFired(int id)
{
    const auto it = timersById_.find(id);
    if (it == timersById_.end()) {
        host_->killTimer(id);
        return;
    }
    Async::Timer *timer = it->second;
    if (timer->type() == Async::Timer::TYPE_ONESHOT) {
        // Forget it before the callback, which may re-arm or delete it.
        host_->killTimer(id);
        timersById_.erase(it);
        idsByTimer_.erase(timer);
    }
    timer->expired(timer);
    // The timer may be gone now: touch nothing of it.
}

void QtAsyncApplication::addFdWatch(Async::FdWatch *watch)
{
    delFdWatch(watch);
    if (watch->fd() < 0)
        return; // nothing to watch yet
    const auto type = watch->type() == Async::FdWatch::FD_WATCH_RD ? QSocketNotifier::Read
                                                                    : QSocketNotifier::Write;
    auto *notifier = new QSocketNotifier(watch->fd(), type);
    watches_[watch] = notifier;
    QObject::connect(notifier, &QSocketNotifier::activated, host_.get(),
                     [this, watch, notifier] { watchActive(watch, notifier); });
}

void QtAsyncApplication::delFdWatch(Async::FdWatch *watch)
{
    const auto it = watches_.find(watch);
    if (it == watches_.end())
        return;
    QSocketNotifier *notifier = it->second;
    watches_.erase(it);
    notifier->setEnabled(false);
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    if (notifier == activeNotifier_)
        activeNotifierDropped_ = true; // deleted once its signal has returned
    else
        delete notifier;
}

void QtAsyncApplication::watchActive(Async::FdWatch *watch, QSocketNotifier *notifier)
{
    const auto it = watches_.find(watch);
    if (it == watches_.end() || it->second != notifier)
        return;
    if (readGuard_ && watch->type() == Async::FdWatch::FD_WATCH_RD && !readGuard_(watch->fd()))
        return;
    QSocketNotifier *outer = activeNotifier_;
    const bool outerDropped = activeNotifierDropped_;
    activeNotifier_ = notifier;
    activeNotifierDropped_ = false;
    watch->activity(watch);
    const bool dropped = activeNotifierDropped_;
    activeNotifier_ = outer;
    activeNotifierDropped_ = outerDropped;
    if (dropped)
        notifier->deleteLater();
}

Async::DnsLookupWorker *QtAsyncApplication::newDnsLookupWorker(const std::string &label)
{
    qWarning("QtAsyncApplication: name look-up of \"%s\" is not supported; use an IP address",
             label.c_str());
    return nullptr;
}

} // namespace tavrin
