#include "PeerAudio.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace peer {

void ToneSource::start(int ms)
{
  if (ms <= 0)
    return;
  if (m_remaining == 0 && !m_flushPending) {
    m_started = Clock::now();
    m_written = 0;
  }
  m_remaining += static_cast<int64_t>(ms) * kSampleRate / 1000;
  m_flushPending = false;
}

bool ToneSource::pump()
{
  if (m_flushPending) {
    m_flushPending = false;
    sinkFlushSamples();
    return false;
  }
  if (m_remaining <= 0)
    return false;

  const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - m_started);
  const int64_t due = elapsed.count() * kSampleRate / 1000000 - m_written;
  const int64_t count = std::clamp<int64_t>(due, 0, m_remaining);
  if (count > 0) {
    std::vector<float> buf(static_cast<size_t>(count));
    constexpr double kStep = 2.0 * std::numbers::pi * kToneHz / kSampleRate;
    for (auto &s : buf)
      s = kAmplitude * static_cast<float>(std::sin(kStep * static_cast<double>(m_phase++)));
    // The link buffers internally and accepts everything while connected; what it refuses is dropped
    // (it is a tone, not data).
    sinkWriteSamples(buf.data(), static_cast<int>(count));
    m_written += count;
    m_remaining -= count;
  }
  if (m_remaining == 0)
    m_flushPending = true; // flush on the next tick, after the last frame has gone out
  return true;
}

int CountingSink::writeSamples(const float * /*samples*/, int count)
{
  if (count > 0)
    m_onSamples(count);
  return count;
}

} // namespace peer
