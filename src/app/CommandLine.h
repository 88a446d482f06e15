#pragma once
// The program's command line. Plain logic: parsing never exits or prints.

#include <QString>
#include <QStringList>

#include <optional>

namespace tavrin {

struct CommandLine {
    QString settingsDir;  // --settings-dir DIR; empty: TAVRIN_CONFIG_DIR, else the default
    QString scenarioFile; // --scenario FILE
    QString localCall;    // --local CALL; empty: the default local callsign
    QString chatLogFile;  // --chat-log FILE: every line sent on the chat channel is appended
    std::optional<quint32> seed; // --seed N
    bool exitWhenIdle = false;   // --exit-when-idle
    bool help = false;
    bool version = false;
};

struct CommandLineResult {
    CommandLine options;
    QString error; // empty when the line was understood
};

// `arguments` as QCoreApplication::arguments() gives them: the program name first.
CommandLineResult parseCommandLine(const QStringList &arguments);

QString usageText(const QString &programName);

} // namespace tavrin
