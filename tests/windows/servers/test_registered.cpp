// The core against the fake registered under the client's real class id: created by
// CoCreateInstance from an in-process server (DLL) and an out-of-process server (EXE), events
// across processes through the registered type library, a refused Advise, a busy server, an
// unregistered class, and the diagnostic program run against the registered fake.

#include "WinTest.h"

#include "FakeClient.h"
#include "ServerProtocol.h"
#include "ServerRegistry.h"
#include "echolink/com/ComAutomation.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using tavrin::com::AutomationClient;
using tavrin::com::ComError;
namespace fake = tavrin::fake;
namespace servers = tavrin::servers;

constexpr DWORD kEventWaitMs = 5000;
constexpr DWORD kServerExitWaitMs = 10000;
constexpr char kChatLine[] = "73 de N0TVR \xf0\x9f\x93\xbb \xc3\xa9";
constexpr wchar_t kInprocModule[] = L"tavrin-fake-inproc.dll";
constexpr wchar_t kServerExe[] = L"tavrin-fake-server.exe";

std::wstring inprocPath() { return servers::windowsPath(servers::widen(TAVRIN_FAKE_INPROC)); }
std::wstring serverPath() { return servers::windowsPath(servers::widen(TAVRIN_FAKE_SERVER)); }

// Every event as one line, in arrival order.
class Recorder : public tavrin::com::ClientEvents {
public:
    std::vector<std::string> events;

    void ChatTextReceived(const std::string &text) override { events.push_back("ChatTextReceived|" + text); }
    void StationTextReceived(const std::string &text) override { events.push_back("StationTextReceived|" + text); }
    void RX(bool receiving) override { events.push_back(receiving ? "RX|true" : "RX|false"); }
    void Connected(const std::string &callsign, const std::string &name, const std::string &address) override
    {
        events.push_back("connected|" + callsign + "|" + name + "|" + address);
    }
    void Closing() override { events.push_back("Closing"); }
    void UnknownEvent(std::int32_t id) override { events.push_back("unknown|" + std::to_string(id)); }
};

const std::vector<std::string> &everyEvent()
{
    static const std::vector<std::string> expected = {
        std::string("ChatTextReceived|") + servers::kChatTextUtf8,
        std::string("StationTextReceived|") + servers::kStationTextUtf8,
        "RX|true",
        "RX|false",
        std::string("connected|") + servers::kConnectedCallsignUtf8 + "|" + servers::kConnectedNameUtf8 + "|"
            + servers::kConnectedAddressUtf8,
        "Closing",
    };
    return expected;
}

// One line per event, so a mismatch prints readably.
std::string joined(const std::vector<std::string> &events)
{
    std::string text;
    for (const std::string &event : events)
        text += event + "\n";
    return text;
}

std::string utf8(const std::wstring &text)
{
    return tavrin::com::utf16ToUtf8(std::u16string(text.begin(), text.end()));
}

// Pumps this thread's messages (events arrive through them) until `done` or the time is up.
template <typename Done>
bool pumpUntil(Done done, DWORD timeoutMs)
{
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)), QS_ALLINPUT,
                                    MWMO_INPUTAVAILABLE);
    }
}

// A command whose answer comes back as one station-text event; returns that text.
std::string ask(AutomationClient &client, Recorder &recorder, const wchar_t *command)
{
    recorder.events.clear();
    client.SendChatText(utf8(command));
    if (!pumpUntil([&] { return !recorder.events.empty(); }, kEventWaitMs))
        return "<no answer>";
    const std::string prefix = "StationTextReceived|";
    const std::string first = recorder.events.front();
    return first.rfind(prefix, 0) == 0 ? first.substr(prefix.size()) : "<unexpected " + first + ">";
}

// The type library the servers describe themselves with, written now and registered for the
// event interface (cross-process events need it to marshal the sink), removed at exit.
class TypeLibRegistration {
public:
    TypeLibRegistration() : path_(fake::tempTypeLibPath())
    {
        ITypeLib *lib = nullptr;
        made_ = SUCCEEDED(fake::makeTypeLib(fake::DispIds::sparse(), path_, &lib));
        if (lib)
            lib->Release();
        registered_ = made_ && keys_.typeLib(fake::kFakeTypeLibId, L"Tavrin test type library", path_)
                      && keys_.dispatchInterface(fake::kEventIid, L"Tavrin test events", fake::kFakeTypeLibId);
    }
    ~TypeLibRegistration()
    {
        keys_.removeAll();
        DeleteFileW(path_.c_str());
    }
    bool ok() const { return registered_; }

private:
    std::wstring path_;
    servers::Registration keys_;
    bool made_ = false;
    bool registered_ = false;
};

// Every operation and every event through a client created by class id.
void exerciseClient(AutomationClient &client)
{
    Recorder recorder;
    client.advise(&recorder);
    REQUIRE(client.advised());
    // Whatever fails below, no event may reach the recorder once it is gone.
    struct Unadvise {
        AutomationClient &client;
        ~Unadvise() { client.unadvise(); }
    } unadviseOnExit{client};

    // The event numbers were mapped from the servers' type information, not guessed.
    const fake::DispIds ids = fake::DispIds::sparse();
    const std::vector<std::pair<const char *, fake::Ev>> events = {
        {tavrin::com::kEventChatTextReceived, fake::Ev::ChatTextReceived},
        {tavrin::com::kEventStationTextReceived, fake::Ev::StationTextReceived},
        {tavrin::com::kEventRx, fake::Ev::RX},
        {tavrin::com::kEventConnected, fake::Ev::Connected},
        {tavrin::com::kEventClosing, fake::Ev::Closing}};
    const auto members = client.members();
    for (const auto &[name, ev] : events) {
        bool mapped = false;
        for (const auto &member : members)
            mapped = mapped || (member.isEvent && _stricmp(member.name.c_str(), name) == 0
                                && member.dispatchId == ids.event(ev));
        if (!CHECK(mapped))
            std::printf("    event %s not mapped to %ld\n", name, static_cast<long>(ids.event(ev)));
    }

    // Queries, both Boolean directions.
    CHECK_EQ(client.StationCallsign(), std::string(servers::kLocalCallsignUtf8));
    CHECK_EQ(client.StationCount(), servers::kStationCount);
    CHECK(client.IsTransmitting());
    CHECK(client.IsConnected("W1AW"));
    client.SendChatText(utf8(servers::kCommandFlip));
    CHECK(!client.IsTransmitting());
    CHECK(!client.IsConnected("W1AW"));

    // Commands, as the server received them.
    ask(client, recorder, servers::kCommandLog); // forget the calls so far
    client.Connect("W1AW-L", true);
    client.Disconnect("W1AW-L");
    client.DisconnectAll();
    client.SetTransmit(true);
    client.SetTransmit(false);
    client.SetBusy(true);
    client.SetBusy(false);
    client.SendChatText(kChatLine);
    CHECK_EQ(ask(client, recorder, servers::kCommandLog),
             std::string("Connect(W1AW-L,-1);Disconnect(W1AW-L);DisconnectAll();SetTransmit(-1);SetTransmit(0);"
                         "SetBusy(-1);SetBusy(0);SendChatText(")
                 + kChatLine + ")");

    // A failing call, its description carried across.
    client.SendChatText(utf8(servers::kCommandFail) + " StationCount");
    ComError failure("", 0, "");
    try {
        client.StationCount();
    } catch (const ComError &error) {
        failure = error;
    }
    CHECK_EQ(failure.hresult(), static_cast<std::int32_t>(servers::kFailureResult));
    CHECK_EQ(failure.description(), std::string(servers::kFailureTextUtf8));
    client.SendChatText(utf8(servers::kCommandFail));
    CHECK_EQ(client.StationCount(), servers::kStationCount);

    // Every event, raised after the call and raised while the call is still waiting.
    recorder.events.clear();
    client.SendChatText(utf8(servers::kCommandEvents));
    pumpUntil([&] { return recorder.events.size() >= everyEvent().size(); }, kEventWaitMs);
    CHECK_EQ(joined(recorder.events), joined(everyEvent()));
    recorder.events.clear();
    client.SendChatText(utf8(servers::kCommandEventsNow));
    pumpUntil([&] { return recorder.events.size() >= everyEvent().size(); }, kEventWaitMs);
    CHECK_EQ(joined(recorder.events), joined(everyEvent()));

    // Nothing arrives once unadvised.
    client.unadvise();
    CHECK(!client.advised());
    recorder.events.clear();
    client.SendChatText(utf8(servers::kCommandEvents));
    pumpUntil([] { return false; }, 300);
    CHECK(recorder.events.empty());
}

// Advise refused by the server: the failure carries its HRESULT and the client stays usable.
void refusedAdvise(AutomationClient &client)
{
    Recorder recorder;
    HRESULT hr = S_OK;
    try {
        client.advise(&recorder);
    } catch (const ComError &error) {
        hr = error.hresult();
    }
    CHECK_EQ(hr, CONNECT_E_ADVISELIMIT);
    CHECK(!client.advised());
    CHECK_EQ(client.StationCount(), servers::kStationCount);
}

bool fakeServerRunning()
{
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool running = false;
    for (BOOL more = Process32FirstW(snapshot, &entry); more && !running; more = Process32NextW(snapshot, &entry))
        running = _wcsicmp(entry.szExeFile, kServerExe) == 0;
    CloseHandle(snapshot);
    return running;
}

// Once the last reference is gone the server leaves; a new activation must not meet the old
// server on its way out either.
bool fakeServerGone() { return pumpUntil([] { return !fakeServerRunning(); }, kServerExitWaitMs); }

bool waitForProcessExit(DWORD pid)
{
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (!process)
        return true; // already gone
    DWORD index = 0;
    const HRESULT hr = CoWaitForMultipleHandles(0, kServerExitWaitMs, 1, &process, &index);
    CloseHandle(process);
    return hr == S_OK;
}

DWORD serverPid(const std::string &report)
{
    const auto at = report.find("pid=");
    return at == std::string::npos ? 0 : std::strtoul(report.c_str() + at + 4, nullptr, 10);
}

struct ProgramRun {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
    std::string output;
};

// Runs a program with its output captured, ending it if it overruns.
ProgramRun runProgram(const std::wstring &exe, const std::wstring &arguments, DWORD timeoutMs)
{
    ProgramRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return run;
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = writeEnd;
    PROCESS_INFORMATION info{};
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    run.started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                 nullptr, &startup, &info);
    CloseHandle(writeEnd);
    if (!run.started) {
        CloseHandle(readEnd);
        return run;
    }
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        DWORD available = 0;
        while (PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char buffer[4096];
            DWORD got = 0;
            if (!ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) || got == 0)
                break;
            run.output.append(buffer, got);
        }
        if (run.finished)
            break;
        run.finished = WaitForSingleObject(info.hProcess, 20) == WAIT_OBJECT_0;
        if (!run.finished && GetTickCount64() >= end) {
            TerminateProcess(info.hProcess, 99);
            WaitForSingleObject(info.hProcess, 2000);
            break;
        }
    }
    GetExitCodeProcess(info.hProcess, &run.exitCode);
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    CloseHandle(readEnd);
    return run;
}

bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

} // namespace

TEST_GROUP(unregistered_class_is_a_clean_error)
{
    servers::Registration keys;
    keys.own(servers::clsidKey(fake::kClientClsid)); // nothing registered under the class id
    tavrin::com::ComApartment apartment;
    HRESULT hr = S_OK;
    try {
        AutomationClient::create();
    } catch (const ComError &error) {
        hr = error.hresult();
    }
    CHECK_EQ(hr, REGDB_E_CLASSNOTREG);
}

TEST_GROUP(in_process_server)
{
    TypeLibRegistration typeLib;
    REQUIRE(typeLib.ok());
    servers::Registration keys;
    REQUIRE(keys.inprocServer(fake::kClientClsid, inprocPath()));
    tavrin::com::ComApartment apartment;
    {
        auto client = AutomationClient::create();
        REQUIRE(client != nullptr);
        exerciseClient(*client);
    }
    {
        keys.setDword(servers::clsidKey(fake::kClientClsid), servers::kAdviseResultValue,
                      static_cast<DWORD>(CONNECT_E_ADVISELIMIT));
        auto client = AutomationClient::create();
        refusedAdvise(*client);
    }
    // The server may unload only when no reference to any of its objects is left.
    CoFreeUnusedLibrariesEx(0, 0);
    CHECK(GetModuleHandleW(kInprocModule) == nullptr);
}

TEST_GROUP(out_of_process_server)
{
    TypeLibRegistration typeLib;
    REQUIRE(typeLib.ok());
    servers::Registration keys;
    REQUIRE(keys.localServer(fake::kClientClsid, serverPath()));
    tavrin::com::ComApartment apartment;
    REQUIRE(fakeServerGone());
    DWORD pid = 0;
    {
        Recorder recorder; // outlives the client, which may deliver events until it is gone
        auto client = AutomationClient::create();
        REQUIRE(client != nullptr);
        exerciseClient(*client);
        client->advise(&recorder);
        pid = serverPid(ask(*client, recorder, servers::kCommandReport));
        CHECK(pid != 0 && pid != GetCurrentProcessId());
    }
    // Our last reference gone (sink unadvised, object released), the server leaves.
    CHECK(pid == 0 || waitForProcessExit(pid));

    keys.setDword(servers::clsidKey(fake::kClientClsid), servers::kAdviseResultValue,
                  static_cast<DWORD>(CONNECT_E_ADVISELIMIT));
    {
        auto client = AutomationClient::create();
        refusedAdvise(*client);
    }
    // The refused Advise left no reference behind either.
    CHECK(fakeServerGone());
}

TEST_GROUP(crashed_out_of_process_server)
{
    TypeLibRegistration typeLib;
    REQUIRE(typeLib.ok());
    servers::Registration keys;
    REQUIRE(keys.localServer(fake::kClientClsid, serverPath()));
    tavrin::com::ComApartment apartment;
    REQUIRE(fakeServerGone());
    Recorder recorder;
    auto client = AutomationClient::create();
    REQUIRE(client != nullptr);
    client->advise(&recorder);
    client->SendChatText(utf8(servers::kCommandCrash));
    REQUIRE(fakeServerGone());
    // A client that is gone fails the next call cleanly, and letting go of it neither hangs
    // nor throws.
    HRESULT hr = S_OK;
    try {
        client->StationCount();
    } catch (const ComError &error) {
        hr = error.hresult();
    }
    CHECK(FAILED(hr));
    std::printf("    a call to the crashed server failed with 0x%08lX\n", static_cast<unsigned long>(hr));
    const ULONGLONG before = GetTickCount64();
    client.reset();
    CHECK(GetTickCount64() - before < 5000);
}

TEST_GROUP(busy_out_of_process_server)
{
    TypeLibRegistration typeLib;
    REQUIRE(typeLib.ok());
    servers::Registration keys;
    REQUIRE(keys.localServer(fake::kClientClsid, serverPath()));
    tavrin::com::ComApartment apartment;
    REQUIRE(fakeServerGone());
    tavrin::com::BusyClientFilter filter;
    Recorder recorder;
    auto client = AutomationClient::create();
    REQUIRE(client != nullptr);
    client->advise(&recorder);

    // A server that hangs in a call: the call waits for it, the answer is intact.
    client->SendChatText(utf8(servers::kCommandSlow) + "800");
    const ULONGLONG before = GetTickCount64();
    CHECK_EQ(client->StationCount(), servers::kStationCount);
    CHECK(GetTickCount64() - before >= 700);

    // A server that turns calls away: the filter retries them until they are taken.
    client->SendChatText(utf8(servers::kCommandBusy) + "2");
    CHECK_EQ(client->StationCount(), servers::kStationCount);
    CHECK_EQ(client->StationCallsign(), std::string(servers::kLocalCallsignUtf8));
    CHECK(contains(ask(*client, recorder, servers::kCommandReport), "rejected=2"));
    client.reset();
    CHECK(fakeServerGone());
    if (servers::runningUnderWine())
        std::printf("    note: wine handles a call turned away as retry-later at once, so the filter's retry is "
                    "only exercised on Windows\n");
}

#ifdef TAVRIN_DIAG_EXE
TEST_GROUP(diagnostic_program)
{
    const std::wstring diag = servers::windowsPath(servers::widen(TAVRIN_DIAG_EXE));
    {
        const ProgramRun help = runProgram(diag, L"--help", 20000);
        REQUIRE(help.finished);
        CHECK_EQ(help.exitCode, 0ul);
        CHECK(contains(help.output, "Usage:"));
        const ProgramRun bad = runProgram(diag, L"--listen soon", 20000);
        CHECK_EQ(bad.exitCode, 2ul);
    }
    {
        servers::Registration keys;
        keys.own(servers::clsidKey(fake::kClientClsid));
        const ProgramRun missing = runProgram(diag, L"--listen 0", 20000);
        CHECK_EQ(missing.exitCode, 1ul);
        CHECK(contains(missing.output, "0x80040154"));
    }

    TypeLibRegistration typeLib;
    REQUIRE(typeLib.ok());
    servers::Registration keys;
    REQUIRE(keys.localServer(fake::kClientClsid, serverPath()));
    REQUIRE(fakeServerGone());
    // The callsign upper-cased makes the fake raise every event; Closing ends the listening.
    const ProgramRun run = runProgram(diag, L"--listen 20 raise-events", 40000);
    REQUIRE(run.finished);
    CHECK_EQ(run.exitCode, 0ul);
    const std::string &out = run.output;
    for (std::size_t i = 0; i < fake::kOpCount; ++i)
        if (!CHECK(contains(out, utf8(fake::opName(static_cast<fake::Op>(i))))))
            std::printf("    operation %ls missing\n", fake::opName(static_cast<fake::Op>(i)));
    const fake::DispIds ids = fake::DispIds::sparse();
    for (std::size_t i = 0; i < fake::kEvCount; ++i) {
        const auto ev = static_cast<fake::Ev>(i);
        // Listed with the id the type information gives it.
        const std::string row = utf8(fake::eventName(ev));
        const auto at = out.find("  " + row + " ");
        CHECK(at != std::string::npos
              && out.find(std::to_string(ids.event(ev)), at) < out.find('\n', at));
    }
    CHECK(contains(out, std::string("\"") + servers::kLocalCallsignUtf8 + "\""));
    CHECK(contains(out, "StationCount: " + std::to_string(servers::kStationCount)));
    CHECK(contains(out, std::string("IsConnected(\"") + servers::kRaiseEventsCallsignUtf8 + "\"): true"));
    CHECK(contains(out, std::string("ChatTextReceived text=\"") + servers::kChatTextUtf8 + "\""));
    CHECK(contains(out, "RX receiving=true"));
    CHECK(contains(out, std::string("connected callsign=\"") + servers::kConnectedCallsignUtf8 + "\""));
    CHECK(contains(out, "Closing"));
    CHECK(contains(out, "6 event(s) received"));
    CHECK(fakeServerGone());
    if (wintest::state().failures)
        std::printf("---- diagnostic output ----\n%s---- end ----\n", out.c_str());
}
#endif

WINTEST_MAIN()
