#pragma once
// What the fake servers and the tests agree on: the test commands (sent as chat text, which
// the fake otherwise only logs) and what the servers answer and raise.

namespace tavrin::servers {

// Raise every event once, after the call has returned.
inline constexpr wchar_t kCommandEvents[] = L"#events";
// Raise every event once, inside the call (the caller is still waiting for it).
inline constexpr wchar_t kCommandEventsNow[] = L"#events-now";
// StationTextReceived with the calls made since the last "#log" (commands left out).
inline constexpr wchar_t kCommandLog[] = L"#log";
// IsTransmitting and IsConnected answer the other way from now on.
inline constexpr wchar_t kCommandFlip[] = L"#flip";
// "#slow MS": the next call takes MS milliseconds, as a hung client would.
inline constexpr wchar_t kCommandSlow[] = L"#slow ";
// "#busy N": the server's message filter turns the next N dispatch calls away (retry later).
inline constexpr wchar_t kCommandBusy[] = L"#busy ";
// StationTextReceived "pid=<process id> rejected=<calls turned away so far>".
inline constexpr wchar_t kCommandReport[] = L"#report";
// "#fail OPERATION": that operation fails from now on with kFailureResult and kFailureText
// in its EXCEPINFO; "#fail" alone ends all failures.
inline constexpr wchar_t kCommandFail[] = L"#fail";
inline constexpr long kFailureResult = 0x80040155L;
inline constexpr wchar_t kFailureText[] = L"Node directory unavailable \u2013 try later";
inline constexpr char kFailureTextUtf8[] = "Node directory unavailable \xe2\x80\x93 try later";
// The server process ends abruptly just after this call, as a crashing client would.
inline constexpr wchar_t kCommandCrash[] = L"#crash";
// IsConnected for this callsign raises every event a moment later: the diagnostic program
// only asks questions, so this is how it gets events to print.
inline constexpr wchar_t kRaiseEventsCallsign[] = L"RAISE-EVENTS";
inline constexpr char kRaiseEventsCallsignUtf8[] = "RAISE-EVENTS";

// What the queries answer at first.
inline constexpr wchar_t kLocalCallsign[] = L"N0TVR-L";
inline constexpr char kLocalCallsignUtf8[] = "N0TVR-L";
inline constexpr int kStationCount = 3;

// What every event raise sends, in this order: ChatTextReceived, StationTextReceived,
// RX(true), RX(false), connected, Closing.
inline constexpr wchar_t kChatText[] = L"chat: Gr\u00fc\u00dfe \U0001F4FB";
inline constexpr char kChatTextUtf8[] = "chat: Gr\xc3\xbc\xc3\x9f" "e \xf0\x9f\x93\xbb";
inline constexpr wchar_t kStationText[] = L"station: W1AW-R 146.520";
inline constexpr char kStationTextUtf8[] = "station: W1AW-R 146.520";
inline constexpr wchar_t kConnectedCallsign[] = L"W1AW-L";
inline constexpr char kConnectedCallsignUtf8[] = "W1AW-L";
inline constexpr wchar_t kConnectedName[] = L"\u00c5sa Test";
inline constexpr char kConnectedNameUtf8[] = "\xc3\x85sa Test";
inline constexpr wchar_t kConnectedAddress[] = L"192.0.2.7";
inline constexpr char kConnectedAddressUtf8[] = "192.0.2.7";

} // namespace tavrin::servers
