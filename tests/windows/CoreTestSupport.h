#pragma once
// Shared pieces of the core's direct tests: the fake's set-up, an event recorder and a heap
// measure.

#include "FakeClient.h"
#include "WinTest.h"
#include "echolink/com/ComAutomation.h"

#include <psapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace coretest {

using tavrin::fake::FakeClient;
using tavrin::fake::FakeConfig;

// UTF-8 of a UTF-16 literal, for comparing what the client hands over.
inline std::string utf8(const std::wstring &text)
{
    return tavrin::com::utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// Releases the test's own reference at the end of a scope.
struct FakeHolder {
    explicit FakeHolder(FakeConfig config = {}) : fake(new FakeClient(std::move(config))) {}
    ~FakeHolder() { fake->Release(); }
    FakeHolder(const FakeHolder &) = delete;
    FakeHolder &operator=(const FakeHolder &) = delete;
    FakeClient *operator->() const { return fake; }
    FakeClient *fake;
};

inline std::unique_ptr<tavrin::com::AutomationClient> attach(FakeClient *fake,
                                                            const tavrin::com::ClientOptions &options = {})
{
    return tavrin::com::AutomationClient::attach(static_cast<IDispatch *>(fake), options);
}

// Every event as one line, in arrival order.
class Recorder : public tavrin::com::ClientEvents {
public:
    std::vector<std::string> log;
    void ChatTextReceived(const std::string &text) override { log.push_back("chat:" + text); }
    void StationTextReceived(const std::string &text) override { log.push_back("station:" + text); }
    void RX(bool receiving) override { log.push_back(receiving ? "rx:on" : "rx:off"); }
    void Connected(const std::string &callsign, const std::string &name, const std::string &address) override
    {
        log.push_back("connected:" + callsign + "|" + name + "|" + address);
    }
    void Closing() override { log.push_back("closing"); }
    void UnknownEvent(std::int32_t id) override { log.push_back("unknown:" + std::to_string(id)); }
    std::string last() const { return log.empty() ? std::string() : log.back(); }
};

// Type library for the ids, in a temporary file removed with the object.
class TempTypeLib {
public:
    explicit TempTypeLib(const tavrin::fake::DispIds &ids) : path_(tavrin::fake::tempTypeLibPath())
    {
        hr = tavrin::fake::makeTypeLib(ids, path_, &lib);
    }
    ~TempTypeLib()
    {
        if (lib)
            lib->Release();
        DeleteFileW(path_.c_str());
    }
    TempTypeLib(const TempTypeLib &) = delete;
    TempTypeLib &operator=(const TempTypeLib &) = delete;
    const std::wstring &path() const { return path_; }
    HRESULT hr = E_FAIL;
    ITypeLib *lib = nullptr;

private:
    std::wstring path_;
};

// Bytes allocated in all of the process's heaps (busy blocks), or the private usage when
// the heaps cannot be walked.
inline std::int64_t bytesInUse()
{
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    std::int64_t total = 0;
    bool walked = count > 0 && count <= 64;
    for (DWORD i = 0; walked && i < count; ++i) {
        PROCESS_HEAP_ENTRY entry{};
        if (!HeapLock(heaps[i]))
            continue;
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        walked = GetLastError() == ERROR_NO_MORE_ITEMS;
        HeapUnlock(heaps[i]);
    }
    if (walked)
        return total;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS *>(&counters),
                         sizeof counters);
    return static_cast<std::int64_t>(counters.PrivateUsage);
}

} // namespace coretest
