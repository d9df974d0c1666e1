// The video frame sources that the video objects of one slide share: one
// per clip key, reference-counted, listed by the slide host while any
// object holds them.
#pragma once

#include "QxLib/Graphics/Video/VmoVideoExtractor.h"
#include "QxLib/qxRefCounted.h"

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TDeviceDrawer;
class TExtractorWrapper;
class TFileAccessor;
class TStream;

// The wrappers alive under one host. Wrappers hold a reference to it, so it
// outlives the host when a clip is still held elsewhere.
class TExtractorRegistry : public TRefCounted {
public:
  // The wrapper of exactly this key (case-sensitive), shared, or a new one
  // that is listed until its last reference goes.
  TRefPtr<TExtractorWrapper> Acquire(const std::string& key);
  // The number of wrappers alive.
  int Count() const;

private:
  friend class TExtractorWrapper;
  void Remove(const TExtractorWrapper* wrapper);

  mutable std::mutex m_lock;
  std::vector<TExtractorWrapper*> m_wrappers;
};

// One clip shown by the video objects of one slide. The key is the slide's
// index in decimal, ":" and the object's "ClipGUID" (or its own name when it
// has none); the clip id is the text after the key's first ":". The wrapper
// opens the clip's file, runs its decoding thread and lends its decoded
// frames to the objects that draw it.
class TExtractorWrapper : public TRefCounted {
public:
  enum TStatus : int { kReady = 0, kNoVideoSource = 1, kFileMissing = 2 };
  // Frame objects in the pool of the decoding thread.
  static constexpr int kPoolFrames = 2;

  const std::string& Key() const { return m_key; }
  const std::string& ClipId() const { return m_clipId; }

  // 0 ready, 1 file opened but no video source, 2 file missing (also before
  // a file is set).
  int Status() const;
  std::string FileName() const;
  bool LoadFromDisk() const;
  // The clip's parameters; zeros unless ready.
  TVideoParams Params() const;
  // frame count / frame rate x 1000; 0 unless ready.
  double DurationMs() const;

  // Opens the clip `fileName` (a disk file when `loadFromDisk`, else a file
  // of the package) through `accessor` and starts its decoding thread,
  // unless that file is the one already open. Called on the loading thread.
  void SetFile(TFileAccessor& accessor, const std::string& fileName, bool loadFromDisk);

  // The decoded frame for clip time `ms`, locked for drawing until Unlock;
  // objects locking the same frame share it. The first lock makes the
  // pool's frame objects through `drawer` (on the drawing thread). With
  // `exact` it waits for the frame of that very time; otherwise it takes
  // the nearest decoded one, waiting only while none is decoded yet. An
  // empty result when nothing can be shown.
  TVmoVideoExtractor::TTaken Lock(TDeviceDrawer& drawer, double ms, bool exact);
  void Unlock(const TVmoVideoExtractor::TTaken& frame);
  // Frames locked now.
  int LockedFrames() const;

  // The key of a video object's clip on a slide.
  static std::string MakeKey(int slideIndex, std::string_view clipGuid, std::string_view objectName);
  // The text after the key's first ":", empty when the key has none.
  static std::string ClipIdOf(std::string_view key);

private:
  friend class TExtractorRegistry;
  TExtractorWrapper(TRefPtr<TExtractorRegistry> registry, std::string key);
  ~TExtractorWrapper() override;

  struct TLockedFrame {
    TVmoVideoExtractor::TTaken Frame;
    int Count = 0;
  };

  TRefPtr<TExtractorRegistry> m_registry;
  std::string m_key;
  std::string m_clipId;

  mutable std::mutex m_lock;
  std::string m_fileName;
  bool m_loadFromDisk = false;
  bool m_fileSet = false;
  int m_status = kFileMissing;
  TVideoParams m_params;
  // The extractor reads the stream: it goes first.
  std::unique_ptr<TStream> m_stream;
  std::unique_ptr<TVmoVideoExtractor> m_extractor;
  bool m_framesMade = false;
  std::vector<TLockedFrame> m_locked;
};

} // namespace qx
