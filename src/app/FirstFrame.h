#pragma once
// When a top-level window's first frame is on screen: the first paint of the window or of
// any widget in it, and then the rest of that repaint, which also hands the frame to the
// window system, so a zero timer posted from the first paint event runs after it. The
// start-up benchmark stops its clock there: offscreen that is the first expose after
// show(); on X11 the expose that follows the window being mapped. Header-only, so that the
// benchmark's yardstick programs measure exactly the same moment.
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>

namespace tavrin {

// Nanoseconds since the epoch on the real-time clock, comparable with `date +%s%N`.
inline std::int64_t wallClockNs()
{
    using namespace std::chrono;
    return duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
}

class FirstFrameWatch : public QObject
{
public:
    // `shown` runs once, from the event loop, with the wall-clock time the frame was done.
    FirstFrameWatch(QWidget *window, std::function<void(std::int64_t)> shown)
        : window_(window), shown_(std::move(shown))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!seen_ && event->type() == QEvent::Paint && watched->isWidgetType() && window_
            && static_cast<QWidget *>(watched)->window() == window_) {
            seen_ = true;
            QCoreApplication::instance()->removeEventFilter(this);
            QTimer::singleShot(0, this, [this] { shown_(wallClockNs()); });
        }
        return false;
    }

private:
    QPointer<QWidget> window_;
    std::function<void(std::int64_t)> shown_;
    bool seen_ = false;
};

// The start-up benchmark's two figures, printed on standard output: "startup-ms", from
// `sinceExec` (started first thing in main()) to the first idle pass after `window` was shown
// (a zero timer fires once the queued window-system and posted events are done), and
// "first-frame-ns", the moment its first frame was painted. The event loop ends once both are
// out; a window that is never painted (not mapped on X11) ends it `unpaintedExitMs` after
// idle. Call after show(), before exec().
inline void exitOnceStartedUp(QWidget *window, const QElapsedTimer &sinceExec, int unpaintedExitMs = 5000)
{
    QCoreApplication *app = QCoreApplication::instance();
    auto ended = std::make_shared<int>(0);
    const auto oneDone = [app, ended] {
        if (++*ended == 2)
            app->exit(0);
    };
    QTimer::singleShot(0, app, [app, &sinceExec, oneDone, unpaintedExitMs] {
        // Not printf's "%.1f": the locale (a decimal comma) must not reach the benchmark.
        std::printf("startup-ms %s\n", QByteArray::number(double(sinceExec.nsecsElapsed()) / 1e6, 'f', 1).constData());
        std::fflush(stdout);
        oneDone();
        QTimer::singleShot(unpaintedExitMs, app, [app] { app->exit(0); });
    });
    auto *watch = new FirstFrameWatch(window, [oneDone](std::int64_t ns) {
        std::printf("first-frame-ns %lld\n", static_cast<long long>(ns));
        std::fflush(stdout);
        oneDone();
    });
    watch->setParent(app);
}

} // namespace tavrin
