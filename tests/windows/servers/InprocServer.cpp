// The fake automation object as an in-process server (a DLL registered under InprocServer32).

#include "FakeClient.h"
#include "ServedClient.h"

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void **out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (clsid != tavrin::fake::kClientClsid)
        return CLASS_E_CLASSNOTAVAILABLE;
    return tavrin::servers::classFactory()->QueryInterface(riid, out);
}

// COM asks before unloading us: only when nobody but this module holds a fake.
extern "C" HRESULT __stdcall DllCanUnloadNow()
{
    if (!tavrin::servers::releaseUnusedClients() || tavrin::servers::serverLocks() != 0)
        return S_FALSE;
    tavrin::servers::unregisterWindowClass();
    return S_OK;
}
