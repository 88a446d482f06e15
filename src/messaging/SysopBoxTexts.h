#pragma once
// Fixed texts, keys and sizes of the sysop message box, in one place.

namespace tavrin::messaging::sysop {

inline constexpr char kStatusLine[] = "StatusLine";

inline constexpr char kCaption[] = "Messages for sysop's attention";
inline constexpr char kTitle[] = "Messages for Sysop's Attention";
inline constexpr char kFrameCaption[] = "Send Message to a node sysop";
inline constexpr char kNodeCallLabel[] = "Node Call";
inline constexpr char kMessageLabel[] = "Message";
inline constexpr char kSendCaption[] = "Send";
inline constexpr char kCheckCaption[] = "Show Chat Box When Message Sent";
inline constexpr char kChatCaption[] = "Text Box Chat";
inline constexpr char kClearCaption[] = "Clear";
inline constexpr char kSaveCaption[] = "Save";
inline constexpr char kHideCaption[] = "Hide";

inline constexpr char kSaveFailed[] = "Settings not saved: %1";

// Settings file and keys, spelled exactly as stored.
inline constexpr char kFileName[] = "kelmmessageforsysop.ini";
inline constexpr char kCheck1Key[] = "Check1";
inline constexpr char kLeftKey[] = "LEFT";
inline constexpr char kTopKey[] = "TOP";
inline constexpr char kCheck1Default[] = "1";
inline constexpr char kPositionDefault[] = "300";

inline constexpr double kTwipsPerInch = 1440.0;
inline constexpr int kWidthPx = 460;
inline constexpr int kHeightPx = 420;

} // namespace tavrin::messaging::sysop
