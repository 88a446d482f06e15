#include "echolink/native/NativeLink.h"

#include "echolink/native/NativeHandle.h"
#include "echolink/native/NativeStation.h"

#include <QEventLoop>
#include <QTimer>

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

void NativeLink::waitForLogoff(int maxWaitMs)
{
    if (!logoffPending())
        return;
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [this, &wait] {
        if (!logoffPending())
            wait.quit();
    });
    poll.start(20);
    QTimer::singleShot(maxWaitMs, &wait, &QEventLoop::quit);
    wait.exec();
}

bool NativeLink::isRunning() const
{
    return d->isRunning();
}

} // namespace tavrin
