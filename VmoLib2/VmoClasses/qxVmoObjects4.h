// The objects of a slide: the parameter base that owns the key points, the
// object with its tree, its common settings, its time window, its placement
// in space, its opacity and its change flags, the host interface through
// which objects reach the outside world, and the chain of factories that
// turns the type words of object blocks into objects.
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/qxColor.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"
#include "VmoLib2/VmoClasses/qxKeyPoints.h"
#include "VmoLib2/VmoClasses/qxVmoPlacement.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TButtonProducer;
class TExtractorWrapper;
class TIniIdentList;
class TStream;
class TVectorText;
class TVmoObject;
class TVmoSlide;

// What the slides and their objects ask of the place they are shown in (the
// slide host of the slide producer).
class TVmoObjectHost {
public:
  // The host's scale between an object's largest size on screen and the
  // picture size it decodes.
  static constexpr double kMipLevelScale = 1.3333;

  virtual ~TVmoObjectHost() = default;
  // The camera in the show's space (output pixels; negative z). Cheap, called
  // per frame.
  virtual TVec3 CameraPosition() const = 0;
  // The picture of that name (package entry or synthetic picture), or an
  // empty reference when there is none. May decode headers; called on the
  // loading thread.
  virtual TRefPtr<TBitmapStore> OpenPicture(const std::string& name) = 0;
  // Asked between the steps of a size pass; true stops the pass.
  virtual bool CancelRequested() const { return false; }
  virtual double MipLevelScale() const { return kMipLevelScale; }
  // The number of slides of the show (0 when unknown).
  virtual int SlideCount() const { return 0; }
  // A file of the show opened by name, or none (pictures read for their
  // metadata). Called on the loading thread.
  virtual std::unique_ptr<TStream> OpenStream(const std::string& name);
  // The laid-out glyphs of a text in a font and style (bits of
  // TFontStyleBits): the show's own layout, else laid out from the installed
  // fonts. Raises EQxError when neither is possible; none when the host has
  // no texts. Called on the loading thread.
  virtual std::shared_ptr<const TVectorText> TextLayout(const std::string& fontName, uint32_t style,
                                                        const std::vector<std::string>& lines);
  // The skin of a button theme (a folder under the show's button path), or
  // none when the theme has no usable skin. Called on the loading thread.
  virtual const TButtonProducer* ButtonTheme(const std::string& theme);
  // The project block of that name ("main", a slide section), or none.
  virtual const TIniIdentList* Section(const std::string& name) const;
  // The shared frame source of a video clip key with the file opened (a
  // disk file when `loadFromDisk`); none when the host keeps no clips.
  // Called on the loading thread.
  virtual TRefPtr<TExtractorWrapper> VideoClip(const std::string& key, const std::string& fileName, bool loadFromDisk);
  // Whether video objects show the exact frame of the drawn time, waiting
  // for it to be decoded (headless rendering), rather than the nearest
  // frame decoded so far (live playing, which must not wait).
  virtual bool ExactVideoFrames() const { return false; }
};

// The parameter base of every object: owns the key point list, whose
// anchors it answers.
class TVmoParams : public TDrawItem, public TKeyPointAnchors {
public:
  TVmoParams() : m_keyPoints(*this) {}

  TKeyPoints& KeyPoints() { return m_keyPoints; }
  const TKeyPoints& KeyPoints() const { return m_keyPoints; }
  // The interpolated values of the last evaluation.
  const TKeyValues& Values() const { return m_keyPoints.Current(); }

private:
  TKeyPoints m_keyPoints;
};

struct TSize {
  int32_t Width = 0;
  int32_t Height = 0;
  bool operator==(const TSize&) const = default;
};

// The drop shadow settings of an object; the angle is in degrees as the
// shadow pictures take it.
struct TShadowSettings {
  bool Enabled = false;
  float Size = 16;
  TRgb Color{0, 0, 0};
  float Opacity = 59;
  float Distance = 1.5f;
  float Angle = 45;
  int32_t SpreadIndex = 0;
  bool Shadow3D = false;
  bool operator==(const TShadowSettings&) const = default;
};

// The visual state of buttons and texts under the mouse.
enum class TMouseState { Normal, Hover, Pressed };

// The object found under a point and the point in its local coordinates
// (relative to its origin, in pixels of its base size).
struct THitResult {
  TVmoObject* Object = nullptr;
  double LocalX = 0;
  double LocalY = 0;
};

using THitFilter = std::function<bool(const TVmoObject&)>;

class TVmoObject : public TVmoParams {
public:
  // Creates the object with the defaults of every object; the caller adds it
  // to the parent's child list (AddChild). A slide has no parent.
  TVmoObject(TVmoObject* parent, std::string name);
  ~TVmoObject() override;

  // --- Tree -----------------------------------------------------------
  TVmoObject* Parent() const { return m_parent; }
  const std::string& Name() const { return m_name; }
  const std::string& Guid() const { return m_guid; }
  void SetGuid(std::string guid) { m_guid = std::move(guid); }
  int ChildCount() const { return static_cast<int>(m_children.size()); }
  TVmoObject& Child(int index) const { return *m_children[static_cast<size_t>(index)]; }
  // Appends a child (drawn last, so on top) and makes this object its parent.
  TVmoObject& AddChild(std::unique_ptr<TVmoObject> child);
  // The slide at the root of the tree, or none for a detached object.
  TVmoSlide* RootSlide() const;
  // The root slide's host, or none.
  TVmoObjectHost* Host() const;
  // Calls `visit` for this object and every descendant, parents first.
  void ForEach(const std::function<void(TVmoObject&)>& visit);

  // --- Loading --------------------------------------------------------
  // Reads the object from its block: the kind's keys, the common keys, the
  // children and key points in block order, then the speed stores. With
  // `reload`, former children whose GUID a block names are kept (with their
  // resources) and reloaded; the others are freed.
  void Load(const TIniIdentList& block, bool reload);

  // --- Common settings ------------------------------------------------
  TFitMode FitMode() const { return m_fitMode; }
  void SetFitMode(TFitMode mode) { SetSetting(m_fitMode, mode); }
  TUnitMode PosMode() const { return m_posMode; }
  void SetPosMode(TUnitMode mode) { SetSetting(m_posMode, mode); }
  TUnitMode CenterMode() const { return m_centerMode; }
  void SetCenterMode(TUnitMode mode) { SetSetting(m_centerMode, mode); }
  double DeltaTime1() const { return m_deltaTime1; }
  void SetDeltaTime1(double ms) { SetFloatSetting(m_deltaTime1, ms); }
  double DeltaTime2() const { return m_deltaTime2; }
  void SetDeltaTime2(double ms) { SetFloatSetting(m_deltaTime2, ms); }
  int HideMode() const { return m_hideMode; }
  void SetHideMode(int mode) { SetSetting(m_hideMode, mode); }
  bool ChildInvis() const { return m_childInvis; }
  void SetChildInvis(bool on) { SetSetting(m_childInvis, on); }
  bool TranspForClick() const { return m_transpForClick; }
  void SetTranspForClick(bool on) { SetSetting(m_transpForClick, on); }
  bool TreeNode() const { return m_treeNode; }
  const std::string& Action() const { return m_action; }
  void SetAction(std::string action) { SetSetting(m_action, std::move(action)); }
  const TShadowSettings& Shadow() const { return m_shadow; }
  void SetShadow(const TShadowSettings& shadow) { SetSetting(m_shadow, shadow); }

  // Base size in pixels; 0 x 0 until the kind knows it.
  TSize BaseSize() const { return m_size; }
  int32_t Width() const { return m_size.Width; }
  int32_t Height() const { return m_size.Height; }
  void SetBaseSize(TSize size) { SetSetting(m_size, size); }

  // --- Time -----------------------------------------------------------
  // The root slide's anchors (all 0 for a detached object).
  TAnchorTimes AnchorTimes() const override;
  // Evaluates the key points at `time` and the active window; recursive.
  virtual void Evaluate(double time);
  bool Active() const { return m_active; }

  // --- Placement ------------------------------------------------------
  // Computes the fit factor, the matrices, the frame, the pivot and the
  // hidden flag from the current values and the parent; recursive.
  virtual void UpdatePlacement();
  // Evaluate, then UpdatePlacement: what the engine calls once per frame.
  void EvaluateAndUpdate(double time);
  // The size the object is fitted into: the parent's base size.
  virtual TSize ParentSize() const;
  // The parent's frame (the slide area's centre with unit axes for a slide).
  virtual TObjectFrame ParentFrame() const;

  double FitFactorValue() const { return m_fitFactor; }
  const TMatrix3& WorldMatrix() const { return m_world; }
  const TObjectFrame& ObjectFrame() const { return m_frame; }
  bool FrameValid() const { return m_frameValid; }
  // The top-left corner of the drawn rectangle in the object's own
  // coordinates, relative to its origin.
  float PivotX() const { return m_pivotX; }
  float PivotY() const { return m_pivotY; }
  bool Facing() const { return m_facing; }
  bool HiddenByAncestor() const { return m_hiddenByAncestor; }
  // Active, facing the viewer as HideMode allows, not hidden by an ancestor
  // and with a valid frame.
  bool Drawable() const { return m_active && m_facing && !m_hiddenByAncestor && m_frameValid; }

  // Opacity percentage: the key point opacity times the root's factor / 100.
  virtual float Opacity() const;

  // --- Change flags ---------------------------------------------------
  bool SettingsChanged() const { return m_settingsChanged; }
  // Own settings or key points, or any descendant's.
  bool SettingsOrKeyPointsChanged() const;
  bool NeedsRedraw() const override;
  // Sets (or clears) both flags on the object and its descendants; clearing
  // also clears the key points' change flags.
  void SetChangeFlags(bool value);

  // --- Resources and drawing ------------------------------------------
  // Opens what the object needs to be drawn (pictures, masks) and clears the
  // settings-changed flag; recursive.
  virtual void PrepareResources();
  // Draws the object when it is drawable, then its children, in list order.
  void Draw(TDeviceDrawer& drawer) override;
  // Clears needs-redraw on the object and its descendants.
  void FrameEnded() override;

  // --- Hit test and mouse ---------------------------------------------
  // The topmost drawable object under the point (x, y) of the plane z = 0,
  // children from the last to the first before their parent; `filter` may
  // refuse objects.
  THitResult HitTest(double x, double y, const THitFilter& filter = {});
  // Whether a local point lies on the object: [pivot, pivot + size].
  virtual bool ContainsLocal(double x, double y) const;
  // Whether clicks pass through the object to what lies beneath.
  virtual bool ClickThrough() const { return m_transpForClick; }
  // Buttons and texts show hover and pressed states; other objects do not.
  virtual bool HasMouseStates() const { return false; }
  TMouseState MouseState() const { return m_mouseState; }
  void SetMouseState(TMouseState state);
  bool Armed() const { return m_armed; }
  void SetArmed(bool armed) { m_armed = armed; }

  // --- Size pass ------------------------------------------------------
  // The largest placed width and height and the nearest corner depth seen
  // since the last reset.
  float LargestWidth() const { return m_largestWidth; }
  float LargestHeight() const { return m_largestHeight; }
  float NearestDepth() const { return m_nearestDepth; }
  void ResetMeasure();
  // Takes the current placed rectangle into the largest size and depth.
  void Measure();
  // The largest size the object is expected to show at, its depth taken into
  // account (camera depth c: magnification 1 / (1 - nearest / c)).
  virtual std::array<double, 2> LargestExpectedSize() const;
  // Called on every object after a size pass.
  virtual void SizesMeasured() {}

protected:
  // The kind's own keys, read before the common keys.
  virtual void ReadSettings(const TIniIdentList& block);
  // What a kind draws of itself; the drawer is wired in later.
  virtual void DrawContent(TDeviceDrawer& drawer);
  // The value of "ShadowEnable" when the key is missing.
  virtual bool DefaultShadowEnable() const { return false; }

  void MarkSettingsChanged();
  void MarkNeedsRedraw() { m_needsRedraw = true; }

  template <class T>
  void SetSetting(T& field, T value) {
    if (field == value)
      return;
    field = std::move(value);
    MarkSettingsChanged();
  }
  // Floats compare rounded to 1/10000.
  template <class T>
  void SetFloatSetting(T& field, T value) {
    if (std::llround(static_cast<double>(field) * 10000) == std::llround(static_cast<double>(value) * 10000))
      return;
    field = value;
    MarkSettingsChanged();
  }

private:
  void ReadCommonKeys(const TIniIdentList& block);
  void LoadChildren(const TIniIdentList& block, bool reload);
  void UpdateOwnPlacement();

  TVmoObject* m_parent;
  std::string m_name;
  std::string m_guid;
  std::vector<std::unique_ptr<TVmoObject>> m_children;

  TSize m_size;
  TFitMode m_fitMode = TFitMode::PlaceInto;
  TUnitMode m_posMode = TUnitMode::Percent;
  TUnitMode m_centerMode = TUnitMode::Percent;
  double m_deltaTime1 = 0;
  double m_deltaTime2 = 0;
  TShadowSettings m_shadow;
  int m_hideMode = 0;
  bool m_childInvis = false;
  bool m_transpForClick = false;
  bool m_treeNode = true;
  std::string m_action;

  bool m_settingsChanged = true;
  bool m_needsRedraw = true;

  bool m_active = false;
  double m_fitFactor = 0;
  TMatrix3 m_world;
  TObjectFrame m_frame;
  bool m_frameValid = false;
  float m_pivotX = 0;
  float m_pivotY = 0;
  bool m_facing = true;
  bool m_hiddenByAncestor = false;
  float m_lastOpacity = -1;

  TMouseState m_mouseState = TMouseState::Normal;
  bool m_armed = false;

  float m_largestWidth = 0;
  float m_largestHeight = 0;
  float m_nearestDepth = 0;
};

// --- Factories ----------------------------------------------------------

// Makes the object for a type word (lower case) with its parent and name, or
// none for a word it does not know. Each factory passes the words it does not
// handle to the factory installed before it.
using TVmoObjectFactory =
    std::function<std::unique_ptr<TVmoObject>(TVmoObject& parent, const std::string& name, std::string_view typeWord)>;

// Installs `own` in front of the chain; the words it answers with none go on
// to the factory installed before it.
void ChainObjectFactory(TVmoObjectFactory own);

// Creates an object through the chain (installing the built-in factories on
// first use: the base kinds, then viewport and mask, then video). Unknown
// words give none.
std::unique_ptr<TVmoObject> CreateVmoObject(TVmoObject& parent, const std::string& name, std::string_view typeWord);

// The factory of the base kinds: image, text, button, box, frame.
std::unique_ptr<TVmoObject> CreateBaseKind(TVmoObject& parent, const std::string& name, std::string_view typeWord);

} // namespace qx
