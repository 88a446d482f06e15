#pragma once
// Helpers shared by the COM core's sources. Internal: includes the Windows headers.

#include "echolink/com/ComAutomation.h"

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <olectl.h>

#include <map>
#include <string>
#include <utility>

namespace tavrin::com::detail {

// Owns one COM reference.
template <typename T>
class Ref {
public:
    Ref() = default;
    explicit Ref(T *adopted) : p_(adopted) {}
    Ref(const Ref &other) : p_(other.p_)
    {
        if (p_)
            p_->AddRef();
    }
    Ref(Ref &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Ref &operator=(Ref other) noexcept
    {
        std::swap(p_, other.p_);
        return *this;
    }
    ~Ref() { reset(); }

    void reset() noexcept
    {
        if (T *p = std::exchange(p_, nullptr))
            p->Release();
    }
    T *get() const { return p_; }
    T *operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For out-parameters; drops what was held.
    T **put()
    {
        reset();
        return &p_;
    }
    void **putVoid() { return reinterpret_cast<void **>(put()); }

private:
    T *p_ = nullptr;
};

// A VARIANT cleared on every path.
class Variant {
public:
    Variant() { VariantInit(&v); }
    ~Variant() { VariantClear(&v); }
    Variant(const Variant &) = delete;
    Variant &operator=(const Variant &) = delete;
    VARIANT v;
};

IID parseGuid(const char *text);
std::wstring guidText(const GUID &guid);

// The system's text for an HRESULT (may be empty, as under wine), without the line break.
std::string systemMessage(HRESULT hr);
// Takes the description out of a filled EXCEPINFO and frees all its strings. For
// DISP_E_EXCEPTION the server's scode (if any) replaces `hr`.
std::string takeException(EXCEPINFO &excep, HRESULT &hr);
[[noreturn]] void fail(const std::string &operation, HRESULT hr, std::string description = {});

// A BSTR of the UTF-8 text; throws ComError(E_OUTOFMEMORY) for the operation if that fails.
BSTR makeBstr(const std::string &utf8, const std::string &operation);

// Which of the client's events a name is (case-blind); -1 when it is none of ours.
int eventKind(const std::string &name);
enum EventKindIndex { KindChatText, KindStationText, KindRx, KindConnected, KindClosing, KindCount };

// Dispatch id -> event name, from the first type information that describes the event
// interface: the object's own library, its class info, then the registered library.
std::map<std::int32_t, std::string> eventNamesFromTypeInfo(IDispatch *object, const IID &eventIid);

// The event sink: IDispatch for the event interface, forwarding to ClientEvents.
class EventSink;
EventSink *makeEventSink(const IID &eventIid, std::map<std::int32_t, int> kinds, ClientEvents *events);
IUnknown *sinkUnknown(EventSink *sink);
void detachSink(EventSink *sink); // no more calls reach ClientEvents
void releaseSink(EventSink *sink);

} // namespace tavrin::com::detail
