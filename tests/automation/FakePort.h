#pragma once
// A scripted automation port: answers from fields a test sets, records every call with the
// thread it ran on, can fail or hang any operation, and raises the client's events on the
// port's own thread. The script outlives the port, so a test can watch a port that a stuck
// worker releases late.

#include "echolink/automation/AutomationPort.h"

#include <QMutex>
#include <QObject>
#include <QSemaphore>
#include <QSet>
#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>

namespace tavrin::test {

using automation::AutomationEvents;
using automation::AutomationFailure;
using automation::AutomationPort;

struct PortScript {
    mutable QMutex mutex;

    // What the client answers (SetTransmit changes `transmitting`).
    bool transmitting = false;
    int stationCount = 0;
    QSet<QString> connected;
    QString callsign = QStringLiteral("XX1TST-L");

    // What goes wrong.
    QString openError;                // non-empty: open() throws it
    QHash<QString, qint32> failing;   // operation -> HRESULT it throws with
    QString hangOn;                   // the next call of this operation (or "open") blocks until `release`
    std::function<void(AutomationEvents &)> whileHanging; // raised inside that call first
    QSemaphore hanging;               // released once the call blocks
    QSemaphore release;

    // What happened.
    QStringList calls; // "Operation:argument"
    QSet<QThread *> callThreads;
    QThread *portThread = nullptr;
    int made = 0, destroyed = 0, opened = 0, closed = 0, entered = 0, left = 0;
    QStringList faults;

    AutomationEvents *events = nullptr;
    QObject *raiser = nullptr; // lives on the port's thread

    // Raises an event from the client, on the port's thread.
    void raise(std::function<void(AutomationEvents &)> event)
    {
        QMutexLocker lock(&mutex);
        if (!raiser)
            return;
        QMetaObject::invokeMethod(
            raiser,
            [this, event] {
                AutomationEvents *sink = nullptr;
                {
                    QMutexLocker inner(&mutex);
                    sink = events;
                }
                if (sink)
                    event(*sink);
            },
            Qt::QueuedConnection);
    }

    // The calls that change something, in order (the link's own refresh queries left out).
    QStringList commands() const
    {
        static const QStringList queries = {"IsTransmitting", "StationCount", "IsConnected", "StationCallsign"};
        QMutexLocker lock(&mutex);
        QStringList out;
        for (const QString &c : calls)
            if (!queries.contains(c.section(QLatin1Char(':'), 0, 0)))
                out << c;
        return out;
    }
    int count(const QString &operation) const
    {
        QMutexLocker lock(&mutex);
        int n = 0;
        for (const QString &c : calls)
            n += c.section(QLatin1Char(':'), 0, 0) == operation;
        return n;
    }
    template <class T>
    T get(T PortScript::*field) const
    {
        QMutexLocker lock(&mutex);
        return this->*field;
    }
};

class FakePort final : public AutomationPort {
public:
    explicit FakePort(std::shared_ptr<PortScript> script) : s_(std::move(script))
    {
        QMutexLocker lock(&s_->mutex);
        ++s_->made;
    }
    ~FakePort() override
    {
        QMutexLocker lock(&s_->mutex);
        ++s_->destroyed;
        if (open_)
            s_->faults << QStringLiteral("destroyed while open");
    }

    void enterThread() override
    {
        QMutexLocker lock(&s_->mutex);
        ++s_->entered;
        s_->portThread = QThread::currentThread();
        s_->raiser = new QObject;
    }
    void leaveThread() override
    {
        QMutexLocker lock(&s_->mutex);
        ++s_->left;
        checkThread();
        delete s_->raiser;
        s_->raiser = nullptr;
    }
    void open(AutomationEvents *events) override
    {
        QMutexLocker lock(&s_->mutex);
        checkThread();
        if (s_->hangOn == QLatin1String("open")) { // a client slow to start
            s_->hangOn.clear();
            lock.unlock();
            s_->hanging.release();
            s_->release.acquire();
            lock.relock();
        }
        if (!s_->openError.isEmpty())
            throw AutomationFailure(s_->openError.toStdString(), qint32(0x80040154));
        ++s_->opened;
        s_->events = events;
        open_ = true;
    }
    void close() noexcept override
    {
        QMutexLocker lock(&s_->mutex);
        checkThread();
        if (inCall_)
            s_->faults << QStringLiteral("closed inside a call");
        ++s_->closed;
        s_->events = nullptr;
        open_ = false;
    }
    bool isOpen() const override { return open_; }

    void Connect(const std::string &callsign, bool flag) override
    {
        call("Connect", QString::fromStdString(callsign) + (flag ? ",true" : ",false"));
    }
    void Disconnect(const std::string &callsign) override { call("Disconnect", QString::fromStdString(callsign)); }
    void DisconnectAll() override { call("DisconnectAll"); }
    void SetTransmit(bool on) override { call("SetTransmit", on ? "true" : "false"); }
    bool IsTransmitting() override { return call("IsTransmitting").transmitting; }
    int StationCount() override { return call("StationCount").stationCount; }
    bool IsConnected(const std::string &callsign) override
    {
        const QString c = QString::fromStdString(callsign);
        return call("IsConnected", c).connected.contains(c);
    }
    std::string StationCallsign() override { return call("StationCallsign").callsign.toStdString(); }
    void SetBusy(bool busy) override { call("SetBusy", busy ? "true" : "false"); }
    void SendChatText(const std::string &text) override { call("SendChatText", QString::fromStdString(text)); }

private:
    void checkThread()
    {
        if (QThread::currentThread() != s_->portThread)
            s_->faults << QStringLiteral("used off the port's thread");
    }

    struct Answer {
        bool transmitting;
        int stationCount;
        QSet<QString> connected;
        QString callsign;
    };

    // Answers are copied under the lock: the test may change the script meanwhile.
    Answer call(const char *operation, const QString &argument = {})
    {
        std::function<void(AutomationEvents &)> during;
        AutomationEvents *sink = nullptr;
        bool hang = false;
        Answer answer;
        {
            QMutexLocker lock(&s_->mutex);
            checkThread();
            if (!open_)
                s_->faults << QStringLiteral("%1 while closed").arg(operation);
            s_->calls << QStringLiteral("%1:%2").arg(QLatin1String(operation), argument);
            s_->callThreads.insert(QThread::currentThread());
            if (s_->failing.contains(operation))
                throw AutomationFailure(std::string(operation) + " refused", s_->failing.value(operation));
            if (QLatin1String(operation) == QLatin1String("SetTransmit"))
                s_->transmitting = argument == QLatin1String("true"); // as the client would
            if (s_->hangOn == QLatin1String(operation)) {
                s_->hangOn.clear();
                hang = true;
                during = std::exchange(s_->whileHanging, {});
                sink = s_->events;
            }
            answer.transmitting = s_->transmitting;
            answer.stationCount = s_->stationCount;
            answer.connected = s_->connected;
            answer.callsign = s_->callsign;
        }
        if (hang) {
            inCall_ = true;
            if (during && sink)
                during(*sink); // the client calls back while our call waits
            s_->hanging.release();
            s_->release.acquire();
            inCall_ = false;
        }
        return answer;
    }

    std::shared_ptr<PortScript> s_;
    bool open_ = false;
    bool inCall_ = false;
};

} // namespace tavrin::test
