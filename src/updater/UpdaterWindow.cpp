#include "updater/UpdaterWindow.h"

#include "ui/Dialogs.h"
#include "ui/ReadableLog.h"
#include "common/PlatformNames.h"
#include "updater/DoneItWindow.h"
#include "updater/UpdaterTexts.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaMethod>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

namespace tavrin::updater {

namespace {

QString tenths(qint64 value, qint64 unit)
{
    // Rounded half up to one decimal, as the amount has always been shown.
    const qint64 t = (value * 10 + unit / 2) / unit;
    return QStringLiteral("%1.%2").arg(t / 10).arg(t % 10);
}

QLabel *namedLabel(const QString &name, const QString &text)
{
    auto *label = new QLabel(text);
    label->setObjectName(name);
    return label;
}

} // namespace

UpdaterWindow::UpdaterWindow(UpdaterOptions options, QWidget *parent)
    : QWidget(parent), options_(std::move(options)), network_(std::make_unique<QNetworkAccessManager>()),
      download_(new UpdateDownload(options_.releaseKey, network_.get(), this)),
      doneIt_(std::make_unique<DoneItWindow>(options_.webUrl))
{
    setObjectName(QStringLiteral("Updater"));
    setWindowTitle(QString::fromLatin1(kWindowTitle));
    download_->setStallTimeout(options_.stallTimeoutMs);
    download_->setRunningVersion(options_.runningVersion);

    auto *layout = new QVBoxLayout(this);

    auto *introFrame = new QGroupBox;
    auto *introLayout = new QVBoxLayout(introFrame);
    auto *intro = new QPlainTextEdit;
    intro->setObjectName(QStringLiteral("Text1"));
    intro->setPlainText(QString::fromLatin1(kIntroLine1) + u'\n' + QString::fromLatin1(kIntroLine2) + u'\n'
                        + options_.webUrl);
    makeReadableLog(intro); // the address can be copied from the keyboard too
    intro->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    intro->setFixedHeight(intro->fontMetrics().lineSpacing() * 3 + int(intro->document()->documentMargin()) * 2
                          + intro->frameWidth() * 2 + 2);
    introLayout->addWidget(intro);
    layout->addWidget(introFrame);

    auto *buttonFrame = new QGroupBox;
    auto *buttonLayout = new QHBoxLayout(buttonFrame);
    updateButton_ = new QPushButton(QString::fromLatin1(kUpdateButton));
    updateButton_->setObjectName(QStringLiteral("Command3"));
    buttonLayout->addWidget(updateButton_);
    layout->addWidget(buttonFrame);

    status_ = namedLabel(QStringLiteral("Label2"), QString::fromLatin1(kReady));
    status_->setWordWrap(true);
    // It shows what a server said (a reason phrase, an address): never as markup that could
    // dress a failure up as success.
    status_->setTextFormat(Qt::PlainText);
    layout->addWidget(status_);
    amount_ = namedLabel(QStringLiteral("lblData(0)"), QString());
    layout->addWidget(amount_);
    auto *speedRow = new QHBoxLayout;
    speed_ = namedLabel(QStringLiteral("lblData(1)"), QString::fromLatin1(kSpeedCaption));
    timeLeft_ = namedLabel(QStringLiteral("lblData(2)"), QString::fromLatin1(kTimeLeftCaption));
    speedRow->addWidget(speed_);
    speedRow->addStretch();
    speedRow->addWidget(timeLeft_);
    layout->addLayout(speedRow);

    auto *exitRow = new QHBoxLayout;
    exitButton_ = new QPushButton(QString::fromLatin1(kExitButton));
    exitButton_->setObjectName(QStringLiteral("Command2"));
    exitButton_->setToolTip(QString::fromLatin1(kExitTip));
    exitRow->addStretch();
    exitRow->addWidget(exitButton_);
    layout->addLayout(exitRow);

    // Held, not shown.
    progDir_ = new QLineEdit(options_.programDirectory, this);
    progDir_->setObjectName(QStringLiteral("ProgDir"));
    progDir_->hide();
    updateProgram_ = new QLineEdit(options_.downloadUrl, this);
    updateProgram_->setObjectName(QStringLiteral("UpdateProgram"));
    updateProgram_->hide();

    completionTimer_ = new QTimer(this);
    completionTimer_->setObjectName(QStringLiteral("Timer1"));
    completionTimer_->setInterval(kCompletionDelayMs);
    completionTimer_->setSingleShot(false);
    speedTimer_ = new QTimer(this);
    speedTimer_->setObjectName(QStringLiteral("tmrSpeedTest"));
    speedTimer_->setInterval(kSpeedTickMs);
    speedTimer_->start();

    connect(updateButton_, &QPushButton::clicked, this, &UpdaterWindow::Command3_Click);
    connect(exitButton_, &QPushButton::clicked, this, &UpdaterWindow::Command2_Click);
    connect(completionTimer_, &QTimer::timeout, this, &UpdaterWindow::Timer1_Timer);
    connect(speedTimer_, &QTimer::timeout, this, &UpdaterWindow::tmrSpeedTest_Timer);
    connect(download_, &UpdateDownload::blockReceived, this, &UpdaterWindow::ProgressBar);
    connect(download_, &UpdateDownload::finished, this, &UpdaterWindow::downloadFinished);

    resize(420, sizeHint().height());
}

UpdaterWindow::~UpdaterWindow()
{
    download_->disconnect(this); // a cancel from the download's destructor must not reach us
}

QString UpdaterWindow::targetPath() const
{
    return progDir_->text() + QLatin1String(platform::kMainProgramFile);
}

QString UpdaterWindow::amountText(qint64 bytes) { return tenths(bytes, 1000) + QLatin1String(kAmountSuffix); }

QString UpdaterWindow::speedText(qint64 bytesPerTick)
{
    return QLatin1String(kSpeedPrefix) + tenths(bytesPerTick, 1024) + QLatin1String(kSpeedSuffix);
}

QString UpdaterWindow::timeLeftText(qint64 expected, qint64 received, qint64 bytesPerSecond)
{
    if (expected <= 0 || bytesPerSecond <= 0)
        return QString::fromLatin1(kTimeLeftCaption);
    const qint64 remaining = std::max<qint64>(0, expected - received);
    const qint64 seconds = (remaining + bytesPerSecond - 1) / bytesPerSecond;
    const QString clock = seconds >= 3600
        ? QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(seconds / 60 % 60, 2, 10, QLatin1Char('0')).arg(seconds % 60, 2, 10, QLatin1Char('0'))
        : QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return QLatin1String(kTimeLeftPrefix) + clock;
}

void UpdaterWindow::ProgressBar(qint64 lSize, qint64 lDone)
{
    if (lDone == 0)
        return;
    bytesShown_ = lDone;
    const bool lastBlock = lSize > 0 && lDone >= lSize;
    const bool due = lastBlock || !sinceRepaint_.isValid() || sinceRepaint_.elapsed() >= kAmountRepaintMs;
    // Formatting a text per block is only worth it when someone listens or the label is due.
    static const QMetaMethod amountSignal = QMetaMethod::fromSignal(&UpdaterWindow::amountShown);
    if (!due && !isSignalConnected(amountSignal))
        return;
    const QString text = amountText(lDone);
    emit amountShown(text);
    if (due && amount_->text() != text) {
        amount_->setText(text);
        amount_->repaint();
        sinceRepaint_.restart();
    }
}

void UpdaterWindow::showAmountNow()
{
    if (bytesShown_ == 0)
        return;
    const QString text = amountText(bytesShown_);
    if (amount_->text() != text) {
        amount_->setText(text);
        amount_->repaint();
    }
}

void UpdaterWindow::setStatus(const QString &text)
{
    status_->setText(text);
    // A reason of several lines (a long program directory) must be read whole: the window grows
    // to fit it rather than squeeze it over the other controls.
    layout()->activate();
    const int needed = layout()->totalHeightForWidth(width());
    if (needed > height())
        resize(width(), needed);
}

void UpdaterWindow::Command3_Click()
{
    if (download_->inProgress())
        return;
    // Checked at each attempt: the program may have been put in place meanwhile.
    if (const QString problem = programDirectoryProblem(progDir_->text()); !problem.isEmpty()) {
        setStatus(QString::fromLatin1(kFailedPrefix) + problem);
        return;
    }
    setStatus(QString::fromLatin1(kDownloading));
    updateButton_->setEnabled(false);
    bytesShown_ = 0;
    bytesAtLastTick_ = 0;
    sinceRepaint_.invalidate();
    speed_->setText(QString::fromLatin1(kSpeedCaption));
    timeLeft_->setText(QString::fromLatin1(kTimeLeftCaption));
    speedTag_.clear();
    speedTimer_->setInterval(kSpeedTickMs);
    speedTimer_->start();
    download_->start(updateProgram_->text(), targetPath());
}

void UpdaterWindow::downloadFinished(bool ok, const QString &reason)
{
    if (speedTag_ != QLatin1String(kCloseTag))
        speedTimer_->stop();
    showAmountNow();
    updateButton_->setEnabled(true);
    if (!ok) {
        // No time is left on a transfer that is over.
        timeLeft_->setText(QString::fromLatin1(kTimeLeftCaption));
        setStatus(QString::fromLatin1(kFailedPrefix) + reason);
        return;
    }
    setStatus(QString::fromLatin1(kStandBy));
    amount_->clear();
    hide();
    doneIt_->show();
    completionTimer_->start();
}

void UpdaterWindow::Timer1_Timer()
{
    completionTimer_->stop();
    const QString target = targetPath();
    const QString defaultTarget = options_.defaultProgramDirectory + QLatin1String(platform::kMainProgramFile);
    // Only an installed copy in the default place is restarted; any other copy (or one that
    // will not start) is left to the user. So is a program still running: a second copy would
    // only say that it is already running, and the old one would go on.
    const bool started = target == defaultTarget && !programRunning() && startProgram(target);
    if (!started && options_.dialogs)
        options_.dialogs->info(doneIt_.get(), QString::fromLatin1(kWindowTitle), QString::fromLatin1(kUpdatedMessage));
    endUpdater();
}

void UpdaterWindow::Command2_Click()
{
    download_->cancel(); // removes the partial download, if any
    // A relative or run-together path could start some other program found elsewhere.
    if (programDirectoryProblem(progDir_->text()).isEmpty())
        startProgram(targetPath());
    endUpdater();
}

void UpdaterWindow::tmrSpeedTest_Timer()
{
    if (speedTag_ == QLatin1String(kCloseTag)) {
        if (!download_->inProgress()) {
            speedTimer_->stop();
            speedTag_.clear();
            close();
        }
        return;
    }
    showAmountNow(); // a throttled amount catches up, even while the transfer stalls
    const qint64 received = download_->bytesReceived();
    const qint64 difference = received - bytesAtLastTick_;
    if (difference > 0) {
        speed_->setText(speedText(difference));
        timeLeft_->setText(timeLeftText(download_->expectedSize(), received, difference));
    }
    bytesAtLastTick_ = received;
}

void UpdaterWindow::closeEvent(QCloseEvent *event)
{
    if (!download_->inProgress()) {
        event->accept();
        completionTimer_->stop();
        if (!doneIt_->isVisible())
            emit ended();
        return;
    }
    // During a download: hide at once, stop the download, and close for good once it is over.
    hide();
    speedTag_ = QString::fromLatin1(kCloseTag);
    speedTimer_->setInterval(kCloseCheckMs);
    speedTimer_->start();
    download_->cancel();
    event->ignore();
}

void UpdaterWindow::endUpdater()
{
    completionTimer_->stop();
    speedTimer_->stop();
    doneIt_->hide();
    hide();
    emit ended();
}

bool UpdaterWindow::programRunning() const
{
    return options_.programRunning && options_.programRunning();
}

bool UpdaterWindow::startProgram(const QString &program)
{
    if (options_.startProgram)
        return options_.startProgram(program, options_.programArguments);
    return QProcess::startDetached(program, options_.programArguments);
}

} // namespace tavrin::updater
