// The video frame sources that the video objects of one slide share: one
// per clip key, reference-counted, listed by the slide host while any
// object holds them.
#pragma once

#include "QxLib/qxRefCounted.h"

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TExtractorWrapper;

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
// has none); the clip id is the text after the key's first ":".
class TExtractorWrapper : public TRefCounted {
public:
  const std::string& Key() const { return m_key; }
  const std::string& ClipId() const { return m_clipId; }

  // Status of the clip's source: 0 ready, 1 file opened but no video
  // source, 2 file missing. Clips are not decoded yet: a wrapper starts
  // without a file.
  int Status() const { return m_status; }
  const std::string& FileName() const { return m_fileName; }
  bool LoadFromDisk() const { return m_loadFromDisk; }

  // The key of a video object's clip on a slide.
  static std::string MakeKey(int slideIndex, std::string_view clipGuid, std::string_view objectName);
  // The text after the key's first ":", empty when the key has none.
  static std::string ClipIdOf(std::string_view key);

private:
  friend class TExtractorRegistry;
  TExtractorWrapper(TRefPtr<TExtractorRegistry> registry, std::string key);
  ~TExtractorWrapper() override;

  TRefPtr<TExtractorRegistry> m_registry;
  std::string m_key;
  std::string m_clipId;
  std::string m_fileName;
  bool m_loadFromDisk = false;
  int m_status = 2;
};

} // namespace qx
