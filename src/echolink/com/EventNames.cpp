// Event numbers -> names from whatever type information describes the event interface.
// Numbers are never guessed from positions or signatures: two events share one signature.
#include "echolink/com/ComInternal.h"

#include <cwchar>

namespace tavrin::com::detail {

namespace {

std::map<std::int32_t, std::string> namesOf(ITypeInfo *info)
{
    std::map<std::int32_t, std::string> names;
    TYPEATTR *attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)) || !attr)
        return names;
    const WORD count = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < count; ++i) {
        FUNCDESC *func = nullptr;
        if (FAILED(info->GetFuncDesc(i, &func)) || !func)
            continue;
        const MEMBERID id = func->memid;
        // IUnknown and IDispatch's own methods, listed in dual interfaces' dispatch view.
        const bool restricted = (func->wFuncFlags & FUNCFLAG_FRESTRICTED) != 0;
        info->ReleaseFuncDesc(func);
        if (restricted)
            continue;
        BSTR name = nullptr;
        if (SUCCEEDED(info->GetDocumentation(id, &name, nullptr, nullptr, nullptr)) && name)
            names[id] = bstrToUtf8(name);
        SysFreeString(name);
    }
    return names;
}

bool isInterface(ITypeInfo *info, const IID &iid)
{
    TYPEATTR *attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)) || !attr)
        return false;
    const bool same = IsEqualGUID(attr->guid, iid);
    info->ReleaseTypeAttr(attr);
    return same;
}

// The object's own type library (the one its application interface lives in).
Ref<ITypeInfo> fromObject(IDispatch *object, const IID &eventIid)
{
    UINT count = 0;
    Ref<ITypeInfo> app, events;
    Ref<ITypeLib> lib;
    UINT index = 0;
    if (FAILED(object->GetTypeInfoCount(&count)) || count == 0 ||
        FAILED(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, app.put())) || !app ||
        FAILED(app->GetContainingTypeLib(lib.put(), &index)) || !lib ||
        FAILED(lib->GetTypeInfoOfGuid(eventIid, events.put())))
        return {};
    return events;
}

// The coclass's source interface, through IProvideClassInfo.
Ref<ITypeInfo> fromClassInfo(IDispatch *object, const IID &eventIid)
{
    Ref<IProvideClassInfo> provider;
    Ref<ITypeInfo> coclass;
    if (FAILED(object->QueryInterface(IID_IProvideClassInfo, provider.putVoid())) || !provider ||
        FAILED(provider->GetClassInfo(coclass.put())) || !coclass)
        return {};
    TYPEATTR *attr = nullptr;
    if (FAILED(coclass->GetTypeAttr(&attr)) || !attr)
        return {};
    const WORD implCount = attr->cImplTypes;
    coclass->ReleaseTypeAttr(attr);
    for (WORD i = 0; i < implCount; ++i) {
        INT flags = 0;
        HREFTYPE ref = 0;
        Ref<ITypeInfo> source;
        if (FAILED(coclass->GetImplTypeFlags(i, &flags)) || !(flags & IMPLTYPEFLAG_FSOURCE) ||
            FAILED(coclass->GetRefTypeOfImplType(i, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, source.put())))
            continue;
        if (isInterface(source.get(), eventIid))
            return source;
    }
    return {};
}

// The library registered for the interface: HKCR\Interface\{iid}\TypeLib.
Ref<ITypeInfo> fromRegistry(const IID &eventIid)
{
    const std::wstring keyName = L"Interface\\" + guidText(eventIid) + L"\\TypeLib";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, keyName.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return {};
    wchar_t libText[64] = {};
    wchar_t versionText[32] = {};
    DWORD size = sizeof libText - sizeof(wchar_t);
    const bool haveLib = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE *>(libText),
                                          &size) == ERROR_SUCCESS;
    size = sizeof versionText - sizeof(wchar_t);
    const bool haveVersion = RegQueryValueExW(key, L"Version", nullptr, nullptr,
                                              reinterpret_cast<BYTE *>(versionText), &size) == ERROR_SUCCESS;
    RegCloseKey(key);
    GUID libId{};
    if (!haveLib || FAILED(CLSIDFromString(libText, &libId)))
        return {};
    // Versions are written in hexadecimal, "major.minor".
    unsigned long major = 1, minor = 0;
    if (haveVersion) {
        wchar_t *end = nullptr;
        major = std::wcstoul(versionText, &end, 16);
        minor = end && *end == L'.' ? std::wcstoul(end + 1, nullptr, 16) : 0;
    }
    Ref<ITypeLib> lib;
    Ref<ITypeInfo> events;
    if (FAILED(LoadRegTypeLib(libId, static_cast<WORD>(major), static_cast<WORD>(minor), LOCALE_NEUTRAL,
                              lib.put())) ||
        FAILED(lib->GetTypeInfoOfGuid(eventIid, events.put())))
        return {};
    return events;
}

} // namespace

std::map<std::int32_t, std::string> eventNamesFromTypeInfo(IDispatch *object, const IID &eventIid)
{
    Ref<ITypeInfo> info = fromObject(object, eventIid);
    if (!info)
        info = fromClassInfo(object, eventIid);
    if (!info)
        info = fromRegistry(eventIid);
    if (!info)
        return {};
    return namesOf(info.get());
}

} // namespace tavrin::com::detail
