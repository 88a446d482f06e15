#include "support/FakeEchoLink.h"

#include <QPointer>

namespace tavrin::test {

namespace {
const char *const kNotRunning = "EchoLink client not running";

QString boolText(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

// Operations only record and answer from the backend's fields; they never change them, so
// a test states the client's condition once and it holds whatever the program calls.
class FakeHandle final : public EchoLinkClient {
public:
    FakeHandle(FakeEchoLinkBackend *backend, int index) : backend_(backend), index_(index)
    {
        backend_->handles_.append(this);
    }
    ~FakeHandle() override
    {
        if (backend_)
            backend_->handles_.removeOne(this);
    }

    void Connect(const QString &callsign, bool) override { call(u"Connect", callsign); }
    void Disconnect(const QString &callsign) override { call(u"Disconnect", callsign); }
    void DisconnectAll() override { call(u"DisconnectAll"); }
    void SetTransmit(bool on) override { call(u"SetTransmit", boolText(on)); }
    bool IsTransmitting() override { return call(u"IsTransmitting").transmitting; }
    int StationCount() override { return call(u"StationCount").stationCount; }
    bool IsConnected(const QString &callsign) override
    {
        return call(u"IsConnected", callsign).connected.contains(callsign);
    }
    QString StationCallsign() override { return call(u"StationCallsign").localCallsign; }
    void SetBusy(bool busy) override { call(u"SetBusy", boolText(busy)); }
    void SendChatText(const QString &text) override { call(u"SendChatText", text); }
    void SetCallTimeout(int milliseconds) override
    {
        call(u"SetCallTimeout", QString::number(milliseconds));
        timeout_ = milliseconds;
    }
    int callTimeout() const override { return timeout_; }

    void detach() { backend_ = nullptr; }

    static std::unique_ptr<EchoLinkClient> make(FakeEchoLinkBackend *backend)
    {
        if (!backend->clientExists)
            throw EchoLinkError(kNotRunning);
        return std::make_unique<FakeHandle>(backend, backend->created_++);
    }

private:
    FakeEchoLinkBackend &call(QStringView operation, const QString &argument = {})
    {
        if (!backend_)
            throw EchoLinkError(kNotRunning);
        const QString op = operation.toString();
        backend_->calls.append({index_, op, argument});
        if (backend_->failing.contains(op))
            throw EchoLinkError((op + QStringLiteral(" failed")).toStdString());
        return *backend_;
    }

    FakeEchoLinkBackend *backend_;
    int index_;
    int timeout_ = 0;
};

namespace {

class FakeFactory final : public EchoLinkClientFactory {
public:
    explicit FakeFactory(FakeEchoLinkBackend *backend) : backend_(backend) {}
    std::unique_ptr<EchoLinkClient> create() override { return FakeHandle::make(backend_); }

private:
    FakeEchoLinkBackend *backend_;
};

} // namespace

FakeEchoLinkBackend::~FakeEchoLinkBackend()
{
    for (FakeHandle *h : std::as_const(handles_))
        h->detach();
}

QStringList FakeEchoLinkBackend::sent() const
{
    QStringList lines;
    for (const FakeCall &c : calls)
        if (c.operation == QLatin1String("SendChatText"))
            lines << c.argument;
    return lines;
}

QList<FakeCall> FakeEchoLinkBackend::callsOf(const QString &operation) const
{
    QList<FakeCall> found;
    for (const FakeCall &c : calls)
        if (c.operation == operation)
            found << c;
    return found;
}

template <class Emit>
static void deliver(const QList<FakeHandle *> &live, Emit emitOne)
{
    // A handler may destroy handles (or create them); only those alive now and still alive
    // at their turn hear the event.
    QList<QPointer<FakeHandle>> handles;
    for (FakeHandle *h : live)
        handles << h;
    for (const QPointer<FakeHandle> &h : std::as_const(handles))
        if (h)
            emitOne(*h);
}

void FakeEchoLinkBackend::raiseChat(const QString &line)
{
    deliver(handles_, [&](EchoLinkClient &c) { emit c.ChatTextReceived(line); });
}

void FakeEchoLinkBackend::raiseStationText(const QString &text)
{
    deliver(handles_, [&](EchoLinkClient &c) { emit c.StationTextReceived(text); });
}

void FakeEchoLinkBackend::raiseRx(bool receiving)
{
    deliver(handles_, [&](EchoLinkClient &c) { emit c.RX(receiving); });
}

void FakeEchoLinkBackend::raiseConnected(const QString &callsign, const QString &name, const QString &address)
{
    deliver(handles_, [&](EchoLinkClient &c) { emit c.Connected(callsign, name, address); });
}

void FakeEchoLinkBackend::raiseClosing()
{
    deliver(handles_, [](EchoLinkClient &c) { emit c.Closing(); });
}

std::unique_ptr<EchoLinkClientFactory> FakeEchoLinkBackend::factory()
{
    return std::make_unique<FakeFactory>(this);
}

int FakeEchoLinkBackend::handleCount() const
{
    return int(handles_.size());
}

} // namespace tavrin::test
