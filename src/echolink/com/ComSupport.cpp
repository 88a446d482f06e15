// Error texts, GUIDs and BSTRs for the rest of the core.
#include "echolink/com/ComInternal.h"

#include <cstring>
#include <cwchar>

namespace tavrin::com::detail {

namespace {
const char *const kEventNames[KindCount] = {kEventChatTextReceived, kEventStationTextReceived, kEventRx,
                                            kEventConnected, kEventClosing};
}

IID parseGuid(const char *text)
{
    const std::u16string wide = utf8ToUtf16(text);
    IID id{};
    const HRESULT hr = CLSIDFromString(reinterpret_cast<LPCOLESTR>(wide.c_str()), &id);
    if (FAILED(hr))
        fail(std::string("CLSIDFromString(") + text + ")", hr);
    return id;
}

std::wstring guidText(const GUID &guid)
{
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}

std::string systemMessage(HRESULT hr)
{
    wchar_t *buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    std::u16string text;
    if (buffer) {
        text.assign(buffer, buffer + length);
        LocalFree(buffer);
    }
    while (!text.empty() && (text.back() == u'\n' || text.back() == u'\r' || text.back() == u' ' ||
                             text.back() == u'.'))
        text.pop_back();
    return utf16ToUtf8(text);
}

std::string takeException(EXCEPINFO &excep, HRESULT &hr)
{
    if (excep.pfnDeferredFillIn) {
        excep.pfnDeferredFillIn(&excep);
        excep.pfnDeferredFillIn = nullptr;
    }
    std::string description = bstrToUtf8(excep.bstrDescription);
    if (hr == DISP_E_EXCEPTION && FAILED(excep.scode))
        hr = excep.scode;
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    excep.bstrSource = excep.bstrDescription = excep.bstrHelpFile = nullptr;
    return description;
}

void fail(const std::string &operation, HRESULT hr, std::string description)
{
    if (description.empty())
        description = systemMessage(hr);
    throw ComError(operation, static_cast<std::int32_t>(hr), description);
}

BSTR makeBstr(const std::string &utf8, const std::string &operation)
{
    const std::u16string wide = utf8ToUtf16(utf8);
    BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR *>(wide.data()), static_cast<UINT>(wide.size()));
    if (!b)
        fail(operation, E_OUTOFMEMORY);
    return b;
}

int eventKind(const std::string &name)
{
    for (int i = 0; i < KindCount; ++i)
        if (_stricmp(name.c_str(), kEventNames[i]) == 0)
            return i;
    return -1;
}

} // namespace tavrin::com::detail
