#pragma once
// Registration of the fake servers and the fake's type library in the registry, shared by the
// tests (which write and remove it) and the servers (which read their settings from it).
//
// Windows reads per-user registrations (HKCU\Software\Classes) first, which needs no rights.
// wine's COM reads only the machine's classes (HKLM\Software\Classes), which a wine prefix
// lets us write; classesRoot() picks the one that works where we run.

#include <windows.h>

#include <string>
#include <vector>

namespace tavrin::servers {

// The standard dispatch marshaller (PSDispatch): marshals IDispatch-based interfaces with the
// help of their type library.
inline constexpr wchar_t kDispatchMarshaller[] = L"{00020420-0000-0000-C000-000000000046}";
// Under the class id's key: an HRESULT (REG_DWORD) the fake's Advise refuses with; absent = accept.
inline constexpr wchar_t kAdviseResultValue[] = L"TavrinFakeAdviseResult";

bool runningUnderWine();
HKEY classesRoot();
const wchar_t *classesRootName(); // for messages

std::wstring guidText(const GUID &guid);
std::wstring clsidKey(const GUID &clsid); // "CLSID\{...}" relative to classesRoot()

// A path as Windows spells it: a Unix path as wine's Z: drive, backslashes throughout.
std::wstring windowsPath(const std::wstring &path);
std::wstring directoryOf(const std::wstring &path);
std::wstring widen(const std::string &utf8);

// Keys written under classesRoot(), removed (tree and all) when this object goes, whatever
// happened in between; stale keys of a crashed earlier run are removed before writing.
class Registration {
public:
    Registration() = default;
    ~Registration();
    Registration(const Registration &) = delete;
    Registration &operator=(const Registration &) = delete;

    // Marks `key` (relative to classesRoot()) for removal and deletes what is there now.
    void own(const std::wstring &key);
    // Writes a string value (name empty: the key's default value); false on failure.
    bool setString(const std::wstring &key, const std::wstring &name, const std::wstring &value);
    bool setDword(const std::wstring &key, const std::wstring &name, DWORD value);
    void removeValue(const std::wstring &key, const std::wstring &name);

    bool inprocServer(const GUID &clsid, const std::wstring &dllPath);
    bool localServer(const GUID &clsid, const std::wstring &exePath);
    // An interface marshalled by the dispatch marshaller with the help of type library `libid`.
    bool dispatchInterface(const GUID &iid, const std::wstring &name, const GUID &libid);
    bool typeLib(const GUID &libid, const std::wstring &name, const std::wstring &path);

    void removeAll();

private:
    std::vector<std::wstring> owned_;
};

// Reads a REG_DWORD under classesRoot(); false when absent.
bool readDword(const std::wstring &key, const std::wstring &name, DWORD &value);

} // namespace tavrin::servers
