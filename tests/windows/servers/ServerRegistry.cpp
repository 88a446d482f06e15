#include "ServerRegistry.h"

#include <algorithm>

namespace tavrin::servers {

bool runningUnderWine()
{
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

HKEY classesRoot()
{
    static HKEY root = [] {
        const HKEY hive = runningUnderWine() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        HKEY key = nullptr;
        if (RegCreateKeyExW(hive, L"Software\\Classes", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
            != ERROR_SUCCESS)
            return HKEY(nullptr);
        return key;
    }();
    return root;
}

const wchar_t *classesRootName()
{
    return runningUnderWine() ? L"HKLM\\Software\\Classes" : L"HKCU\\Software\\Classes";
}

std::wstring guidText(const GUID &guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring clsidKey(const GUID &clsid) { return L"CLSID\\" + guidText(clsid); }

std::wstring windowsPath(const std::wstring &path)
{
    // Unix paths are wine's Z: drive; backslashes either way, since a class's command line
    // is not always read by code that takes forward slashes.
    std::wstring converted = !path.empty() && path[0] == L'/' ? L"Z:" + path : path;
    std::replace(converted.begin(), converted.end(), L'/', L'\\');
    return converted;
}

std::wstring directoryOf(const std::wstring &path)
{
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

std::wstring widen(const std::string &utf8)
{
    if (utf8.empty())
        return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

Registration::~Registration() { removeAll(); }

void Registration::own(const std::wstring &key)
{
    if (classesRoot())
        RegDeleteTreeW(classesRoot(), key.c_str());
    if (std::find(owned_.begin(), owned_.end(), key) == owned_.end())
        owned_.push_back(key);
}

bool Registration::setString(const std::wstring &key, const std::wstring &name, const std::wstring &value)
{
    HKEY handle = nullptr;
    if (!classesRoot()
        || RegCreateKeyExW(classesRoot(), key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr)
               != ERROR_SUCCESS)
        return false;
    const LONG result = RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                       reinterpret_cast<const BYTE *>(value.c_str()),
                                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

bool Registration::setDword(const std::wstring &key, const std::wstring &name, DWORD value)
{
    HKEY handle = nullptr;
    if (!classesRoot()
        || RegCreateKeyExW(classesRoot(), key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr)
               != ERROR_SUCCESS)
        return false;
    const LONG result =
        RegSetValueExW(handle, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), sizeof value);
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

void Registration::removeValue(const std::wstring &key, const std::wstring &name)
{
    HKEY handle = nullptr;
    if (!classesRoot() || RegOpenKeyExW(classesRoot(), key.c_str(), 0, KEY_WRITE, &handle) != ERROR_SUCCESS)
        return;
    RegDeleteValueW(handle, name.c_str());
    RegCloseKey(handle);
}

bool Registration::inprocServer(const GUID &clsid, const std::wstring &dllPath)
{
    const std::wstring key = clsidKey(clsid);
    own(key);
    return setString(key, L"", L"Tavrin test stand-in (in-process)")
           && setString(key + L"\\InprocServer32", L"", dllPath)
           && setString(key + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
}

bool Registration::localServer(const GUID &clsid, const std::wstring &exePath)
{
    const std::wstring key = clsidKey(clsid);
    own(key);
    // Quoted: COM appends " -Embedding" and the build path may hold spaces.
    return setString(key, L"", L"Tavrin test stand-in (out-of-process)")
           && setString(key + L"\\LocalServer32", L"", L"\"" + exePath + L"\"");
}

bool Registration::dispatchInterface(const GUID &iid, const std::wstring &name, const GUID &libid)
{
    const std::wstring key = L"Interface\\" + guidText(iid);
    own(key);
    return setString(key, L"", name) && setString(key + L"\\ProxyStubClsid32", L"", kDispatchMarshaller)
           && setString(key + L"\\ProxyStubClsid", L"", kDispatchMarshaller)
           && setString(key + L"\\TypeLib", L"", guidText(libid))
           && setString(key + L"\\TypeLib", L"Version", L"1.0");
}

bool Registration::typeLib(const GUID &libid, const std::wstring &name, const std::wstring &path)
{
    const std::wstring key = L"TypeLib\\" + guidText(libid);
    own(key);
    return setString(key + L"\\1.0", L"", name) && setString(key + L"\\1.0\\0\\win64", L"", path)
           && setString(key + L"\\1.0\\0\\win32", L"", path) && setString(key + L"\\1.0\\FLAGS", L"", L"0")
           && setString(key + L"\\1.0\\HELPDIR", L"", directoryOf(path));
}

void Registration::removeAll()
{
    for (auto key = owned_.rbegin(); key != owned_.rend(); ++key)
        if (classesRoot())
            RegDeleteTreeW(classesRoot(), key->c_str());
    owned_.clear();
}

bool readDword(const std::wstring &key, const std::wstring &name, DWORD &value)
{
    DWORD size = sizeof value;
    DWORD type = 0;
    return classesRoot()
           && RegGetValueW(classesRoot(), key.c_str(), name.c_str(), RRF_RT_REG_DWORD, &type, &value, &size)
                  == ERROR_SUCCESS;
}

} // namespace tavrin::servers
