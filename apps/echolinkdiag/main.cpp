// tavrin-echolink-diag: checks an EchoLink client installation from the operator's side.
// Creates the client's automation object the way Tavrin does, asks it the harmless questions
// (callsign, station count, link state), lists the operations and events with the dispatch ids
// it found, then prints every event it receives for a while. Plain text, to paste into a report.
// It never links, keys or chats: only queries are called.

#include "echolink/com/ComAutomation.h"

#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using tavrin::com::AutomationClient;
using tavrin::com::ClientEvents;
using tavrin::com::ClientOptions;
using tavrin::com::ComError;
using tavrin::com::MemberInfo;

constexpr char kProgram[] = "tavrin-echolink-diag";
constexpr int kDefaultListenSeconds = 30;
constexpr int kMaxListenSeconds = 24 * 3600;

// CONNECT_E_CANNOTCONNECT: what Advise gives across processes when the event interface
// cannot be marshalled, i.e. its type library is not registered.
constexpr std::uint32_t kCannotConnect = 0x80040202;

enum ExitCode { ExitOk = 0, ExitNoClient = 1, ExitUsage = 2, ExitCallFailed = 3 };

// Every operation Tavrin uses, in the interface's order; the station object's one last.
const char *const kOperations[] = {"Connect",      "Disconnect", "DisconnectAll", "SetTransmit",
                                   "IsTransmitting", "StationCount", "IsConnected", "LocalStation",
                                   "SetBusy",      "SendChatText", "StationCallsign"};
const char *const kEvents[] = {tavrin::com::kEventChatTextReceived, tavrin::com::kEventStationTextReceived,
                               tavrin::com::kEventRx, tavrin::com::kEventConnected,
                               tavrin::com::kEventClosing};

constexpr char kUsage[] =
    "Usage: tavrin-echolink-diag [options] [CALLSIGN]\n"
    "\n"
    "Creates the EchoLink client's automation object, prints the local callsign, the\n"
    "station count, whether CALLSIGN (upper-cased) is linked, the operations and events\n"
    "with their dispatch ids, then prints every event received while listening.\n"
    "Only queries are called: nothing is linked, keyed or sent.\n"
    "\n"
    "Options:\n"
    "  --listen SECONDS     how long to listen for events (default 30, 0 = not at all)\n"
    "  --event-id NAME=ID   use dispatch id ID for event NAME instead of the type\n"
    "                       information (may be repeated; ID decimal or 0x hex)\n"
    "  --help               this text\n"
    "\n"
    "Exit status: 0 all went well, 1 the client object could not be created,\n"
    "2 bad arguments, 3 a call or the event connection failed.\n";

struct Options {
    std::string callsign;
    int listenSeconds = kDefaultListenSeconds;
    std::map<std::string, std::int32_t> eventIds;
    bool help = false;
};

bool parseInteger(const std::string &text, long long min, long long max, long long &value)
{
    if (text.empty())
        return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char *end = nullptr;
    errno = 0;
    const long long parsed = hex ? static_cast<long long>(std::strtoull(text.c_str() + 2, &end, 16))
                                 : std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || end == nullptr || *end != '\0' || parsed < min || parsed > max)
        return false;
    value = parsed;
    return true;
}

// Returns an error text, empty when the arguments are fine.
std::string parseArguments(const std::vector<std::string> &args, Options &options)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            options.help = true;
        } else if (arg == "--listen") {
            long long seconds = 0;
            if (i + 1 >= args.size() || !parseInteger(args[i + 1], 0, kMaxListenSeconds, seconds))
                return "--listen needs a number of seconds (0 to " + std::to_string(kMaxListenSeconds) + ")";
            options.listenSeconds = static_cast<int>(seconds);
            ++i;
        } else if (arg == "--event-id") {
            const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
            const auto equals = value.find('=');
            long long id = 0;
            if (equals == std::string::npos || equals == 0
                || !parseInteger(value.substr(equals + 1), INT32_MIN, UINT32_MAX, id))
                return "--event-id needs NAME=ID, for example --event-id RX=3";
            options.eventIds[value.substr(0, equals)] = static_cast<std::int32_t>(static_cast<std::uint32_t>(id));
            ++i;
        } else if (!arg.empty() && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (options.callsign.empty()) {
            options.callsign = arg;
        } else {
            return "only one callsign may be given";
        }
    }
    return {};
}

std::string upperAscii(std::string text)
{
    for (char &c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// Quoted, with control characters and quotes escaped so every line stays one line.
std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7f) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\x%02X", c);
            out += buffer;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string hex32(std::int32_t value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(value));
    return buffer;
}

std::string describe(const ComError &error)
{
    std::string text = "failed, HRESULT " + hex32(error.hresult());
    if (!error.description().empty())
        text += ": " + error.description();
    else if (error.what() && *error.what())
        text += " (" + std::string(error.what()) + ")";
    return text;
}

class Printer : public ClientEvents {
public:
    // Times printed are seconds since start().
    void start() { start_ = GetTickCount64(); }
    int count() const { return count_; }
    bool closing() const { return closing_; }

    void ChatTextReceived(const std::string &text) override { print("ChatTextReceived", "text=" + quoted(text)); }
    void StationTextReceived(const std::string &text) override
    {
        print("StationTextReceived", "text=" + quoted(text));
    }
    void RX(bool receiving) override { print("RX", receiving ? "receiving=true" : "receiving=false"); }
    void Connected(const std::string &callsign, const std::string &name, const std::string &address) override
    {
        print("connected", "callsign=" + quoted(callsign) + " name=" + quoted(name) + " address=" + quoted(address));
    }
    void Closing() override
    {
        closing_ = true;
        print("Closing", "(the client is closing)");
    }
    void UnknownEvent(std::int32_t dispatchId) override
    {
        print("unmapped event", "dispatch id " + std::to_string(dispatchId) + " " + hex32(dispatchId)
                                    + " (not named: its number matches no known event)");
    }

private:
    void print(const char *name, const std::string &arguments)
    {
        ++count_;
        const double seconds = static_cast<double>(GetTickCount64() - start_) / 1000.0;
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "  +%8.3f s  ", seconds);
        std::cout << stamp << name << ' ' << arguments << std::endl;
    }

    ULONGLONG start_ = 0;
    int count_ = 0;
    bool closing_ = false;
};

DWORD g_mainThread = 0;

BOOL WINAPI onConsoleControl(DWORD type)
{
    if (type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT) {
        PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
        return TRUE;
    }
    return FALSE;
}

// Pumps messages (the events arrive as calls through them) until the time is up, the client
// closes, or Ctrl+C.
void listen(int seconds, const Printer &printer)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                std::cout << "Listening stopped by the operator." << std::endl;
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (printer.closing())
            return;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

// In the interface's order, then anything else the core reported.
void printTable(const char *title, const std::vector<MemberInfo> &members, bool events, const char *const *expected,
                std::size_t expectedCount)
{
    auto row = [](const std::string &name, const std::string &decimal, const std::string &rest) {
        char line[200];
        std::snprintf(line, sizeof line, "  %-22s %11s  %s", name.c_str(), decimal.c_str(), rest.c_str());
        std::cout << line << std::endl;
    };
    std::cout << title << std::endl;
    std::vector<bool> listed(members.size(), false);
    for (std::size_t i = 0; i < expectedCount; ++i) {
        bool found = false;
        for (std::size_t m = 0; m < members.size(); ++m) {
            if (members[m].isEvent != events || _stricmp(expected[i], members[m].name.c_str()) != 0)
                continue;
            row(members[m].name, std::to_string(members[m].dispatchId), hex32(members[m].dispatchId));
            listed[m] = found = true;
        }
        if (!found)
            row(expected[i], "-", events ? "(not mapped: no type information names it)" : "(id not resolved: not called)");
    }
    for (std::size_t m = 0; m < members.size(); ++m)
        if (members[m].isEvent == events && !listed[m])
            row(members[m].name, std::to_string(members[m].dispatchId), hex32(members[m].dispatchId));
}

std::vector<std::string> utf8Arguments()
{
    // The wide command line, so callsigns and names survive whatever the console code page is.
    std::vector<std::string> args;
    int count = 0;
    LPWSTR *wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide)
        return args;
    for (int i = 1; i < count; ++i) {
        const std::wstring arg(wide[i]);
        args.push_back(tavrin::com::utf16ToUtf8(std::u16string(arg.begin(), arg.end())));
    }
    LocalFree(wide);
    return args;
}

int run(const Options &options)
{
    int status = ExitOk;
    std::cout << kProgram << ": EchoLink client automation check" << std::endl;
    std::cout << "Class id: " << tavrin::com::kClientClassId << std::endl;

    tavrin::com::ComApartment apartment;
    // The same patience with a busy client as Tavrin itself.
    tavrin::com::BusyClientFilter filter;

    ClientOptions clientOptions;
    clientOptions.eventIdOverrides = options.eventIds;
    std::unique_ptr<AutomationClient> client;
    try {
        client = AutomationClient::create(clientOptions);
    } catch (const ComError &error) {
        std::cout << "Client object: not created, " << describe(error) << std::endl;
        std::cout << "Is the EchoLink client installed? Tavrin works without it but cannot drive it." << std::endl;
        return ExitNoClient;
    }
    std::cout << "Client object: created" << std::endl;

    Printer printer;
    printer.start(); // events may come during the queries too: times count from here
    bool advised = false;
    try {
        client->advise(&printer);
        advised = true;
        std::cout << "Event connection: advised" << std::endl;
    } catch (const ComError &error) {
        std::cout << "Event connection: " << describe(error) << std::endl;
        if (static_cast<std::uint32_t>(error.hresult()) == kCannotConnect)
            std::cout << "  (the client's event interface could not be passed to it: is its type library "
                         "registered, Interface\\" << tavrin::com::kEventInterfaceId << "\\TypeLib?)" << std::endl;
        status = ExitCallFailed;
    }

    auto query = [&](const std::string &label, auto call) {
        try {
            std::cout << label << ": " << call() << std::endl;
        } catch (const ComError &error) {
            std::cout << label << ": " << describe(error) << std::endl;
            status = ExitCallFailed;
        }
    };
    query("Local callsign (LocalStation.StationCallsign)", [&] { return quoted(client->StationCallsign()); });
    query("StationCount", [&] { return std::to_string(client->StationCount()); });
    query("IsTransmitting", [&] { return std::string(client->IsTransmitting() ? "true" : "false"); });
    if (options.callsign.empty()) {
        std::cout << "IsConnected: not asked (no callsign given)" << std::endl;
    } else {
        const std::string callsign = upperAscii(options.callsign);
        query("IsConnected(" + quoted(callsign) + ")",
              [&] { return std::string(client->IsConnected(callsign) ? "true" : "false"); });
    }

    const std::vector<MemberInfo> members = client->members();
    printTable("Operations (name, dispatch id decimal, hex):", members, false, kOperations, std::size(kOperations));
    printTable("Events (name, dispatch id decimal, hex):", members, true, kEvents, std::size(kEvents));

    if (!advised) {
        std::cout << "Not listening: the event connection failed." << std::endl;
    } else if (options.listenSeconds > 0) {
        std::cout << "Listening for events for " << options.listenSeconds << " s (Ctrl+C stops) ..." << std::endl;
        g_mainThread = GetCurrentThreadId();
        SetConsoleCtrlHandler(onConsoleControl, TRUE);
        listen(options.listenSeconds, printer);
        SetConsoleCtrlHandler(onConsoleControl, FALSE);
        std::cout << "Listening ended: " << printer.count() << " event(s) received." << std::endl;
    }
    if (advised && !printer.closing())
        client->unadvise();
    client.reset();
    return status;
}

} // namespace

int main()
{
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) == FILE_TYPE_CHAR)
        SetConsoleOutputCP(CP_UTF8);

    Options options;
    const std::string error = parseArguments(utf8Arguments(), options);
    if (!error.empty()) {
        std::cerr << kProgram << ": " << error << "\n\n" << kUsage;
        return ExitUsage;
    }
    if (options.help) {
        std::cout << kUsage;
        return ExitOk;
    }
    try {
        return run(options);
    } catch (const std::exception &e) {
        std::cout << kProgram << ": unexpected failure: " << e.what() << std::endl;
        return ExitCallFailed;
    }
}
