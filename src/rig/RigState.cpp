#include "rig/RigState.h"

namespace tavrin::rig {

qint64 RigState::frequencyHz() const { return pending_.value_or(reported_); }

qint64 RigState::frequencyHz(qint64 nowMs) const
{
    if (pending_ && hasReport_ && nowMs - commandedAtMs_ >= kConfirmWaitMs)
        return reported_;
    return frequencyHz();
}

void RigState::commanded(qint64 hz, qint64 nowMs)
{
    pending_ = hz;
    commandedAtMs_ = nowMs;
}

void RigState::reported(qint64 hz, const QByteArray &modeWord, qint64 nowMs)
{
    reported_ = hz;
    hasReport_ = true;
    if (!modeWord.isEmpty())
        mode_ = modeWord;
    if (pending_ && (*pending_ == hz || nowMs - commandedAtMs_ >= kConfirmWaitMs))
        pending_.reset();
}

} // namespace tavrin::rig
