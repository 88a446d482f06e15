#include "rig/RigState.h"

namespace tavrin::rig {

qint64 RigState::frequencyHz() const { return pending_.value_or(reported_); }

bool RigState::waitOver(qint64 nowMs) const
{
    const qint64 waited = nowMs - commandedAtMs_;
    // A clock set back since the command cannot say how long it has been: as if the wait were
    // over, or a refused command would stand until the clock caught up.
    return waited < 0 || waited >= kConfirmWaitMs;
}

qint64 RigState::frequencyHz(qint64 nowMs) const
{
    if (pending_ && hasReport_ && waitOver(nowMs))
        return reported_;
    return frequencyHz();
}

void RigState::commanded(qint64 hz, qint64 nowMs)
{
    pending_ = hz;
    commandedAtMs_ = nowMs;
}

void RigState::refused(qint64 hz)
{
    if (pending_ == hz)
        pending_.reset();
}

void RigState::reported(qint64 hz, const QByteArray &modeWord, qint64 nowMs)
{
    reported_ = hz;
    hasReport_ = true;
    if (!modeWord.isEmpty())
        mode_ = modeWord;
    if (pending_ && (*pending_ == hz || waitOver(nowMs)))
        pending_.reset();
}

} // namespace tavrin::rig
