#include "audio/SoundServerGate.h"

#include "audio/PulseMixer.h"

#include <atomic>
#include <mutex>
#include <thread>

namespace tavrin {

namespace {
std::atomic<bool> listsOpen{false};
}

struct SoundServerGate::Link {
    std::mutex mutex;
    SoundServerGate *owner = nullptr;
};

SoundServerGate::SoundServerGate(QObject *parent) : QObject(parent), link_(std::make_shared<Link>())
{
    link_->owner = this;
}

SoundServerGate::~SoundServerGate()
{
    const std::lock_guard lock(link_->mutex);
    link_->owner = nullptr;
}

bool SoundServerGate::open()
{
    return listsOpen.load();
}

void SoundServerGate::markOpen()
{
    listsOpen.store(true);
}

void SoundServerGate::ask()
{
    if (asking_)
        return;
    if (open()) {
        emit answered(true);
        return;
    }
    asking_ = true;
    std::thread([link = link_] {
        const bool safe = PulseMixer::askServer(kQuestionMs) != PulseMixer::Reply::Silent;
        // Under the lock the gate cannot go away; a posted answer that arrives after it went is
        // dropped with it.
        const std::lock_guard lock(link->mutex);
        if (SoundServerGate *owner = link->owner)
            QMetaObject::invokeMethod(
                owner,
                [owner, safe] {
                    owner->asking_ = false;
                    // The caller reads the lists in its handler, so Qt builds them now.
                    if (safe)
                        markOpen();
                    emit owner->answered(safe);
                },
                Qt::QueuedConnection);
    }).detach();
}

} // namespace tavrin
