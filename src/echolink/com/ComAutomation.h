#pragma once
// The EchoLink client's automation object, driven through COM without Qt.
//
// This header deliberately does not include <windows.h>: COM types appear only as opaque
// pointers, so callers (the Windows backend, the diagnostic program, tests) stay free of
// the Windows headers' macros.
//
// Thread: every object here belongs to the thread that made it, which must have entered a
// single-threaded apartment (ComApartment) and must pump messages while it waits for
// events. Nothing here is thread-safe.
//
// Failures throw ComError carrying the HRESULT and, where the server filled one in, the
// EXCEPINFO description. Every BSTR, VARIANT and EXCEPINFO string touched is freed.

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tavrin::com {

// The client's automation class and interfaces.
inline constexpr char kClientClassId[] = "{D1FB3C9A-BB2D-446A-A74A-E771F134ED56}";
inline constexpr char kApplicationInterfaceId[] = "{7733112C-4577-4432-9DB0-A9398184EAF6}";
inline constexpr char kEventInterfaceId[] = "{6F55F7AF-8DA6-400F-96EB-C371F0311611}";
inline constexpr char kStationInterfaceId[] = "{ACD8531B-B0CE-4F14-9405-6AB8AC5C9EFA}";

// The event names as the client's type library spells them.
inline constexpr char kEventChatTextReceived[] = "ChatTextReceived";
inline constexpr char kEventStationTextReceived[] = "StationTextReceived";
inline constexpr char kEventRx[] = "RX";
inline constexpr char kEventConnected[] = "connected";
inline constexpr char kEventClosing[] = "Closing";

class ComError : public std::runtime_error {
public:
    ComError(const std::string &operation, std::int32_t hresult, const std::string &description);
    std::int32_t hresult() const { return hresult_; }
    const std::string &operation() const { return operation_; }
    const std::string &description() const { return description_; } // EXCEPINFO text, may be empty

private:
    std::string operation_;
    std::int32_t hresult_;
    std::string description_;
};

// UTF-8 <-> UTF-16, as every text crosses the automation boundary. Invalid UTF-8 and lone
// surrogates become U+FFFD; embedded NUL characters are kept.
std::u16string utf8ToUtf16(const std::string &text);
std::string utf16ToUtf8(const std::u16string &text);
// A BSTR (as an opaque pointer) to UTF-8, honouring its stored length; null gives "".
std::string bstrToUtf8(const void *bstr);

// CoInitializeEx(apartment-threaded) on construction, CoUninitialize on destruction.
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment &) = delete;
    ComApartment &operator=(const ComApartment &) = delete;
};

// An OLE message filter that retries calls the client rejects as busy, up to the limits
// (the program uses 900000 ms for both), instead of failing them. Registered for the
// calling thread while the object lives; the previous filter comes back afterwards.
class BusyClientFilter {
public:
    explicit BusyClientFilter(std::uint32_t serverBusyTimeoutMs = 900000, std::uint32_t requestPendingTimeoutMs = 900000);
    ~BusyClientFilter();
    BusyClientFilter(const BusyClientFilter &) = delete;
    BusyClientFilter &operator=(const BusyClientFilter &) = delete;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// What the client raises, on the owning thread.
class ClientEvents {
public:
    virtual ~ClientEvents() = default;
    virtual void ChatTextReceived(const std::string &text) = 0;
    virtual void StationTextReceived(const std::string &text) = 0;
    virtual void RX(bool receiving) = 0;
    virtual void Connected(const std::string &callsign, const std::string &name, const std::string &address) = 0;
    virtual void Closing() = 0;
    // An event arrived whose number could not be mapped to a name: reported, never guessed.
    virtual void UnknownEvent(std::int32_t dispatchId) = 0;
};

struct ClientOptions {
    // Event name -> dispatch id, taking precedence over the type information.
    std::map<std::string, std::int32_t> eventIdOverrides;
};

// One operation or event the diagnostic program lists.
struct MemberInfo {
    std::string name;
    std::int32_t dispatchId = 0;
    bool isEvent = false;
};

class AutomationClient {
public:
    // Creates the client's object by its class id (CoCreateInstance, any context).
    static std::unique_ptr<AutomationClient> create(const ClientOptions &options = {});
    // Wraps an object the caller already has (an IUnknown*, AddRef'd here). For tests.
    static std::unique_ptr<AutomationClient> attach(void *unknown, const ClientOptions &options = {});
    ~AutomationClient(); // unadvises and releases everything

    void Connect(const std::string &callsign, bool flag);
    void Disconnect(const std::string &callsign);
    void DisconnectAll();
    void SetTransmit(bool on);
    bool IsTransmitting();
    std::int32_t StationCount();
    bool IsConnected(const std::string &callsign);
    std::string StationCallsign(); // LocalStation, then its StationCallsign
    void SetBusy(bool busy);
    void SendChatText(const std::string &text);

    // Maps the event numbers and advises `events` (not owned) through the object's
    // connection point; unadvise() undoes it. Throws if the object refuses.
    void advise(ClientEvents *events);
    void unadvise() noexcept;
    bool advised() const;

    // The event names and numbers as mapped (after advise) and the operations' ids as
    // resolved so far, for the diagnostic program.
    std::vector<MemberInfo> members();

private:
    AutomationClient();
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace tavrin::com
