#pragma once
// The program's notion of "now". Injected everywhere a time or date is shown or sent, so
// tests and scenarios can run at a fixed moment.

#include <QDateTime>

namespace tavrin {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until moved; for tests.
class ManualClock final : public Clock {
public:
    explicit ManualClock(QDateTime start) : now_(std::move(start)) {}
    QDateTime now() const override { return now_; }
    void set(const QDateTime &t) { now_ = t; }
    void advanceMs(qint64 ms) { now_ = now_.addMSecs(ms); }

private:
    QDateTime now_;
};

} // namespace tavrin
