// The fake automation object as an out-of-process server (an EXE registered under
// LocalServer32). COM starts it with -Embedding; it serves until the last object it handed
// out is released, then leaves. A message filter of its own plays the busy client.

#include "FakeClient.h"
#include "ServedClient.h"

#include <cstdio>
#include <cwchar>

namespace {

constexpr UINT kTickMs = 100;
// Safety nets so a test that died never leaves a server behind for long.
constexpr ULONGLONG kIdleLimitMs = 60 * 1000;   // started but nobody asked for an object
constexpr ULONGLONG kLifetimeLimitMs = 300 * 1000;

class BusyServerFilter : public IMessageFilter {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter *>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO info) override
    {
        // Only the application's calls are turned away, never COM's own housekeeping.
        if (info && info->iid == IID_IDispatch && tavrin::servers::takeRejection())
            return SERVERCALL_RETRYLATER;
        return SERVERCALL_ISHANDLED;
    }
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD, DWORD) override { return static_cast<DWORD>(-1); }
    STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }
};

bool embedded()
{
    const wchar_t *line = GetCommandLineW();
    return std::wcsstr(line, L"-Embedding") || std::wcsstr(line, L"/Embedding");
}

} // namespace

int main()
{
    if (!embedded()) {
        std::fprintf(stderr, "A test stand-in for the EchoLink client's automation object; COM starts it "
                             "with -Embedding.\n");
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    BusyServerFilter filter;
    IMessageFilter *previous = nullptr;
    CoRegisterMessageFilter(&filter, &previous);

    DWORD cookie = 0;
    HRESULT hr = CoRegisterClassObject(tavrin::fake::kClientClsid, tavrin::servers::classFactory(),
                                       CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (FAILED(hr)) {
        CoUninitialize();
        return 1;
    }

    // Serving -> (every object released) class revoked -> (still nothing held) done. An
    // activation that raced the revocation keeps the server until its object goes too.
    const ULONGLONG started = GetTickCount64();
    bool revoked = false;
    SetTimer(nullptr, 0, kTickMs, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
            const ULONGLONG alive = GetTickCount64() - started;
            const bool created = tavrin::servers::anyClientCreated();
            const bool unused =
                tavrin::servers::releaseUnusedClients() && tavrin::servers::serverLocks() == 0;
            if ((created && unused) || (!created && alive > kIdleLimitMs) || alive > kLifetimeLimitMs) {
                if (revoked || alive > kLifetimeLimitMs)
                    break;
                CoRevokeClassObject(cookie);
                revoked = true;
            }
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (!revoked)
        CoRevokeClassObject(cookie);
    CoRegisterMessageFilter(previous, nullptr);
    CoUninitialize();
    return 0;
}
