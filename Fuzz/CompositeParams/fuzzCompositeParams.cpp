// Fuzz target of composite sound descriptions: the reader of the text (the
// marker, one INI text per part, items, item and master envelopes), the
// writer it round-trips through, the envelopes built over the mixing format,
// and the composite mixer playing the description over short sound files.
// The input is the text after the first marker (the marker is added when the
// input does not start with it).
//
// Promises checked: a read ends with a description or with an error text,
// never with both; a description has items with file names and a positive
// Duration, and its item and point counts stay within what the text holds;
// writing it and reading that again gives it back; every built envelope
// keeps its segments in order and gives a finite gain between the levels its
// points set, whether it is sought or stepped frame by frame; the mixer
// opens what the reader accepts, delivers every piece asked for and reports
// the end shortly after Duration.
#include "Fuzz/FuzzSupport/qxFuzzSound.h"
#include "Fuzz/FuzzSupport/qxFuzzSupport.h"
#include "QxLib/Music/qxCompositeConverter.h"
#include "QxLib/Music/qxMediaInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

using namespace qx;

// Frames of the sound file every item plays: 50 ms of the mixing format.
constexpr int32_t kFileFrames = 2205;

const bool kMixerInstalled = (InstallCompositeConverter(), true);

void PutLe(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A WAVE file of the mixing format holding a constant level.
const std::string& ItemFile() {
  static const std::string file = [] {
    std::string data;
    for (int32_t i = 0; i < kFileFrames * kMixChannels; ++i)
      PutLe(data, 12000, 2);
    std::string out = "RIFF";
    PutLe(out, static_cast<uint32_t>(4 + 8 + 16 + 8 + data.size()), 4);
    out += "WAVEfmt ";
    PutLe(out, 16, 4);
    PutLe(out, 1, 2);
    PutLe(out, kMixChannels, 2);
    PutLe(out, kMixSamplesPerSecond, 4);
    PutLe(out, kMixBytesPerSecond, 4);
    PutLe(out, kMixFrameBytes, 2);
    PutLe(out, kMixBitsPerSample, 2);
    out += "data";
    PutLe(out, static_cast<uint32_t>(data.size()), 4);
    return out + data;
  }();
  return file;
}

// Every name opens the item file, except names holding "missing".
TSoundFileAccess ItemFiles() {
  TSoundFileAccess access;
  access.Open = [](const std::string& name) -> std::unique_ptr<TStream> {
    if (name.find("missing") != std::string::npos)
      return nullptr;
    return fuzz::MemoryStreamOf(ItemFile());
  };
  return access;
}

int32_t SectionHeaders(std::string_view text) {
  int32_t count = 0;
  bool lineStart = true;
  for (const char c : text) {
    if (c == '\n' || c == '\r') {
      lineStart = true;
      continue;
    }
    if (lineStart && c == '[')
      ++count;
    if (c != ' ' && c != '\t')
      lineStart = false;
  }
  return count;
}

void CheckSameEnvelopes(const TVolumeParamsList& a, const TVolumeParamsList& b) {
  FUZZ_CHECK(a.Count() == b.Count());
  for (int32_t j = 0; j < a.Count(); ++j) {
    const std::vector<TVolumeItem>& p = a[j].Points();
    const std::vector<TVolumeItem>& q = b[j].Points();
    FUZZ_CHECK(p.size() == q.size());
    for (size_t k = 0; k < p.size(); ++k)
      FUZZ_CHECK(p[k].Time == q[k].Time && p[k].Volume == q[k].Volume);
  }
}

void CheckSame(const TCompositeParams& a, const TCompositeParams& b) {
  FUZZ_CHECK(a.Duration() == b.Duration());
  FUZZ_CHECK(a.ItemCount() == b.ItemCount());
  for (int32_t i = 0; i < a.ItemCount(); ++i) {
    const TCompositeItem& x = a.Item(i);
    const TCompositeItem& y = b.Item(i);
    FUZZ_CHECK(x.FileName == y.FileName);
    FUZZ_CHECK(x.TimeLine == y.TimeLine && x.BeginTime == y.BeginTime && x.Duration == y.Duration);
    CheckSameEnvelopes(x.Fades, y.Fades);
  }
  FUZZ_CHECK((a.MainVolume() == nullptr) == (b.MainVolume() == nullptr));
  if (a.MainVolume())
    CheckSameEnvelopes(*a.MainVolume(), *b.MainVolume());
}

// The gain of an envelope lies between its lowest and highest level (with
// the rounding of the frame steps), or is 0 past its end.
void CheckGain(const TVolumeParams& envelope, double low, double high) {
  const double gain = envelope.Gain();
  FUZZ_CHECK(std::isfinite(gain));
  if (envelope.PastEnd()) {
    FUZZ_CHECK(gain == 0.0);
    return;
  }
  const double slack = 1e-6 * std::max(1.0, high - low);
  FUZZ_CHECK(gain >= low - slack && gain <= high + slack);
}

void CheckEnvelope(TVolumeParams& envelope, int32_t length) {
  envelope.Build(length);
  const std::vector<TVolumeSegment>& segments = envelope.Segments();
  FUZZ_CHECK(segments.size() <= static_cast<size_t>(envelope.PointCount()) + 1);
  if (segments.empty()) {
    FUZZ_CHECK(envelope.Gain() == 1.0 && envelope.ConstantUntil() == INT64_MAX);
    return;
  }
  double low = envelope.Points().back().Volume / 1000.0;
  double high = low;
  for (const TVolumeItem& point : envelope.Points()) {
    low = std::min(low, point.Volume / 1000.0);
    high = std::max(high, point.Volume / 1000.0);
  }
  for (size_t k = 0; k < segments.size(); ++k) {
    FUZZ_CHECK(std::isfinite(segments[k].Level) && std::isfinite(segments[k].Slope));
    FUZZ_CHECK(segments[k].Last == (k + 1 == segments.size()));
    if (k > 0)
      FUZZ_CHECK(segments[k].Position > segments[k - 1].Position);
  }
  // Sought at every border and either side of it, and stepped over a few
  // frames from each; the steps stay where a seek puts them.
  for (const TVolumeSegment& segment : segments) {
    for (const int64_t at : {segment.Position - 2 * kMixFrameBytes, segment.Position, segment.Position + 4}) {
      // The mixer asks for the positions of the item's own time, from 0.
      if (at < 0)
        continue;
      envelope.Seek(at);
      CheckGain(envelope, low, high);
      FUZZ_CHECK(envelope.PastEnd() || envelope.ConstantUntil() > at);
      for (int64_t position = at + kMixFrameBytes; position <= at + 4 * kMixFrameBytes; position += kMixFrameBytes) {
        const TVolumeStep step = envelope.Step(position);
        FUZZ_CHECK(step.PastEnd == envelope.PastEnd());
        CheckGain(envelope, low, high);
      }
    }
  }
}

// Plays the description from its start, from its middle and up to its end.
void CheckMixer(const std::string& description, const TCompositeParams& params) {
  const std::optional<TMediaInfo> info = CompositeDescriptionInfo(description);
  FUZZ_CHECK(info.has_value());
  FUZZ_CHECK(info->Length == params.Duration());
  TCompositeConverter converter(description, ItemFiles());
  bool opened = false;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(opened = converter.Open(*info)));
  FUZZ_CHECK(opened);
  FUZZ_CHECK(converter.OutputFormat() == MixingFormat());
  FUZZ_CHECK(converter.Params().ItemCount() == params.ItemCount());
  fuzz::ReadPieces(converter, 4);
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(converter.Seek(params.Duration() / 2.0)));
  fuzz::ReadPieces(converter, 4);
  // From 100 ms before the end the end comes within a few blocks.
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(converter.Seek(std::max(0.0, params.Duration() - 100.0))));
  FUZZ_CHECK(fuzz::ReadPieces(converter, 3 * TCompositeConverter::kBlockBytes / fuzz::kSoundPiece + 8));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string text = fuzz::Bytes(data, size);
  if (!IsCompositeDescription(text))
    text.insert(0, kCompositeMarker);

  TCompositeParams params;
  bool read = false;
  FUZZ_CHECK(FUZZ_RESULT_OR_ERROR(read = params.Read(text)));
  if (!read) {
    FUZZ_CHECK(!params.ErrorText().empty());
    FUZZ_CHECK(params.ItemCount() == 0 && params.Duration() == 0 && params.MainVolume() == nullptr);
    return 0;
  }
  FUZZ_CHECK(params.ErrorText().empty());
  FUZZ_CHECK(params.Duration() > 0 && params.ItemCount() > 0);

  // Every item and every envelope point stands for a section of the text; a
  // master envelope of a later part is copied into each of its items.
  const int64_t sections = SectionHeaders(text);
  FUZZ_CHECK(params.ItemCount() <= sections);
  int64_t points = params.MainVolume() ? params.MainVolume()->PointCount() : 0;
  for (int32_t i = 0; i < params.ItemCount(); ++i) {
    FUZZ_CHECK(!params.Item(i).FileName.empty());
    points += params.Item(i).Fades.PointCount();
  }
  FUZZ_CHECK(points <= TCompositeParams::kMaxPoints);

  const std::string written = params.Write();
  TCompositeParams again;
  FUZZ_CHECK(again.Read(written));
  CheckSame(params, again);

  for (int32_t i = 0; i < params.ItemCount(); ++i) {
    TCompositeItem& item = params.Item(i);
    const int32_t length = item.Duration > 0 ? item.Duration : params.Duration();
    for (int32_t j = 0; j < item.Fades.Count(); ++j)
      CheckEnvelope(item.Fades[j], length);
  }
  if (TVolumeParamsList* master = params.MainVolume()) {
    for (int32_t j = 0; j < master->Count(); ++j)
      CheckEnvelope((*master)[j], params.Duration());
  }
  CheckMixer(text, params);
  return 0;
}
