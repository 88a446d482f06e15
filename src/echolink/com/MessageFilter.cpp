// The apartment and the busy-client policy: a call the client rejects because it is busy is
// retried until the time-out instead of failing at once.
#include "echolink/com/ComInternal.h"

namespace tavrin::com {

namespace {

// How long COM waits before offering a rejected call again.
constexpr DWORD kRetryDelayMs = 100;
// RetryRejectedCall's "give up" answer.
constexpr DWORD kCancelCall = static_cast<DWORD>(-1);

class Filter final : public IMessageFilter {
public:
    Filter(DWORD serverBusyTimeoutMs, DWORD requestPendingTimeoutMs)
        : serverBusyTimeoutMs_(serverBusyTimeoutMs), requestPendingTimeoutMs_(requestPendingTimeoutMs)
    {
    }

    STDMETHODIMP QueryInterface(REFIID riid, void **out) override
    {
        if (!out)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IMessageFilter) {
            *out = static_cast<IMessageFilter *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // Calls into this thread (events) are always taken.
    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD, HTASK, DWORD, LPINTERFACEINFO) override
    {
        return SERVERCALL_ISHANDLED;
    }

    // The client said it is busy: try again shortly while under the time-out, then give up
    // (the call then fails with RPC_E_CALL_REJECTED, as any other failure).
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD elapsedMs, DWORD rejectType) override
    {
        if ((rejectType == SERVERCALL_RETRYLATER || rejectType == SERVERCALL_REJECTED) &&
            elapsedMs < serverBusyTimeoutMs_)
            return kRetryDelayMs;
        return kCancelCall;
    }

    // A message arrived while our call waits: let the default processing handle it, with
    // no "server busy" dialog, however long the client takes (request-pending time-out
    // with its error off).
    STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD, DWORD) override { return PENDINGMSG_WAITDEFPROCESS; }

private:
    ~Filter() = default;
    DWORD serverBusyTimeoutMs_;
    [[maybe_unused]] DWORD requestPendingTimeoutMs_;
    LONG refs_ = 1;
};

} // namespace

ComApartment::ComApartment()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr))
        detail::fail("CoInitializeEx", hr);
}

ComApartment::~ComApartment() { CoUninitialize(); }

struct BusyClientFilter::Impl {
    IMessageFilter *filter = nullptr;
    IMessageFilter *previous = nullptr;
};

BusyClientFilter::BusyClientFilter(std::uint32_t serverBusyTimeoutMs, std::uint32_t requestPendingTimeoutMs)
    : d(std::make_unique<Impl>())
{
    d->filter = new Filter(serverBusyTimeoutMs, requestPendingTimeoutMs);
    const HRESULT hr = CoRegisterMessageFilter(d->filter, &d->previous);
    if (FAILED(hr)) {
        d->filter->Release();
        d->filter = nullptr;
        detail::fail("CoRegisterMessageFilter", hr);
    }
}

BusyClientFilter::~BusyClientFilter()
{
    IMessageFilter *ours = nullptr;
    CoRegisterMessageFilter(d->previous, &ours);
    if (ours)
        ours->Release();
    if (d->previous)
        d->previous->Release();
    d->filter->Release();
}

} // namespace tavrin::com
