// The core's events against the fake object injected directly: name mapping through each
// kind of type information, unmapped numbers, advise lifetimes, and the busy-client filter.
#include "CoreTestSupport.h"

using namespace coretest;
using tavrin::com::ClientOptions;
using tavrin::com::ComApartment;
using tavrin::com::ComError;
using tavrin::fake::Arg;
using tavrin::fake::DispIds;
using tavrin::fake::Ev;
using tavrin::fake::Op;

namespace {

const std::wstring kSmileyWide = L"\xD83D\xDE00";
const char kSmiley[] = "\xF0\x9F\x98\x80";

// Raises every event once and checks what arrived, in order.
void checkEveryEvent(FakeClient *fake, const Recorder &recorder, bool byRef)
{
    const std::size_t start = recorder.log.size();
    CHECK_EQ(fake->raiseChatText(L"chat " + kSmileyWide, byRef), S_OK);
    fake->raiseStationText(std::wstring(L"st\0ation", 8), byRef);
    fake->raiseRx(VARIANT_TRUE, byRef);
    fake->raiseRx(VARIANT_FALSE, byRef);
    fake->raiseRx(1, byRef); // any non-zero is true
    fake->raiseConnected(L"W1AW-L", L"Hiram", L"1.2.3.4", byRef);
    fake->raise(fake->config().ids.event(Ev::ChatTextReceived), {Arg::nullText()}, byRef);
    fake->raiseClosing();
    const std::vector<std::string> expected = {
        "chat:chat " + std::string(kSmiley),
        "station:" + std::string("st\0ation", 8),
        "rx:on",
        "rx:off",
        "rx:on",
        "connected:W1AW-L|Hiram|1.2.3.4",
        "chat:",
        "closing",
    };
    REQUIRE(recorder.log.size() == start + expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        CHECK_EQ(recorder.log[start + i], expected[i]);
}

// Chat and station text share a signature: only a true mapping tells them apart.
void checkTextEventsMapped(FakeClient *fake, const Recorder &recorder)
{
    fake->raiseChatText(L"c");
    CHECK_EQ(recorder.last(), std::string("chat:c"));
    fake->raiseStationText(L"s");
    CHECK_EQ(recorder.last(), std::string("station:s"));
}

bool keyExists(const std::wstring &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

const wchar_t kEventInterfaceKey[] = L"Interface\\{6F55F7AF-8DA6-400F-96EB-C371F0311611}";

// The current message filter of the thread, left registered.
IMessageFilter *currentFilter()
{
    IMessageFilter *current = nullptr;
    CoRegisterMessageFilter(nullptr, &current);
    IMessageFilter *none = nullptr;
    CoRegisterMessageFilter(current, &none);
    if (none)
        none->Release();
    return current; // the caller releases
}

} // namespace

TEST_GROUP(every_event_under_two_id_assignments)
{
    ComApartment apartment;
    for (const DispIds &ids : {DispIds::sequential(), DispIds::sparse()}) {
        TempTypeLib lib(ids);
        REQUIRE(SUCCEEDED(lib.hr));
        FakeConfig config{ids};
        config.typeInfoFromObject = true;
        config.typeLib = lib.lib;
        FakeHolder fake(config);
        auto client = attach(fake.fake);
        Recorder recorder;
        client->advise(&recorder);
        CHECK(client->advised());
        checkEveryEvent(fake.fake, recorder, false);
        checkEveryEvent(fake.fake, recorder, true);

        int events = 0;
        for (const auto &member : client->members()) {
            if (!member.isEvent)
                continue;
            ++events;
            for (std::size_t i = 0; i < tavrin::fake::kEvCount; ++i)
                if (utf8(tavrin::fake::eventName(static_cast<Ev>(i))) == member.name)
                    CHECK_EQ(member.dispatchId, ids.events[i]);
        }
        CHECK_EQ(events, 5);
    }
}

TEST_GROUP(event_names_through_class_info_registry_and_overrides)
{
    ComApartment apartment;
    const DispIds ids = DispIds::sparse();
    TempTypeLib lib(ids);
    REQUIRE(SUCCEEDED(lib.hr));

    { // IProvideClassInfo: the coclass's source interface
        FakeConfig config{ids};
        config.provideClassInfo = true;
        config.typeLib = lib.lib;
        FakeHolder fake(config);
        auto client = attach(fake.fake);
        Recorder recorder;
        client->advise(&recorder);
        checkTextEventsMapped(fake.fake, recorder);
        fake->raiseRx(VARIANT_TRUE);
        CHECK_EQ(recorder.last(), std::string("rx:on"));
    }

    { // The registered library, found through HKCR\Interface\{events}\TypeLib
        REQUIRE(!keyExists(kEventInterfaceKey));
        REQUIRE(SUCCEEDED(RegisterTypeLib(lib.lib, const_cast<LPOLESTR>(lib.path().c_str()), nullptr)));
        {
            FakeHolder fake(FakeConfig{ids});
            auto client = attach(fake.fake);
            Recorder recorder;
            client->advise(&recorder);
            checkTextEventsMapped(fake.fake, recorder);
            fake->raiseClosing();
            CHECK_EQ(recorder.last(), std::string("closing"));
        }
        CHECK(SUCCEEDED(UnRegisterTypeLib(tavrin::fake::kFakeTypeLibId, 1, 0, 0, SYS_WIN64)));
        CHECK(!keyExists(kEventInterfaceKey));
    }

    { // No type information: the overrides alone, names in any case
        FakeHolder fake(FakeConfig{ids});
        ClientOptions options;
        options.eventIdOverrides = {{"chattextreceived", ids.event(Ev::ChatTextReceived)},
                                    {"STATIONTEXTRECEIVED", ids.event(Ev::StationTextReceived)},
                                    {"rx", ids.event(Ev::RX)},
                                    {"Connected", ids.event(Ev::Connected)},
                                    {"closing", ids.event(Ev::Closing)}};
        auto client = attach(fake.fake, options);
        Recorder recorder;
        client->advise(&recorder);
        checkEveryEvent(fake.fake, recorder, false);
    }

    { // An override wins over the type information, which no longer counts for that name
        FakeConfig config{ids};
        config.typeInfoFromObject = true;
        config.typeLib = lib.lib;
        FakeHolder fake(config);
        ClientOptions options;
        const DISPID moved = 0x4242;
        options.eventIdOverrides = {{"ChatTextReceived", moved}};
        auto client = attach(fake.fake, options);
        Recorder recorder;
        client->advise(&recorder);
        fake->raise(moved, {Arg::bstr(L"via override")});
        CHECK_EQ(recorder.last(), std::string("chat:via override"));
        fake->raiseChatText(L"old number");
        CHECK_EQ(recorder.last(), "unknown:" + std::to_string(ids.event(Ev::ChatTextReceived)));
        fake->raiseStationText(L"untouched");
        CHECK_EQ(recorder.last(), std::string("station:untouched"));
    }
}

TEST_GROUP(unmapped_events_are_reported_not_guessed)
{
    ComApartment apartment;
    REQUIRE(!keyExists(kEventInterfaceKey));
    const DispIds ids = DispIds::sequential();
    FakeHolder fake(FakeConfig{ids});
    ClientOptions options;
    options.eventIdOverrides = {{"RX", ids.event(Ev::RX)}};
    auto client = attach(fake.fake, options);
    Recorder recorder;
    client->advise(&recorder);

    fake->raiseChatText(L"a");
    fake->raiseStationText(L"b");
    fake->raiseRx(VARIANT_TRUE);
    fake->raiseConnected(L"c", L"d", L"e");
    fake->raiseClosing();
    fake->raise(0x7777, {});
    const std::vector<std::string> expected = {
        "unknown:" + std::to_string(ids.event(Ev::ChatTextReceived)),
        "unknown:" + std::to_string(ids.event(Ev::StationTextReceived)),
        "rx:on",
        "unknown:" + std::to_string(ids.event(Ev::Connected)),
        "unknown:" + std::to_string(ids.event(Ev::Closing)),
        "unknown:" + std::to_string(0x7777),
    };
    CHECK(recorder.log == expected);
}

TEST_GROUP(advise_and_unadvise_leave_no_reference)
{
    ComApartment apartment;
    FakeHolder fake;
    const ULONG start = fake->refCount();
    Recorder recorder;
    {
        auto client = attach(fake.fake);
        client->advise(&recorder);
        CHECK_EQ(fake->sinkCount(), std::size_t(1));
        client->advise(&recorder); // again: replaces, never doubles
        CHECK_EQ(fake->sinkCount(), std::size_t(1));
        client->unadvise();
        CHECK(!client->advised());
        CHECK_EQ(fake->sinkCount(), std::size_t(0));
        CHECK_EQ(fake->unadviseCalls(), 2);
        fake->raiseClosing();
        CHECK(recorder.log.empty());
        client->advise(&recorder);
    } // destroyed while advised
    CHECK_EQ(fake->sinkCount(), std::size_t(0));
    CHECK_EQ(fake->refCount(), start);

    // A refused Advise throws and keeps nothing.
    FakeConfig refusing;
    refusing.adviseResult = CONNECT_E_ADVISELIMIT;
    FakeHolder refuser(refusing);
    const ULONG refuserStart = refuser->refCount();
    {
        auto client = attach(refuser.fake);
        try {
            client->advise(&recorder);
            CHECK(!"Advise must fail");
        } catch (const ComError &e) {
            CHECK_EQ(e.hresult(), std::int32_t(CONNECT_E_ADVISELIMIT));
        }
        CHECK(!client->advised());
        CHECK_EQ(refuser->adviseCalls(), 1);
        // Calls still work without events.
        client->DisconnectAll();
    }
    CHECK_EQ(refuser->sinkCount(), std::size_t(0));
    CHECK_EQ(refuser->refCount(), refuserStart);
}

TEST_GROUP(events_during_calls_and_unadvise_from_an_event)
{
    ComApartment apartment;
    FakeHolder fake;
    ClientOptions options;
    options.eventIdOverrides = {{"ChatTextReceived", fake->config().ids.event(Ev::ChatTextReceived)},
                                {"Closing", fake->config().ids.event(Ev::Closing)}};
    auto client = attach(fake.fake, options);

    // The client answers a chat line while our own SendChatText is still in its hands.
    Recorder recorder;
    client->advise(&recorder);
    fake->onCall = [&](Op op) {
        if (op == Op::SendChatText)
            fake->raiseChatText(L"echo");
    };
    client->SendChatText("hello");
    CHECK_EQ(recorder.log, std::vector<std::string>{"chat:echo"});
    fake->onCall = nullptr;

    // Closing: the handler drops the connection from inside the event.
    struct Dropper : Recorder {
        tavrin::com::AutomationClient *client = nullptr;
        void Closing() override
        {
            Recorder::Closing();
            client->unadvise();
        }
    } dropper;
    dropper.client = client.get();
    client->advise(&dropper);
    fake->raiseClosing();
    CHECK_EQ(dropper.last(), std::string("closing"));
    CHECK(!client->advised());
    CHECK_EQ(fake->sinkCount(), std::size_t(0));
    fake->raiseClosing();
    CHECK_EQ(dropper.log.size(), std::size_t(1));
}

TEST_GROUP(no_heap_growth_over_event_rounds)
{
    ComApartment apartment;
    const DispIds ids = DispIds::sparse();
    TempTypeLib lib(ids);
    REQUIRE(SUCCEEDED(lib.hr));
    FakeConfig config{ids};
    config.typeInfoFromObject = true;
    config.provideClassInfo = true;
    config.typeLib = lib.lib;
    FakeHolder fake(config);
    FakeConfig refusing{ids};
    refusing.adviseResult = CONNECT_E_CANNOTCONNECT;
    FakeHolder refuser(refusing);
    const ULONG start = fake->refCount();
    const ULONG refuserStart = refuser->refCount();

    auto rounds = [&](int count) {
        Recorder recorder;
        for (int i = 0; i < count; ++i) {
            auto client = attach(fake.fake);
            client->advise(&recorder);
            fake->raiseChatText(L"a chat line of some length " + std::to_wstring(i));
            fake->raiseConnected(L"W1AW", L"Name", L"Address", i % 2 == 0);
            fake->raiseRx(VARIANT_TRUE);
            fake->raise(0x5151, {Arg::bstr(L"unmapped")});
            client->SendChatText("reply");
            client.reset();
            recorder.log.clear();
            fake->clearCalls();

            auto other = attach(refuser.fake);
            try {
                other->advise(&recorder);
            } catch (const ComError &) {
            }
        }
    };
    rounds(100);
    const auto before = bytesInUse();
    rounds(2000);
    const auto after = bytesInUse();
    CHECK(after - before < 64 * 1024);
    if (after - before >= 64 * 1024)
        std::printf("    heap grew by %lld bytes\n", static_cast<long long>(after - before));
    CHECK_EQ(fake->refCount(), start);
    CHECK_EQ(refuser->refCount(), refuserStart);
    CHECK_EQ(fake->sinkCount(), std::size_t(0));
}

TEST_GROUP(busy_client_filter_answers)
{
    ComApartment apartment;
    IMessageFilter *before = currentFilter();
    {
        tavrin::com::BusyClientFilter filter;
        IMessageFilter *ours = currentFilter();
        REQUIRE(ours != nullptr);
        CHECK(ours != before);
        const DWORD cancel = static_cast<DWORD>(-1);
        // Retried (after a short pause) until 900000 ms, then given up.
        const DWORD early = ours->RetryRejectedCall(nullptr, 0, SERVERCALL_RETRYLATER);
        CHECK(early != cancel && early >= 100 && early < 5000);
        CHECK(ours->RetryRejectedCall(nullptr, 899999, SERVERCALL_RETRYLATER) != cancel);
        CHECK(ours->RetryRejectedCall(nullptr, 1000, SERVERCALL_REJECTED) != cancel);
        CHECK_EQ(ours->RetryRejectedCall(nullptr, 900000, SERVERCALL_RETRYLATER), cancel);
        CHECK_EQ(ours->RetryRejectedCall(nullptr, 900001, SERVERCALL_REJECTED), cancel);
        CHECK_EQ(ours->MessagePending(nullptr, 1000000, PENDINGTYPE_TOPLEVEL), DWORD(PENDINGMSG_WAITDEFPROCESS));
        CHECK_EQ(ours->HandleInComingCall(CALLTYPE_TOPLEVEL, nullptr, 0, nullptr), DWORD(SERVERCALL_ISHANDLED));

        { // A shorter limit, nested: the outer one comes back afterwards.
            tavrin::com::BusyClientFilter inner(500, 500);
            IMessageFilter *short_ = currentFilter();
            CHECK(short_->RetryRejectedCall(nullptr, 499, SERVERCALL_RETRYLATER) != cancel);
            CHECK_EQ(short_->RetryRejectedCall(nullptr, 500, SERVERCALL_RETRYLATER), cancel);
            short_->Release();
        }
        IMessageFilter *again = currentFilter();
        CHECK(again == ours);
        if (again)
            again->Release();
        ours->Release();
    }
    IMessageFilter *after = currentFilter();
    CHECK(after == before);
    if (after)
        after->Release();
    if (before)
        before->Release();
}

WINTEST_MAIN()
