#pragma once
// Captions, messages and the few file names of the updater, in one place.

namespace tavrin::updater {

// Settings: the main program's directory file, shared with Tavrin.
inline constexpr char kDirectoryFile[] = "TVRDir.ini";
inline constexpr char kProgramDirectoryKey[] = "ProgDir";
// The main program holds a lock on this file in its settings directory while it runs.
inline constexpr char kInstanceLockFile[] = "tavrin.lock";

// Window `Updater`.
inline constexpr char kWindowTitle[] = "Update Tavricon";
inline constexpr char kIntroLine1[] = "This option is to enable you to update your ";
inline constexpr char kIntroLine2[] = "Tavricon program. ";
inline constexpr char kUpdateButton[] = "Update Tavricon";
inline constexpr char kExitButton[] = "Exit";
inline constexpr char kExitTip[] = "Hide this screen";
inline constexpr char kReady[] = "Ready";
inline constexpr char kDownloading[] = "Downloading Update";
inline constexpr char kStandBy[] = "Stand By";
inline constexpr char kFailedPrefix[] = "Update failed: ";
inline constexpr char kSpeedCaption[] = "Average";
inline constexpr char kTimeLeftCaption[] = "Time Left";
inline constexpr char kSpeedPrefix[] = "Average : ";
inline constexpr char kSpeedSuffix[] = " / Kbps";
inline constexpr char kTimeLeftPrefix[] = "Time Left : ";
inline constexpr char kAmountSuffix[] = " Kb ";
inline constexpr char kCloseTag[] = "CLOSEAPP";
// The agent the download requests go out under.
inline constexpr char kUserAgent[] = "Downloader Demo";

// Window `DoneIt`.
inline constexpr char kDoneLine1[] = "Download Update Complete";
inline constexpr char kDoneLine2[] = "Updated Tavrin with your New Updates";
inline constexpr char kDoneLine3[] = "Please visit our web site:\n%1";

inline constexpr char kUpdatedMessage[] = "Program Updated. Start you program to see the new updates";

// Failure reasons shown after kFailedPrefix.
inline constexpr char kNoReleaseKey[] = "this build has no release key";
inline constexpr char kBadReleaseKey[] = "this build's release key is not a valid Ed25519 public key";
inline constexpr char kBadScheme[] = "the address does not begin with http://, https:// or ftp://";
inline constexpr char kCancelled[] = "cancelled";
inline constexpr char kAlreadyUpdating[] = "another updater is already updating %1; wait for it to finish";
inline constexpr char kStalled[] = "no data from the server for %1 s";
inline constexpr char kManifestTooSlow[] = "the release manifest did not arrive within %1 s";
inline constexpr char kHttpStatus[] = "the server answered %1 %2";
inline constexpr char kRedirectLoop[] = "the server's redirections go round in a loop";
inline constexpr char kRedirectRefused[] = "the server redirected to %1, which is not an address to download from";
inline constexpr char kShortFile[] = "the download ended after %1 of %2 bytes";
inline constexpr char kTempFile[] = "cannot write the download into %1: %2";
inline constexpr char kNoManifest[] = "the release manifest could not be fetched (%1)";
inline constexpr char kBadManifest[] = "the release manifest is not readable";
inline constexpr char kBadSignature[] = "the download does not carry a valid release signature";
inline constexpr char kNotNewer[] = "the offered version %1 is not newer than the installed version %2";
inline constexpr char kTooLarge[] = "the download is larger than the %1 bytes of its release manifest";
inline constexpr char kNotTheRelease[] = "the download is not the file its release manifest names";
inline constexpr char kNotReplaced[] = "%1 is not the new program after installing; the update did not take";
// An unusable program directory (ProgDir in TVRDir.ini, set in Help / About).
inline constexpr char kNoProgramDirectory[] = "no program directory is set; set it in Help / About";
inline constexpr char kRelativeDirectory[] = "the program directory \"%1\" is not a full path; set it in Help / About";
inline constexpr char kNoTrailingSeparator[] =
    "the program directory \"%1\" does not end with \"%2\"; set it in Help / About";
inline constexpr char kDirectoryTooLong[] =
    "the program directory is too long for TVRDir.ini and may have been cut; install to a shorter path";
inline constexpr char kNoDirectory[] = "the program directory \"%1\" does not exist; set it in Help / About";
inline constexpr char kNoInstalledProgram[] = "there is no installed program at %1; set the program directory in Help / About";

// Files beside the program while updating.
inline constexpr char kManifestSuffix[] = ".manifest";
inline constexpr char kTempPattern[] = ".update-XXXXXX";
inline constexpr char kBackupSuffix[] = ".previous";
inline constexpr char kAsideInfix[] = ".old-"; // Windows: ".<name>.old-N", an old program still running

} // namespace tavrin::updater
