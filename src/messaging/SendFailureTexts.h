#pragma once
// What the messaging windows say about a line that did not go out: one wording for one
// failure, in every log and status line.

namespace tavrin::messaging::sendtexts {

// Log head of a message the client refused, beside "Message Sent To -> ".
inline constexpr char kNotSentLog[] = "Message NOT Sent To -> ";
// Status line: "Not sent: " + the reason.
inline constexpr char kNotSent[] = "Not sent: %1";
// The reason when no client runs, worded as the client's own failures are.
inline constexpr char kNoClient[] = "EchoLink client not running";

} // namespace tavrin::messaging::sendtexts
