// Fillers and readers shared by the tests of the sound devices.
#pragma once

#include "QxLib/Music/qxWaveOut.h"
#include "QxLib/qxMemoryStream.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace qx::test {

// Fills a buffer with one repeated 16-bit value (or 8-bit byte) and records
// what the buffer asked for.
class TConstantFiller : public TWaveOutFiller {
public:
  explicit TConstantFiller(int16_t value, bool eightBit = false) : m_value(value), m_eightBit(eightBit) {}

  void FirstFill(TWaveOutBuffer&, uint8_t* destination, int32_t count) override {
    Fill(destination, count);
    firstFills.fetch_add(1);
  }
  void FadeQueued(TWaveOutBuffer& buffer, uint8_t* data, int32_t count) override {
    std::memset(data, m_eightBit ? 128 : 0, static_cast<size_t>(count));
    std::lock_guard lock(m_lock);
    fades.push_back(count);
    queuedAtFade.push_back(buffer.QueuedBytes());
  }
  void Refill(TWaveOutBuffer&, uint8_t* destination, int32_t count) override {
    Fill(destination, count);
    refills.fetch_add(1);
    refilled.fetch_add(count);
  }

  std::vector<int32_t> Fades() {
    std::lock_guard lock(m_lock);
    return fades;
  }
  std::vector<int32_t> QueuedAtFade() {
    std::lock_guard lock(m_lock);
    return queuedAtFade;
  }

  std::atomic<int> firstFills{0};
  std::atomic<int> refills{0};
  std::atomic<int64_t> refilled{0};

private:
  void Fill(uint8_t* destination, int32_t count) {
    if (m_eightBit) {
      std::memset(destination, static_cast<uint8_t>(m_value), static_cast<size_t>(count));
      return;
    }
    for (int32_t i = 0; i + 1 < count; i += 2)
      std::memcpy(destination + i, &m_value, 2);
  }

  int16_t m_value;
  bool m_eightBit;
  std::mutex m_lock;
  std::vector<int32_t> fades;
  std::vector<int32_t> queuedAtFade;
};

// Waits (polling, up to `limit`) until the condition holds; for work done
// by other threads, whose timing the tests do not measure.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(10000)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// The samples of a 44-byte-header WAV file held in a memory stream.
inline std::vector<int16_t> WaveSamples(TMemoryStream& stream) {
  const int64_t size = stream.GetSize();
  if (size <= 44)
    return {};
  std::vector<int16_t> samples(static_cast<size_t>((size - 44) / 2));
  std::memcpy(samples.data(), stream.Memory() + 44, samples.size() * 2);
  return samples;
}

} // namespace qx::test
