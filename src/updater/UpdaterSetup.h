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

struct UpdaterOptions {
    QString programDirectory;        // where the main program lives, with its trailing separator
    QString defaultProgramDirectory; // only a program there is restarted automatically
    QString downloadUrl;
    QString webUrl;
    QByteArray releaseKey;           // base64; empty: every download is refused
    QStringList programArguments;    // passed to the main program when it is started
    int stallTimeoutMs = UpdateDownload::kDefaultStallTimeoutMs;
    ProgramStarter startProgram;     // empty: QProcess::startDetached
    Dialogs *dialogs = nullptr;      // not owned; must outlive the window
};

// The settings directory: "--settings-dir DIR" (or "--settings-dir=DIR") among `arguments`
// (program name first), else the store's default (TAVRIN_CONFIG_DIR, else the per-user folder).
QString settingsDirectoryFrom(const QStringList &arguments);

// The options of a real run: the program directory from the settings file "TVRDir.ini" in
// `settingsDirectory`, the build's addresses with the environment's overrides, the built-in key.
UpdaterOptions optionsForRun(const QString &settingsDirectory);

} // namespace tavrin::updater
