#include "maintenance/AboutWindow.h"

#include "common/Installation.h"
#include "common/WindowNames.h"
#include "maintenance/AboutPictures.h"
#include "maintenance/ConfigBackup.h"
#include "maintenance/MaintenanceTexts.h"
#include "maintenance/UpdatePrompt.h"
#include "maintenance/VersionCheck.h"
#include "maintenance/VersionFetch.h"
#include "ui/FocusFrame.h"
#include "ui/ReadableColors.h"

#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <functional>

namespace tavrin::maintenance {

namespace {

constexpr int kLogoSize = 56;
constexpr int kIconSize = 32;

// A label that acts on a left click (press and release inside it). One that is a button to
// the keyboard too (Keys::Too) is reached by Tab and pressed with Space or Return.
class ClickableLabel final : public QLabel {
public:
    enum class Keys { MouseOnly, Too };

    ClickableLabel(std::function<void()> onClick, Keys keys, QWidget *parent)
        : QLabel(parent), onClick_(std::move(onClick))
    {
        if (keys == Keys::Too)
            setFocusPolicy(Qt::TabFocus);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            onClick_();
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        const bool pressKey =
            event->key() == Qt::Key_Space || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
        if (focusPolicy() != Qt::NoFocus && pressKey && !event->isAutoRepeat()
            && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            onClick_();
            return;
        }
        QLabel::keyPressEvent(event);
    }

    void paintEvent(QPaintEvent *event) override
    {
        QLabel::paintEvent(event);
        paintFocusFrame(this);
    }

private:
    std::function<void()> onClick_;
};

QPushButton *pictureButton(const char *name, const QPixmap &picture, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(picture);
    button->setIconSize(picture.deviceIndependentSize().toSize());
    button->setFlat(true);
    return button;
}

QPushButton *captionButton(const char *name, const char *caption, QWidget *parent)
{
    auto *button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

AboutWindow::AboutWindow(AboutWindowOptions options, Fields fields, QWidget *parent)
    : QWidget(parent), options_(std::move(options)), fetch_(new VersionFetch(options_.productName, this))
{
    Q_ASSERT(options_.store && options_.dialogs && options_.clock);
    setObjectName(QString::fromLatin1(windows::kAboutWindow));
    fetch_->setTransferTimeout(options_.transferTimeoutMs);
    connect(fetch_, &VersionFetch::finished, this, &AboutWindow::fetchEnded);

    unbuilt_.progDir = options_.defaultProgramDirectory;
    if (fields == Fields::Now)
        ensureBuilt();

    const auto makeTimer = [this](int number, int interval) {
        auto *t = new QTimer(this);
        t->setObjectName(QStringLiteral("Timer%1").arg(number));
        t->setInterval(interval);
        return t;
    };
    timer1_ = makeTimer(1, kTimer1Ms);
    timer2_ = makeTimer(2, kTimer2Ms);
    timer3_ = makeTimer(3, kTimer3Ms);
    connect(timer1_, &QTimer::timeout, this, &AboutWindow::Timer1_Timer);
    connect(timer2_, &QTimer::timeout, this, &AboutWindow::Timer2_Timer);
    connect(timer3_, &QTimer::timeout, this, &AboutWindow::Timer3_Timer);
    // Timer1 waits for a fetch to end, Timer3 for the one made at load.
    timer2_->start();
}

AboutWindow::~AboutWindow() = default;

void AboutWindow::ensureBuilt()
{
    if (progDir_)
        return;
    buildLayout();
    if (!title_.isEmpty())
        title6_->setText(title_);
    progDir_->setText(unbuilt_.progDir);
    netText_->setText(unbuilt_.netText);
    status5_->setText(unbuilt_.status);
    if (unbuilt_.updateShown)
        update5_->show();
}

void AboutWindow::setVisible(bool visible)
{
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
}

void AboutWindow::setProgramDirectory(const QString &directory)
{
    if (progDir_)
        progDir_->setText(directory);
    else
        unbuilt_.progDir = directory;
}

void AboutWindow::setNetText(const QString &text)
{
    if (netText_)
        netText_->setText(text);
    else
        unbuilt_.netText = text;
}

void AboutWindow::setStatusText(const QString &text)
{
    if (status5_)
        status5_->setText(text);
    else
        unbuilt_.status = text;
}

QString AboutWindow::statusText() const
{
    return status5_ ? status5_->text() : unbuilt_.status;
}

void AboutWindow::setUpdateShown(bool shown)
{
    if (update5_)
        update5_->setVisible(shown);
    else
        unbuilt_.updateShown = shown;
}

void AboutWindow::buildLayout()
{
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 10, 12, 10);
    outer->setSpacing(8);

    // The title's click ends the program without saving: no key of the keyboard does that by
    // chance. "Click Here To Update" (Command5) is the keyboard's way, and it saves first.
    title6_ = new ClickableLabel([this] { handOver(); }, ClickableLabel::Keys::MouseOnly, this);
    title6_->setObjectName(QStringLiteral("Label6"));
    title6_->setText(QString::fromLatin1(kDesignTitle));
    QFont titleFont = title6_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    titleFont.setBold(true);
    title6_->setFont(titleFont);
    title6_->setAlignment(Qt::AlignCenter);
    outer->addWidget(title6_);

    auto *brand = new QHBoxLayout;
    auto *logo = new ClickableLabel([this] { openPage(QUrl(options_.webUrl)); }, ClickableLabel::Keys::Too, this);
    logo->setObjectName(QStringLiteral("Picture1"));
    logo->setPixmap(logoPicture(kLogoSize, devicePixelRatioF()));
    logo->setToolTip(QString::fromLatin1(kWebHint));
    pictureButtonForScreenReaders(logo, QString::fromLatin1(kWebHint));
    logo->setCursor(Qt::PointingHandCursor);
    brand->addWidget(logo);
    auto *works = new QLabel(QString::fromLatin1(kWorksWith1) + QLatin1Char('\n') + QString::fromLatin1(kWorksWith2),
                             this);
    works->setObjectName(QStringLiteral("Label1"));
    brand->addWidget(works, 1);
    outer->addLayout(brand);

    auto *frame = new QGroupBox(QString::fromLatin1(kProgDirFrame), this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto *grid = new QGridLayout(frame);
    progDir_ = new QLineEdit(frame);
    progDir_->setObjectName(QString::fromLatin1(kProgDirKey));
    progDir_->setToolTip(QString::fromLatin1(kProgDirHint));
    progDir_->setMinimumWidth(300);
    grid->addWidget(progDir_, 0, 0, 1, 2);
    auto *defaultButton = captionButton("Command8", kDefaultCaption, frame);
    auto *secondDefault = captionButton("Command4", kSecondDefaultCaption, frame);
    grid->addWidget(defaultButton, 1, 0);
    grid->addWidget(secondDefault, 1, 1);
    outer->addWidget(frame);
    connect(defaultButton, &QPushButton::clicked, this,
            [this] { askAndSetDirectory(options_.defaultProgramDirectory); });
    connect(secondDefault, &QPushButton::clicked, this,
            [this] { askAndSetDirectory(options_.secondDefaultProgramDirectory); });

    auto *check = captionButton("Command24", kCheckCaption, this);
    connect(check, &QPushButton::clicked, this, &AboutWindow::Command24_Click);
    outer->addWidget(check);
    update5_ = captionButton("Command5", kUpdateCaption, this);
    ui::showFailureColour(update5_, true, QStringLiteral(" font-weight: bold;"));
    update5_->hide();
    connect(update5_, &QPushButton::clicked, this, [this] {
        if (updaterStarted_)
            return;
        // The updater reads the directory from the file: if it could not be saved there, the
        // updater would work on another one than the field shows (the message box said why).
        if (!SaveData()
            && options_.store->ReadSetting(fileName(), QString::fromLatin1(kProgDirKey),
                                           options_.defaultProgramDirectory) != programDirectory())
            return;
        handOver();
    });
    outer->addWidget(update5_);
    status5_ = new QLabel(this);
    status5_->setObjectName(QStringLiteral("Label5"));
    status5_->setAlignment(Qt::AlignCenter);
    // It may quote what the version server said (a reason phrase): never as markup that could
    // dress a failed check up as an answer.
    status5_->setTextFormat(Qt::PlainText);
    status5_->setMinimumHeight(status5_->fontMetrics().height());
    outer->addWidget(status5_);

    auto *backup = captionButton("Command7", kBackupCaption, this);
    connect(backup, &QPushButton::clicked, this, &AboutWindow::backUp);
    outer->addWidget(backup);

    auto *bottom = new QHBoxLayout;
    auto *help = captionButton("Command6", kHelpCaption, this);
    connect(help, &QPushButton::clicked, this, [this] { openPage(QUrl(options_.webUrl)); });
    bottom->addWidget(help);
    auto *web = pictureButton("Command2", webPicture(kIconSize, devicePixelRatioF()), this);
    web->setToolTip(QString::fromLatin1(kWebHint));
    nameForScreenReaders(web, QString::fromLatin1(kWebHint));
    connect(web, &QPushButton::clicked, this, [this] { openPage(QUrl(options_.webUrl)); });
    bottom->addWidget(web);
    auto *mail = pictureButton("Command3", mailPicture(kIconSize, devicePixelRatioF()), this);
    mail->setToolTip(QString::fromLatin1(kMailHint));
    nameForScreenReaders(mail, QString::fromLatin1(kMailHint));
    connect(mail, &QPushButton::clicked, this, [this] {
        QUrl url;
        url.setScheme(QStringLiteral("mailto"));
        url.setPath(options_.mailAddress);
        QUrlQuery query;
        query.addQueryItem(QStringLiteral("subject"), QString::fromLatin1(kMailSubject));
        url.setQuery(query);
        openPage(url);
    });
    bottom->addWidget(mail);
    bottom->addStretch(1);
    auto *hideButton = captionButton("Command1", kHideCaption, this);
    connect(hideButton, &QPushButton::clicked, this, [this] {
        SaveData();
        hide();
    });
    bottom->addWidget(hideButton);
    outer->addLayout(bottom);

    // Held by the window, never shown.
    fileOnNet_ = new QLineEdit(options_.versionFileUrl, this);
    fileOnNet_->setObjectName(QStringLiteral("FileOnNet"));
    fileOnNet_->hide();
    netText_ = new QLineEdit(this);
    netText_->setObjectName(QStringLiteral("NetText"));
    netText_->hide();
}

QString AboutWindow::fileName()
{
    return QString::fromLatin1(kDirFile);
}

void AboutWindow::Form_Load(std::unique_ptr<EchoLinkClient> client)
{
    reload();
    client_ = std::move(client);

    // Without a client the callsign the main window got at start-up stands in.
    const QString callsign = askOr(options_.fallbackCallsign, [this] {
        if (!client_)
            throw EchoLinkError("no client");
        return client_->StationCallsign();
    });
    title_ = options_.productName + QLatin1String(kTitleGap) + callsign + QLatin1String(kVersionGap)
           + QLatin1String(kVersionMark) + options_.versionText;
    setWindowTitle(title_);
    if (title6_)
        title6_->setText(title_);

    loadCheckRunning_ = true;
    startFetch();
}

SaveResult AboutWindow::SaveData()
{
    const SaveResult result = options_.store->WriteSetting(fileName(), QString::fromLatin1(kProgDirKey), programDirectory());
    if (!result)
        options_.dialogs->warning(this, options_.productName, QString::fromLatin1(kSaveFailed).arg(result.error));
    return result;
}

void AboutWindow::reload()
{
    setProgramDirectory(options_.store->ReadSetting(fileName(), QString::fromLatin1(kProgDirKey),
                                                    options_.defaultProgramDirectory));
}

QString AboutWindow::programDirectory() const
{
    return progDir_ ? progDir_->text() : unbuilt_.progDir;
}

QString AboutWindow::netText() const
{
    return netText_ ? netText_->text() : unbuilt_.netText;
}

QString AboutWindow::updaterPath() const
{
    return programDirectory() + options_.updaterFileName;
}

QStringList AboutWindow::updaterArguments() const
{
    QStringList arguments;
    if (!options_.settingsDir.isEmpty())
        arguments << QString::fromLatin1(kSettingsDirOption) << options_.settingsDir;
    // The updater itself may be older than the program it updated last time.
    arguments << QString::fromLatin1(kInstalledVersionOption) << options_.versionText;
    return arguments;
}

bool AboutWindow::startUpdater()
{
    if (options_.packageManaged) {
        options_.dialogs->info(this, options_.productName, QString::fromLatin1(platform::kUpdateThroughPackageManager));
        return false;
    }
    const QString path = updaterPath();
    if (!starter_->startDetached(path, updaterArguments())) {
        // Ending now would leave the user with neither the old program nor an update.
        options_.dialogs->warning(this, options_.productName,
                                  QString::fromLatin1(kUpdaterNotStarted).arg(QDir::toNativeSeparators(path)));
        return false;
    }
    updaterStarted_ = true;
    emit endProgramRequested();
    return true;
}

void AboutWindow::handOver()
{
    // The program ends a moment after the start: a second click must not start a second updater.
    if (!updaterStarted_)
        startUpdater();
}

QTimer *AboutWindow::timer(int number) const
{
    switch (number) {
    case 1: return timer1_;
    case 2: return timer2_;
    case 3: return timer3_;
    default: return nullptr;
    }
}

void AboutWindow::Command24_Click()
{
    // A check already under way answers this click too.
    if (fetch_->isRunning())
        return;
    setNetText(QString());
    // The answer can take up to the transfer time-out: the click is seen at once.
    setStatusText(QString::fromLatin1(kChecking));
    startFetch();
}

void AboutWindow::startFetch()
{
    fetch_->start(QUrl(fileOnNet_ ? fileOnNet_->text() : options_.versionFileUrl));
}

void AboutWindow::fetchEnded(const QString &body)
{
    checkFailure_ = fetch_->failure();
    setNetText(body);
    timer1_->start();
    if (loadCheckRunning_) {
        loadCheckRunning_ = false;
        timer3_->start();
    }
}

void AboutWindow::Timer1_Timer()
{
    ignoreErrors([this] { useAutomationTimeouts(client_.get()); });
    if (isUpdateAvailable(netText(), options_.versionText) && options_.packageManaged) {
        setUpdateShown(false);
        setStatusText(QString::fromLatin1(kPackagedUpdate));
    } else if (isUpdateAvailable(netText(), options_.versionText)) {
        setUpdateShown(true);
        if (statusText() == QLatin1String(kChecking))
            setStatusText(QString());
    } else {
        setUpdateShown(false);
        setStatusText(checkFailure_.isEmpty() ? QString::fromLatin1(kNoUpdate)
                                              : QString::fromLatin1(kCheckFailed).arg(checkFailure_));
        // Enabling a running Timer2 leaves its countdown as it is.
        if (!timer2_->isActive())
            timer2_->start();
    }
    timer1_->stop();
}

void AboutWindow::Timer2_Timer()
{
    setUpdateShown(false);
    setStatusText(QString());
    timer2_->stop();
}

void AboutWindow::Timer3_Timer()
{
    if (isUpdateAvailable(netText(), options_.versionText))
        showPrompt();
    setNetText(QString());
    timer3_->stop();
}

void AboutWindow::showPrompt()
{
    if (!prompt_) {
        prompt_ = std::make_unique<UpdatePrompt>();
        // Nothing is saved before this start.
        connect(prompt_.get(), &UpdatePrompt::updateNowRequested, this, [this] { handOver(); });
        connect(prompt_.get(), &UpdatePrompt::declined, timer3_, &QTimer::stop);
        if (options_.registry)
            options_.registry->add(prompt_.get());
    }
    prompt_->show();
    prompt_->raise();
}

void AboutWindow::askAndSetDirectory(const QString &directory)
{
    const QString text = QString::fromLatin1(kPathQuestionHead) + directory + QString::fromLatin1(kPathQuestionTail)
                       + QLatin1Char('\n') + QString::fromLatin1(kPathQuestionSecondLine);
    const auto answer = options_.dialogs->message(this, QMessageBox::Question, QString::fromLatin1(kPathQuestionTitle),
                                                  text, QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::No)
        return;
    setProgramDirectory(directory);
    SaveData();
}

void AboutWindow::backUp()
{
    const BackupResult result = backupSettings(options_.store->directory(), options_.clock->now());
    if (result.ok)
        options_.dialogs->info(this, options_.productName,
                               QString::fromLatin1(kBackupDone).arg(QDir::toNativeSeparators(result.folder)));
    else
        options_.dialogs->warning(this, options_.productName, QString::fromLatin1(kBackupFailed).arg(result.error));
}

void AboutWindow::openPage(const QUrl &url)
{
    // Without a browser or mail program the click would otherwise do nothing at all.
    if (!opener_->openUrl(url))
        options_.dialogs->warning(this, options_.productName,
                                  QString::fromLatin1(kOpenFailed).arg(url.toDisplayString()));
}

void AboutWindow::closeEvent(QCloseEvent *event)
{
    // Closing is hiding plus forgetting an unsaved program directory.
    event->ignore();
    hide();
    reload();
}

} // namespace tavrin::maintenance
