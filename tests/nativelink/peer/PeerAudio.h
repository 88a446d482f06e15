// Audio ends of a peer connection: a tone generator that feeds the link in real time and a
// sink that only counts what the link delivers.
#pragma once

#include <AsyncAudioSink.h>
#include <AsyncAudioSource.h>

#include <chrono>
#include <cstdint>
#include <functional>

namespace peer {

// Generates a 1 kHz tone at 8000 Hz. The owner calls pump() from a timer; pump() writes as many
// samples as the wall clock says are due, so the far end sees a steady voice stream.
class ToneSource : public Async::AudioSource
{
public:
  static constexpr int kSampleRate = 8000;
  static constexpr double kToneHz = 1000.0;
  static constexpr float kAmplitude = 0.5F;

  // Queues ms milliseconds of tone (added to what is still pending).
  void start(int ms);
  // Writes the samples due now; flushes once the tone is done. Returns true while still sending.
  bool pump();
  bool active() const { return m_remaining > 0 || m_flushPending; }

  void resumeOutput() override {}

protected:
  void allSamplesFlushed() override {}

private:
  using Clock = std::chrono::steady_clock;
  Clock::time_point m_started;
  int64_t m_written = 0;   // samples written since m_started
  int64_t m_remaining = 0; // samples still to send
  int64_t m_phase = 0;     // running sample index, keeps the sine continuous
  bool m_flushPending = false;
};

// Counts the samples the link decodes. Acknowledges flushes so the link never waits on us.
class CountingSink : public Async::AudioSink
{
public:
  explicit CountingSink(std::function<void(int)> onSamples) : m_onSamples(std::move(onSamples)) {}

  int writeSamples(const float *samples, int count) override;
  void flushSamples() override { sourceAllSamplesFlushed(); }

private:
  std::function<void(int)> m_onSamples;
};

} // namespace peer
