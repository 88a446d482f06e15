#pragma once
// Every window's objectName, declared once. The registry shows, hides and raises windows by
// these names, the scenario language names windows by them, and a control is always looked
// up inside its window (control names repeat across windows).

namespace tavrin::windows {

inline constexpr char kMainWindow[] = "Form2";
inline constexpr char kUserButtonEditor[] = "Form1";
inline constexpr char kRemotePad[] = "Form3";
inline constexpr char kAboutWindow[] = "Form14";
inline constexpr char kNodeFavorites[] = "Form25";
inline constexpr char kSysopBox[] = "Form126";
inline constexpr char kChatWindow[] = "Messages";
// The preset editors: this prefix and the set's number, 1 ... 4.
inline constexpr char kPresetEditorPrefix[] = "FormSet";
inline constexpr char kRigWindow[] = "FormRig";
inline constexpr char kLinkWindow[] = "FormLink";

} // namespace tavrin::windows
