#pragma once
// Names, captions and questions of the About window and the update prompt, in one place.

namespace tavrin::maintenance {

// Settings file and key shared with the updater.
inline constexpr char kDirFile[] = "TVRDir.ini";
inline constexpr char kProgDirKey[] = "ProgDir";

inline constexpr char kPromptWindowName[] = "Form150";

inline constexpr char kTitleGap[] = "    ";
inline constexpr char kVersionGap[] = "   ";
inline constexpr char kVersionMark[] = "v";
inline constexpr char kDesignTitle[] = "Program Here";

inline constexpr char kCheckCaption[] = "Check For Update";
inline constexpr char kUpdateCaption[] = "Update Available          Click Here To Update";
inline constexpr char kDefaultCaption[] = "Default";
inline constexpr char kSecondDefaultCaption[] = "64 bit Default";
inline constexpr char kHideCaption[] = "Hide";
inline constexpr char kBackupCaption[] = "Backup And Save Your Config .ini Files";
inline constexpr char kHelpCaption[] = "Help && Downloads";
inline constexpr char kMailHint[] = "Send me an email";
inline constexpr char kWebHint[] = "Visit our web pages";
inline constexpr char kProgDirHint[] = "Location where the program is installed";
inline constexpr char kProgDirFrame[] = "Path to Program Directory ";
inline constexpr char kWorksWith1[] = "Tavrin works in ";
inline constexpr char kWorksWith2[] = "conjunction with EchoLink";
inline constexpr char kNoUpdate[] = "No Update Available";
// A check that could not reach the version file knows of no update, but cannot say there is none.
inline constexpr char kCheckFailed[] = "Could not check for update: %1";
// Shown from a "Check For Update" click until its answer is known.
inline constexpr char kChecking[] = "Checking for update...";
inline constexpr char kPackagedUpdate[] = "New version available: update Tavrin through your package manager";
inline constexpr char kMailSubject[] = " Tavrin Program ";

inline constexpr char kPathQuestionTitle[] = "Change Directory Path";
inline constexpr char kPathQuestionHead[] = ">> Change Program Path to ";
inline constexpr char kPathQuestionTail[] = " << ";
inline constexpr char kPathQuestionSecondLine[] = "This action will also change your News paths to default - Are You Sure ? ";

inline constexpr char kSettingsDirOption[] = "--settings-dir";
// Tells the updater which version runs, so it never installs an older one.
inline constexpr char kInstalledVersionOption[] = "--installed-version";
inline constexpr char kUpdaterNotStarted[] = "The updater could not be started:\n%1\n\n"
                                             "Check the program directory in the About window.";
inline constexpr char kSaveFailed[] = "The program directory could not be saved: %1";
inline constexpr char kOpenFailed[] = "Nothing on this computer could open\n%1\n\n"
                                      "Copy the address into your web browser or mail program.";
inline constexpr char kBackupDone[] = "Your settings files were copied to\n%1";
inline constexpr char kBackupFailed[] = "Your settings files could not be backed up: %1";

// Form150
inline constexpr char kPromptTitle[] = "Update Warning";
inline constexpr char kPromptHeadline[] = "New Update Available";
inline constexpr char kPromptProduct[] = "Tavricon";
inline constexpr char kPromptUpdateCaption[] = "Update Now Please";
inline constexpr char kPromptNoCaption[] = "No Thanks";

} // namespace tavrin::maintenance
