#pragma once
// Fixed texts of the main window and the composition root: window names and messages, in one place.

#include "common/WindowNames.h"

#include <QtGlobal>

namespace tavrin::texts {

// Windows, by objectName.
using windows::kAboutWindow;
using windows::kChatWindow;
using windows::kMainWindow;
using windows::kNodeFavorites;
using windows::kPresetEditorPrefix;
using windows::kRemotePad;
using windows::kSysopBox;
using windows::kUserButtonEditor;

// Title: product, four spaces, callsign, "   v", version, 33 spaces, this tail.
inline constexpr char kTitleTail[] = "Tavrin (Tavricon)";
inline constexpr int kTitleGap = 33;

inline constexpr char kAlreadyRunning[] = "Program is already running.";
inline constexpr char kInstanceLockFile[] = "tavrin.lock";
inline constexpr char kSaveFailedOnExit[] = "The settings could not be saved:\n%1";
inline constexpr char kReleaseFailedOnExit[] = "The transmitter may still be keyed:\n%1";
inline constexpr char kNoClient[] = "EchoLink client not running";
inline constexpr char kNoClientAtStart[] = "Tavrin cannot reach the EchoLink client.\n%1\n\n%2";

inline constexpr char kNodeDataSelected[] = " Node Data Selected";

// The mixer that stands in for the volume control.
#ifdef Q_OS_WIN
// Windows' Sound settings on their Playback and Recording pages (sndvol32 is gone).
inline constexpr char kMixerProgram[] = "control";
inline constexpr char kPlaybackTab[] = "mmsys.cpl,,0";
inline constexpr char kRecordingTab[] = "mmsys.cpl,,1";
#else
inline constexpr char kMixerProgram[] = "pavucontrol";
inline constexpr char kPlaybackTab[] = "--tab=3";
inline constexpr char kRecordingTab[] = "--tab=4";
#endif

} // namespace tavrin::texts
