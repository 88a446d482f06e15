#include "echolink/native/NativeLink.h"

#include "echolink/native/NativeHandle.h"
#include "echolink/native/NativeStation.h"

namespace tavrin {

NativeLink::NativeLink(NativeLinkOptions options, QObject *parent)
    : QObject(parent), d(std::make_unique<NativeLinkStation>(this, std::move(options)))
{
}

NativeLink::~NativeLink()
{
    d->shutdown();
}

bool NativeLink::start()
{
    return d->start();
}

void NativeLink::setPassword(const QString &password)
{
    d->setPassword(password);
}

void NativeLink::shutdown()
{
    d->shutdown();
}

std::unique_ptr<EchoLinkClientFactory> NativeLink::factory()
{
    return std::make_unique<NativeClientFactory>(d.get());
}

QString NativeLink::statusText() const
{
    return d->statusText();
}

bool NativeLink::logoffPending() const
{
    return d->logoffPending();
}

bool NativeLink::isRunning() const
{
    return d->isRunning();
}

} // namespace tavrin
