// The client's application object through IDispatch: names resolved once, arguments as
// BSTR / VARIANT_BOOL / VT_I4, every string and VARIANT freed on every path.
#include "echolink/com/ComInternal.h"

#include <cstring>
#include <cwchar>
#include <utility>
#include <vector>

namespace tavrin::com {

using detail::fail;
using detail::Ref;
using detail::Variant;

namespace {

constexpr char kStationCallsign[] = "StationCallsign";
constexpr char kLocalStation[] = "LocalStation";

// Arguments of one call, kept in DISPPARAMS order (last argument first) and cleared on
// every path.
class Arguments {
public:
    Arguments() = default;
    Arguments(const Arguments &) = delete;
    Arguments &operator=(const Arguments &) = delete;
    ~Arguments()
    {
        for (VARIANT &v : reversed_)
            VariantClear(&v);
    }
    Arguments &text(const std::string &utf8, const std::string &operation)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = detail::makeBstr(utf8, operation);
        reversed_.insert(reversed_.begin(), v);
        return *this;
    }
    Arguments &boolean(bool value)
    {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_BOOL;
        v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        reversed_.insert(reversed_.begin(), v);
        return *this;
    }
    DISPPARAMS params()
    {
        return DISPPARAMS{reversed_.empty() ? nullptr : reversed_.data(), nullptr,
                          static_cast<UINT>(reversed_.size()), 0};
    }

private:
    std::vector<VARIANT> reversed_;
};

struct NameCache {
    // In order of first use, for members().
    std::vector<std::pair<std::string, DISPID>> ids;

    DISPID resolve(IDispatch *target, const char *name)
    {
        for (const auto &entry : ids)
            if (entry.first == name)
                return entry.second;
        std::u16string wide = utf8ToUtf16(name);
        LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(wide.data())};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = target->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr))
            fail(name, hr);
        ids.emplace_back(name, id);
        return id;
    }
};

// One Invoke; a query that only exists as a property is asked again as one.
void invoke(IDispatch *target, NameCache &cache, const char *name, Arguments &args, VARIANT *result)
{
    const DISPID id = cache.resolve(target, name);
    DISPPARAMS params = args.params();
    EXCEPINFO excep{};
    UINT argError = 0;
    HRESULT hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, &excep,
                                &argError);
    if (hr == DISP_E_MEMBERNOTFOUND && result && params.cArgs == 0) {
        detail::takeException(excep, hr); // nothing in it normally; freed all the same
        excep = EXCEPINFO{};
        hr = target->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &params, result, &excep,
                            &argError);
    }
    if (FAILED(hr)) {
        std::string description = detail::takeException(excep, hr);
        if (result)
            VariantClear(result);
        fail(name, hr, std::move(description));
    }
    detail::takeException(excep, hr); // a success may still carry strings
}

bool asBool(VARIANT &value, const char *operation)
{
    if (value.vt == VT_BOOL)
        return value.boolVal != 0;
    const HRESULT hr = VariantChangeType(&value, &value, 0, VT_BOOL);
    if (FAILED(hr))
        fail(operation, hr);
    return value.boolVal != 0;
}

} // namespace

struct AutomationClient::Impl {
    ClientOptions options;
    IID eventIid{};
    Ref<IDispatch> app;
    NameCache appNames;
    NameCache stationNames;

    Ref<IConnectionPoint> point;
    DWORD cookie = 0;
    detail::EventSink *sink = nullptr;
    std::map<std::int32_t, std::string> eventNames;

    void call(const char *name, Arguments &args, VARIANT *result = nullptr)
    {
        invoke(app.get(), appNames, name, args, result);
    }
};

AutomationClient::AutomationClient() : d(std::make_unique<Impl>()) {}

AutomationClient::~AutomationClient() { unadvise(); }

std::unique_ptr<AutomationClient> AutomationClient::create(const ClientOptions &options)
{
    const CLSID clsid = detail::parseGuid(kClientClassId);
    Ref<IUnknown> object;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IUnknown,
                                        object.putVoid());
    if (FAILED(hr))
        fail("CoCreateInstance", hr);
    return attach(object.get(), options);
}

std::unique_ptr<AutomationClient> AutomationClient::attach(void *unknown, const ClientOptions &options)
{
    if (!unknown)
        fail("attach", E_POINTER);
    std::unique_ptr<AutomationClient> client(new AutomationClient());
    client->d->options = options;
    client->d->eventIid = detail::parseGuid(kEventInterfaceId);
    const HRESULT hr = static_cast<IUnknown *>(unknown)->QueryInterface(IID_IDispatch, client->d->app.putVoid());
    if (FAILED(hr) || !client->d->app)
        fail("QueryInterface(IDispatch)", FAILED(hr) ? hr : E_NOINTERFACE);
    return client;
}

void AutomationClient::Connect(const std::string &callsign, bool flag)
{
    Arguments args;
    args.text(callsign, "Connect").boolean(flag);
    d->call("Connect", args);
}

void AutomationClient::Disconnect(const std::string &callsign)
{
    Arguments args;
    args.text(callsign, "Disconnect");
    d->call("Disconnect", args);
}

void AutomationClient::DisconnectAll()
{
    Arguments args;
    d->call("DisconnectAll", args);
}

void AutomationClient::SetTransmit(bool on)
{
    Arguments args;
    args.boolean(on);
    d->call("SetTransmit", args);
}

bool AutomationClient::IsTransmitting()
{
    Arguments args;
    Variant result;
    d->call("IsTransmitting", args, &result.v);
    return asBool(result.v, "IsTransmitting");
}

std::int32_t AutomationClient::StationCount()
{
    Arguments args;
    Variant result;
    d->call("StationCount", args, &result.v);
    if (result.v.vt != VT_I4) {
        const HRESULT hr = VariantChangeType(&result.v, &result.v, 0, VT_I4);
        if (FAILED(hr))
            fail("StationCount", hr);
    }
    return result.v.lVal;
}

bool AutomationClient::IsConnected(const std::string &callsign)
{
    Arguments args;
    args.text(callsign, "IsConnected");
    Variant result;
    d->call("IsConnected", args, &result.v);
    return asBool(result.v, "IsConnected");
}

std::string AutomationClient::StationCallsign()
{
    Ref<IDispatch> station;
    {
        Arguments args;
        Variant result;
        d->call(kLocalStation, args, &result.v);
        IUnknown *object = nullptr;
        if (result.v.vt == VT_DISPATCH)
            object = result.v.pdispVal;
        else if (result.v.vt == VT_UNKNOWN)
            object = result.v.punkVal;
        if (!object)
            fail(kLocalStation, E_NOINTERFACE, "no station object returned");
        const HRESULT hr = object->QueryInterface(IID_IDispatch, station.putVoid());
        if (FAILED(hr) || !station)
            fail(kLocalStation, FAILED(hr) ? hr : E_NOINTERFACE);
    }
    Arguments args;
    Variant result;
    invoke(station.get(), d->stationNames, kStationCallsign, args, &result.v);
    if (result.v.vt == VT_BSTR)
        return bstrToUtf8(result.v.bstrVal);
    if (result.v.vt == VT_NULL || result.v.vt == VT_EMPTY)
        return {};
    const HRESULT hr = VariantChangeType(&result.v, &result.v, 0, VT_BSTR);
    if (FAILED(hr))
        fail(kStationCallsign, hr);
    return bstrToUtf8(result.v.bstrVal);
}

void AutomationClient::SetBusy(bool busy)
{
    Arguments args;
    args.boolean(busy);
    d->call("SetBusy", args);
}

void AutomationClient::SendChatText(const std::string &text)
{
    Arguments args;
    args.text(text, "SendChatText");
    d->call("SendChatText", args);
}

void AutomationClient::advise(ClientEvents *events)
{
    unadvise();

    // Numbers to names: the type information, then the caller's overrides on top.
    std::map<std::int32_t, std::string> names = detail::eventNamesFromTypeInfo(d->app.get(), d->eventIid);
    for (const auto &[name, id] : d->options.eventIdOverrides) {
        for (auto it = names.begin(); it != names.end();) {
            if (_stricmp(it->second.c_str(), name.c_str()) == 0)
                it = names.erase(it);
            else
                ++it;
        }
        names[id] = name;
    }
    std::map<std::int32_t, int> kinds;
    for (const auto &[id, name] : names)
        kinds[id] = detail::eventKind(name);

    Ref<IConnectionPointContainer> container;
    HRESULT hr = d->app->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
    if (FAILED(hr) || !container)
        fail("QueryInterface(IConnectionPointContainer)", FAILED(hr) ? hr : E_NOINTERFACE);
    Ref<IConnectionPoint> point;
    hr = container->FindConnectionPoint(d->eventIid, point.put());
    if (FAILED(hr) || !point)
        fail("FindConnectionPoint", FAILED(hr) ? hr : E_NOINTERFACE);

    detail::EventSink *sink = detail::makeEventSink(d->eventIid, std::move(kinds), events);
    DWORD cookie = 0;
    hr = point->Advise(detail::sinkUnknown(sink), &cookie);
    if (FAILED(hr)) {
        detail::detachSink(sink);
        detail::releaseSink(sink);
        fail("Advise", hr);
    }
    d->point = std::move(point);
    d->cookie = cookie;
    d->sink = sink;
    d->eventNames = std::move(names);
}

void AutomationClient::unadvise() noexcept
{
    if (d->point) {
        d->point->Unadvise(d->cookie); // a failure here (server gone) changes nothing for us
        d->point.reset();
        d->cookie = 0;
    }
    if (d->sink) {
        detail::detachSink(d->sink);
        detail::releaseSink(d->sink);
        d->sink = nullptr;
    }
}

bool AutomationClient::advised() const { return d->sink != nullptr; }

std::vector<MemberInfo> AutomationClient::members()
{
    // Looking a name up has no effect on the client, so every operation gets its id here,
    // called or not; a name the object does not know is simply left out.
    static constexpr const char *kOperations[] = {"Connect",      "Disconnect", "DisconnectAll", "SetTransmit",
                                                  "IsTransmitting", "StationCount", "IsConnected", kLocalStation,
                                                  "SetBusy",      "SendChatText"};
    for (const char *name : kOperations) {
        try {
            d->appNames.resolve(d->app.get(), name);
        } catch (const ComError &) {
        }
    }
    std::vector<MemberInfo> list;
    for (const auto &[name, id] : d->appNames.ids)
        list.push_back({name, id, false});
    for (const auto &[name, id] : d->stationNames.ids)
        list.push_back({name, id, false});
    for (const auto &[id, name] : d->eventNames)
        list.push_back({name, id, true});
    return list;
}

} // namespace tavrin::com
