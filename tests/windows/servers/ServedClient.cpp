#include "ServedClient.h"

#include "FakeClient.h"
#include "ServerProtocol.h"
#include "ServerRegistry.h"

#include <cwchar>
#include <string>
#include <vector>

namespace tavrin::servers {
namespace {

using fake::Arg;
using fake::Call;
using fake::FakeClient;
using fake::Op;

constexpr wchar_t kWindowClass[] = L"TavrinFakeServerWindow";
constexpr UINT kRaiseMessage = WM_APP + 1;  // wParam: the served client's index
constexpr UINT kReportMessage = WM_APP + 2; // lParam: new std::wstring to send as station text
constexpr UINT_PTR kRaiseTimer = 1;
constexpr UINT_PTR kCrashTimer = 2;
constexpr UINT kCrashDelayMs = 300; // the reply to "#crash" gets out first
constexpr UINT kRaiseDelayMs = 200;

struct Served {
    FakeClient *client = nullptr; // one reference of ours
    HWND window = nullptr;
    std::size_t logStart = 0; // first call not yet reported by "#log"
    DWORD sleepNextMs = 0;
    int pending = 0; // posted work not done yet: keeps the fake alive
};

std::vector<Served *> gServed;
bool gAnyCreated = false;
long gLocks = 0;
long gRejectNext = 0;
long gRejected = 0;
bool gClassRegistered = false;

HMODULE thisModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&thisModule), &module);
    return module;
}

void raiseAll(FakeClient *client)
{
    client->raiseChatText(kChatText);
    client->raiseStationText(kStationText);
    client->raiseRx(VARIANT_TRUE);
    client->raiseRx(VARIANT_FALSE);
    client->raiseConnected(kConnectedCallsign, kConnectedName, kConnectedAddress);
    client->raiseClosing();
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto *served = reinterpret_cast<Served *>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case kRaiseMessage:
        if (served) {
            --served->pending;
            raiseAll(served->client);
        }
        return 0;
    case kReportMessage: {
        auto *text = reinterpret_cast<std::wstring *>(lParam);
        if (served) {
            --served->pending;
            served->client->raiseStationText(*text);
        }
        delete text;
        return 0;
    }
    case WM_TIMER:
        if (wParam == kCrashTimer)
            ExitProcess(3); // no clean-up at all: the caller's proxies are left dangling
        if (wParam == kRaiseTimer && served) {
            KillTimer(window, kRaiseTimer);
            --served->pending;
            raiseAll(served->client);
        }
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND makeWindow(Served *served)
{
    if (!gClassRegistered) {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = thisModule();
        windowClass.lpszClassName = kWindowClass;
        gClassRegistered = RegisterClassW(&windowClass) != 0;
    }
    HWND window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, thisModule(), nullptr);
    if (window)
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(served));
    return window;
}

std::wstring describeArg(const Arg &arg)
{
    switch (arg.type & ~VT_BYREF) {
    case VT_BSTR:
        return arg.nullBstr ? std::wstring(L"<null>") : arg.text;
    case VT_EMPTY:
        return L"<empty>";
    default:
        return std::to_wstring(arg.value);
    }
}

bool isCommand(const Call &call)
{
    return call.op == Op::SendChatText && !call.args.empty() && !call.args[0].text.empty()
           && call.args[0].text[0] == L'#';
}

// "Op(arg,arg);Op();..." for the calls since the last report.
std::wstring callLog(Served &served)
{
    const std::vector<Call> &calls = served.client->calls();
    std::wstring log;
    for (std::size_t i = served.logStart; i < calls.size(); ++i) {
        if (isCommand(calls[i]))
            continue;
        if (!log.empty())
            log += L';';
        log += fake::opName(calls[i].op);
        log += L'(';
        for (std::size_t a = 0; a < calls[i].args.size(); ++a) {
            if (a)
                log += L',';
            log += describeArg(calls[i].args[a]);
        }
        log += L')';
    }
    served.logStart = calls.size();
    return log;
}

void post(Served &served, UINT message, LPARAM lParam)
{
    if (served.window && PostMessageW(served.window, message, 0, lParam))
        ++served.pending;
    else if (message == kReportMessage)
        delete reinterpret_cast<std::wstring *>(lParam);
}

void command(Served &served, const std::wstring &text)
{
    if (text == kCommandEvents) {
        post(served, kRaiseMessage, 0);
    } else if (text == kCommandEventsNow) {
        raiseAll(served.client);
    } else if (text == kCommandLog) {
        post(served, kReportMessage, reinterpret_cast<LPARAM>(new std::wstring(callLog(served))));
    } else if (text == kCommandFlip) {
        served.client->transmittingRaw = served.client->transmittingRaw ? VARIANT_FALSE : VARIANT_TRUE;
        served.client->connectedRaw = served.client->connectedRaw ? VARIANT_FALSE : VARIANT_TRUE;
    } else if (text.rfind(kCommandSlow, 0) == 0) {
        served.sleepNextMs = static_cast<DWORD>(std::wcstoul(text.c_str() + std::wcslen(kCommandSlow), nullptr, 10));
    } else if (text.rfind(kCommandBusy, 0) == 0) {
        gRejectNext = static_cast<long>(std::wcstol(text.c_str() + std::wcslen(kCommandBusy), nullptr, 10));
    } else if (text == kCommandFail) {
        served.client->failures.clear();
    } else if (text.rfind(std::wstring(kCommandFail) + L' ', 0) == 0) {
        const std::wstring name = text.substr(std::wcslen(kCommandFail) + 1);
        for (std::size_t i = 0; i < fake::kOpCount; ++i)
            if (name == fake::opName(static_cast<Op>(i)))
                served.client->failures[static_cast<Op>(i)] = fake::Failure{kFailureResult, kFailureText, true};
    } else if (text == kCommandCrash) {
        if (served.window && GetModuleHandleW(nullptr) == thisModule()) // never the caller's own process
            SetTimer(served.window, kCrashTimer, kCrashDelayMs, nullptr);
    } else if (text == kCommandReport) {
        const std::wstring report =
            L"pid=" + std::to_wstring(GetCurrentProcessId()) + L" rejected=" + std::to_wstring(gRejected);
        post(served, kReportMessage, reinterpret_cast<LPARAM>(new std::wstring(report)));
    }
}

void onCall(Served &served, Op op)
{
    const Call &call = served.client->calls().back();
    if (isCommand(call)) {
        command(served, call.args[0].text);
        return;
    }
    if (served.sleepNextMs) {
        const DWORD ms = served.sleepNextMs;
        served.sleepNextMs = 0;
        Sleep(ms);
    }
    if (op == Op::IsConnected && !call.args.empty() && call.args[0].text == kRaiseEventsCallsign && served.window
        && SetTimer(served.window, kRaiseTimer, kRaiseDelayMs, nullptr))
        ++served.pending;
}

class Factory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = static_cast<IClassFactory *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // Static object: the module's lifetime is governed by the objects and locks.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown *outer, REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        IUnknown *client = createServedClient();
        if (!client)
            return E_OUTOFMEMORY;
        const HRESULT hr = client->QueryInterface(riid, out);
        client->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        gLocks += lock ? 1 : -1;
        return S_OK;
    }
};

Factory gFactory;

} // namespace

IUnknown *createServedClient()
{
    fake::FakeConfig config;
    config.ids = fake::DispIds::sparse();
    ITypeLib *typeLib = nullptr;
    if (SUCCEEDED(LoadRegTypeLib(fake::kFakeTypeLibId, 1, 0, 0, &typeLib))) {
        config.typeLib = typeLib;
        config.typeInfoFromObject = true;
        config.provideClassInfo = true;
    }
    DWORD adviseResult = 0;
    if (readDword(clsidKey(fake::kClientClsid), kAdviseResultValue, adviseResult))
        config.adviseResult = static_cast<HRESULT>(adviseResult);

    auto *served = new Served;
    served->client = new FakeClient(config);
    if (typeLib)
        typeLib->Release(); // the fake holds its own reference
    served->client->callsign = kLocalCallsign;
    served->client->stationCount.vt = VT_I4;
    served->client->stationCount.lVal = kStationCount;
    served->client->transmittingRaw = VARIANT_TRUE;
    served->client->connectedRaw = VARIANT_TRUE;
    served->window = makeWindow(served);
    served->client->onCall = [served](Op op) { onCall(*served, op); };
    gServed.push_back(served);
    gAnyCreated = true;

    served->client->AddRef();
    return static_cast<IDispatch *>(served->client);
}

bool releaseUnusedClients()
{
    for (auto it = gServed.begin(); it != gServed.end();) {
        Served *served = *it;
        if (served->client->refCount() > 1 || served->pending > 0) {
            ++it;
            continue;
        }
        if (served->window)
            DestroyWindow(served->window);
        served->client->onCall = nullptr;
        served->client->Release();
        delete served;
        it = gServed.erase(it);
    }
    return gServed.empty();
}

bool anyClientCreated() { return gAnyCreated; }

void unregisterWindowClass()
{
    // A DLL must not leave a class behind whose window procedure goes away with it.
    if (gClassRegistered && UnregisterClassW(kWindowClass, thisModule()))
        gClassRegistered = false;
}

long serverLocks() { return gLocks; }

IClassFactory *classFactory() { return &gFactory; }

bool takeRejection()
{
    if (gRejectNext <= 0)
        return false;
    --gRejectNext;
    ++gRejected;
    return true;
}

} // namespace tavrin::servers
