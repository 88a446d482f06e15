#include "echolink/RecordingClient.h"

#include "echolink/ForwardingClient.h"

namespace tavrin {

namespace {
const char *const kNotRunning = "EchoLink client not running";

QString boolText(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}
} // namespace

// Forwards to the wrapped handle and writes one log entry per operation. The entry goes in
// before the call so the log keeps call order even if the inner call reaches back here.
class RecordingClient final : public ForwardingClient {
public:
    RecordingClient(RecordingClientFactory *factory, std::unique_ptr<EchoLinkClient> inner)
        : ForwardingClient(std::move(inner)), factory_(factory)
    {
    }

    void Connect(const QString &callsign, bool flag) override
    {
        record(u"Connect", callsign, [&] { inner().Connect(callsign, flag); });
    }
    void Disconnect(const QString &callsign) override
    {
        record(u"Disconnect", callsign, [&] { inner().Disconnect(callsign); });
    }
    void DisconnectAll() override { record(u"DisconnectAll", {}, [&] { inner().DisconnectAll(); }); }
    void SetTransmit(bool on) override
    {
        record(u"SetTransmit", boolText(on), [&] { inner().SetTransmit(on); });
    }
    bool IsTransmitting() override
    {
        return record(u"IsTransmitting", {}, [&] { return inner().IsTransmitting(); });
    }
    int StationCount() override
    {
        return record(u"StationCount", {}, [&] { return inner().StationCount(); });
    }
    bool IsConnected(const QString &callsign) override
    {
        return record(u"IsConnected", callsign, [&] { return inner().IsConnected(callsign); });
    }
    QString StationCallsign() override
    {
        return record(u"StationCallsign", {}, [&] { return inner().StationCallsign(); });
    }
    void SetBusy(bool busy) override
    {
        record(u"SetBusy", boolText(busy), [&] { inner().SetBusy(busy); });
    }
    void SendChatText(const QString &text) override
    {
        record(u"SendChatText", text, [&] { inner().SendChatText(text); });
    }
    void SetCallTimeout(int milliseconds) override
    {
        record(u"SetCallTimeout", QString::number(milliseconds), [&] { inner().SetCallTimeout(milliseconds); });
    }

private:
    template <class F>
    auto record(QStringView operation, const QString &argument, F &&call) -> decltype(call())
    {
        factory_->calls_.append({operation.toString(), argument, false});
        const qsizetype index = factory_->calls_.size() - 1;
        try {
            return call();
        } catch (...) {
            factory_->calls_[index].failed = true;
            throw;
        }
    }

    RecordingClientFactory *factory_;
};

RecordingClientFactory::RecordingClientFactory(EchoLinkClientFactory *inner) : inner_(inner) {}

std::unique_ptr<EchoLinkClient> RecordingClientFactory::create()
{
    if (!inner_)
        throw EchoLinkError(kNotRunning);
    std::unique_ptr<EchoLinkClient> handle = inner_->create();
    if (!handle)
        throw EchoLinkError(kNotRunning);
    return std::make_unique<RecordingClient>(this, std::move(handle));
}

} // namespace tavrin
