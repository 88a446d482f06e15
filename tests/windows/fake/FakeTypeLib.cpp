// The fake's type library, written with ICreateTypeLib2 the way a server's build would.
#include "FakeClient.h"

#include <atomic>
#include <string>
#include <vector>

namespace tavrin::fake {

namespace {

struct Member {
    const wchar_t *name;
    DISPID id;
    VARTYPE result;
    std::vector<std::pair<const wchar_t *, VARTYPE>> params;
};

template <typename T>
void release(T *&p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// One dispinterface with its members; returns it as a type info for references.
HRESULT addDispinterface(ICreateTypeLib2 *lib, const wchar_t *name, const GUID &guid, ITypeInfo *dispatchBase,
                         const std::vector<Member> &members, ITypeInfo **made)
{
    *made = nullptr;
    ICreateTypeInfo *info = nullptr;
    HRESULT hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(name), TKIND_DISPATCH, &info);
    if (FAILED(hr))
        return hr;
    hr = info->SetGuid(guid);
    if (SUCCEEDED(hr))
        hr = info->SetTypeFlags(TYPEFLAG_FDISPATCHABLE);
    if (SUCCEEDED(hr) && dispatchBase) {
        HREFTYPE base = 0;
        hr = info->AddRefTypeInfo(dispatchBase, &base);
        if (SUCCEEDED(hr))
            hr = info->AddImplType(0, base);
    }
    for (UINT index = 0; SUCCEEDED(hr) && index < members.size(); ++index) {
        const Member &m = members[index];
        std::vector<ELEMDESC> params(m.params.size());
        std::vector<LPOLESTR> names{const_cast<LPOLESTR>(m.name)};
        for (std::size_t i = 0; i < m.params.size(); ++i) {
            params[i] = ELEMDESC{};
            params[i].tdesc.vt = m.params[i].second;
            params[i].paramdesc.wParamFlags = PARAMFLAG_FIN;
            names.push_back(const_cast<LPOLESTR>(m.params[i].first));
        }
        FUNCDESC fd{};
        fd.memid = m.id;
        fd.funckind = FUNC_DISPATCH;
        fd.invkind = INVOKE_FUNC;
        fd.callconv = CC_STDCALL;
        fd.cParams = static_cast<SHORT>(params.size());
        fd.lprgelemdescParam = params.empty() ? nullptr : params.data();
        fd.elemdescFunc.tdesc.vt = m.result;
        hr = info->AddFuncDesc(index, &fd);
        if (SUCCEEDED(hr))
            hr = info->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size()));
    }
    if (SUCCEEDED(hr))
        hr = info->LayOut();
    if (SUCCEEDED(hr))
        hr = info->QueryInterface(IID_ITypeInfo, reinterpret_cast<void **>(made));
    info->Release();
    return hr;
}

HRESULT addCoclass(ICreateTypeLib2 *lib, ITypeInfo *application, ITypeInfo *events)
{
    ICreateTypeInfo *info = nullptr;
    HRESULT hr = lib->CreateTypeInfo(const_cast<LPOLESTR>(L"EchoLinkFake"), TKIND_COCLASS, &info);
    if (FAILED(hr))
        return hr;
    HREFTYPE app = 0, ev = 0;
    hr = info->SetGuid(kClientClsid);
    if (SUCCEEDED(hr))
        hr = info->SetTypeFlags(TYPEFLAG_FCANCREATE);
    if (SUCCEEDED(hr))
        hr = info->AddRefTypeInfo(application, &app);
    if (SUCCEEDED(hr))
        hr = info->AddImplType(0, app);
    if (SUCCEEDED(hr))
        hr = info->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT);
    if (SUCCEEDED(hr))
        hr = info->AddRefTypeInfo(events, &ev);
    if (SUCCEEDED(hr))
        hr = info->AddImplType(1, ev);
    if (SUCCEEDED(hr))
        hr = info->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);
    if (SUCCEEDED(hr))
        hr = info->LayOut();
    info->Release();
    return hr;
}

} // namespace

std::wstring tempTypeLibPath()
{
    static std::atomic<unsigned> counter{0};
    wchar_t dir[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, dir);
    return std::wstring(dir) + L"tavrin-fake-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++counter) + L".tlb";
}

HRESULT makeTypeLib(const DispIds &ids, const std::wstring &path, ITypeLib **out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;

    ITypeLib *stdole = nullptr;
    ITypeInfo *dispatchInfo = nullptr;
    if (SUCCEEDED(LoadTypeLibEx(L"stdole2.tlb", REGKIND_NONE, &stdole)))
        stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatchInfo);

    ICreateTypeLib2 *lib = nullptr;
    HRESULT hr = CreateTypeLib2(SYS_WIN64, path.c_str(), &lib);
    if (SUCCEEDED(hr))
        hr = lib->SetGuid(kFakeTypeLibId);
    if (SUCCEEDED(hr))
        hr = lib->SetVersion(1, 0);
    if (SUCCEEDED(hr))
        hr = lib->SetName(const_cast<LPOLESTR>(L"TavrinFakeEchoLink"));
    if (SUCCEEDED(hr))
        hr = lib->SetLcid(0);

    auto op = [&](Op o) { return ids.op(o); };
    ITypeInfo *station = nullptr, *application = nullptr, *events = nullptr;
    if (SUCCEEDED(hr))
        hr = addDispinterface(lib, L"IFakeStation", kStationIid, dispatchInfo,
                              {{L"StationCallsign", op(Op::StationCallsign), VT_BSTR, {}}}, &station);
    if (SUCCEEDED(hr))
        hr = addDispinterface(lib, L"IFakeEchoLink", kApplicationIid, dispatchInfo,
                              {
                                  {L"Connect", op(Op::Connect), VT_VOID, {{L"Callsign", VT_BSTR}, {L"Flag", VT_BOOL}}},
                                  {L"Disconnect", op(Op::Disconnect), VT_VOID, {{L"Callsign", VT_BSTR}}},
                                  {L"DisconnectAll", op(Op::DisconnectAll), VT_VOID, {}},
                                  {L"SetTransmit", op(Op::SetTransmit), VT_VOID, {{L"On", VT_BOOL}}},
                                  {L"IsTransmitting", op(Op::IsTransmitting), VT_BOOL, {}},
                                  {L"StationCount", op(Op::StationCount), VT_I4, {}},
                                  {L"IsConnected", op(Op::IsConnected), VT_BOOL, {{L"Callsign", VT_BSTR}}},
                                  {L"LocalStation", op(Op::LocalStation), VT_DISPATCH, {}},
                                  {L"SetBusy", op(Op::SetBusy), VT_VOID, {{L"Busy", VT_BOOL}}},
                                  {L"SendChatText", op(Op::SendChatText), VT_VOID, {{L"Text", VT_BSTR}}},
                              },
                              &application);
    if (SUCCEEDED(hr))
        hr = addDispinterface(
            lib, L"IFakeEchoLinkEvents", kEventIid, dispatchInfo,
            {
                {eventName(Ev::ChatTextReceived), ids.event(Ev::ChatTextReceived), VT_VOID, {{L"Text", VT_BSTR}}},
                {eventName(Ev::StationTextReceived), ids.event(Ev::StationTextReceived), VT_VOID, {{L"Text", VT_BSTR}}},
                {eventName(Ev::RX), ids.event(Ev::RX), VT_VOID, {{L"Receiving", VT_BOOL}}},
                {eventName(Ev::Connected), ids.event(Ev::Connected), VT_VOID,
                 {{L"Callsign", VT_BSTR}, {L"Name", VT_BSTR}, {L"Address", VT_BSTR}}},
                {eventName(Ev::Closing), ids.event(Ev::Closing), VT_VOID, {}},
            },
            &events);
    if (SUCCEEDED(hr))
        hr = addCoclass(lib, application, events);
    if (SUCCEEDED(hr))
        hr = lib->SaveAllChanges();

    release(station);
    release(application);
    release(events);
    release(lib);
    release(dispatchInfo);
    release(stdole);
    if (SUCCEEDED(hr))
        hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, out);
    return hr;
}

} // namespace tavrin::fake
