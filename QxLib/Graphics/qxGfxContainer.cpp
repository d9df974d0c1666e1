#include "QxLib/Graphics/qxGfxContainer.h"

#include "QxLib/Graphics/qxBitmapConvert.h"
#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxImage.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxMemoryStream.h"
#include "QxLib/qxZLib.h"

#include <charconv>
#include <cstring>
#include <map>
#include <optional>

namespace qx {

namespace {

constexpr char kMagic[4] = {'Q', 'X', 'G', 'F'};
// Shown in place of a payload that cannot be decoded.
constexpr TBgra kFallbackGreen{0, 255, 0, 255};
// Room for BMP headers and palettes beyond the pixel bytes.
constexpr int64_t kBmpOverhead = 64 * 1024;

std::optional<int64_t> ParseDecimal(const std::string& text) {
  int64_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || ptr != end || text.empty())
    return std::nullopt;
  return value;
}

bool ReadText(TStream& stream, std::string& text) {
  uint8_t length[2];
  if (stream.Read(length, 2) != 2)
    return false;
  text.assign(static_cast<size_t>(length[0] | (length[1] << 8)), '\0');
  return stream.Read(text.data(), static_cast<int64_t>(text.size())) == static_cast<int64_t>(text.size());
}

TRefPtr<TBitmapStore> ReadContainer(TStream& stream, const std::string& fileName) {
  char magic[4];
  if (stream.Read(magic, 4) != 4 || std::memcmp(magic, kMagic, 4) != 0)
    return nullptr;
  uint8_t countBytes[2];
  if (stream.Read(countBytes, 2) != 2)
    return nullptr;
  const int count = countBytes[0] | (countBytes[1] << 8);
  std::map<std::string, std::string> fields;
  for (int i = 0; i < count; ++i) {
    std::string name;
    std::string value;
    if (!ReadText(stream, name) || !ReadText(stream, value))
      return nullptr;
    fields[name] = value;
  }
  const auto field = [&](const char* name) -> const std::string* {
    const auto it = fields.find(name);
    return it == fields.end() ? nullptr : &it->second;
  };
  const std::string* source = field("File");
  const std::string* widthText = field("Width");
  const std::string* heightText = field("Height");
  const std::string* originalText = field("OriginalSize");
  if (!source || !widthText || !heightText || !originalText)
    return nullptr;
  const auto width = ParseDecimal(*widthText);
  const auto height = ParseDecimal(*heightText);
  const auto original = ParseDecimal(*originalText);
  if (!width || !height || !original)
    return nullptr;
  CheckPictureSize(*width, *height, TPixelFormat::Bgra32);

  // The payload runs to the end of the stream and is copied at once.
  const int64_t size = stream.GetSize();
  const int64_t position = stream.GetPosition();
  std::string compressed;
  if (size >= 0) {
    const int64_t count64 = size - position;
    if (count64 <= 0 || count64 > kMaxPictureBytes)
      return nullptr;
    compressed.resize(static_cast<size_t>(count64));
    if (stream.Read(compressed.data(), count64) != count64)
      return nullptr;
  } else {
    compressed = ReadPictureBytes(stream, kMaxPictureBytes);
  }
  return MakeRef<TGfxBitmapStore>(fileName, static_cast<int>(*width), static_cast<int>(*height), *source, *original,
                                  std::move(compressed));
}

} // namespace

TGfxBitmapStore::TGfxBitmapStore(std::string fileName, int width, int height, std::string sourceName,
                                 int64_t originalSize, std::string compressed)
    : TSysBitmapStore(std::move(fileName), width, height, TPixelFormat::Bgra32), m_sourceName(std::move(sourceName)),
      m_originalSize(originalSize), m_compressed(std::move(compressed)) {}

std::unique_ptr<TBitmap> TGfxBitmapStore::DecodeLevel(int level) {
  if (level != 0)
    return nullptr;
  const int width = StoredLevelWidth(0);
  const int height = StoredLevelHeight(0);
  std::unique_ptr<TBitmap> result;
  try {
    const std::string bmp = InflateRaw(m_compressed, int64_t{width} * height * 4 + kBmpOverhead);
    TMemoryStream memory;
    memory.WriteString(bmp);
    memory.SetPosition(0);
    std::unique_ptr<TBitmap> decoded = ReadBmp(memory);
    if (!decoded)
      throw EQxError("payload is not a readable BMP");
    if (decoded->Width() != width || decoded->Height() != height)
      throw EQxError("payload size differs from the declared size");
    result = std::make_unique<TBitmap>(ConvertBitmap(*decoded, TPixelFormat::Bgra32));
  } catch (const std::exception& error) {
    WriteDebugOutput("TGfxBitmapStore: \"" + FileName() + "\" shown as green: " + error.what());
    result = std::make_unique<TBitmap>(width, height, TPixelFormat::Bgra32);
    result->Fill(kFallbackGreen);
  }
  std::string().swap(m_compressed);
  ReportProgress(1.0);
  return result;
}

TRefPtr<TBitmapStore> LoadGfxContainer(TStream& stream, const std::string& fileName, std::unique_ptr<TStream>&,
                                       const TProgressCallback& progress) {
  const int64_t position = stream.GetPosition();
  TRefPtr<TBitmapStore> store;
  try {
    store = ReadContainer(stream, fileName);
  } catch (...) {
    stream.SetPosition(position);
    throw;
  }
  if (!store) {
    stream.SetPosition(position);
    return nullptr;
  }
  if (progress)
    store->SetProgressCallback(progress);
  return store;
}

} // namespace qx
