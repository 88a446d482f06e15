#include "node/Squelch.h"

#include <algorithm>
#include <cmath>

namespace tavrin::node {

namespace {
constexpr double kSilenceDb = -120.0;
}

bool Squelch::feed(double levelDb, qint64 nowMs)
{
    if (levelDb >= thresholdDb_) {
        open_ = true;
        lastLoudMs_ = nowMs;
    } else if (open_ && nowMs - lastLoudMs_ >= hangMs_) {
        open_ = false;
    }
    return open_;
}

double Squelch::levelDb(const float *samples, int count)
{
    if (count <= 0)
        return kSilenceDb;
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += double(samples[i]) * double(samples[i]);
    const double rms = std::sqrt(sum / count);
    return rms > 0 ? std::max(kSilenceDb, 20.0 * std::log10(rms)) : kSilenceDb;
}

} // namespace tavrin::node
