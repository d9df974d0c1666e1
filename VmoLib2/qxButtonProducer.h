// Button skins and button pictures: a skin is a folder holding a "btn.ini"
// description and the pictures of the nine pieces (four corners, four
// edges, centre) of a button in each of its three states. A producer reads
// one skin and composes button pictures of any width from it, recoloured by
// hue, saturation and lightness; the slide host asks for them under names
// beginning "Button: ".
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/Graphics/qxHslAdjust.h"
#include "QxLib/qxColor.h"
#include "QxLib/qxStream.h"
#include "VmoLib2/3DEngine/qxDrawParams.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TIniIdentList;
class TVectorText;

// The prefix of every button picture name.
inline constexpr std::string_view kButtonPicturePrefix = "Button: ";
// The skin description inside a skin folder.
inline constexpr std::string_view kButtonSkinFile = "btn.ini";
// Skin descriptions longer than this are not read.
inline constexpr int64_t kMaxButtonSkinBytes = int64_t{1} << 20;

enum TButtonState : int32_t { bsNormal = 0, bsHover = 1, bsClick = 2 };
inline constexpr int kButtonStateCount = 3;
inline constexpr std::array<std::string_view, kButtonStateCount> kButtonStateSections = {"NormalState", "HoverState",
                                                                                         "ClickState"};

enum class TButtonPiece : int32_t { LeftTop, Top, RightTop, Right, RightBottom, Bottom, LeftBottom, Left, Center };
inline constexpr int kButtonPieceCount = 9;
// The keys of a state's section, in TButtonPiece order.
inline constexpr std::array<std::string_view, kButtonPieceCount> kButtonPieceKeys = {
    "LeftTop", "Top", "RightTop", "Right", "RightBottom", "Bottom", "LeftBottom", "Left", "Center"};

// One piece: its picture file and its rectangle, which is both its place in
// skin coordinates and its place inside the picture.
struct TBtnIniString {
  std::string FileName;
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;

  // "file, left, top, right, bottom"; a missing or non-numeric number
  // reads as 0.
  static TBtnIniString Parse(std::string_view value);
  bool operator==(const TBtnIniString&) const = default;
};

// What a "Button: " name asks for.
struct TButtonPictureRequest {
  std::string Skin;
  int32_t State = bsNormal;
  int32_t Width = 0;
  THslShift Shift;
  bool operator==(const TButtonPictureRequest&) const = default;
};

// "Button: <skin>:<state>:<width>:<hue>:<saturation>:<lightness>".
std::string ComposeButtonName(const TButtonPictureRequest& request);
bool IsButtonName(std::string_view name);
// The five numbers are the last five ":" fields, so a skin path may hold
// ":" itself; a field that is not an integer reads as 0. A name without the
// prefix raises EQxError "Invalid button picture name: ...".
TButtonPictureRequest ParseButtonName(std::string_view name);

// A picture of the show by name, or none.
using TPictureLoader = std::function<TRefPtr<TBitmapStore>(const std::string& name)>;
// A file of the show by name, or none.
using TSkinFileOpener = std::function<std::unique_ptr<TStream>(const std::string& name)>;
// The laid-out glyphs of an error text in the default font; may raise.
using TErrorTextLayout = std::function<std::shared_ptr<const TVectorText>(const std::string& text)>;

// `folder` and `name` joined by "\" unless the folder is empty or already
// ends with "\" or "/".
std::string JoinSkinPath(std::string_view folder, std::string_view name);

// The piece pictures of the skins, by file name, decoded once at level 0 as
// Bgra32. Shared by the producers of one host; any thread.
class THashBitmaps {
public:
  explicit THashBitmaps(TPictureLoader loader);
  // The picture, or none when it cannot be opened or decoded (logged once).
  std::shared_ptr<const TBitmap> Get(const std::string& name);
  int Count() const;

private:
  TPictureLoader m_loader;
  mutable std::mutex m_lock;
  // Pictures that failed are kept as none, so they are not read again.
  std::map<std::string, std::shared_ptr<const TBitmap>> m_pictures;
};

// One skin. Reads its description once, at creation; composing is const
// and may run on any thread.
class TButtonProducer {
public:
  // `pieces` may be none: every picture is then the text "FileOpenError".
  TButtonProducer(std::string skinName, const TSkinFileOpener& openFile, THashBitmaps* pieces,
                  TErrorTextLayout errorText);

  const std::string& SkinName() const { return m_skinName; }
  // The description was found and gives the skin a height.
  bool Loaded() const { return m_loaded; }
  const TBtnIniString& Piece(int state, TButtonPiece piece) const;
  TRgb TextColor() const { return m_textColor; }
  double ButtonOffset() const { return m_offset; }
  double MinWidth() const { return m_minWidth; }
  TFiltering Filtering() const { return m_filtering; }
  // The normal state's "Right" right edge and "Bottom" bottom edge.
  int32_t SkinWidth() const { return m_skinWidth; }
  int32_t SkinHeight() const { return m_skinHeight; }

  // The button picture of `width` (at least 1) and the skin height for a
  // state (clamped to 0 ... 2), recoloured. A piece picture that cannot be
  // loaded gives the text picture "Incorrect Image: <piece key>". Raises
  // EPictureTooLarge for a size beyond the picture limits and the text
  // producer's errors for an error picture that cannot be laid out.
  TBitmap Compose(int32_t state, int32_t width, const THslShift& shift) const;

private:
  void Read(const TSkinFileOpener& openFile);
  void ReadState(const TIniIdentList* section, int state);
  TBitmap ErrorPicture(const std::string& text) const;

  std::string m_skinName;
  THashBitmaps* m_pieces;
  TErrorTextLayout m_errorText;
  bool m_loaded = false;
  std::array<std::array<TBtnIniString, kButtonPieceCount>, kButtonStateCount> m_states{};
  TRgb m_textColor{0, 0, 0};
  double m_offset = 0;
  double m_minWidth = 0;
  TFiltering m_filtering = TFiltering::Default;
  int32_t m_skinWidth = 0;
  int32_t m_skinHeight = 0;
};

// The producers of one show, one per skin name, and the piece cache they
// share. Any thread.
class TButtonProducerHost {
public:
  // More skins than this are not read; further names get no producer.
  static constexpr size_t kMaxSkins = 256;

  TButtonProducerHost(TSkinFileOpener openFile, TPictureLoader loadPicture, TErrorTextLayout errorText);
  ~TButtonProducerHost();

  // The producer of a skin folder, made (and its description read) on the
  // first request; none beyond kMaxSkins.
  const TButtonProducer* Producer(const std::string& skinName);
  // The picture of a "Button: " name; none for a skin without description.
  // Raises like TButtonProducer::Compose and ParseButtonName.
  TRefPtr<TBitmapStore> OpenPicture(const std::string& name);

private:
  TSkinFileOpener m_openFile;
  TErrorTextLayout m_errorText;
  THashBitmaps m_pieces;
  std::mutex m_lock;
  std::map<std::string, std::unique_ptr<TButtonProducer>> m_producers;
};

} // namespace qx
