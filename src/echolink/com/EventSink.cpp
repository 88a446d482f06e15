// The sink the client's connection point calls: decodes each event's arguments and hands
// them to ClientEvents. Arguments may come by value or by reference (VT_BYREF), as servers do.
#include "echolink/com/ComInternal.h"

namespace tavrin::com::detail {

namespace {

// The argument at `index` in declaration order (DISPPARAMS holds them last first).
const VARIANT *argument(const DISPPARAMS *params, UINT index)
{
    if (!params || index >= params->cArgs)
        return nullptr;
    const VARIANT *v = &params->rgvarg[params->cArgs - 1 - index];
    // A VARIANT passed by reference: look through it.
    while (v && v->vt == (VT_VARIANT | VT_BYREF))
        v = v->pvarVal;
    return v;
}

std::string textArgument(const DISPPARAMS *params, UINT index)
{
    const VARIANT *v = argument(params, index);
    if (!v)
        return {};
    if (v->vt == VT_BSTR)
        return bstrToUtf8(v->bstrVal);
    if (v->vt == (VT_BSTR | VT_BYREF))
        return v->pbstrVal ? bstrToUtf8(*v->pbstrVal) : std::string();
    Variant converted;
    if (SUCCEEDED(VariantChangeType(&converted.v, const_cast<VARIANT *>(v), 0, VT_BSTR)))
        return bstrToUtf8(converted.v.bstrVal);
    return {};
}

bool boolArgument(const DISPPARAMS *params, UINT index)
{
    const VARIANT *v = argument(params, index);
    if (!v)
        return false;
    if (v->vt == VT_BOOL)
        return v->boolVal != 0;
    if (v->vt == (VT_BOOL | VT_BYREF))
        return v->pboolVal && *v->pboolVal != 0;
    Variant converted;
    if (SUCCEEDED(VariantChangeType(&converted.v, const_cast<VARIANT *>(v), 0, VT_BOOL)))
        return converted.v.boolVal != 0;
    return false;
}

} // namespace

class EventSink final : public IDispatch {
public:
    EventSink(const IID &eventIid, std::map<std::int32_t, int> kinds, ClientEvents *events)
        : eventIid_(eventIid), kinds_(std::move(kinds)), events_(events)
    {
    }

    void detach() { events_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        // The connection point asks for the event interface itself before it accepts us.
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == eventIid_) {
            *out = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetTypeInfoCount(UINT *count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) override { return E_NOTIMPL; }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS *params, VARIANT *result, EXCEPINFO *,
                        UINT *) override
    {
        if (result)
            VariantInit(result);
        ClientEvents *events = events_;
        if (!events)
            return S_OK; // unadvised while the call was on its way
        // A failure of ours is not the server's business: never let it escape into COM.
        try {
            const auto kind = kinds_.find(id);
            if (kind == kinds_.end()) {
                events->UnknownEvent(id);
                return S_OK;
            }
            switch (kind->second) {
            case KindChatText:
                events->ChatTextReceived(textArgument(params, 0));
                break;
            case KindStationText:
                events->StationTextReceived(textArgument(params, 0));
                break;
            case KindRx:
                events->RX(boolArgument(params, 0));
                break;
            case KindConnected:
                events->Connected(textArgument(params, 0), textArgument(params, 1), textArgument(params, 2));
                break;
            case KindClosing:
                events->Closing();
                break;
            default:
                break; // named by the type information but not one the program uses
            }
        } catch (...) {
        }
        return S_OK;
    }

private:
    ~EventSink() = default;
    IID eventIid_;
    std::map<std::int32_t, int> kinds_;
    ClientEvents *events_;
    LONG refs_ = 1;
};

EventSink *makeEventSink(const IID &eventIid, std::map<std::int32_t, int> kinds, ClientEvents *events)
{
    return new EventSink(eventIid, std::move(kinds), events);
}

IUnknown *sinkUnknown(EventSink *sink) { return sink; }
void detachSink(EventSink *sink) { sink->detach(); }
void releaseSink(EventSink *sink) { sink->Release(); }

} // namespace tavrin::com::detail
