// The automation port over the client's COM object (Windows only).
#ifdef _WIN32

#include "echolink/automation/AutomationLink.h"
#include "echolink/automation/WindowsClient.h"
#include "echolink/com/ComAutomation.h"

#include <QtGlobal>

#include <cstdio>
#include <string>
#include <utility>

namespace tavrin::automation {

namespace {

// The time-outs the program gives a busy client, in milliseconds.
constexpr std::uint32_t kServerBusyTimeoutMs = kAutomationTimeoutMs;
constexpr std::uint32_t kRequestPendingTimeoutMs = kAutomationTimeoutMs;

// Passes the client's events on to the link's sink, on the apartment's thread.
class ForwardEvents final : public com::ClientEvents {
public:
    AutomationEvents *target = nullptr;

    void ChatTextReceived(const std::string &text) override
    {
        if (target)
            target->chatTextReceived(text);
    }
    void StationTextReceived(const std::string &text) override
    {
        if (target)
            target->stationTextReceived(text);
    }
    void RX(bool receiving) override
    {
        if (target)
            target->rx(receiving);
    }
    void Connected(const std::string &callsign, const std::string &name, const std::string &address) override
    {
        if (target)
            target->connected(callsign, name, address);
    }
    void Closing() override
    {
        if (target)
            target->closing();
    }
    void UnknownEvent(std::int32_t dispatchId) override
    {
        // Never guessed: two of the client's events share one signature.
        qWarning("EchoLink raised an event that could not be identified (dispatch id %d)", int(dispatchId));
    }
};

std::string describe(const com::ComError &e)
{
    std::string text = e.operation() + ": ";
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", unsigned(e.hresult()));
    text += code;
    if (!e.description().empty())
        text += " " + e.description();
    return text;
}

// Why the client's object could not be made, in the operator's words first: the code alone
// says nothing to someone who has never installed the client.
std::string openFailure(const com::ComError &e)
{
    switch (std::uint32_t(e.hresult())) {
    case 0x80040154u: // REGDB_E_CLASSNOTREG
        return "not installed on this computer: " + describe(e);
    case 0x80080005u: // CO_E_SERVER_EXEC_FAILURE
        return "installed, but it did not start: " + describe(e);
    default:
        return describe(e);
    }
}

class ComAutomationPort final : public AutomationPort {
public:
    ~ComAutomationPort() override
    {
        close();
        leaveThread();
    }

    void enterThread() override
    {
        apartment_ = std::make_unique<com::ComApartment>();
        filter_ = std::make_unique<com::BusyClientFilter>(kServerBusyTimeoutMs, kRequestPendingTimeoutMs);
    }
    void leaveThread() override
    {
        // The filter belongs to the apartment: it goes first.
        filter_.reset();
        apartment_.reset();
    }

    void open(AutomationEvents *events) override
    {
        close();
        try {
            std::unique_ptr<com::AutomationClient> client = com::AutomationClient::create();
            forward_.target = events;
            client->advise(&forward_);
            client_ = std::move(client);
        } catch (const com::ComError &e) {
            forward_.target = nullptr;
            throw AutomationFailure(openFailure(e), e.hresult());
        }
    }
    void close() noexcept override
    {
        if (client_) {
            client_->unadvise();
            client_.reset();
        }
        forward_.target = nullptr;
    }
    bool isOpen() const override { return client_ != nullptr; }

    void Connect(const std::string &callsign, bool flag) override
    {
        call([&](com::AutomationClient &c) { c.Connect(callsign, flag); });
    }
    void Disconnect(const std::string &callsign) override
    {
        call([&](com::AutomationClient &c) { c.Disconnect(callsign); });
    }
    void DisconnectAll() override
    {
        call([](com::AutomationClient &c) { c.DisconnectAll(); });
    }
    void SetTransmit(bool on) override
    {
        call([on](com::AutomationClient &c) { c.SetTransmit(on); });
    }
    bool IsTransmitting() override
    {
        return call([](com::AutomationClient &c) { return c.IsTransmitting(); });
    }
    int StationCount() override
    {
        return call([](com::AutomationClient &c) { return int(c.StationCount()); });
    }
    bool IsConnected(const std::string &callsign) override
    {
        return call([&](com::AutomationClient &c) { return c.IsConnected(callsign); });
    }
    std::string StationCallsign() override
    {
        return call([](com::AutomationClient &c) { return c.StationCallsign(); });
    }
    void SetBusy(bool busy) override
    {
        call([busy](com::AutomationClient &c) { c.SetBusy(busy); });
    }
    void SendChatText(const std::string &text) override
    {
        call([&](com::AutomationClient &c) { c.SendChatText(text); });
    }

private:
    template <class F>
    auto call(F &&f) -> decltype(f(std::declval<com::AutomationClient &>()))
    {
        if (!client_)
            throw AutomationFailure(kClientNotRunning, kObjectNotConnected);
        try {
            return f(*client_);
        } catch (const com::ComError &e) {
            // The link drops the object after this call; an event sink still advised on a
            // dead server is released then, not here inside the call.
            if (isServerGoneError(e.hresult()) && forward_.target)
                forward_.target->serverGone();
            throw AutomationFailure(describe(e), e.hresult());
        }
    }

    std::unique_ptr<com::ComApartment> apartment_;
    std::unique_ptr<com::BusyClientFilter> filter_;
    ForwardEvents forward_;
    std::unique_ptr<com::AutomationClient> client_;
};

} // namespace

std::unique_ptr<EchoLinkClientFactory> makeWindowsClientFactory(AutomationLink::Options options)
{
    return makeAutomationClientFactory([] { return std::make_unique<ComAutomationPort>(); }, options);
}

} // namespace tavrin::automation

#endif // _WIN32
