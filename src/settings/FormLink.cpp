#include "settings/FormLink.h"
#include "ui/ReadableColors.h"

#ifndef Q_OS_WIN // no Qt Multimedia there; the native link and its devices are Linux-only
#include <QAudioDevice>
#endif
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#ifndef Q_OS_WIN
#include <QMediaDevices>

#include "audio/SoundServerGate.h"
#endif
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavrin::link {

namespace {

constexpr char kCaption[] = "Link Settings";
constexpr char kBackendFrame[] = "Link";
constexpr char kSimulatedCaption[] = "&Simulated link";
constexpr char kEchoLinkCaption[] = "&EchoLink network";
constexpr char kStationFrame[] = "EchoLink station";
constexpr char kDefaultDevice[] = "Default";
constexpr char kMissingDevice[] = "%1 (not present)";
constexpr char kServerSilent[] = "The sound server does not answer: only the chosen devices are offered. "
                                 "Reopen this window once it is back.";
constexpr char kPasswordHint[] = "kept in the keychain; leave empty to keep it";
constexpr char kServersHint[] = "host or host:port, separated by commas";

constexpr char kSaved[] = "Saved. A change of backend takes effect at the next start.";
constexpr char kSavedStoring[] = "Saved; storing the password in the keychain ...";
constexpr char kSavedWithPassword[] = "Saved, password stored in the keychain. "
                                      "A change of backend takes effect at the next start.";
constexpr char kNoKeychain[] = "Saved, but the password can't be stored: there is no keychain service on this "
                               "desktop. A change of backend takes effect at the next start.";
constexpr char kPasswordFailed[] = "Saved, but the password could not be stored: %1";
constexpr char kNeedCallsign[] = "The EchoLink link needs a callsign.";
#ifdef Q_OS_WIN
constexpr bool kClientBringsCallsign = true;
constexpr char kClientIsTheStation[] = "The EchoLink program is the station: its callsign, password, directory "
                                       "servers and sound devices are set in EchoLink itself.";
#else
constexpr bool kClientBringsCallsign = false;
#endif
constexpr char kPasswordNeedsCallsign[] = "The password is kept under the callsign: enter the callsign first.";
constexpr char kBadCallsign[] = "A callsign has only letters, digits, \"-\" and \"/\", at most %1 of them.";
constexpr char kBadPortBase[] = "The port base must be a number from %1 to %2.";
constexpr char kBadServers[] = "Directory servers: host names, each with an optional \":port\", "
                               "separated by commas.";

QLineEdit *addLine(QFormLayout *form, QWidget *parent, const char *name, const char *label)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    form->addRow(QString::fromLatin1(label), edit);
    return edit;
}

QComboBox *addCombo(QFormLayout *form, QWidget *parent, const char *name, const char *label)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    form->addRow(QString::fromLatin1(label), combo);
    return combo;
}

// Capitals as they are typed, keeping the cursor where it was.
void upperCaseTyped(QLineEdit *edit, const QString &text)
{
    const QString upper = text.toUpper();
    if (upper == text)
        return;
    const int cursor = edit->cursorPosition();
    edit->setText(upper);
    edit->setCursorPosition(cursor);
}

} // namespace

FormLink::FormLink(ProfileStore &store, PasswordVault &vault, Fields fields, QWidget *parent)
    : QWidget(parent), store_(store), vault_(vault)
{
    setObjectName(QString::fromLatin1(kWindowName));
    setWindowTitle(QString::fromLatin1(kCaption));
    setMinimumWidth(420);
    // The file is read at load either way: the window shows what it held then.
    reload();
    if (fields == Fields::Now)
        ensureBuilt();
}

FormLink::~FormLink() = default;

void FormLink::ensureBuilt()
{
    if (statusLine_)
        return;
    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(10, 8, 10, 8);

    auto *backendFrame = new QGroupBox(QString::fromLatin1(kBackendFrame), this);
    backendFrame->setObjectName(QStringLiteral("BackendFrame"));
    auto *backendRow = new QHBoxLayout(backendFrame);
    simulated_ = new QRadioButton(QString::fromLatin1(kSimulatedCaption), backendFrame);
    simulated_->setObjectName(QStringLiteral("BackendSimulated"));
    echoLink_ = new QRadioButton(QString::fromLatin1(kEchoLinkCaption), backendFrame);
    echoLink_->setObjectName(QStringLiteral("BackendEchoLink"));
    auto *group = new QButtonGroup(backendFrame);
    group->addButton(simulated_);
    group->addButton(echoLink_);
    backendRow->addWidget(simulated_);
    backendRow->addWidget(echoLink_);
    backendRow->addStretch();
    outer->addWidget(backendFrame);

    auto *stationFrame = new QGroupBox(QString::fromLatin1(kStationFrame), this);
    stationFrame->setObjectName(QStringLiteral("StationFrame"));
    auto *form = new QFormLayout(stationFrame);
    callsign_ = addLine(form, stationFrame, "Callsign", "&Callsign:");
    connect(callsign_, &QLineEdit::textEdited, this, [this](const QString &text) { upperCaseTyped(callsign_, text); });
    password_ = addLine(form, stationFrame, "Password", "&Password:");
    password_->setEchoMode(QLineEdit::Password);
    password_->setPlaceholderText(QString::fromLatin1(kPasswordHint));
    operatorName_ = addLine(form, stationFrame, "OperatorName", "&Name:");
    location_ = addLine(form, stationFrame, "Location", "&Location:");
    servers_ = addLine(form, stationFrame, "Servers", "&Directory servers:");
    servers_->setPlaceholderText(QString::fromLatin1(kServersHint));
    portBase_ = addLine(form, stationFrame, "PortBase", "P&ort base (UDP):");
    portBase_->setMaxLength(5);
    audioInput_ = addCombo(form, stationFrame, "AudioInput", "Audio &input:");
    audioOutput_ = addCombo(form, stationFrame, "AudioOutput", "Audio o&utput:");
    outer->addWidget(stationFrame);
#ifdef Q_OS_WIN
    // Windows hook: the EchoLink program brings everything the station frame holds, so the
    // frame would only offer fields that change nothing. It stays, hidden, so that a save keeps
    // what the file holds for the native link.
    stationFrame->hide();
    auto *clientNote = new QLabel(QString::fromLatin1(kClientIsTheStation), this);
    clientNote->setObjectName(QStringLiteral("ClientIsTheStation"));
    clientNote->setWordWrap(true);
    outer->addWidget(clientNote);
#endif

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    auto *save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("Save"));
    save->setDefault(true);
    connect(save, &QPushButton::clicked, this, [this] { SaveData(); });
    auto *cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, this, [this] { close(); });
    buttons->addWidget(save);
    buttons->addWidget(cancel);
    outer->addLayout(buttons);

    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setWordWrap(true);
    outer->addWidget(statusLine_);

    showSettings();
}

void FormLink::setVisible(bool visible)
{
    if (visible)
        ensureBuilt();
    QWidget::setVisible(visible);
}

void FormLink::reload()
{
    settings_ = LinkSettings::load(store_);
    if (statusLine_)
        showSettings();
}

void FormLink::showSettings()
{
    const LinkSettings &s = settings_;
    (s.backend == LinkSettings::Backend::EchoLink ? echoLink_ : simulated_)->setChecked(true);
    callsign_->setText(s.callsign);
    password_->clear();
    operatorName_->setText(s.name);
    location_->setText(s.location);
    servers_->setText(s.directoryServers.join(QStringLiteral(", ")));
    portBase_->setText(QString::number(s.portBase));
    fillDevices(audioInput_, true, s.audioInput, isVisible());
    fillDevices(audioOutput_, false, s.audioOutput, isVisible());
    // The fields show defaults where the file held something unusable: say what it was.
    if (!s.problem.isEmpty())
        showStatus(s.problem, true);
}

void FormLink::showEvent(QShowEvent *event)
{
    fillDevices(audioInput_, true, audioInput_->currentData().toString(), true);
    fillDevices(audioOutput_, false, audioOutput_->currentData().toString(), true);
    QWidget::showEvent(event);
}

void FormLink::fillDevices(QComboBox *combo, bool inputs, const QString &selectedId, bool list)
{
    combo->clear();
    combo->addItem(QString::fromLatin1(kDefaultDevice), QString());
    if (!list) {
        if (!selectedId.isEmpty())
            combo->addItem(selectedId, selectedId);
        combo->setCurrentIndex(combo->count() - 1);
        return;
    }
#ifndef Q_OS_WIN
    if (!SoundServerGate::open()) {
        // Reading Qt's list now could wait on a hung server: offer the choice as it stands and
        // list the devices once the server has answered.
        if (!devicesGate_) {
            devicesGate_ = new SoundServerGate(this);
            connect(devicesGate_, &SoundServerGate::answered, this, [this](bool open) {
                if (!open)
                    return showStatus(QString::fromLatin1(kServerSilent), true);
                if (isVisible()) {
                    fillDevices(audioInput_, true, audioInput_->currentData().toString(), true);
                    fillDevices(audioOutput_, false, audioOutput_->currentData().toString(), true);
                }
            });
        }
        devicesGate_->ask();
        return fillDevices(combo, inputs, selectedId, false);
    }
    const QList<QAudioDevice> devices = inputs ? QMediaDevices::audioInputs() : QMediaDevices::audioOutputs();
    for (const QAudioDevice &device : devices)
        combo->addItem(device.description(), QString::fromUtf8(device.id()));
#else
    Q_UNUSED(inputs);
#endif
    if (selectedId.isEmpty())
        return combo->setCurrentIndex(0);
    int index = combo->findData(selectedId);
    if (index < 0) {
        // A device that is unplugged now stays chosen: saving must not forget it.
        combo->addItem(QString::fromLatin1(kMissingDevice).arg(selectedId), selectedId);
        index = combo->count() - 1;
    }
    combo->setCurrentIndex(index);
}

bool FormLink::SaveData()
{
    ensureBuilt(); // saves what the fields would show
    LinkSettings s;
    s.backend = echoLink_->isChecked() ? LinkSettings::Backend::EchoLink : LinkSettings::Backend::Simulated;
    s.callsign = callsign_->text().trimmed().toUpper();
    const QString password = password_->text();

    if (!s.callsign.isEmpty() && !LinkSettings::isValidCallsign(s.callsign)) {
        showStatus(QString::fromLatin1(kBadCallsign).arg(LinkSettings::kMaxCallsignLength), true);
        return false;
    }
    // On Windows the EchoLink client brings its own callsign; our station needs one.
    if (s.callsign.isEmpty() && s.backend == LinkSettings::Backend::EchoLink && !kClientBringsCallsign) {
        showStatus(QString::fromLatin1(kNeedCallsign), true);
        return false;
    }
    if (s.callsign.isEmpty() && !password.isEmpty()) {
        showStatus(QString::fromLatin1(kPasswordNeedsCallsign), true);
        return false;
    }
    bool numeric = false;
    s.portBase = portBase_->text().trimmed().toInt(&numeric);
    if (!numeric || !LinkSettings::isValidPortBase(s.portBase)) {
        showStatus(QString::fromLatin1(kBadPortBase).arg(LinkSettings::kMinPortBase).arg(LinkSettings::kMaxPortBase),
                   true);
        return false;
    }
    const std::optional<QStringList> servers = LinkSettings::parseServers(servers_->text());
    if (!servers) {
        showStatus(QString::fromLatin1(kBadServers), true);
        return false;
    }
    s.directoryServers = servers->isEmpty() ? LinkSettings::defaultDirectoryServers() : *servers;
    s.name = operatorName_->text().trimmed();
    s.location = location_->text().trimmed();
    s.audioInput = audioInput_->currentData().toString();
    s.audioOutput = audioOutput_->currentData().toString();

    const SaveResult saved = s.save(store_);
    if (!saved) {
        showStatus(saved.error, true);
        return false;
    }
    callsign_->setText(s.callsign);
    servers_->setText(s.directoryServers.join(QStringLiteral(", ")));
    ++vaultRequest_; // an answer still on its way no longer speaks for this save
    if (password.isEmpty()) {
        showStatus(QString::fromLatin1(kSaved), false);
    } else {
        showStatus(QString::fromLatin1(kSavedStoring), false);
        storePassword(s.callsign, password);
    }
    return true;
}

void FormLink::storePassword(const QString &callsign, const QString &password)
{
    const quint64 request = vaultRequest_;
    QPointer<FormLink> self(this);
    vault_.write(callsign, password, [self, request](const PasswordVault::Result &result) {
        if (!self || request != self->vaultRequest_)
            return;
        if (result.ok) {
            self->password_->clear();
            self->showStatus(QString::fromLatin1(kSavedWithPassword), false);
        } else if (result.noService) {
            self->showStatus(QString::fromLatin1(kNoKeychain), true);
        } else {
            self->showStatus(QString::fromLatin1(kPasswordFailed).arg(result.error), true);
        }
    });
}

void FormLink::showStatus(const QString &text, bool failure)
{
    ui::showFailureColour(statusLine_, failure);
    statusLine_->setText(text);
}

void FormLink::closeEvent(QCloseEvent *event)
{
    // Closing is hiding plus forgetting unsaved edits; the window lives on.
    event->ignore();
    hide();
    ++vaultRequest_;
    if (statusLine_)
        statusLine_->clear();
    reload();
}

} // namespace tavrin::link
