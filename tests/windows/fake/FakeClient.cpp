#include "FakeClient.h"

#include <cwchar>

namespace tavrin::fake {

const GUID kFakeTypeLibId = {0x3c0f7a21, 0x6b52, 0x4e0d, {0x9a, 0x47, 0x2b, 0x8e, 0x5f, 0x1d, 0x7c, 0x64}};
const CLSID kClientClsid = {0xd1fb3c9a, 0xbb2d, 0x446a, {0xa7, 0x4a, 0xe7, 0x71, 0xf1, 0x34, 0xed, 0x56}};
const IID kApplicationIid = {0x7733112c, 0x4577, 0x4432, {0x9d, 0xb0, 0xa9, 0x39, 0x81, 0x84, 0xea, 0xf6}};
const IID kEventIid = {0x6f55f7af, 0x8da6, 0x400f, {0x96, 0xeb, 0xc3, 0x71, 0xf0, 0x31, 0x16, 0x11}};
const IID kStationIid = {0xacd8531b, 0xb0ce, 0x4f14, {0x94, 0x05, 0x6a, 0xb8, 0xac, 0x5c, 0x9e, 0xfa}};

namespace {

const wchar_t *const kOpNames[kOpCount] = {
    L"Connect",      L"Disconnect", L"DisconnectAll", L"SetTransmit",  L"IsTransmitting",  L"StationCount",
    L"IsConnected",  L"LocalStation", L"SetBusy",     L"SendChatText", L"StationCallsign",
};
const wchar_t *const kEventNames[kEvCount] = {
    L"ChatTextReceived", L"StationTextReceived", L"RX", L"connected", L"Closing",
};
// Arguments each operation takes.
const UINT kOpArgs[kOpCount] = {2, 1, 0, 1, 0, 0, 1, 0, 1, 1, 0};

long gLiveStations = 0;

bool isQuery(Op op)
{
    return op == Op::IsTransmitting || op == Op::StationCount || op == Op::LocalStation ||
           op == Op::StationCallsign;
}

Arg argFrom(const VARIANT &v)
{
    Arg a;
    a.type = v.vt;
    const VARTYPE base = v.vt & ~VT_BYREF;
    const bool byRef = (v.vt & VT_BYREF) != 0;
    if (base == VT_BSTR) {
        BSTR b = byRef ? (v.pbstrVal ? *v.pbstrVal : nullptr) : v.bstrVal;
        a.nullBstr = b == nullptr;
        if (b)
            a.text.assign(b, SysStringLen(b));
    } else if (base == VT_BOOL) {
        a.value = byRef ? (v.pboolVal ? *v.pboolVal : 0) : v.boolVal;
    } else if (base == VT_I4) {
        a.value = byRef ? (v.plVal ? *v.plVal : 0) : v.lVal;
    } else if (base == VT_I2) {
        a.value = byRef ? (v.piVal ? *v.piVal : 0) : v.iVal;
    }
    return a;
}

void fillException(EXCEPINFO *excep, const Failure &f)
{
    *excep = EXCEPINFO{};
    excep->scode = f.hr;
    excep->bstrSource = SysAllocString(L"FakeClient");
    excep->bstrDescription = SysAllocStringLen(f.description.data(), static_cast<UINT>(f.description.size()));
}

} // namespace

const wchar_t *opName(Op op) { return kOpNames[static_cast<std::size_t>(op)]; }
const wchar_t *eventName(Ev ev) { return kEventNames[static_cast<std::size_t>(ev)]; }

DispIds DispIds::sequential()
{
    DispIds ids;
    for (std::size_t i = 0; i < kOpCount; ++i)
        ids.ops[i] = static_cast<DISPID>(i + 1);
    for (std::size_t i = 0; i < kEvCount; ++i)
        ids.events[i] = static_cast<DISPID>(i + 1);
    return ids;
}

DispIds DispIds::sparse()
{
    DispIds ids;
    ids.ops = {0x60020011, 0x60020003, 0x6002002a, 0x60020005, 0x60020100, 0x60020007,
               0x60020042, 0x60020009, 0x6002000b, 0x60020033, 0x60030001};
    // ChatTextReceived and StationTextReceived share one signature: swapped relative to
    // their order, so a guess by position goes wrong.
    ids.events = {0x0000012d, 0x00000065, 0x7fff0001, 0x000003e8, 0x00000002};
    return ids;
}

// The station object LocalStation hands out. Holds its owner so StationCallsign answers
// from the owner's current settings.
class FakeStation final : public IDispatch {
public:
    explicit FakeStation(FakeClient *owner) : owner_(owner)
    {
        owner_->AddRef();
        ++gLiveStations;
    }

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kStationIid) {
            *out = static_cast<IDispatch *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }
    STDMETHODIMP GetTypeInfoCount(UINT *count) override
    {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo **info) override
    {
        *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids) override
    {
        if (count == 0)
            return E_INVALIDARG;
        owner_->nameLookups_[names[0]]++;
        for (UINT i = 0; i < count; ++i)
            ids[i] = DISPID_UNKNOWN;
        if (_wcsicmp(names[0], opName(Op::StationCallsign)) != 0 || count > 1)
            return DISP_E_UNKNOWNNAME;
        ids[0] = owner_->config_.ids.op(Op::StationCallsign);
        return S_OK;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *excep, UINT *) override
    {
        if (riid != IID_NULL)
            return DISP_E_UNKNOWNINTERFACE;
        if (id != owner_->config_.ids.op(Op::StationCallsign))
            return DISP_E_MEMBERNOTFOUND;
        return owner_->answer(Op::StationCallsign, flags, params, result, excep);
    }

private:
    ~FakeStation()
    {
        --gLiveStations;
        owner_->Release();
    }
    FakeClient *owner_;
    ULONG refs_ = 1;
};

// The one connection point, for the event interface. Shares its owner's lifetime and
// reference count, so FakeClient::refCount() shows every reference a client holds.
class FakeClient::Point final : public IConnectionPoint {
public:
    explicit Point(FakeClient *owner) : owner_(owner) {}

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
            *out = static_cast<IConnectionPoint *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID *iid) override
    {
        *iid = kEventIid;
        return S_OK;
    }
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer **out) override
    {
        *out = owner_;
        owner_->AddRef();
        return S_OK;
    }
    STDMETHODIMP Advise(IUnknown *sink, DWORD *cookie) override
    {
        ++owner_->adviseCalls_;
        if (!sink || !cookie)
            return E_POINTER;
        *cookie = 0;
        if (FAILED(owner_->config_.adviseResult))
            return owner_->config_.adviseResult;
        IDispatch *events = nullptr;
        if (FAILED(sink->QueryInterface(kEventIid, reinterpret_cast<void **>(&events))) || !events)
            return CONNECT_E_CANNOTCONNECT;
        *cookie = owner_->nextCookie_++;
        owner_->sinks_[*cookie] = events;
        return S_OK;
    }
    STDMETHODIMP Unadvise(DWORD cookie) override
    {
        ++owner_->unadviseCalls_;
        auto it = owner_->sinks_.find(cookie);
        if (it == owner_->sinks_.end())
            return CONNECT_E_NOCONNECTION;
        IDispatch *sink = it->second;
        owner_->sinks_.erase(it);
        sink->Release();
        return S_OK;
    }
    STDMETHODIMP EnumConnections(IEnumConnections **out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }

private:
    FakeClient *owner_;
};

long FakeClient::liveStations() { return gLiveStations; }

FakeClient::FakeClient(FakeConfig config) : config_(std::move(config)), point_(new Point(this))
{
    if (config_.typeLib)
        config_.typeLib->AddRef();
    VariantInit(&stationCount);
    stationCount.vt = VT_I4;
    stationCount.lVal = 0;
}

FakeClient::~FakeClient()
{
    for (auto &sink : sinks_)
        sink.second->Release();
    if (config_.typeLib)
        config_.typeLib->Release();
    VariantClear(&stationCount);
    delete point_;
}

STDMETHODIMP FakeClient::QueryInterface(REFIID riid, void **out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kApplicationIid)
        *out = static_cast<IDispatch *>(this);
    else if (riid == IID_IConnectionPointContainer)
        *out = static_cast<IConnectionPointContainer *>(this);
    else if (riid == IID_IProvideClassInfo && config_.provideClassInfo)
        *out = static_cast<IProvideClassInfo *>(this);
    if (!*out)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) FakeClient::AddRef() { return ++refs_; }

STDMETHODIMP_(ULONG) FakeClient::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

STDMETHODIMP FakeClient::GetTypeInfoCount(UINT *count)
{
    if (!count)
        return E_POINTER;
    *count = config_.typeInfoFromObject && config_.typeLib ? 1 : 0;
    return S_OK;
}

STDMETHODIMP FakeClient::GetTypeInfo(UINT index, LCID, ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (!config_.typeInfoFromObject || !config_.typeLib)
        return E_NOTIMPL;
    if (index != 0)
        return DISP_E_BADINDEX;
    return config_.typeLib->GetTypeInfoOfGuid(kApplicationIid, info);
}

STDMETHODIMP FakeClient::GetIDsOfNames(REFIID, LPOLESTR *names, UINT count, LCID, DISPID *ids)
{
    if (count == 0 || !names || !ids)
        return E_INVALIDARG;
    nameLookups_[names[0]]++;
    for (UINT i = 0; i < count; ++i)
        ids[i] = DISPID_UNKNOWN;
    for (std::size_t i = 0; i < kOpCount; ++i) {
        if (static_cast<Op>(i) == Op::StationCallsign)
            continue;
        if (_wcsicmp(names[0], kOpNames[i]) == 0) {
            ids[0] = config_.ids.ops[i];
            return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
        }
    }
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP FakeClient::Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS *params, VARIANT *result,
                                EXCEPINFO *excep, UINT *)
{
    if (riid != IID_NULL)
        return DISP_E_UNKNOWNINTERFACE;
    for (std::size_t i = 0; i < kOpCount; ++i) {
        if (static_cast<Op>(i) != Op::StationCallsign && config_.ids.ops[i] == id)
            return answer(static_cast<Op>(i), flags, params, result, excep);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT FakeClient::answer(Op op, WORD flags, DISPPARAMS *params, VARIANT *result, EXCEPINFO *excep)
{
    Call call{op, flags, {}};
    const UINT given = params ? params->cArgs : 0;
    for (UINT i = given; i > 0; --i)
        call.args.push_back(argFrom(params->rgvarg[i - 1]));
    calls_.push_back(call);

    if (params && params->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    if (given != kOpArgs[static_cast<std::size_t>(op)])
        return DISP_E_BADPARAMCOUNT;
    if (config_.queriesAsPropertiesOnly && isQuery(op) && !(flags & DISPATCH_PROPERTYGET))
        return DISP_E_MEMBERNOTFOUND;
    if (onCall)
        onCall(op);

    auto failure = failures.find(op);
    if (failure != failures.end()) {
        if (failure->second.viaExcepInfo && excep) {
            fillException(excep, failure->second);
            return DISP_E_EXCEPTION;
        }
        return failure->second.hr;
    }

    if (!result)
        return S_OK;
    VariantInit(result);
    switch (op) {
    case Op::IsTransmitting:
        result->vt = VT_BOOL;
        result->boolVal = transmittingRaw;
        break;
    case Op::IsConnected:
        result->vt = VT_BOOL;
        result->boolVal = connectedRaw;
        break;
    case Op::StationCount:
        return VariantCopy(result, &stationCount);
    case Op::LocalStation:
        result->vt = VT_DISPATCH;
        result->pdispVal = new FakeStation(this);
        break;
    case Op::StationCallsign:
        result->vt = VT_BSTR;
        result->bstrVal = callsignNull ? nullptr
                                       : SysAllocStringLen(callsign.data(), static_cast<UINT>(callsign.size()));
        break;
    default:
        break;
    }
    return S_OK;
}

STDMETHODIMP FakeClient::EnumConnectionPoints(IEnumConnectionPoints **out)
{
    if (out)
        *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP FakeClient::FindConnectionPoint(REFIID riid, IConnectionPoint **out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (riid != kEventIid)
        return CONNECT_E_NOCONNECTION;
    *out = point_;
    point_->AddRef();
    return S_OK;
}

STDMETHODIMP FakeClient::GetClassInfo(ITypeInfo **info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    if (!config_.typeLib)
        return E_FAIL;
    return config_.typeLib->GetTypeInfoOfGuid(kClientClsid, info);
}

HRESULT FakeClient::raise(DISPID id, const std::vector<Arg> &args, bool byRef)
{
    // Storage the by-reference arguments point into; sized first so it never moves.
    std::vector<BSTR> texts(args.size(), nullptr);
    std::vector<VARIANT_BOOL> flags(args.size(), 0);
    std::vector<LONG> numbers(args.size(), 0);
    std::vector<VARIANT> rgvarg(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
        const Arg &a = args[i];
        VARIANT &v = rgvarg[args.size() - 1 - i]; // last argument first
        VariantInit(&v);
        if (a.type == VT_BSTR) {
            texts[i] = a.nullBstr ? nullptr : SysAllocStringLen(a.text.data(), static_cast<UINT>(a.text.size()));
            v.vt = byRef ? VT_BSTR | VT_BYREF : VT_BSTR;
            if (byRef)
                v.pbstrVal = &texts[i];
            else
                v.bstrVal = texts[i];
        } else if (a.type == VT_BOOL) {
            flags[i] = static_cast<VARIANT_BOOL>(a.value);
            v.vt = byRef ? VT_BOOL | VT_BYREF : VT_BOOL;
            if (byRef)
                v.pboolVal = &flags[i];
            else
                v.boolVal = flags[i];
        } else {
            numbers[i] = static_cast<LONG>(a.value);
            v.vt = byRef ? VT_I4 | VT_BYREF : VT_I4;
            if (byRef)
                v.plVal = &numbers[i];
            else
                v.lVal = numbers[i];
        }
    }
    DISPPARAMS dp{rgvarg.empty() ? nullptr : rgvarg.data(), nullptr, static_cast<UINT>(rgvarg.size()), 0};

    // A sink may unadvise while it handles the event: hold them all first.
    std::vector<IDispatch *> targets;
    for (auto &sink : sinks_) {
        sink.second->AddRef();
        targets.push_back(sink.second);
    }
    HRESULT hr = S_OK;
    for (IDispatch *sink : targets) {
        hr = sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
        sink->Release();
    }
    for (BSTR b : texts)
        SysFreeString(b);
    return hr;
}

HRESULT FakeClient::raiseChatText(const std::wstring &text, bool byRef)
{
    return raise(config_.ids.event(Ev::ChatTextReceived), {Arg::bstr(text)}, byRef);
}

HRESULT FakeClient::raiseStationText(const std::wstring &text, bool byRef)
{
    return raise(config_.ids.event(Ev::StationTextReceived), {Arg::bstr(text)}, byRef);
}

HRESULT FakeClient::raiseRx(short raw, bool byRef)
{
    return raise(config_.ids.event(Ev::RX), {Arg::boolean(raw)}, byRef);
}

HRESULT FakeClient::raiseConnected(const std::wstring &callsign, const std::wstring &name,
                                   const std::wstring &address, bool byRef)
{
    return raise(config_.ids.event(Ev::Connected), {Arg::bstr(callsign), Arg::bstr(name), Arg::bstr(address)},
                 byRef);
}

HRESULT FakeClient::raiseClosing() { return raise(config_.ids.event(Ev::Closing), {}); }

} // namespace tavrin::fake
