#pragma once
// The seam between the Windows backend's logic and the client's automation object.
//
// An AutomationPort is a blocking, Qt-free view of one automation object: open() creates
// it (on Windows: CoCreateInstance of the client's class, events advised), the operations
// call it, close() unadvises and releases it. Every method runs on the one thread that
// called open() (the backend's worker thread, a single-threaded apartment on Windows), and
// events are delivered on that same thread through the sink given to open(), possibly while
// one of the port's own calls is still waiting for the client.
//
// A failing call throws AutomationFailure. Texts are UTF-8.
// Tests use a fake port; on Windows the port sits on the COM core.

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tavrin::automation {

class AutomationFailure : public std::runtime_error {
public:
    AutomationFailure(const std::string &what, std::int32_t hresult = 0)
        : std::runtime_error(what), hresult_(hresult) {}
    std::int32_t hresult() const { return hresult_; }

private:
    std::int32_t hresult_;
};

// What the client reports, on the port's thread.
class AutomationEvents {
public:
    virtual ~AutomationEvents() = default;
    virtual void chatTextReceived(const std::string &text) = 0;
    virtual void stationTextReceived(const std::string &text) = 0;
    virtual void rx(bool receiving) = 0;
    virtual void connected(const std::string &callsign, const std::string &name, const std::string &address) = 0;
    virtual void closing() = 0;
    // The client's process went away (a call failed with a disconnected server).
    virtual void serverGone() = 0;
};

class AutomationPort {
public:
    virtual ~AutomationPort() = default;

    // Called once on the worker thread before anything else, and once after close() at the
    // end (on Windows: apartment set-up and the message filter; tear-down).
    virtual void enterThread() {}
    virtual void leaveThread() {}

    // Creates the object and advises `events` (not owned; valid until close()). Throws when
    // the client is not there.
    virtual void open(AutomationEvents *events) = 0;
    virtual void close() noexcept = 0;
    virtual bool isOpen() const = 0;

    virtual void Connect(const std::string &callsign, bool flag) = 0;
    virtual void Disconnect(const std::string &callsign) = 0;
    virtual void DisconnectAll() = 0;
    virtual void SetTransmit(bool on) = 0;
    virtual bool IsTransmitting() = 0;
    virtual int StationCount() = 0;
    virtual bool IsConnected(const std::string &callsign) = 0;
    virtual std::string StationCallsign() = 0; // LocalStation().StationCallsign
    virtual void SetBusy(bool busy) = 0;
    virtual void SendChatText(const std::string &text) = 0;
};

using AutomationPortFactory = std::function<std::unique_ptr<AutomationPort>()>;

} // namespace tavrin::automation
