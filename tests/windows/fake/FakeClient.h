#pragma once
// A hand-written stand-in for the EchoLink client's automation object, for tests.
//
// FakeClient is an IDispatch for the application interface, an IConnectionPointContainer
// with one connection point for the event interface, and (if configured) an
// IProvideClassInfo. Every dispatch id is configurable, calls are logged, failures can be
// injected, and events are raised on demand to every advised sink. makeTypeLib() writes a
// type library describing the same ids (ICreateTypeLib2), for the code that maps event
// numbers to names.
//
// Single-threaded: use it from the apartment that made it (or through COM marshalling).

#include <windows.h>
#include <ocidl.h>
#include <oaidl.h>
#include <olectl.h>

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::fake {

// Operations of the application object, plus StationCallsign of the station object.
enum class Op {
    Connect,
    Disconnect,
    DisconnectAll,
    SetTransmit,
    IsTransmitting,
    StationCount,
    IsConnected,
    LocalStation,
    SetBusy,
    SendChatText,
    StationCallsign,
};
inline constexpr std::size_t kOpCount = 11;

enum class Ev { ChatTextReceived, StationTextReceived, RX, Connected, Closing };
inline constexpr std::size_t kEvCount = 5;

// The names as the client spells them ("connected" is lower-case there).
const wchar_t *opName(Op op);
const wchar_t *eventName(Ev ev);

// The fake's type library (made at test time; not the client's).
extern const GUID kFakeTypeLibId; // {3C0F7A21-6B52-4E0D-9A47-2B8E5F1D7C64}, version 1.0
extern const CLSID kClientClsid;  // the client's class id
extern const IID kApplicationIid;
extern const IID kEventIid;
extern const IID kStationIid;

struct DispIds {
    std::array<DISPID, kOpCount> ops{};
    std::array<DISPID, kEvCount> events{};
    DISPID op(Op o) const { return ops[static_cast<std::size_t>(o)]; }
    DISPID event(Ev e) const { return events[static_cast<std::size_t>(e)]; }

    // Operations 1..11 and events 1..5 (events deliberately reuse the operations' numbers).
    static DispIds sequential();
    // Sparse, large and out of order: 0x60020000 + k style for operations, unrelated
    // numbers for events.
    static DispIds sparse();
};

// One argument as the fake received it (call log) or should send it (events).
struct Arg {
    VARTYPE type = VT_EMPTY;   // as received, VT_BYREF included
    std::wstring text;          // VT_BSTR, full stored length (embedded NULs kept)
    bool nullBstr = false;      // VT_BSTR that was a null pointer
    long long value = 0;        // VT_BOOL raw value (-1/0) or integer types

    static Arg bstr(std::wstring s) { Arg a; a.type = VT_BSTR; a.text = std::move(s); return a; }
    static Arg nullText() { Arg a; a.type = VT_BSTR; a.nullBstr = true; return a; }
    static Arg boolean(short raw) { Arg a; a.type = VT_BOOL; a.value = raw; return a; }
    static Arg i4(long v) { Arg a; a.type = VT_I4; a.value = v; return a; }
};

struct Call {
    Op op;
    WORD flags;             // DISPATCH_METHOD / DISPATCH_PROPERTYGET as received
    std::vector<Arg> args;  // in declaration order (first argument first)
};

struct Failure {
    HRESULT hr = E_FAIL;
    std::wstring description;  // put in EXCEPINFO (as bstrDescription, scode = hr)
    bool viaExcepInfo = true;  // true: Invoke returns DISP_E_EXCEPTION with EXCEPINFO filled;
                               // false: Invoke returns hr itself
};

struct FakeConfig {
    DispIds ids = DispIds::sequential();
    // GetTypeInfo(0) hands out the application interface's type info from `typeLib`
    // (so GetContainingTypeLib finds the event interface). Needs typeLib.
    bool typeInfoFromObject = false;
    // QueryInterface answers IProvideClassInfo; GetClassInfo gives the coclass. Needs typeLib.
    bool provideClassInfo = false;
    ITypeLib *typeLib = nullptr; // AddRef'd by the fake when given
    // Advise refuses with this result (S_OK: accept).
    HRESULT adviseResult = S_OK;
    // The zero-argument queries (IsTransmitting, StationCount, LocalStation,
    // StationCallsign) answer only DISPATCH_PROPERTYGET, refusing a plain method call
    // with DISP_E_MEMBERNOTFOUND.
    bool queriesAsPropertiesOnly = false;
};

class FakeStation;

class FakeClient final : public IDispatch, public IConnectionPointContainer, public IProvideClassInfo {
public:
    // Starts with one reference, owned by the caller (Release() it when done).
    explicit FakeClient(FakeConfig config = {});

    // What the queries answer.
    short transmittingRaw = 0;      // VARIANT_BOOL as returned; any non-zero means true
    VARIANT stationCount{};         // returned as is (VT_I4 by default; try VT_I2, VT_UI1, VT_BSTR)
    short connectedRaw = 0;         // IsConnected's answer
    std::wstring callsign = L"N0CALL-L";
    bool callsignNull = false;      // StationCallsign returns a null BSTR

    // Failures, per operation, until cleared.
    std::map<Op, Failure> failures;
    // Called inside Invoke after the call is logged, before it returns: lets a test raise
    // an event while a call is still in progress.
    std::function<void(Op)> onCall;

    const std::vector<Call> &calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    // GetIDsOfNames requests per name (as asked, case kept).
    const std::map<std::wstring, int> &nameLookups() const { return nameLookups_; }

    // Events to every advised sink; returns the last sink's Invoke result (S_OK with no sinks).
    // byRef passes VT_BYREF arguments, as some servers do.
    HRESULT raise(DISPID id, const std::vector<Arg> &args, bool byRef = false);
    HRESULT raiseChatText(const std::wstring &text, bool byRef = false);
    HRESULT raiseStationText(const std::wstring &text, bool byRef = false);
    HRESULT raiseRx(short raw, bool byRef = false);
    HRESULT raiseConnected(const std::wstring &callsign, const std::wstring &name, const std::wstring &address,
                           bool byRef = false);
    HRESULT raiseClosing();

    ULONG refCount() const { return refs_; }
    std::size_t sinkCount() const { return sinks_.size(); }
    int adviseCalls() const { return adviseCalls_; }
    int unadviseCalls() const { return unadviseCalls_; }
    const FakeConfig &config() const { return config_; }
    // Station objects handed out and not yet released by everyone.
    static long liveStations();

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void **out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    // IDispatch
    STDMETHODIMP GetTypeInfoCount(UINT *count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo **info) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR *names, UINT count, LCID lcid, DISPID *ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS *params, VARIANT *result,
                        EXCEPINFO *excep, UINT *argErr) override;
    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints **out) override;
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint **out) override;
    // IProvideClassInfo
    STDMETHODIMP GetClassInfo(ITypeInfo **info) override;

private:
    ~FakeClient();
    class Point;
    friend class Point;
    friend class FakeStation;

    HRESULT answer(Op op, WORD flags, DISPPARAMS *params, VARIANT *result, EXCEPINFO *excep);

    FakeConfig config_;
    ULONG refs_ = 1;
    std::vector<Call> calls_;
    std::map<std::wstring, int> nameLookups_;
    std::map<DWORD, IDispatch *> sinks_;
    DWORD nextCookie_ = 1;
    int adviseCalls_ = 0;
    int unadviseCalls_ = 0;
    Point *point_;
};

// Writes a type library for `ids` to `path` (CreateTypeLib2 + SaveAllChanges) and loads it:
// the application interface (kApplicationIid), the station interface, the event
// dispinterface (kEventIid) and the coclass (kClientClsid, events as its default source).
// Returns the HRESULT of the first step that failed.
HRESULT makeTypeLib(const DispIds &ids, const std::wstring &path, ITypeLib **out);
// A fresh file name in the temporary folder, for makeTypeLib.
std::wstring tempTypeLibPath();

} // namespace tavrin::fake
