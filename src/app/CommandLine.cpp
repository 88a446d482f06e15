#include "app/CommandLine.h"

namespace tavrin {

namespace {

constexpr char kSettingsDir[] = "--settings-dir";
constexpr char kScenario[] = "--scenario";
constexpr char kLocal[] = "--local";
constexpr char kChatLog[] = "--chat-log";
constexpr char kSeed[] = "--seed";
constexpr char kExitWhenIdle[] = "--exit-when-idle";
constexpr char kHelp[] = "--help";
constexpr char kVersion[] = "--version";

} // namespace

CommandLineResult parseCommandLine(const QStringList &arguments)
{
    CommandLineResult result;
    CommandLine &o = result.options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        std::optional<QString> inlineValue;
        if (const qsizetype eq = name.indexOf(u'='); name.startsWith(QLatin1String("--")) && eq > 0) {
            inlineValue = name.mid(eq + 1);
            name.truncate(eq);
        }
        // Options that take a value accept "--opt VALUE" and "--opt=VALUE".
        auto value = [&](QString *out) {
            if (inlineValue) {
                *out = *inlineValue;
            } else if (i + 1 < arguments.size()) {
                *out = arguments.at(++i);
            } else {
                result.error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            if (out->isEmpty()) {
                result.error = QStringLiteral("%1 needs a non-empty value").arg(name);
                return false;
            }
            return true;
        };
        auto flag = [&](bool *out) {
            if (inlineValue) {
                result.error = QStringLiteral("%1 takes no value").arg(name);
                return false;
            }
            *out = true;
            return true;
        };

        bool ok = true;
        if (name == QLatin1String(kSettingsDir)) {
            ok = value(&o.settingsDir);
        } else if (name == QLatin1String(kScenario)) {
            ok = value(&o.scenarioFile);
        } else if (name == QLatin1String(kLocal)) {
            ok = value(&o.localCall);
        } else if (name == QLatin1String(kChatLog)) {
            ok = value(&o.chatLogFile);
        } else if (name == QLatin1String(kSeed)) {
            QString text;
            ok = value(&text);
            if (ok) {
                bool number = false;
                const qulonglong seed = text.toULongLong(&number);
                if (!number || seed > 0xFFFFFFFFull || text.startsWith(u'+')) {
                    result.error = QStringLiteral("--seed needs a whole number from 0 to 4294967295, not \"%1\"").arg(text);
                    ok = false;
                } else {
                    o.seed = quint32(seed);
                }
            }
        } else if (name == QLatin1String(kExitWhenIdle)) {
            ok = flag(&o.exitWhenIdle);
        } else if (name == QLatin1String(kHelp) || name == QLatin1String("-h")) {
            ok = flag(&o.help);
        } else if (name == QLatin1String(kVersion)) {
            ok = flag(&o.version);
        } else {
            result.error = name.startsWith(u'-') ? QStringLiteral("unknown option %1").arg(name)
                                                 : QStringLiteral("unexpected argument \"%1\"").arg(name);
            ok = false;
        }
        if (!ok)
            return result;
    }
    return result;
}

QString usageText(const QString &programName)
{
    return QStringLiteral(
               "Usage: %1 [options]\n"
               "Control panel for an HF station reachable as an EchoLink node; runs on the built-in\n"
               "simulated link unless Setup / Link Settings chooses the EchoLink network.\n"
               "\n"
               "Options:\n"
               "  --settings-dir DIR  keep the settings files in DIR (else $TAVRIN_CONFIG_DIR,\n"
               "                      else $XDG_CONFIG_HOME/tavrin)\n"
               "  --scenario FILE     run a scripted session and exit 0 when every expectation held\n"
               "  --local CALL        local callsign on the simulated link (default XX1TVR-L)\n"
               "  --seed N            seed of the simulated link's activity\n"
               "  --chat-log FILE     append every line sent on the chat channel to FILE\n"
               "  --exit-when-idle    quit once the main window is up and painted (start-up benchmark)\n"
               "  --help              show this text\n"
               "  --version           show the version\n")
        .arg(programName);
}

} // namespace tavrin
