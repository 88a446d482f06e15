#include "app/NativeLinkRunner.h"

#ifdef TAVRIN_HAVE_NATIVE_LINK

#include <QPointer>

#include <cstdio>

namespace tavrin::link {

namespace {

constexpr char kNoKeychain[] = "No keychain service: the directory login has no password "
                               "(Setup > Link Settings)";
constexpr char kNoPassword[] = "No password stored for %1: the directory login will fail "
                               "(Setup > Link Settings)";
constexpr char kKeychainFailed[] = "Could not read the link password from the keychain: %1";
constexpr char kStartFailed[] = "The EchoLink station did not start";

} // namespace

NativeLinkRunner::NativeLinkRunner(const LinkSettings &settings, PasswordVault &vault, QObject *parent)
    : QObject(parent),
      callsign_(settings.callsign.trimmed().toUpper()),
      vault_(vault),
      station_(std::make_unique<NativeLink>(nativeLinkOptions(settings))),
      factory_(station_->factory())
{
    connect(station_.get(), &NativeLink::statusChanged, this, &NativeLinkRunner::report);
}

NativeLinkRunner::~NativeLinkRunner()
{
    // The station reports its own shutdown; nobody is left to read it, and the sink goes
    // before the station does.
    disconnect(station_.get(), nullptr, this, nullptr);
}

void NativeLinkRunner::finish(int maxWaitMs)
{
    disconnect(station_.get(), nullptr, this, nullptr);
    station_->shutdown();
    station_->waitForLogoff(maxWaitMs);
}

bool NativeLinkRunner::start()
{
    if (!station_->start()) {
        failure_ = station_->statusText();
        if (failure_.isEmpty())
            failure_ = QString::fromLatin1(kStartFailed);
        return false;
    }
    QPointer<NativeLinkRunner> self(this);
    vault_.read(callsign_, [self](const PasswordVault::Result &result) {
        if (self)
            self->takePassword(result);
    });
    return true;
}

void NativeLinkRunner::takePassword(const PasswordVault::Result &result)
{
    if (result.ok && !result.password.isEmpty()) {
        station_->setPassword(result.password);
    } else if (result.ok) {
        report(QString::fromLatin1(kNoPassword).arg(callsign_));
    } else if (result.noService) {
        report(QString::fromLatin1(kNoKeychain));
    } else {
        report(QString::fromLatin1(kKeychainFailed).arg(result.error));
    }
}

void NativeLinkRunner::setStatusSink(StatusSink sink)
{
    sink_ = std::move(sink);
    const QString current = station_->statusText();
    if (sink_ && !current.isEmpty())
        sink_(current);
}

void NativeLinkRunner::report(const QString &text)
{
    if (sink_) {
        sink_(text);
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

} // namespace tavrin::link

#endif
