#include "VmoLib2/qxButtonProducer.h"

#include "QxLib/VectorGraphics/qxTextProducer.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxIniValues.h"
#include "QxLib/qxLog.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>
#include <cstring>

namespace qx {

namespace {

constexpr std::string_view kFilteringWords[] = {"Nearest", "Bilinear", "Default"};
constexpr int kNumberFields = 5;

int32_t IntegerOrZero(std::string_view text) {
  int32_t value = 0;
  return TryParseInteger(text, value) ? value : 0;
}

// A half-open range [from, to) of 64-bit coordinates.
struct TSpan {
  int64_t From = 0;
  int64_t To = 0;
};

TSpan Intersect(TSpan a, TSpan b) { return {std::max(a.From, b.From), std::min(a.To, b.To)}; }

// Copies pixels into the button picture; every read and write is clipped, so
// pieces that lie outside their pictures or the button leave pixels
// transparent instead of reading or writing outside.
class TPieceWriter {
public:
  explicit TPieceWriter(TBitmap& target) : m_target(target) {}

  // target(x + dx, y + dy) = source(sx(x), y) for x in xs, y in ys, where
  // sx is the fixed column `column` when given, else x itself.
  void Copy(const TBitmap& source, TSpan xs, TSpan ys, int64_t dx, int64_t dy, const int64_t* column) {
    const TSpan targetX{-dx, m_target.Width() - dx};
    const TSpan targetY{-dy, m_target.Height() - dy};
    TSpan x = Intersect(xs, targetX);
    const TSpan y = Intersect(Intersect(ys, targetY), {0, source.Height()});
    if (column) {
      if (*column < 0 || *column >= source.Width())
        return;
    } else {
      x = Intersect(x, {0, source.Width()});
    }
    if (x.From >= x.To || y.From >= y.To)
      return;
    for (int64_t row = y.From; row < y.To; ++row) {
      const uint8_t* in = source.Scanline(static_cast<int>(row));
      uint8_t* out = m_target.Scanline(static_cast<int>(row + dy));
      if (column) {
        const uint8_t* pixel = in + 4 * *column;
        for (int64_t col = x.From; col < x.To; ++col)
          std::memcpy(out + 4 * (col + dx), pixel, 4);
      } else {
        std::memcpy(out + 4 * (x.From + dx), in + 4 * x.From, static_cast<size_t>(4 * (x.To - x.From)));
      }
    }
  }

private:
  TBitmap& m_target;
};

} // namespace

TBtnIniString TBtnIniString::Parse(std::string_view value) {
  TBtnIniString piece;
  const std::vector<std::string_view> fields = SplitValueList(value, kNumberFields);
  if (fields.empty())
    return piece;
  piece.FileName = std::string(TrimBlanks(fields[0]));
  int32_t* numbers[] = {&piece.Left, &piece.Top, &piece.Right, &piece.Bottom};
  for (size_t i = 1; i < fields.size(); ++i)
    *numbers[i - 1] = IntegerOrZero(TrimBlanks(fields[i]));
  return piece;
}

std::string ComposeButtonName(const TButtonPictureRequest& request) {
  return std::string(kButtonPicturePrefix) + request.Skin + ":" + std::to_string(request.State) + ":" +
         std::to_string(request.Width) + ":" + std::to_string(request.Shift.Hue) + ":" +
         std::to_string(request.Shift.Saturation) + ":" + std::to_string(request.Shift.Lightness);
}

bool IsButtonName(std::string_view name) { return name.substr(0, kButtonPicturePrefix.size()) == kButtonPicturePrefix; }

TButtonPictureRequest ParseButtonName(std::string_view name) {
  if (!IsButtonName(name))
    throw EQxError("Invalid button picture name: " + std::string(name));
  std::string_view rest = name.substr(kButtonPicturePrefix.size());
  std::array<int32_t, kNumberFields> numbers{};
  for (int i = kNumberFields - 1; i >= 0; --i) {
    const size_t colon = rest.rfind(':');
    const std::string_view field = colon == std::string_view::npos ? rest : rest.substr(colon + 1);
    numbers[static_cast<size_t>(i)] = IntegerOrZero(field);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(0, colon);
  }
  TButtonPictureRequest request;
  request.Skin = std::string(rest);
  request.State = numbers[0];
  request.Width = numbers[1];
  request.Shift = {numbers[2], numbers[3], numbers[4]};
  return request;
}

std::string JoinSkinPath(std::string_view folder, std::string_view name) {
  if (folder.empty() || folder.back() == '\\' || folder.back() == '/')
    return std::string(folder) + std::string(name);
  return std::string(folder) + "\\" + std::string(name);
}

// --- Piece cache ----------------------------------------------------------

THashBitmaps::THashBitmaps(TPictureLoader loader) : m_loader(std::move(loader)) {}

std::shared_ptr<const TBitmap> THashBitmaps::Get(const std::string& name) {
  {
    const std::lock_guard lock(m_lock);
    if (const auto found = m_pictures.find(name); found != m_pictures.end())
      return found->second;
  }
  // Decoded without the lock: another skin may be composed meanwhile.
  std::shared_ptr<const TBitmap> picture;
  try {
    if (const TRefPtr<TBitmapStore> store = m_loader ? m_loader(name) : TRefPtr<TBitmapStore>())
      picture = store->GetMipLevel(0, TPixelFormat::Bgra32);
  } catch (const EAbort&) {
    throw;
  } catch (const EQxError& error) {
    Log().WriteLine("THashBitmaps: " + name + ": " + error.what());
  }
  if (!picture)
    Log().WriteLine("THashBitmaps: no picture " + name);
  const std::lock_guard lock(m_lock);
  return m_pictures.emplace(name, std::move(picture)).first->second;
}

int THashBitmaps::Count() const {
  const std::lock_guard lock(m_lock);
  return static_cast<int>(m_pictures.size());
}

// --- Producer -------------------------------------------------------------

TButtonProducer::TButtonProducer(std::string skinName, const TSkinFileOpener& openFile, THashBitmaps* pieces,
                                 TErrorTextLayout errorText)
    : m_skinName(std::move(skinName)), m_pieces(pieces), m_errorText(std::move(errorText)) {
  Read(openFile);
}

void TButtonProducer::Read(const TSkinFileOpener& openFile) {
  const std::string path = JoinSkinPath(m_skinName, kButtonSkinFile);
  TIniStorage storage;
  try {
    const std::unique_ptr<TStream> stream = openFile ? openFile(path) : nullptr;
    if (!stream) {
      Log().WriteLine("TButtonProducer: no skin " + path);
      return;
    }
    if (stream->GetSize() - stream->GetPosition() > kMaxButtonSkinBytes) {
      Log().WriteLine("TButtonProducer: skin description too large: " + path);
      return;
    }
    storage.LoadFromStream(*stream);
  } catch (const EAbort&) {
    throw;
  } catch (const EQxError& error) {
    Log().WriteLine("TButtonProducer: " + path + ": " + error.what());
    return;
  }
  for (int state = 0; state < kButtonStateCount; ++state)
    ReadState(storage.FindSection(kButtonStateSections[static_cast<size_t>(state)]), state);
  if (const TIniSection* text = storage.FindSection("TextParams")) {
    m_textColor = text->ReadColor("Color", TRgb{0, 0, 0});
    m_offset = text->ReadFloat("BtnOffset", 0);
    m_minWidth = text->ReadFloat("BtnMinWidth", 0);
    m_filtering = static_cast<TFiltering>(text->ReadChoice("Filtering", kFilteringWords, 2, true));
  }
  m_skinWidth = Piece(bsNormal, TButtonPiece::Right).Right;
  m_skinHeight = Piece(bsNormal, TButtonPiece::Bottom).Bottom;
  // A skin without height can make no picture.
  m_loaded = m_skinHeight > 0;
  if (!m_loaded)
    Log().WriteLine("TButtonProducer: skin without height: " + path);
}

void TButtonProducer::ReadState(const TIniIdentList* section, int state) {
  if (!section)
    return;
  for (int piece = 0; piece < kButtonPieceCount; ++piece)
    m_states[static_cast<size_t>(state)][static_cast<size_t>(piece)] =
        TBtnIniString::Parse(section->ReadString(kButtonPieceKeys[static_cast<size_t>(piece)], ""));
}

const TBtnIniString& TButtonProducer::Piece(int state, TButtonPiece piece) const {
  return m_states[static_cast<size_t>(std::clamp(state, 0, kButtonStateCount - 1))][static_cast<size_t>(piece)];
}

TBitmap TButtonProducer::ErrorPicture(const std::string& text) const {
  const std::shared_ptr<const TVectorText> layout = m_errorText ? m_errorText(text) : nullptr;
  if (!layout)
    throw EQxError("TButtonProducer: " + text);
  return ProduceTextBitmap(*layout, TTextParams{});
}

TBitmap TButtonProducer::Compose(int32_t state, int32_t width, const THslShift& shift) const {
  if (!m_pieces)
    return ErrorPicture("FileOpenError");
  state = std::clamp(state, 0, kButtonStateCount - 1);
  const int64_t w = std::max(1, width);
  const int64_t h = m_skinHeight;
  CheckPictureSize(w, h, TPixelFormat::Bgra32);

  std::array<std::shared_ptr<const TBitmap>, kButtonPieceCount> pictures;
  for (int i = 0; i < kButtonPieceCount; ++i) {
    const TBtnIniString& piece = Piece(state, static_cast<TButtonPiece>(i));
    pictures[static_cast<size_t>(i)] =
        piece.FileName.empty() ? nullptr : m_pieces->Get(JoinSkinPath(m_skinName, piece.FileName));
    if (!pictures[static_cast<size_t>(i)])
      return ErrorPicture("Incorrect Image: " + std::string(kButtonPieceKeys[static_cast<size_t>(i)]));
  }
  const auto piece = [&](TButtonPiece which) -> const TBtnIniString& { return Piece(state, which); };
  const auto picture = [&](TButtonPiece which) -> const TBitmap& {
    return *pictures[static_cast<size_t>(which)];
  };

  TBitmap out(static_cast<int>(w), static_cast<int>(h), TPixelFormat::Bgra32);
  const TBtnIniString& left = piece(TButtonPiece::Left);
  const TBtnIniString& right = piece(TButtonPiece::Right);
  const TBtnIniString& top = piece(TButtonPiece::Top);
  const TBtnIniString& bottom = piece(TButtonPiece::Bottom);
  const TBtnIniString& center = piece(TButtonPiece::Center);
  const TSpan innerX{left.Right, w + int64_t{right.Left} - right.Right};
  const TSpan innerY{top.Bottom, h + int64_t{bottom.Top} - bottom.Bottom};
  // Right pieces move with the right edge, bottom pieces with the bottom.
  const int64_t shiftX = innerX.To - right.Left;
  const int64_t shiftY = innerY.To - bottom.Top;

  TPieceWriter writer(out);
  const int64_t centerColumn = center.Left;
  writer.Copy(picture(TButtonPiece::Center), innerX, innerY, 0, 0, &centerColumn);
  const int64_t topColumn = top.Left;
  writer.Copy(picture(TButtonPiece::Top), innerX, {top.Top, top.Bottom}, 0, 0, &topColumn);
  const int64_t bottomColumn = bottom.Left;
  writer.Copy(picture(TButtonPiece::Bottom), innerX, {bottom.Top, bottom.Bottom}, 0, shiftY, &bottomColumn);
  writer.Copy(picture(TButtonPiece::Left), {left.Left, left.Right}, innerY, 0, 0, nullptr);
  writer.Copy(picture(TButtonPiece::Right), {right.Left, right.Right}, innerY, shiftX, 0, nullptr);
  const TBtnIniString& leftTop = piece(TButtonPiece::LeftTop);
  writer.Copy(picture(TButtonPiece::LeftTop), {leftTop.Left, leftTop.Right}, {leftTop.Top, leftTop.Bottom}, 0, 0,
              nullptr);
  const TBtnIniString& rightTop = piece(TButtonPiece::RightTop);
  writer.Copy(picture(TButtonPiece::RightTop), {rightTop.Left, rightTop.Right}, {rightTop.Top, rightTop.Bottom},
              shiftX, 0, nullptr);
  const TBtnIniString& rightBottom = piece(TButtonPiece::RightBottom);
  writer.Copy(picture(TButtonPiece::RightBottom), {rightBottom.Left, rightBottom.Right},
              {rightBottom.Top, rightBottom.Bottom}, shiftX, shiftY, nullptr);
  const TBtnIniString& leftBottom = piece(TButtonPiece::LeftBottom);
  writer.Copy(picture(TButtonPiece::LeftBottom), {leftBottom.Left, leftBottom.Right},
              {leftBottom.Top, leftBottom.Bottom}, 0, shiftY, nullptr);

  AdjustHsl(out, shift);
  return out;
}

// --- Host -----------------------------------------------------------------

TButtonProducerHost::TButtonProducerHost(TSkinFileOpener openFile, TPictureLoader loadPicture,
                                         TErrorTextLayout errorText)
    : m_openFile(std::move(openFile)), m_errorText(std::move(errorText)), m_pieces(std::move(loadPicture)) {}

TButtonProducerHost::~TButtonProducerHost() = default;

const TButtonProducer* TButtonProducerHost::Producer(const std::string& skinName) {
  const std::lock_guard lock(m_lock);
  if (const auto found = m_producers.find(skinName); found != m_producers.end())
    return found->second.get();
  if (m_producers.size() >= kMaxSkins) {
    Log().WriteLine("TButtonProducerHost: too many skins, " + skinName + " is not read");
    return nullptr;
  }
  auto producer = std::make_unique<TButtonProducer>(skinName, m_openFile, &m_pieces, m_errorText);
  return m_producers.emplace(skinName, std::move(producer)).first->second.get();
}

TRefPtr<TBitmapStore> TButtonProducerHost::OpenPicture(const std::string& name) {
  const TButtonPictureRequest request = ParseButtonName(name);
  const TButtonProducer* producer = Producer(request.Skin);
  if (!producer || !producer->Loaded())
    return {};
  auto picture = std::make_unique<TBitmap>(producer->Compose(request.State, request.Width, request.Shift));
  return MakeRef<TWrapperBitmapStore>(name, std::move(picture));
}

} // namespace qx
