#include "QxLib/Music/qxCompositeConverter.h"

#include "QxLib/qxLog.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <mutex>

namespace qx {

namespace {

constexpr int64_t kLookAheadBytes = MixBytesOfTime(TCompositeConverter::kLookAheadMs);
// Gains of items: at or below this nothing is added.
constexpr double kItemSilence = 0.00001;
// Gains of the master envelope: below this the block is silenced.
constexpr double kMasterSilence = 0.001;
// An item gain above this is recomputed from the envelope's position.
constexpr double kGainReset = 10.0;
// Bytes of an item's own format decoded per resampling step.
constexpr int32_t kResampleChunk = 4096;

double MsOfBytes(int64_t bytes) { return static_cast<double>(bytes) * 1000.0 / kMixBytesPerSecond; }

// Scaled values are limited so that the sum of every open item, and the
// master envelope's scaling of it, stays within 32 bits whatever the
// envelopes' levels.
constexpr double kItemLimit = 1 << 24;
constexpr double kMixLimit = 1 << 30;

int32_t Scaled(double gain, int32_t value, double limit) {
  return static_cast<int32_t>(std::lrint(std::clamp(gain * value, -limit, limit)));
}

int16_t Sample(const uint8_t* data, int32_t index) {
  int16_t s;
  std::memcpy(&s, data + 2 * index, 2);
  return s;
}

bool StartsEarlier(const TCompositeItem2* a, const TCompositeItem2* b) { return a->TimeLine < b->TimeLine; }

} // namespace

TCompositeConverter::TCompositeConverter(std::string description, TSoundFileAccess files)
    : TWavConverter(nullptr), m_description(std::move(description)), m_files(std::move(files)),
      m_params([] { return std::make_unique<TCompositeItem2>(); }) {}

TCompositeConverter::~TCompositeConverter() = default;

bool TCompositeConverter::Open(const TMediaInfo& info) {
  m_pending.clear();
  m_waiting.clear();
  m_active.clear();
  m_finished.clear();
  if (!m_params.Read(m_description)) {
    Log().WriteLine("TCompositeConverter.Open: " + m_params.ErrorText());
    return false;
  }
  const int32_t duration = m_params.Duration();
  for (int32_t i = 0; i < m_params.ItemCount(); ++i) {
    auto& item = static_cast<TCompositeItem2&>(m_params.Item(i));
    const int64_t rest = int64_t{duration} - item.TimeLine;
    // An item without Duration plays to the end of its file or of the
    // description, whichever comes first.
    const int64_t length = item.Duration > 0 ? std::min<int64_t>(item.Duration, rest) : rest;
    item.Length = static_cast<int32_t>(std::clamp<int64_t>(length, 0, INT32_MAX));
    item.StartByte = MixBytesOfTime(item.TimeLine);
    item.Mixed.SetFormat(MixingFormat());
    if (item.Length <= 0) {
      m_finished.push_back(&item);
      continue;
    }
    item.Fades.BuildAll(item.Length);
    m_pending.push_back(&item);
  }
  if (TVolumeParamsList* master = m_params.MainVolume())
    master->BuildAll(duration);
  SortPending();
  m_accumulator.assign(static_cast<size_t>(kBlockFrames) * 2, 0);
  m_block.assign(static_cast<size_t>(kBlockFrames) * 2, 0);

  TMediaInfo mixing = info;
  mixing.Format = MixingFormat();
  // The base Open seeks to 0; the items are positioned by the first Seek
  // or block instead, so that they are not opened twice.
  m_opening = true;
  const bool opened = TWavConverter::Open(mixing);
  m_opening = false;
  m_positioned = false;
  return opened;
}

void TCompositeConverter::SortPending() { std::stable_sort(m_pending.begin(), m_pending.end(), StartsEarlier); }

void TCompositeConverter::Seek(double ms) {
  TWavConverter::Seek(ms);
  if (m_opening)
    return;
  m_positioned = true;
  for (TItemList* list : {&m_waiting, &m_active, &m_finished}) {
    for (TCompositeItem2* item : *list) {
      if (item->Length > 0)
        m_pending.push_back(item);
    }
  }
  std::erase_if(m_finished, [](const TCompositeItem2* item) { return item->Length > 0; });
  m_waiting.clear();
  m_active.clear();
  for (TCompositeItem2* item : m_pending)
    item->BlockSkip = -1;
  SortPending();

  const int64_t t = std::llround(std::max(ms, 0.0));
  m_current = MixBytesOfTime(t);
  TItemList stay;
  size_t i = 0;
  for (; i < m_pending.size(); ++i) {
    TCompositeItem2& item = *m_pending[i];
    const int64_t start = item.TimeLine;
    if (t >= start + item.Length) {
      Finish(item);
      continue;
    }
    if (start > t + kLookAheadMs)
      break;
    item.Fades.SeekAll(MixBytesOfTime(t - start));
    if (OpenCount() >= kMaxOpenItems || !OpenItem(item)) {
      stay.push_back(&item);
      continue;
    }
    if (start < t) {
      SeekItem(item, static_cast<double>(t - start + item.BeginTime));
      m_active.push_back(&item);
    } else {
      SeekItem(item, item.BeginTime);
      m_waiting.push_back(&item);
    }
  }
  stay.insert(stay.end(), m_pending.begin() + static_cast<ptrdiff_t>(i), m_pending.end());
  m_pending.swap(stay);
  // Files of items that start later are opened again when their time comes.
  for (TCompositeItem2* item : m_pending)
    CloseItem(*item);
  if (TVolumeParamsList* master = m_params.MainVolume())
    master->SeekAll(m_current);
}

bool TCompositeConverter::OpenItem(TCompositeItem2& item) {
  item.BlockSkip = -1;
  if (item.Opened)
    return true;
  try {
    item.Sound = std::make_unique<TOpenedSound>(item.FileName, m_files);
    const TPcmFormat& delivered = item.Sound->Converter().OutputFormat();
    item.Resampler.reset();
    if (!(delivered == MixingFormat()))
      item.Resampler = std::make_unique<TPcmResampler>(delivered, MixingFormat());
  } catch (const std::exception& e) {
    Log().WriteLine("TCompositeConverter: cannot open \"" + item.FileName + "\": " + e.what());
    item.Sound.reset();
    item.Resampler.reset();
    return false;
  }
  item.Opened = true;
  return true;
}

void TCompositeConverter::CloseItem(TCompositeItem2& item) {
  item.Resampler.reset();
  item.Sound.reset();
  item.Mixed.Clear();
  item.Opened = false;
}

void TCompositeConverter::SeekItem(TCompositeItem2& item, double fileMs) {
  item.Mixed.Clear();
  if (item.Resampler)
    item.Resampler->Reset();
  try {
    item.Sound->Converter().Seek(fileMs);
  } catch (const std::exception& e) {
    Log().WriteLine("TCompositeConverter: cannot seek \"" + item.FileName + "\": " + e.what());
  }
}

// A finished item gives its file back at once: a long description would
// otherwise keep every file it ever played open.
void TCompositeConverter::Finish(TCompositeItem2& item) {
  CloseItem(item);
  m_finished.push_back(&item);
}

bool TCompositeConverter::PullItem(TCompositeItem2& item, int32_t count) {
  TWavConverter& converter = item.Sound->Converter();
  bool more = true;
  try {
    if (!item.Resampler) {
      more = converter.Read(count);
      item.Mixed.Clear();
      item.Mixed.EnsureFree(count);
      item.Mixed.Commit(converter.Output().Take(item.Mixed.DataEnd(), count));
    } else {
      const int32_t frame = std::max<int32_t>(item.Resampler->InputFormat().BlockAlign, 1);
      const int32_t chunk = std::max(frame, kResampleChunk / frame * frame);
      while (more && item.Mixed.Used() < count) {
        more = converter.Read(chunk);
        item.Mixed.EnsureFree(item.Resampler->OutputSize(chunk));
        item.Mixed.Commit(item.Resampler->Resample(converter.Output().DataStart(), chunk, item.Mixed.DataEnd()));
        converter.Output().Consume(chunk);
      }
    }
  } catch (const std::exception& e) {
    Log().WriteLine("TCompositeConverter: decoding \"" + item.FileName + "\" failed: " + e.what());
    more = false;
  }
  item.Mixed.AppendSilence(count - item.Mixed.Used());
  return more;
}

bool TCompositeConverter::MixItem(TCompositeItem2& item) {
  int32_t skip = 0;
  if (item.BlockSkip >= 0) {
    skip = item.BlockSkip;
    item.BlockSkip = -1;
  }
  const int32_t cover = kBlockBytes - skip;
  const bool more = PullItem(item, cover);
  const uint8_t* const data = item.Mixed.DataStart();
  const int64_t first = m_current + skip - item.StartByte;
  TVolumeParamsList& fades = item.Fades;
  fades.SeekAll(first);
  bool ended = false;
  int32_t* const acc = m_accumulator.data() + skip / 2;
  const int32_t frames = cover / 4;
  int32_t f = 0;
  while (f < frames) {
    const int64_t position = first + 4 * int64_t{f};
    if (fades.StepAll(position)) {
      ended = true;
      break;
    }
    bool allUnity;
    double g = fades.Gain(allUnity);
    if (g > kGainReset) {
      fades.SeekAll(position);
      fades.StepAll(position);
      g = fades.Gain(allUnity);
    }
    // The frames up to the next change of any envelope share this gain.
    const int64_t until = fades.ConstantUntil();
    const int32_t run = static_cast<int32_t>(std::clamp<int64_t>((until - position) / 4, 1, frames - f));
    const int32_t begin = 2 * f;
    const int32_t end = 2 * (f + run);
    if (allUnity || (g >= kUnityLow && g < kUnityHigh)) {
      for (int32_t i = begin; i < end; ++i)
        acc[i] += Sample(data, i);
    } else if (g > kItemSilence) {
      for (int32_t i = begin; i < end; ++i)
        acc[i] += Scaled(g, Sample(data, i), kItemLimit);
    }
    f += run;
  }
  item.Mixed.Consume(cover);
  return more && !ended;
}

void TCompositeConverter::ApplyMaster() {
  TVolumeParamsList* const master = m_params.MainVolume();
  if (!master)
    return;
  master->SeekAll(m_current);
  int32_t f = 0;
  while (f < kBlockFrames) {
    const int64_t position = m_current + 4 * int64_t{f};
    master->StepAll(position);
    bool allUnity;
    const double m = master->Gain(allUnity);
    const int32_t run =
        static_cast<int32_t>(std::clamp<int64_t>((master->ConstantUntil() - position) / 4, 1, kBlockFrames - f));
    int32_t* const acc = m_accumulator.data() + 2 * f;
    f += run;
    if (allUnity)
      continue;
    if (m >= kUnityHigh || (m > kMasterSilence && m < kUnityLow)) {
      for (int32_t i = 0; i < 2 * run; ++i)
        acc[i] = Scaled(m, acc[i], kMixLimit);
    } else if (m < kMasterSilence) {
      std::fill(acc, acc + 2 * run, 0);
    }
  }
}

void TCompositeConverter::WalkPending() {
  TItemList stay;
  size_t i = 0;
  for (; i < m_pending.size(); ++i) {
    TCompositeItem2& item = *m_pending[i];
    if (item.StartByte > m_current + kLookAheadBytes)
      break;
    const bool late = item.StartByte < m_current;
    if (OpenCount() < kMaxOpenItems && OpenItem(item)) {
      if (!late) {
        SeekItem(item, item.BeginTime);
        item.Fades.SeekAll(item.StartByte - m_current);
        m_waiting.push_back(&item);
        continue;
      }
      // Opened only after its start: it joins where the time line is.
      const double into = MsOfBytes(m_current - item.StartByte);
      if (into >= item.Length) {
        Finish(item);
        continue;
      }
      SeekItem(item, into + item.BeginTime);
      m_active.push_back(&item);
      continue;
    }
    if (late) {
      // Its start has passed and it still does not open (a file missing
      // from the package): skip it, so that the items after it still play.
      Log().WriteLine("TCompositeConverter: skipped \"" + item.FileName + "\", which cannot be opened");
      Finish(item);
      continue;
    }
    stay.push_back(&item);
  }
  stay.insert(stay.end(), m_pending.begin() + static_cast<ptrdiff_t>(i), m_pending.end());
  m_pending.swap(stay);
}

bool TCompositeConverter::Convert(TLocalBuffer&) {
  if (!m_positioned)
    Seek(0);
  std::fill(m_accumulator.begin(), m_accumulator.end(), 0);

  for (auto it = m_waiting.begin(); it != m_waiting.end();) {
    TCompositeItem2* const item = *it;
    if (item->StartByte < m_current + kBlockBytes) {
      item->BlockSkip = static_cast<int32_t>(std::max<int64_t>(0, item->StartByte - m_current));
      m_active.push_back(item);
      it = m_waiting.erase(it);
    } else {
      ++it;
    }
  }

  for (auto it = m_active.begin(); it != m_active.end();) {
    TCompositeItem2* const item = *it;
    if (MixItem(*item)) {
      ++it;
      continue;
    }
    it = m_active.erase(it);
    Finish(*item);
  }

  ApplyMaster();
  for (size_t i = 0; i < m_accumulator.size(); ++i)
    m_block[i] = static_cast<int16_t>(std::clamp(m_accumulator[i], -32768, 32767));
  m_current += kBlockBytes;
  WalkPending();
  Deliver(m_block.data(), kBlockBytes);
  return m_current < MixBytesOfTime(m_params.Duration());
}

std::optional<TMediaInfo> CompositeDescriptionInfo(const std::string& description) {
  TCompositeParams params;
  if (!params.Read(description))
    return std::nullopt;
  TMediaInfo info;
  info.Kind = TMediaKind::Composite;
  info.Format = MixingFormat();
  info.Length = params.Duration();
  info.DataSize = static_cast<int32_t>(std::min<int64_t>(MixBytesOfTime(params.Duration()), INT32_MAX));
  return info;
}

void InstallCompositeConverter() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    TCompositeConverterMaker maker;
    maker.IsComposite = [](const std::string& name) { return IsCompositeDescription(name); };
    maker.MediaInfo = CompositeDescriptionInfo;
    maker.Create = [](const std::string& description, const TSoundFileAccess& files) -> std::unique_ptr<TWavConverter> {
      return std::make_unique<TCompositeConverter>(description, files);
    };
    SetCompositeConverterMaker(std::move(maker));
  });
}

} // namespace qx
