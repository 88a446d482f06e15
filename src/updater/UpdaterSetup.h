#pragma once
// What the updater needs from the world, gathered in one value so that main() passes the
// real things and tests pass loopback addresses, a test key and recorders.

#include "updater/UpdateDownload.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

namespace tavrin {
class Dialogs;
}

namespace tavrin::updater {

// Starts a program detached; false when it could not be started.
using ProgramStarter = std::function<bool(const QString &program, const QStringList &arguments)>;

// The version this updater was built with: the installed program's, unless told otherwise.
QString builtVersion();

struct UpdaterOptions {
    QString programDirectory;        // where the main program lives, with its trailing separator
    QString defaultProgramDirectory; // only a program there is restarted automatically
    QString downloadUrl;
    QString webUrl;
    QByteArray releaseKey;           // base64; empty: every download is refused
    QString runningVersion = builtVersion(); // only a later release is installed
    QStringList programArguments;    // passed to the main program when it is started
    int stallTimeoutMs = UpdateDownload::kDefaultStallTimeoutMs;
    ProgramStarter startProgram;     // empty: QProcess::startDetached
    std::function<bool()> programRunning; // the main program still runs; empty: never
    Dialogs *dialogs = nullptr;      // not owned; must outlive the window
};

// Why `directory` cannot be the program directory to update (empty, relative, without its
// trailing separator, possibly cut to the settings file's capacity, missing, or holding no
// installed program), worded for the user; empty when it is usable.
QString programDirectoryProblem(const QString &directory);

// The settings directory: "--settings-dir DIR" (or "--settings-dir=DIR") among `arguments`
// (program name first), else the store's default (TAVRIN_CONFIG_DIR, else the per-user folder).
QString settingsDirectoryFrom(const QStringList &arguments);

// The installed version: "--installed-version X" among `arguments` (the main program passes its
// own) when it is later than the updater's own version, else the updater's own.
QString installedVersionFrom(const QStringList &arguments);

// True while a main program runs on `settingsDirectory`: it holds its instance lock there.
bool mainProgramRunsOn(const QString &settingsDirectory);

// The options of a real run: the program directory from the settings file "TVRDir.ini" in
// `settingsDirectory`, the build's addresses with the environment's overrides, the built-in key.
UpdaterOptions optionsForRun(const QString &settingsDirectory);

} // namespace tavrin::updater
