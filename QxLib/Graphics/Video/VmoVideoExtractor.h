// The decoding thread of one playing clip: a small pool of frame objects
// (YUV images) that a thread of its own fills from the clip's frame source,
// one step ahead of what is shown. The drawing side takes the frame nearest
// to the show's clip time, draws it and gives it back; taking asks for the
// next frame at once.
#pragma once

#include "QxLib/Graphics/Video/qxFrameSource.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace qx {

class TVmoVideoExtractor {
public:
  // "No index": a slot that holds no decoded frame.
  static constexpr int64_t kNoIndex = -1;
  // How long Request waits at most for its frame.
  static constexpr int kMaxWaitMs = 10000;

  struct TTaken {
    TRefPtr<TYUVImage> Image; // none when the pool was empty
    int64_t Index = kNoIndex;
    bool Exact = false;
  };

  // Starts the thread over `source`, owned when `ownsSource` (else it must
  // outlive the extractor). A clip that loops wraps times past its end.
  TVmoVideoExtractor(TFrameSource* source, bool ownsSource, const TVideoParams& params, bool loops = false);
  ~TVmoVideoExtractor();
  TVmoVideoExtractor(const TVmoVideoExtractor&) = delete;
  TVmoVideoExtractor& operator=(const TVmoVideoExtractor&) = delete;

  const TVideoParams& Params() const { return m_params; }
  TFrameSource& Source() const { return *m_source; }

  // Adds an empty frame object (an image of the clip's size) to the pool.
  void AddFrame(TRefPtr<TYUVImage> image);
  // Asks for the frame of `timeMs` unless the pool holds it; with `wait`,
  // returns when a frame object holds it (true), or when it could not be
  // decoded, was replaced by another request or took too long (false).
  bool Request(double timeMs, bool wait);
  // Takes the pool's frame whose index is nearest to the index of `timeMs`
  // out of the pool, then asks for the frame one display step ahead
  // (`displayRate` frames per second; the next index when 0), or, when the
  // frame taken is not the one of `timeMs`, for that one.
  TTaken Take(double timeMs, double displayRate);
  // Gives a taken frame object back to the pool with the index it holds.
  void GiveBack(const TTaken& taken);

  // round(t x rate / 1000), at least 0; past the last frame wrapped when the
  // clip loops, else the last frame.
  int64_t FrameIndex(double timeMs) const;
  // [(i - 0.5) x 1000 / rate, (i + 0.5) x 1000 / rate] in ms.
  std::pair<double, double> FrameWindow(int64_t index) const;

  int PoolSize() const;
  // Frames the thread decoded so far.
  int64_t FramesServed() const;

private:
  struct TSlot {
    TRefPtr<TYUVImage> Image;
    int64_t Index = kNoIndex;
  };

  void Run();
  // With the lock held.
  bool PoolHolds(int64_t index) const;
  void MarkInvalidSlots();

  TFrameSource* m_source;
  std::unique_ptr<TFrameSource> m_ownedSource;
  TVideoParams m_params;
  bool m_loops;

  mutable std::mutex m_lock;
  std::condition_variable m_changed;
  std::vector<TSlot> m_pool;
  int64_t m_request = kNoIndex;
  int64_t m_failed = kNoIndex;
  int64_t m_served = 0;
  bool m_stopping = false;
  std::thread m_thread;
};

} // namespace qx
