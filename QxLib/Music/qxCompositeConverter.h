// The composite mixer: the converter of a composite description. It opens
// the description's items as their time comes (up to five seconds ahead),
// decodes each with its own converter, applies each item's envelopes and
// the master envelope and mixes everything, block by block, into one stream
// of the mixing format. To a channel the description is one file whose
// length is the description's Duration.
#pragma once

#include "QxLib/Music/qxCompositeParams.h"
#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/Music/qxLocalBuffer.h"
#include "QxLib/Music/qxPcmResampler.h"
#include "QxLib/Music/qxWavConverter.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qx {

// An item with the state the mixer keeps for it.
class TCompositeItem2 : public TCompositeItem {
public:
  // The opened file (stream and converter), or null.
  std::unique_ptr<TOpenedSound> Sound;
  // Converts what the item's converter delivers when that is not the mixing
  // format; the converted bytes wait in Mixed.
  std::unique_ptr<TPcmResampler> Resampler;
  TLocalBuffer Mixed;
  bool Opened = false;
  // Byte offset inside the current output block at which the item begins;
  // -1 = none.
  int32_t BlockSkip = -1;
  // Where the item sounds on the time line, in bytes of the mixing format,
  // and how long (ms) its envelopes run; items with no length never sound.
  int64_t StartByte = 0;
  int32_t Length = 0;
};

class TCompositeConverter : public TWavConverter {
public:
  // One output block: 2500 frames.
  static constexpr int32_t kBlockFrames = 2500;
  static constexpr int32_t kBlockBytes = kBlockFrames * 4;
  // Items are opened this long before they sound.
  static constexpr int32_t kLookAheadMs = 5000;
  // At most this many items are open at once; a description that asks for
  // more at one time gets the first ones.
  static constexpr int32_t kMaxOpenItems = 32;

  // Items' files are opened through `files` (the device's callbacks).
  TCompositeConverter(std::string description, TSoundFileAccess files);
  ~TCompositeConverter() override;

  // Parses the description and builds every envelope; false when the
  // description cannot be read.
  bool Open(const TMediaInfo& info) override;
  // Puts every item back and opens the ones sounding at ms, or starting
  // within five seconds of it, at the right offsets.
  void Seek(double ms) override;
  // Mixes one block and appends it; false once the block reaches Duration.
  bool Convert(TLocalBuffer& input) override;
  bool FillInput() override { return true; }

  const TCompositeParams& Params() const { return m_params; }
  // The item lists, for tests: Pending, Waiting, Active, Finished.
  int32_t PendingCount() const { return static_cast<int32_t>(m_pending.size()); }
  int32_t WaitingCount() const { return static_cast<int32_t>(m_waiting.size()); }
  int32_t ActiveCount() const { return static_cast<int32_t>(m_active.size()); }
  int32_t FinishedCount() const { return static_cast<int32_t>(m_finished.size()); }
  // Byte position of the next block on the description's time line.
  int64_t Current() const { return m_current; }

private:
  using TItemList = std::vector<TCompositeItem2*>;

  void SortPending();
  bool OpenItem(TCompositeItem2& item);
  void CloseItem(TCompositeItem2& item);
  // Positions an opened item's converter at ms of its file.
  void SeekItem(TCompositeItem2& item, double fileMs);
  // Mixed-format bytes of the item: count of them at Mixed's front; false
  // when its file ended (the rest is silence).
  bool PullItem(TCompositeItem2& item, int32_t count);
  // Mixes one active item into the accumulator; false when it is over.
  bool MixItem(TCompositeItem2& item);
  void ApplyMaster();
  void WalkPending();
  void Finish(TCompositeItem2& item);
  int32_t OpenCount() const { return static_cast<int32_t>(m_waiting.size() + m_active.size()); }

  std::string m_description;
  TSoundFileAccess m_files;
  TCompositeParams m_params;
  TItemList m_pending;
  TItemList m_waiting;
  TItemList m_active;
  TItemList m_finished;
  std::vector<int32_t> m_accumulator;
  std::vector<int16_t> m_block;
  int64_t m_current = 0;
  bool m_positioned = false;
  bool m_opening = false;
};

// The media information of a description: kind 9, the mixing format, its
// Duration as length. Nothing when it cannot be read.
std::optional<TMediaInfo> CompositeDescriptionInfo(const std::string& description);

// Installs the composite mixer into the converter factory (kind 9 and the
// marker test); once per process, and safe to call again.
void InstallCompositeConverter();

} // namespace qx
