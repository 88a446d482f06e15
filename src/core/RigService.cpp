#include "core/RigService.h"

#include "core/MainWindow.h"
#include "core/Program.h"
#include "core/RigControl.h"
#include "rig/RigServer.h"
#include "rig/RigWindow.h"

#include <QHostAddress>

namespace tavrin::rig {

RigService::RigService(Program &program) : QObject(nullptr), program_(program)
{
    control_ = new RigControl(*program_.mainWindow(), program_, this);
    server_ = new RigServer(*control_, this);
    window_ = std::make_unique<RigWindow>(program_.store());
    window_->hide();
    connect(server_, &RigServer::clientClosed, control_, &RigControl::clientClosed);
    connect(server_, &RigServer::clientCountChanged, this, &RigService::showState);
    connect(window_.get(), &RigWindow::settingsSaved, this, &RigService::apply);
    apply(RigSettings::load(program_.store()));
}

RigService::~RigService()
{
    // Clients first: a keyed transmitter is released while the main window still exists.
    server_->close();
}

void RigService::apply(const RigSettings &s)
{
    control_->setPttPolicy(s.allowPtt, s.pttTimeoutS);
    // A server that could not listen (its port taken) tries again on every save.
    const bool restart = !applied_ || s.enabled != settings_.enabled || s.address != settings_.address ||
                         s.allowRemote != settings_.allowRemote || s.port != settings_.port ||
                         (s.enabled && !server_->isListening());
    settings_ = s;
    applied_ = true;
    if (!restart) {
        showState();
        return;
    }
    server_->close();
    listenError_.clear();
    if (s.enabled) {
        // Another address than this computer's only with the explicit choice.
        address_ = isLoopback(s.address) || s.allowRemote ? s.address : QString::fromLatin1(kLoopbackAddress);
        const QString &address = address_;
        const QHostAddress host(address);
        listenError_ = host.isNull() ? QStringLiteral("not an IP address") : server_->listen(host, quint16(s.port));
        if (!listenError_.isEmpty())
            program_.mainWindow()->showProblem(MainWindow::Problem::RigListener,
                                               QString::fromLatin1(kListenFailed).arg(address).arg(s.port).arg(listenError_));
    }
    if (listenError_.isEmpty())
        program_.mainWindow()->problemSolved(MainWindow::Problem::RigListener);
    showState();
}

void RigService::showState()
{
    QString text;
    if (!listenError_.isEmpty())
        text = QString::fromLatin1(kListenFailed).arg(address_).arg(settings_.port).arg(listenError_);
    else if (server_->isListening())
        text = QString::fromLatin1(kListening).arg(address_).arg(server_->port()).arg(server_->clientCount());
    else
        text = QString::fromLatin1(kOff);
    window_->showStatus(text);
}

} // namespace tavrin::rig
