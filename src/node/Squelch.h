#pragma once
// The node's squelch on the rig's received audio: open while the level reaches the
// threshold, and for the hang time after it last did, so that the gaps between words do
// not chop the audio sent over the link.
//
// Thread: any (plain value).

#include <QtGlobal>

namespace tavrin::node {

class Squelch {
public:
    Squelch(double thresholdDb, int hangMs) : thresholdDb_(thresholdDb), hangMs_(hangMs) {}

    // One block of audio at `levelDb` (dBFS), heard at `nowMs` (any monotonic clock). Returns
    // whether the squelch is open after it.
    bool feed(double levelDb, qint64 nowMs);
    bool isOpen() const { return open_; }

    // RMS level of float samples in [-1, 1], in dBFS; -120 for silence.
    static double levelDb(const float *samples, int count);

private:
    double thresholdDb_;
    int hangMs_;
    bool open_ = false;
    qint64 lastLoudMs_ = 0;
};

} // namespace tavrin::node
