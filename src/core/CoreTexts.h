#pragma once
// Fixed texts of the main window and the composition root: window names and messages, in one place.

namespace tavrin::texts {

// Windows, by objectName.
inline constexpr char kMainWindow[] = "Form2";
inline constexpr char kUserButtonEditor[] = "Form1";
inline constexpr char kRemotePad[] = "Form3";
inline constexpr char kAboutWindow[] = "Form14";
inline constexpr char kNodeFavorites[] = "Form25";
inline constexpr char kSysopBox[] = "Form126";
inline constexpr char kChatWindow[] = "Messages";
inline constexpr char kPresetEditorPrefix[] = "FormSet";

// Title: product, four spaces, callsign, "   v", version, 33 spaces, this tail.
inline constexpr char kTitleTail[] = "Tavrin (Tavricon)";
inline constexpr int kTitleGap = 33;

inline constexpr char kAlreadyRunning[] = "Program is already running.";
inline constexpr char kInstanceLockFile[] = "tavrin.lock";
inline constexpr char kSaveFailedOnExit[] = "The settings could not be saved:\n%1";
inline constexpr char kNoClient[] = "EchoLink client not running";

inline constexpr char kNodeDataSelected[] = " Node Data Selected";

// The mixer that stands in for the volume control.
inline constexpr char kMixerProgram[] = "pavucontrol";
inline constexpr char kPlaybackTab[] = "--tab=3";
inline constexpr char kRecordingTab[] = "--tab=4";

} // namespace tavrin::texts
