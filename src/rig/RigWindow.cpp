#include "rig/RigWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace tavrin::rig {

namespace {

template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

} // namespace

RigWindow::RigWindow(ProfileStore &store, QWidget *parent) : QWidget(parent), store_(store)
{
    setObjectName(QString::fromLatin1(kWindowName));
    setWindowTitle(QString::fromLatin1(kWindowTitle));

    enabled_ = named(new QCheckBox(QStringLiteral("&Rig server on")), "RigEnabled");
    address_ = named(new QLineEdit, "RigAddress");
    address_->setToolTip(QStringLiteral("127.0.0.1 keeps the server to this computer"));
    allowRemote_ = named(new QCheckBox(QStringLiteral("Accept connections from &other computers")), "RigAllowRemote");
    port_ = named(new QSpinBox, "RigPort");
    port_->setRange(1, 65535);
    allowPtt_ = named(new QCheckBox(QStringLiteral("Allow clients to key the &transmitter (PTT)")), "RigAllowPTT");
    pttTimeout_ = named(new QSpinBox, "RigPTTTimeout");
    pttTimeout_->setRange(1, kMaxPttTimeoutS);
    pttTimeout_->setSuffix(QStringLiteral(" s"));
    pttTimeout_->setToolTip(QStringLiteral("A transmitter keyed by a client is released after this time"));

    auto *form = new QFormLayout;
    form->addRow(enabled_);
    form->addRow(QStringLiteral("&Address:"), address_);
    form->addRow(allowRemote_);
    form->addRow(QStringLiteral("&Port:"), port_);
    form->addRow(allowPtt_);
    form->addRow(QStringLiteral("PTT time-o&ut:"), pttTimeout_);

    auto *save = named(new QPushButton(QStringLiteral("&Save")), "RigSave");
    auto *hideButton = named(new QPushButton(QStringLiteral("&Hide")), "RigHide");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(hideButton);

    statusLine_ = named(new QLabel, "StatusLine");
    statusLine_->setWordWrap(true);
    statusLine_->setFrameShape(QFrame::StyledPanel);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(statusLine_);

    connect(save, &QPushButton::clicked, this, [this] { SaveData(); });
    connect(hideButton, &QPushButton::clicked, this, &QWidget::hide);
    connect(allowPtt_, &QCheckBox::toggled, pttTimeout_, &QWidget::setEnabled);
    reload();
}

void RigWindow::showSettings(const RigSettings &s)
{
    enabled_->setChecked(s.enabled);
    address_->setText(s.address);
    allowRemote_->setChecked(s.allowRemote);
    port_->setValue(s.port);
    allowPtt_->setChecked(s.allowPtt);
    pttTimeout_->setValue(s.pttTimeoutS);
    pttTimeout_->setEnabled(s.allowPtt);
}

void RigWindow::reload()
{
    const RigSettings s = RigSettings::load(store_);
    showSettings(s);
    // The fields show defaults where the file held something unusable: say what it was.
    if (!s.problem.isEmpty())
        showStatus(s.problem);
}

std::optional<RigSettings> RigWindow::edited()
{
    RigSettings s;
    s.enabled = enabled_->isChecked();
    s.address = address_->text().trimmed();
    s.allowRemote = allowRemote_->isChecked();
    s.port = port_->value();
    s.allowPtt = allowPtt_->isChecked();
    s.pttTimeoutS = pttTimeout_->value();
    if (QHostAddress(s.address).isNull()) {
        showStatus(QString::fromLatin1(kBadAddress).arg(s.address));
        return std::nullopt;
    }
    if (!isLoopback(s.address) && !s.allowRemote) {
        showStatus(QString::fromLatin1(kRemoteNeedsChoice).arg(s.address));
        return std::nullopt;
    }
    return s;
}

SaveResult RigWindow::SaveData()
{
    const std::optional<RigSettings> s = edited();
    if (!s)
        return {false, statusLine_->text()};
    const SaveResult result = s->save(store_);
    if (!result) {
        showStatus(result.error);
        return result;
    }
    emit settingsSaved(*s);
    return result;
}

void RigWindow::showStatus(const QString &text) { statusLine_->setText(text); }

void RigWindow::closeEvent(QCloseEvent *event)
{
    // Closing is hiding plus forgetting unsaved edits.
    event->ignore();
    hide();
    reload();
}

} // namespace tavrin::rig
