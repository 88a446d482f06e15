#pragma once
// Runs a parsed scenario against the whole program on a simulated link: prepares the link
// and the settings, builds the program through the composition root in scenario mode, then
// executes the steps one after another from the event loop and judges the expectations.
//
// Scenario mode: the simulated link starts without background activity, every client call
// is recorded, every message box is recorded and answered. Steps run one per pass of the
// event loop, after the events the previous step raised have been delivered; only `wait`
// runs a nested event loop, for the time it names.
//
// A step that ends the program (Exit Program, `event closing`) does not end the file: the
// checks after it (settings files, sent lines, calls, messages) still run, while a step that
// would drive the ended program fails.
//
// Thread: user-interface thread. Owns the simulated link, the client factories, the message
// box recorder and the program.

#include "core/Program.h"
#include "scenario/ControlProbe.h"
#include "scenario/Outcome.h"
#include "scenario/ScenarioDialogs.h"
#include "scenario/ScenarioScript.h"
#include "echolink/RecordingClient.h"
#include "echolink/SimulatedLink.h"
#include "settings/ProfileStore.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QEventLoop;

namespace tavrin::scenario {

inline constexpr char kDefaultLocalCall[] = "XX1TVR-L";

// Exit codes of a scenario run.
inline constexpr int kScenarioPassed = 0;
inline constexpr int kScenarioFailed = 1;
inline constexpr int kScenarioUnusable = 2; // unreadable or malformed file, bad options

struct RunnerOptions {
    QString settingsDir;
    QString localCall = QString::fromLatin1(kDefaultLocalCall);
    quint32 seed = 1;
    ServerAddresses servers;
    QString chatLogFile; // --chat-log
    bool packageManaged = false; // as the running program finds itself installed
};

class ScenarioRunner : public QObject {
    Q_OBJECT
public:
    ScenarioRunner(Script script, RunnerOptions options, QObject *parent = nullptr);
    ~ScenarioRunner() override;

    // Starts executing from the event loop; finished() reports the exit code.
    void begin();
    // A termination signal: the program leaves through "Exit Program" (it saves), and the run
    // ends as failed, since its remaining steps did not run.
    void interrupt(int signalNumber);

    Program *program() const { return program_.get(); }
    SimulatedLink &link() { return *link_; }

signals:
    void finished(int exitCode);

private:
    using Handler = Outcome (ScenarioRunner::*)(const Step &);
    static Handler handlerFor(const QString &name);
    static bool drivesProgram(const QString &name);

    void runNext();
    void settleThen(int hops);
    void fail(const Step &step, const Outcome &outcome);
    void finish(int exitCode);
    void onProgramEnded(int exitCode);

    EchoLinkClientFactory *stationFactory(); // created on first use; fixes the local callsign
    QWidget *window(const QString &name) const;

    // Preparing and the link (ScenarioRunner.cpp).
    Outcome doStart(const Step &);
    Outcome doLocal(const Step &);
    Outcome doNoClient(const Step &);
    Outcome doSetting(const Step &);
    Outcome doLink(const Step &);
    Outcome doUnlink(const Step &);
    Outcome doTransmitting(const Step &);
    Outcome doNode(const Step &);
    Outcome doActivity(const Step &);
    Outcome doEvent(const Step &);
    Outcome doWait(const Step &);
    Outcome doAnswer(const Step &);

    // Controls and expectations (ScenarioChecks.cpp).
    Outcome doClick(const Step &);
    Outcome doClose(const Step &);
    Outcome doType(const Step &);
    Outcome doKey(const Step &);
    Outcome doTick(const Step &);
    Outcome doScreenshot(const Step &);
    Outcome doExpect(const Step &);
    Outcome doExpectSent(const Step &);
    Outcome doExpectNothingSent(const Step &);
    Outcome doExpectCall(const Step &);
    Outcome doExpectNoCall(const Step &);
    Outcome doExpectMessage(const Step &);
    Outcome doExpectSetting(const Step &);
    Outcome doExpectNoFile(const Step &);

    Script script_;
    RunnerOptions options_;
    ProfileStore store_;
    ControlProbe probe_;

    // Declared in dependency order: the program goes first, the link last.
    std::unique_ptr<SimulatedLink> link_;
    std::unique_ptr<EchoLinkClientFactory> stationFactory_;
    std::unique_ptr<RecordingClientFactory> recording_;
    ScenarioDialogs dialogs_;
    std::unique_ptr<Program> program_;

    int next_ = 0;
    int currentLine_ = 0;
    bool noClient_ = false;
    bool finished_ = false;
    bool ended_ = false;
    int endedLine_ = 0;
    qsizetype sentMatched_ = 0;
    qsizetype callsMatched_ = 0;
    qsizetype messagesMatched_ = 0;
    QPointer<QEventLoop> waitLoop_;
};

} // namespace tavrin::scenario
