// The core's calls against the fake object injected directly: arguments, results, texts and
// failures, under two different dispatch id assignments.
#include "CoreTestSupport.h"

using namespace coretest;
using tavrin::com::AutomationClient;
using tavrin::com::ComApartment;
using tavrin::com::ComError;
using tavrin::fake::Arg;
using tavrin::fake::DispIds;
using tavrin::fake::Failure;
using tavrin::fake::Op;

namespace {

const char kSmiley[] = "\xF0\x9F\x98\x80"; // U+1F600, a surrogate pair in UTF-16
const std::wstring kSmileyWide = L"\xD83D\xDE00";

void checkArg(const Arg &arg, VARTYPE type, const std::wstring &text)
{
    CHECK_EQ(arg.type, type);
    CHECK_EQ(arg.text, text);
    CHECK(!arg.nullBstr);
}

void checkBool(const Arg &arg, short raw)
{
    CHECK_EQ(arg.type, VARTYPE(VT_BOOL));
    CHECK_EQ(arg.value, static_cast<long long>(raw));
}

void everyOperation(const DispIds &ids)
{
    FakeHolder fake(FakeConfig{ids});
    auto client = attach(fake.fake);

    client->Connect("W1AW-R", true);
    client->Disconnect("W1AW-R");
    client->DisconnectAll();
    client->SetTransmit(true);
    client->SetTransmit(false);
    client->SetBusy(true);
    client->SetBusy(false);
    client->SendChatText("FR?");
    fake->transmittingRaw = -1;
    CHECK(client->IsTransmitting());
    fake->transmittingRaw = 0;
    CHECK(!client->IsTransmitting());
    fake->transmittingRaw = 1; // not the canonical -1: still true
    CHECK(client->IsTransmitting());
    fake->connectedRaw = -1;
    CHECK(client->IsConnected("K1ABC"));
    fake->connectedRaw = 0;
    CHECK(!client->IsConnected("K1ABC"));
    fake->stationCount.lVal = 7;
    CHECK_EQ(client->StationCount(), 7);
    fake->callsign = L"G4XYZ-L";
    CHECK_EQ(client->StationCallsign(), std::string("G4XYZ-L"));
    CHECK_EQ(client->StationCallsign(), std::string("G4XYZ-L"));

    const auto &calls = fake->calls();
    REQUIRE(calls.size() == 18);
    const Op expected[] = {Op::Connect,        Op::Disconnect,     Op::DisconnectAll,  Op::SetTransmit,
                           Op::SetTransmit,    Op::SetBusy,        Op::SetBusy,        Op::SendChatText,
                           Op::IsTransmitting, Op::IsTransmitting, Op::IsTransmitting, Op::IsConnected,
                           Op::IsConnected,    Op::StationCount,   Op::LocalStation,   Op::StationCallsign,
                           Op::LocalStation,   Op::StationCallsign};
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        CHECK_EQ(calls[i].op, expected[i]);
        CHECK(calls[i].flags & DISPATCH_METHOD);
    }
    REQUIRE(calls[0].args.size() == 2);
    checkArg(calls[0].args[0], VT_BSTR, L"W1AW-R");
    checkBool(calls[0].args[1], VARIANT_TRUE);
    checkArg(calls[1].args.at(0), VT_BSTR, L"W1AW-R");
    CHECK(calls[2].args.empty());
    checkBool(calls[3].args.at(0), VARIANT_TRUE);
    checkBool(calls[4].args.at(0), VARIANT_FALSE);
    checkBool(calls[5].args.at(0), VARIANT_TRUE);
    checkBool(calls[6].args.at(0), VARIANT_FALSE);
    checkArg(calls[7].args.at(0), VT_BSTR, L"FR?");
    checkArg(calls[11].args.at(0), VT_BSTR, L"K1ABC");

    // Each name asked once, however often it was called.
    for (const auto &[name, count] : fake->nameLookups())
        CHECK_EQ(count, 1);
    CHECK_EQ(fake->nameLookups().size(), std::size_t(11));
    // The station objects were released after use.
    CHECK_EQ(FakeClient::liveStations(), 0L);

    // members() reports the ids the object gave.
    int matched = 0;
    for (const auto &member : client->members()) {
        CHECK(!member.isEvent);
        for (std::size_t i = 0; i < tavrin::fake::kOpCount; ++i)
            if (utf8(tavrin::fake::opName(static_cast<Op>(i))) == member.name) {
                CHECK_EQ(member.dispatchId, ids.ops[i]);
                ++matched;
            }
    }
    CHECK_EQ(matched, 11);
}

} // namespace

TEST_GROUP(text_conversion)
{
    using tavrin::com::utf16ToUtf8;
    using tavrin::com::utf8ToUtf16;
    const std::u16string replacement(1, u'\xFFFD');

    CHECK_EQ(utf8ToUtf16("ab\xC3\xA9"), std::u16string(u"ab\u00E9"));
    CHECK_EQ(utf8ToUtf16(kSmiley), std::u16string(u"\xD83D\xDE00"));
    CHECK_EQ(utf16ToUtf8(u"\xD83D\xDE00"), std::string(kSmiley));
    CHECK_EQ(utf16ToUtf8(u"\u20AC"), std::string("\xE2\x82\xAC"));
    const std::string withNul("a\0b", 3);
    CHECK_EQ(utf8ToUtf16(withNul), std::u16string(u"a\0b", 3));
    CHECK_EQ(utf16ToUtf8(std::u16string(u"a\0b", 3)), withNul);

    // Lone surrogates, wherever they stand.
    CHECK_EQ(utf16ToUtf8(u"\xD83Dx"), std::string("\xEF\xBF\xBDx"));
    CHECK_EQ(utf16ToUtf8(u"x\xDE00"), std::string("x\xEF\xBF\xBD"));
    CHECK_EQ(utf16ToUtf8(std::u16string(1, u'\xD83D')), std::string("\xEF\xBF\xBD"));
    CHECK_EQ(utf16ToUtf8(u"\xDE00\xD83D"), std::string("\xEF\xBF\xBD\xEF\xBF\xBD"));

    // Invalid UTF-8: stray continuation, overlong, truncated, encoded surrogate, past U+10FFFF.
    CHECK_EQ(utf8ToUtf16("\x80"), replacement);
    CHECK_EQ(utf8ToUtf16("\xC0\xAF"), replacement + replacement);
    CHECK_EQ(utf8ToUtf16("\xE2\x82"), replacement);
    CHECK_EQ(utf8ToUtf16("\xE2\x82x"), replacement + u"x");
    CHECK_EQ(utf8ToUtf16("\xED\xA0\x80"), replacement + replacement + replacement);
    CHECK_EQ(utf8ToUtf16("\xF4\x90\x80\x80"), replacement + replacement + replacement + replacement);
    CHECK_EQ(utf8ToUtf16("\xF5z"), replacement + u"z");
    CHECK_EQ(utf8ToUtf16("\xF0\x9F\x98"), replacement);

    // BSTRs by their stored length; null is the empty text.
    CHECK_EQ(tavrin::com::bstrToUtf8(nullptr), std::string());
    BSTR b = SysAllocStringLen(L"x\0y", 3);
    CHECK_EQ(tavrin::com::bstrToUtf8(b), std::string("x\0y", 3));
    SysFreeString(b);
}

TEST_GROUP(every_operation_under_two_id_assignments)
{
    ComApartment apartment;
    everyOperation(DispIds::sequential());
    everyOperation(DispIds::sparse());
}

TEST_GROUP(texts_cross_the_boundary_intact)
{
    ComApartment apartment;
    FakeHolder fake;
    auto client = attach(fake.fake);

    client->SendChatText(std::string("hi ") + kSmiley + std::string("\0end", 4));
    checkArg(fake->calls().back().args.at(0), VT_BSTR, L"hi " + kSmileyWide + std::wstring(L"\0end", 4));
    client->SendChatText("bad \xFF");
    checkArg(fake->calls().back().args.at(0), VT_BSTR, L"bad \xFFFD");
    client->SendChatText("");
    CHECK_EQ(fake->calls().back().args.at(0).type, VARTYPE(VT_BSTR));
    CHECK(fake->calls().back().args.at(0).text.empty());

    fake->callsign = L"DL" + kSmileyWide + std::wstring(L"\0X", 2);
    CHECK_EQ(client->StationCallsign(), "DL" + std::string(kSmiley) + std::string("\0X", 2));
    fake->callsign = L"A\xD800" L"B";
    CHECK_EQ(client->StationCallsign(), std::string("A\xEF\xBF\xBD" "B"));
    fake->callsignNull = true;
    CHECK_EQ(client->StationCallsign(), std::string());
}

TEST_GROUP(results_of_other_types_are_coerced)
{
    ComApartment apartment;
    FakeHolder fake;
    auto client = attach(fake.fake);

    VariantClear(&fake->stationCount);
    fake->stationCount.vt = VT_I2;
    fake->stationCount.iVal = 3;
    CHECK_EQ(client->StationCount(), 3);
    fake->stationCount.vt = VT_UI1;
    fake->stationCount.bVal = 200;
    CHECK_EQ(client->StationCount(), 200);
    fake->stationCount.vt = VT_BSTR;
    fake->stationCount.bstrVal = SysAllocString(L"12");
    CHECK_EQ(client->StationCount(), 12);
    VariantClear(&fake->stationCount);
    fake->stationCount.vt = VT_BSTR;
    fake->stationCount.bstrVal = SysAllocString(L"many");
    try {
        client->StationCount();
        CHECK(!"a count that is no number must fail");
    } catch (const ComError &e) {
        CHECK_EQ(e.hresult(), std::int32_t(DISP_E_TYPEMISMATCH));
        CHECK_EQ(e.operation(), std::string("StationCount"));
    }
}

TEST_GROUP(queries_offered_only_as_properties)
{
    ComApartment apartment;
    FakeConfig config;
    config.queriesAsPropertiesOnly = true;
    FakeHolder fake(config);
    auto client = attach(fake.fake);

    fake->transmittingRaw = -1;
    CHECK(client->IsTransmitting());
    fake->stationCount.lVal = 4;
    CHECK_EQ(client->StationCount(), 4);
    fake->callsign = L"N0PROP";
    CHECK_EQ(client->StationCallsign(), std::string("N0PROP"));
    const auto &calls = fake->calls();
    REQUIRE(calls.size() >= 2);
    CHECK_EQ(calls[0].flags, WORD(DISPATCH_METHOD));
    CHECK_EQ(calls[1].flags, WORD(DISPATCH_PROPERTYGET));
    CHECK_EQ(FakeClient::liveStations(), 0L);
}

TEST_GROUP(failures_carry_hresult_and_description)
{
    ComApartment apartment;
    FakeHolder fake;
    auto client = attach(fake.fake);
    const HRESULT busy = static_cast<HRESULT>(0x80041234);

    fake->failures[Op::Connect] = Failure{busy, L"Node is busy \x00FC" L" " + kSmileyWide, true};
    try {
        client->Connect("W1AW", true);
        CHECK(!"Connect must fail");
    } catch (const ComError &e) {
        CHECK_EQ(e.hresult(), std::int32_t(busy));
        CHECK_EQ(e.operation(), std::string("Connect"));
        CHECK_EQ(e.description(), "Node is busy \xC3\xBC " + std::string(kSmiley));
        CHECK(std::string(e.what()).find("0x80041234") != std::string::npos);
    }

    // A plain failing HRESULT without EXCEPINFO.
    fake->failures[Op::SendChatText] = Failure{E_ACCESSDENIED, L"", false};
    CHECK_THROWS(client->SendChatText("x"), ComError);
    try {
        client->SendChatText("x");
    } catch (const ComError &e) {
        CHECK_EQ(e.hresult(), std::int32_t(E_ACCESSDENIED));
    }

    // Failing queries, also half way through LocalStation -> StationCallsign: nothing kept.
    fake->failures[Op::IsConnected] = Failure{E_FAIL, L"gone", true};
    CHECK_THROWS(client->IsConnected("W1AW"), ComError);
    fake->failures[Op::StationCallsign] = Failure{E_UNEXPECTED, L"no station", true};
    CHECK_THROWS(client->StationCallsign(), ComError);
    CHECK_EQ(FakeClient::liveStations(), 0L);

    // After a failure the object is still usable.
    fake->failures.clear();
    client->Connect("W1AW", true);
    CHECK_EQ(fake->calls().back().op, Op::Connect);

    // An object that is no IDispatch at all.
    IUnknown *plain = nullptr;
    CHECK(SUCCEEDED(CoCreateFreeThreadedMarshaler(nullptr, &plain)));
    if (plain) {
        CHECK_THROWS(AutomationClient::attach(plain), ComError);
        plain->Release();
    }
    CHECK_THROWS(AutomationClient::attach(nullptr), ComError);
}

TEST_GROUP(references_and_heap_after_many_calls)
{
    ComApartment apartment;
    FakeHolder fake;
    const ULONG start = fake->refCount();
    fake->failures[Op::Disconnect] = Failure{E_FAIL, L"a description to be freed", true};
    auto rounds = [&](int count) {
        auto client = attach(fake.fake);
        for (int i = 0; i < count; ++i) {
            client->SendChatText("round text with some length " + std::to_string(i));
            client->Connect("W1AW", true);
            client->IsConnected("W1AW");
            client->StationCount();
            client->StationCallsign();
            try {
                client->Disconnect("W1AW");
            } catch (const ComError &) {
            }
            fake->clearCalls();
        }
    };
    rounds(200); // warm-up: caches and the BSTR cache fill
    const auto before = bytesInUse();
    rounds(4000);
    const auto after = bytesInUse();
    CHECK(after - before < 64 * 1024);
    if (after - before >= 64 * 1024)
        std::printf("    heap grew by %lld bytes\n", static_cast<long long>(after - before));
    CHECK_EQ(fake->refCount(), start);
    CHECK_EQ(FakeClient::liveStations(), 0L);
}

WINTEST_MAIN()
