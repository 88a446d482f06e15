// Runs a program with the fake EchoLink client (tests/windows/servers) registered under the
// client's real class id as an out-of-process server, the way the real client is reached,
// with the type library its events are marshalled by; removes the registration afterwards.
//   with_fake_client FAKE_SERVER_EXE PROGRAM [ARGUMENT...]
// Exit code: the program's; 3 when the fake could not be registered or the program not run,
// 4 when the program overran kProgramLimitMs and was ended.

#include "FakeClient.h"
#include "ServerRegistry.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

namespace fake = tavrin::fake;
namespace servers = tavrin::servers;

constexpr DWORD kProgramLimitMs = 5 * 60 * 1000;

// One argument as CommandLineToArgvW reads it back.
std::wstring quoted(const std::wstring &argument)
{
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

int run(int argc, wchar_t **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: with_fake_client FAKE_SERVER_EXE PROGRAM [ARGUMENT...]\n");
        return 3;
    }
    // The type library first: the server describes itself with it, and the program's event
    // sink is marshalled across by it.
    const std::wstring typeLibPath = fake::tempTypeLibPath();
    ITypeLib *lib = nullptr;
    if (FAILED(fake::makeTypeLib(fake::DispIds::sparse(), typeLibPath, &lib))) {
        std::fprintf(stderr, "with_fake_client: cannot write the type library %ls\n", typeLibPath.c_str());
        return 3;
    }
    lib->Release();
    int code = 3;
    {
        servers::Registration keys;
        if (!keys.typeLib(fake::kFakeTypeLibId, L"Tavrin test type library", typeLibPath)
            || !keys.dispatchInterface(fake::kEventIid, L"Tavrin test events", fake::kFakeTypeLibId)
            || !keys.localServer(fake::kClientClsid, servers::windowsPath(argv[1]))) {
            std::fprintf(stderr, "with_fake_client: cannot register the fake client under %ls\n",
                         servers::classesRootName());
        } else {
            std::wstring commandLine;
            for (int i = 2; i < argc; ++i)
                commandLine += (i > 2 ? L" " : L"") + quoted(argv[i]);
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            // A window program gets no console of ours: hand it our output explicitly.
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
            startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
            startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
            PROCESS_INFORMATION info{};
            if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                                &info)) {
                std::fprintf(stderr, "with_fake_client: cannot start %ls (error %lu)\n", argv[2], GetLastError());
            } else {
                DWORD exitCode = 4;
                if (WaitForSingleObject(info.hProcess, kProgramLimitMs) == WAIT_OBJECT_0) {
                    GetExitCodeProcess(info.hProcess, &exitCode);
                } else {
                    std::fprintf(stderr, "with_fake_client: %ls still running after %lu s: ended\n", argv[2],
                                 kProgramLimitMs / 1000);
                    TerminateProcess(info.hProcess, 4);
                    WaitForSingleObject(info.hProcess, 5000);
                }
                CloseHandle(info.hProcess);
                CloseHandle(info.hThread);
                code = static_cast<int>(exitCode);
            }
        }
    }
    DeleteFileW(typeLibPath.c_str());
    return code;
}

} // namespace

int main()
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv)
        return 3;
    const int code = run(argc, argv);
    LocalFree(argv);
    return code;
}
