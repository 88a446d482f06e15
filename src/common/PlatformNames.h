#pragma once
// Names that differ by platform, in one place: the program files, the default program
// directory and its second default. Captions and messages that show a path use these.

#include <QCoreApplication>
#include <QString>

namespace tavrin::platform {

#ifdef Q_OS_WIN
inline constexpr char kMainProgramFile[] = "Tavrin.exe";
inline constexpr char kUpdaterProgramFile[] = "Updater.exe";
inline constexpr char kSecondDefaultProgramDirectory[] = "C:\\Program Files (x86)\\Tavrin\\";
inline constexpr char kDefaultProgramDirectoryText[] = "C:\\Program Files\\Tavrin\\";
#else
inline constexpr char kMainProgramFile[] = "tavrin";
inline constexpr char kUpdaterProgramFile[] = "updater";
inline constexpr char kSecondDefaultProgramDirectory[] = "/opt/tavrin/";
#endif

// The default program directory, with its trailing separator. On Windows the fixed install
// folder; elsewhere the folder the running program was started from, so that a program run
// from where it was unpacked counts as installed.
inline QString defaultProgramDirectory()
{
#ifdef Q_OS_WIN
    return QString::fromLatin1(kDefaultProgramDirectoryText);
#else
    return QCoreApplication::applicationDirPath() + QLatin1Char('/');
#endif
}

inline QString secondDefaultProgramDirectory() { return QString::fromLatin1(kSecondDefaultProgramDirectory); }

} // namespace tavrin::platform
