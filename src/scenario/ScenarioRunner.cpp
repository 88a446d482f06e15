#include "scenario/ScenarioRunner.h"

#include "core/MainWindow.h"

#include <QEventLoop>
#include <QHash>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace tavrin::scenario {

namespace {

// Passes of the event loop between two steps, so that events a step raised (and the events
// their handlers post in turn) are delivered before the next step looks.
constexpr int kSettleHops = 10;

QMessageBox::StandardButton answerButton(const QString &word)
{
    if (word.compare(QLatin1String("Yes"), Qt::CaseInsensitive) == 0)
        return QMessageBox::Yes;
    if (word.compare(QLatin1String("No"), Qt::CaseInsensitive) == 0)
        return QMessageBox::No;
    return QMessageBox::Ok;
}

bool isOn(const QString &word) { return parseFlag(word).value_or(false); }

} // namespace

ScenarioRunner::ScenarioRunner(Script script, RunnerOptions options, QObject *parent)
    : QObject(parent)
    , script_(std::move(script))
    , options_(std::move(options))
    , store_(options_.settingsDir)
    , probe_([this](const QString &name) { return window(name); })
{
    SimulatedLink::Options linkOptions;
    linkOptions.seed = options_.seed;
    linkOptions.backgroundActivity = false; // until `activity on`
    link_ = std::make_unique<SimulatedLink>(linkOptions);
}

ScenarioRunner::~ScenarioRunner()
{
    // Windows and their client handles go before the factories and the link they use.
    program_.reset();
    recording_.reset();
    stationFactory_.reset();
}

void ScenarioRunner::begin()
{
    QTimer::singleShot(0, this, [this] { runNext(); });
}

ScenarioRunner::Handler ScenarioRunner::handlerFor(const QString &name)
{
    static const QHash<QString, Handler> handlers = {
        {QStringLiteral("start"), &ScenarioRunner::doStart},
        {QStringLiteral("local"), &ScenarioRunner::doLocal},
        {QStringLiteral("no-client"), &ScenarioRunner::doNoClient},
        {QStringLiteral("setting"), &ScenarioRunner::doSetting},
        {QStringLiteral("link"), &ScenarioRunner::doLink},
        {QStringLiteral("unlink"), &ScenarioRunner::doUnlink},
        {QStringLiteral("transmitting"), &ScenarioRunner::doTransmitting},
        {QStringLiteral("node"), &ScenarioRunner::doNode},
        {QStringLiteral("activity"), &ScenarioRunner::doActivity},
        {QStringLiteral("answer"), &ScenarioRunner::doAnswer},
        {QStringLiteral("event"), &ScenarioRunner::doEvent},
        {QStringLiteral("wait"), &ScenarioRunner::doWait},
        {QStringLiteral("click"), &ScenarioRunner::doClick},
        {QStringLiteral("close"), &ScenarioRunner::doClose},
        {QStringLiteral("type"), &ScenarioRunner::doType},
        {QStringLiteral("key"), &ScenarioRunner::doKey},
        {QStringLiteral("tick"), &ScenarioRunner::doTick},
        {QStringLiteral("screenshot"), &ScenarioRunner::doScreenshot},
        {QStringLiteral("expect"), &ScenarioRunner::doExpect},
        {QStringLiteral("expect-sent"), &ScenarioRunner::doExpectSent},
        {QStringLiteral("expect-nothing-sent"), &ScenarioRunner::doExpectNothingSent},
        {QStringLiteral("expect-call"), &ScenarioRunner::doExpectCall},
        {QStringLiteral("expect-no-call"), &ScenarioRunner::doExpectNoCall},
        {QStringLiteral("expect-message"), &ScenarioRunner::doExpectMessage},
        {QStringLiteral("expect-setting"), &ScenarioRunner::doExpectSetting},
        {QStringLiteral("expect-no-file"), &ScenarioRunner::doExpectNoFile},
    };
    return handlers.value(name, nullptr);
}

// Steps that act on the program or the link; once the program has ended they cannot mean
// anything, so they fail instead of passing silently.
bool ScenarioRunner::drivesProgram(const QString &name)
{
    static const QStringList names = {
        QStringLiteral("click"),    QStringLiteral("close"),        QStringLiteral("type"),         QStringLiteral("key"),
        QStringLiteral("tick"),     QStringLiteral("event"),        QStringLiteral("link"),
        QStringLiteral("unlink"),   QStringLiteral("transmitting"), QStringLiteral("node"),
        QStringLiteral("activity"), QStringLiteral("answer"),
    };
    return names.contains(name);
}

void ScenarioRunner::runNext()
{
    if (finished_)
        return;
    if (next_ >= script_.steps.size()) {
        finish(kScenarioPassed);
        return;
    }
    const Step &step = script_.steps.at(next_++);
    currentLine_ = step.line;

    Outcome outcome;
    if (ended_ && drivesProgram(step.name)) {
        outcome = Outcome::failure(QStringLiteral("the program running for %1").arg(step.name),
                                   QStringLiteral("it ended on line %1").arg(endedLine_));
    } else if (ended_ && step.name == QLatin1String("wait")) {
        outcome = Outcome::success(); // nothing left to wait for
    } else {
        try {
            outcome = (this->*handlerFor(step.name))(step);
        } catch (const std::exception &e) {
            outcome = Outcome::failure(QStringLiteral("%1 to run").arg(step.name),
                                       QStringLiteral("an error: %1").arg(QString::fromLocal8Bit(e.what())));
        }
    }
    if (!outcome.ok) {
        fail(step, outcome);
        return;
    }
    if (const auto &mismatch = dialogs_.mismatch()) {
        fail(Step{mismatch->line, QStringLiteral("answer"), {}}, Outcome::failure(mismatch->expected, mismatch->got));
        return;
    }
    settleThen(kSettleHops);
}

void ScenarioRunner::settleThen(int hops)
{
    QTimer::singleShot(0, this, [this, hops] {
        if (hops > 1)
            settleThen(hops - 1);
        else
            runNext();
    });
}

void ScenarioRunner::fail(const Step &step, const Outcome &outcome)
{
    const QString where = step.line > 0 ? QStringLiteral("line %1").arg(step.line) : QStringLiteral("start");
    const QString text = QStringLiteral("%1: expected %2, got %3\n").arg(where, outcome.expected, outcome.got);
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    finish(kScenarioFailed);
}

void ScenarioRunner::interrupt(int signalNumber)
{
    if (finished_)
        return;
    if (program_ && program_->mainWindow())
        program_->mainWindow()->exitProgram();
    const QString where = currentLine_ > 0 ? QStringLiteral("line %1").arg(currentLine_) : QStringLiteral("start");
    std::fputs(QStringLiteral("%1: interrupted by signal %2\n").arg(where).arg(signalNumber).toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    finish(kScenarioFailed);
}

void ScenarioRunner::finish(int exitCode)
{
    if (finished_)
        return;
    finished_ = true;
    if (waitLoop_)
        waitLoop_->quit();
    emit finished(exitCode);
}

void ScenarioRunner::onProgramEnded(int)
{
    if (ended_)
        return;
    ended_ = true;
    endedLine_ = currentLine_;
    if (waitLoop_)
        waitLoop_->quit();
}

EchoLinkClientFactory *ScenarioRunner::stationFactory()
{
    if (!stationFactory_)
        stationFactory_ = link_->factoryFor(options_.localCall);
    return stationFactory_.get();
}

QWidget *ScenarioRunner::window(const QString &name) const
{
    return program_ ? program_->registry().window(name) : nullptr;
}

Outcome ScenarioRunner::doStart(const Step &)
{
    EchoLinkClientFactory *inner = stationFactory();
    recording_ = std::make_unique<RecordingClientFactory>(noClient_ ? nullptr : inner);

    ProgramOptions options;
    options.clientFactory = recording_.get();
    options.settingsDir = options_.settingsDir;
    options.dialogs = &dialogs_;
    options.servers = options_.servers;
    options.scenarioMode = true;
    options.chatLogFile = options_.chatLogFile;
    options.packageManaged = options_.packageManaged;
    program_ = std::make_unique<Program>(options);
    connect(program_.get(), &Program::ended, this, &ScenarioRunner::onProgramEnded);
    if (!program_->start())
        return Outcome::failure(QStringLiteral("the program to start"),
                                QStringLiteral("a refusal (another instance holds %1)").arg(options_.settingsDir));
    return Outcome::success();
}

Outcome ScenarioRunner::doLocal(const Step &step)
{
    if (stationFactory_)
        return Outcome::failure(QStringLiteral("local before the first step that uses the link"),
                                QStringLiteral("the link already in use as %1").arg(options_.localCall));
    options_.localCall = step.args.at(0);
    return Outcome::success();
}

Outcome ScenarioRunner::doNoClient(const Step &)
{
    noClient_ = true;
    return Outcome::success();
}

Outcome ScenarioRunner::doSetting(const Step &step)
{
    const SaveResult result = store_.WriteSetting(step.args.at(0), step.args.at(1), step.args.at(2));
    if (!result)
        return Outcome::failure(QStringLiteral("%1 written").arg(step.args.at(0)), result.error);
    return Outcome::success();
}

Outcome ScenarioRunner::doLink(const Step &step)
{
    stationFactory();
    link_->linkStation(options_.localCall, step.args.at(0));
    return Outcome::success();
}

Outcome ScenarioRunner::doUnlink(const Step &step)
{
    stationFactory();
    link_->unlinkStation(options_.localCall, step.args.at(0));
    return Outcome::success();
}

Outcome ScenarioRunner::doTransmitting(const Step &step)
{
    stationFactory();
    link_->setTransmitting(options_.localCall, isOn(step.args.at(0)));
    return Outcome::success();
}

Outcome ScenarioRunner::doNode(const Step &step)
{
    link_->setNodeQuiet(step.args.at(0).compare(QLatin1String("quiet"), Qt::CaseInsensitive) == 0);
    return Outcome::success();
}

Outcome ScenarioRunner::doActivity(const Step &step)
{
    link_->setBackgroundActivity(isOn(step.args.at(0)));
    return Outcome::success();
}

Outcome ScenarioRunner::doAnswer(const Step &step)
{
    dialogs_.queueAnswer(answerButton(step.args.at(0)), step.line);
    return Outcome::success();
}

Outcome ScenarioRunner::doEvent(const Step &step)
{
    const QString kind = step.args.at(0).toLower();
    const QString &local = options_.localCall;
    stationFactory();
    if (kind == QLatin1String("chat"))
        link_->raiseChat(local, step.args.at(1));
    else if (kind == QLatin1String("station-text"))
        link_->raiseStationText(local, step.args.at(1));
    else if (kind == QLatin1String("rx"))
        link_->raiseRx(local, isOn(step.args.at(1)));
    else if (kind == QLatin1String("connected"))
        link_->raiseConnected(local, step.args.at(1));
    else
        link_->raiseClosing(local);
    return Outcome::success();
}

Outcome ScenarioRunner::doWait(const Step &step)
{
    const int ms = step.args.at(0).toInt();
    QEventLoop loop;
    waitLoop_ = &loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return Outcome::success();
}

} // namespace tavrin::scenario
