#pragma once
// A tiny test harness for the programs that run under wine (no Qt, no test framework).
//
//   #include "WinTest.h"
//   TEST_GROUP(operations) {            // a group: a function, run in file order
//       CHECK(x > 0);
//       CHECK_EQ(a, b);                 // prints both values when they differ
//       CHECK_THROWS(f(), SomeError);
//       REQUIRE(p != nullptr);          // on failure ends this group (later groups still run)
//   }
//   WINTEST_MAIN()                      // exactly once per program
//
// A failure prints "file:line: FAIL ..."; main returns 1 if any check failed, 0 otherwise.
// Arguments name groups to run (substring match); none runs all. An exception escaping a
// group counts as a failure of that group.

#include <cstdint>
#include <cstdio>
#include <exception>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace wintest {

struct Group {
    const char *name;
    void (*run)();
};

inline std::vector<Group> &groups()
{
    static std::vector<Group> all;
    return all;
}

struct State {
    long checks = 0;
    long failures = 0;
    long groupFailures = 0;
};

inline State &state()
{
    static State s;
    return s;
}

struct Registrar {
    Registrar(const char *name, void (*run)()) { groups().push_back({name, run}); }
};

// Thrown by REQUIRE to leave the current group.
struct Abort {};

template <typename T, typename = void>
struct Streamable : std::false_type {};
template <typename T>
struct Streamable<T, std::void_t<decltype(std::declval<std::ostream &>() << std::declval<const T &>())>>
    : std::true_type {};

// Readable text for a value in a failure message.
template <typename T>
std::string describe(const T &value)
{
    std::ostringstream out;
    if constexpr (std::is_same_v<T, bool>) {
        out << (value ? "true" : "false");
    } else if constexpr (std::is_same_v<T, std::string>) {
        out << '"';
        for (unsigned char c : value) {
            if (c < 0x20 || c >= 0x7f)
                out << "\\x" << std::hex << int(c) << std::dec;
            else
                out << char(c);
        }
        out << '"';
    } else if constexpr (std::is_same_v<T, std::u16string> || std::is_same_v<T, std::wstring>) {
        out << "u\"";
        for (auto c : value) {
            auto u = static_cast<std::uint32_t>(c);
            if (u < 0x20 || u >= 0x7f)
                out << "\\u" << std::hex << u << std::dec;
            else
                out << char(u);
        }
        out << '"';
    } else if constexpr (std::is_enum_v<T>) {
        out << static_cast<long long>(value);
    } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T> && sizeof(T) >= 4) {
        out << value << " (0x" << std::hex << static_cast<std::uint32_t>(value) << ")";
    } else if constexpr (std::is_integral_v<T>) {
        out << +value;
    } else if constexpr (Streamable<T>::value) {
        out << value;
    } else {
        out << "<value>";
    }
    return out.str();
}

inline void fail(const char *file, int line, const std::string &message)
{
    ++state().failures;
    std::printf("%s:%d: FAIL %s\n", file, line, message.c_str());
    std::fflush(stdout);
}

inline bool check(bool ok, const char *file, int line, const char *expr)
{
    ++state().checks;
    if (!ok)
        fail(file, line, expr);
    return ok;
}

template <typename A, typename B>
bool checkEq(const A &a, const B &b, const char *file, int line, const char *ea, const char *eb)
{
    ++state().checks;
    if (a == b)
        return true;
    fail(file, line, std::string(ea) + " == " + eb + "\n    left:  " + describe(a) + "\n    right: " + describe(b));
    return false;
}

inline int runAll(int argc, char **argv)
{
    int run = 0;
    for (const Group &g : groups()) {
        bool wanted = argc <= 1;
        for (int i = 1; i < argc && !wanted; ++i)
            wanted = std::string(g.name).find(argv[i]) != std::string::npos;
        if (!wanted)
            continue;
        ++run;
        const long before = state().failures;
        std::printf("[ group ] %s\n", g.name);
        std::fflush(stdout);
        try {
            g.run();
        } catch (const Abort &) {
            // REQUIRE already reported.
        } catch (const std::exception &e) {
            fail(g.name, 0, std::string("unexpected exception: ") + e.what());
        } catch (...) {
            fail(g.name, 0, "unexpected exception");
        }
        const bool ok = state().failures == before;
        if (!ok)
            ++state().groupFailures;
        std::printf("[ %s ] %s\n", ok ? " ok  " : "FAIL ", g.name);
        std::fflush(stdout);
    }
    std::printf("%d groups, %ld checks, %ld failed checks in %ld groups\n", run, state().checks,
                state().failures, state().groupFailures);
    std::fflush(stdout);
    return state().failures == 0 && run > 0 ? 0 : 1;
}

} // namespace wintest

#define WINTEST_CAT2(a, b) a##b
#define WINTEST_CAT(a, b) WINTEST_CAT2(a, b)

#define TEST_GROUP(name)                                                                           \
    static void name();                                                                            \
    static const ::wintest::Registrar WINTEST_CAT(wintestRegistrar_, name)(#name, &name);        \
    static void name()

#define CHECK(cond) ::wintest::check(static_cast<bool>(cond), __FILE__, __LINE__, #cond)
#define CHECK_EQ(a, b) ::wintest::checkEq((a), (b), __FILE__, __LINE__, #a, #b)
#define REQUIRE(cond)                                                                              \
    do {                                                                                           \
        if (!::wintest::check(static_cast<bool>(cond), __FILE__, __LINE__, #cond))                 \
            throw ::wintest::Abort{};                                                              \
    } while (0)
#define CHECK_THROWS(expr, type)                                                                   \
    do {                                                                                           \
        bool wintestThrew = false;                                                                 \
        try {                                                                                      \
            (void)(expr);                                                                          \
        } catch (const type &) {                                                                   \
            wintestThrew = true;                                                                   \
        } catch (...) {                                                                            \
        }                                                                                          \
        ::wintest::check(wintestThrew, __FILE__, __LINE__, #expr " throws " #type);                \
    } while (0)

#define WINTEST_MAIN()                                                                             \
    int main(int argc, char **argv) { return ::wintest::runAll(argc, argv); }
