#include "VmoLib2/VmoClasses/qxVmoObjects4.h"

#include "QxLib/VectorGraphics/qxVectorText.h"
#include "QxLib/qxGuid.h"
#include "QxLib/qxStream.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"
#include "VmoLib2/VmoClasses/VmoVideoObject.h"
#include "VmoLib2/VmoClasses/VmoViewPort.h"
#include "VmoLib2/VmoClasses/qxKeyPointsLoader.h"
#include "VmoLib2/VmoClasses/qxVmoBox.h"
#include "VmoLib2/VmoClasses/qxVmoButton.h"
#include "VmoLib2/VmoClasses/qxVmoExtractorWrapper.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"
#include "VmoLib2/VmoClasses/qxVmoText.h"

#include <algorithm>
#include <mutex>

namespace qx {

std::unique_ptr<TStream> TVmoObjectHost::OpenStream(const std::string&) { return nullptr; }

const TButtonProducer* TVmoObjectHost::ButtonTheme(const std::string&) { return nullptr; }

std::shared_ptr<const TVectorText> TVmoObjectHost::TextLayout(const std::string&, uint32_t,
                                                              const std::vector<std::string>&) {
  return nullptr;
}

namespace {

constexpr float kFarDepth = 1000000;

constexpr std::string_view kFitModeWords[] = {"None", "PlaceInto", "Cover"};
constexpr std::string_view kUnitModeWords[] = {"Absolute", "Percent"};

TVmoObjectFactory& FactoryChain() {
  static TVmoObjectFactory chain;
  return chain;
}

std::mutex& FactoryLock() {
  static std::mutex lock;
  return lock;
}

} // namespace

TVmoObject::TVmoObject(TVmoObject* parent, std::string name) : m_parent(parent), m_name(std::move(name)) {}

TVmoObject::~TVmoObject() = default;

TVmoObject& TVmoObject::AddChild(std::unique_ptr<TVmoObject> child) {
  child->m_parent = this;
  m_children.push_back(std::move(child));
  MarkNeedsRedraw();
  return *m_children.back();
}

TVmoSlide* TVmoObject::RootSlide() const {
  const TVmoObject* root = this;
  while (root->m_parent)
    root = root->m_parent;
  return dynamic_cast<TVmoSlide*>(const_cast<TVmoObject*>(root));
}

TVmoObjectHost* TVmoObject::Host() const {
  const TVmoSlide* slide = RootSlide();
  return slide ? slide->SlideHost() : nullptr;
}

void TVmoObject::ForEach(const std::function<void(TVmoObject&)>& visit) {
  visit(*this);
  for (const auto& child : m_children)
    child->ForEach(visit);
}

// --- Loading --------------------------------------------------------------

void TVmoObject::Load(const TIniIdentList& block, bool reload) {
  KeyPoints().Clear();
  ReadSettings(block);
  ReadCommonKeys(block);
  LoadChildren(block, reload);
  ReadSpeedStores(block, KeyPoints());
  MarkSettingsChanged();
  MarkNeedsRedraw();
}

void TVmoObject::ReadSettings(const TIniIdentList&) {}

void TVmoObject::ReadCommonKeys(const TIniIdentList& block) {
  std::string guid = Trim(block.ReadString("GUID", ""));
  if (!guid.empty())
    m_guid = std::move(guid);
  else if (m_guid.empty())
    m_guid = NewGuidText();

  SetFitMode(static_cast<TFitMode>(block.ReadChoice("FitMode", kFitModeWords, 1, true)));
  SetPosMode(static_cast<TUnitMode>(block.ReadChoice("PosMode", kUnitModeWords, 1, true)));
  SetCenterMode(static_cast<TUnitMode>(block.ReadChoice("CenterMode", kUnitModeWords, 1, true)));
  SetDeltaTime1(block.ReadFloat("DeltaTime1", 0));
  SetDeltaTime2(block.ReadFloat("DeltaTime2", 0));
  SetTranspForClick(block.ReadBool("TranspForClick", false));
  m_treeNode = block.ReadBool("TreeNode", true);
  KeyPoints().SetPerspectiveCorrection(block.ReadBool("PerspectiveCorrection", false));

  TShadowSettings shadow;
  shadow.Enabled = block.ReadBool("ShadowEnable", DefaultShadowEnable());
  shadow.Size = static_cast<float>(block.ReadFloat("ShadowSize", 16));
  shadow.Color = block.ReadColor("ShadowColor", TRgb{0, 0, 0});
  shadow.Opacity = static_cast<float>(block.ReadFloat("ShadowOpacity", 59));
  shadow.Distance = static_cast<float>(block.ReadFloat("ShadowDistance", 1.5));
  shadow.Angle = static_cast<float>(block.ReadFloat("ShadowAngle", 45));
  shadow.SpreadIndex = block.ReadInteger("ShadowSpreadIndex", 0);
  shadow.Shadow3D = block.ReadBool("3DShadow", false);
  SetShadow(shadow);

  SetHideMode(block.ReadInteger("HideMode", 0));
  SetChildInvis(block.ReadBool("ChildInvis", false));
  SetAction(block.ReadString("Action", ""));
}

void TVmoObject::LoadChildren(const TIniIdentList& block, bool reload) {
  std::vector<std::unique_ptr<TVmoObject>> former = std::move(m_children);
  m_children.clear();
  if (!reload)
    former.clear();

  for (const TIniObject* item = block.FirstObject(); item; item = block.NextObject(item)) {
    const std::string typeWord = LowerCase(Trim(item->ClassName()));
    if (typeWord == kKeyPointClassName) {
      ReadKeyPoint(*item, KeyPoints());
      continue;
    }
    std::string guid = Trim(item->ReadString("GUID", ""));
    if (guid.empty())
      guid = NewGuidText();

    const auto kept = std::find_if(former.begin(), former.end(),
                                   [&guid](const auto& child) { return child && child->m_guid == guid; });
    if (kept != former.end()) {
      TVmoObject& child = AddChild(std::move(*kept));
      child.Load(*item, true);
      continue;
    }
    std::unique_ptr<TVmoObject> child = CreateVmoObject(*this, Trim(item->Name()), typeWord);
    if (!child)
      continue;
    child->m_guid = std::move(guid);
    AddChild(std::move(child)).Load(*item, false);
  }
}

// --- Time -----------------------------------------------------------------

const TIniIdentList* TVmoObjectHost::Section(const std::string&) const { return nullptr; }

TRefPtr<TExtractorWrapper> TVmoObjectHost::VideoClip(const std::string&, const std::string&, bool) { return {}; }

TAnchorTimes TVmoObject::AnchorTimes() const {
  const TVmoSlide* slide = RootSlide();
  if (!slide || slide == this)
    return TAnchorTimes{};
  return slide->AnchorTimes();
}

void TVmoObject::Evaluate(double time) {
  KeyPoints().Evaluate(time);
  const TAnchorTimes anchors = AnchorTimes();
  const bool active = anchors[0] + m_deltaTime1 <= time && time <= anchors[3] - m_deltaTime2;
  if (active != m_active) {
    m_active = active;
    MarkNeedsRedraw();
  }
  for (const auto& child : m_children)
    child->Evaluate(time);
}

// --- Placement ------------------------------------------------------------

TSize TVmoObject::ParentSize() const { return m_parent ? m_parent->BaseSize() : BaseSize(); }

TObjectFrame TVmoObject::ParentFrame() const { return m_parent ? m_parent->m_frame : TObjectFrame{}; }

void TVmoObject::UpdatePlacement() {
  UpdateOwnPlacement();
  for (const auto& child : m_children)
    child->UpdatePlacement();
}

void TVmoObject::EvaluateAndUpdate(double time) {
  Evaluate(time);
  UpdatePlacement();
}

void TVmoObject::UpdateOwnPlacement() {
  const TSize parentSize = ParentSize();
  const double pw = parentSize.Width;
  const double ph = parentSize.Height;
  const double w = m_size.Width;
  const double h = m_size.Height;
  const TKeyValues& v = Values();

  m_fitFactor = qx::FitFactor(m_fitMode, w, h, pw, ph);
  const auto k = static_cast<float>(m_fitFactor);
  const TMatrix3 local = LocalMatrix(v.ScaleX * k / 100, v.ScaleY * k / 100, v.AngleX, v.AngleY, v.Angle);
  m_world = m_parent ? Multiply(local, m_parent->m_world) : local;

  const TVmoSlide* slide = RootSlide();
  const auto depthScale = static_cast<float>(slide ? slide->DepthScale() : 1.0);
  std::array<TVec3, 3> axes = m_world.Rows;
  for (TVec3& axis : axes)
    axis.z *= depthScale;

  float x = v.Position.X;
  float y = v.Position.Y;
  if (m_posMode == TUnitMode::Percent) {
    x = static_cast<float>(x * pw * 0.005);
    y = static_cast<float>(y * ph * 0.005);
  }
  const auto z = static_cast<float>(v.ZPos * ph / 200);
  const TObjectFrame parentFrame = ParentFrame();
  const TVec3 origin = parentFrame.Origin + parentFrame.X * x + parentFrame.Y * y + parentFrame.Z * z;

  const TObjectFrame previousFrame = m_frame;
  const float previousPivotX = m_pivotX;
  const float previousPivotY = m_pivotY;
  m_frameValid = MakeFrame(origin, axes[0], axes[1], axes[2], m_frame);

  // CenterPos is a percentage of the half size; with CenterMode "Absolute"
  // this player takes it in pixels of the base size instead of refusing it.
  float cx = v.CenterPos.X;
  float cy = v.CenterPos.Y;
  if (m_centerMode == TUnitMode::Percent) {
    cx = static_cast<float>(cx * w * 0.005);
    cy = static_cast<float>(cy * h * 0.005);
  }
  m_pivotX = static_cast<float>(-w / 2 - cx);
  m_pivotY = static_cast<float>(-h / 2 - cy);

  const TVec3 camera = slide ? slide->CameraPosition() : TVec3{0, 0, -1};
  m_facing = PassesFacingTest(m_hideMode, FacingValue(m_frame, camera));
  m_hiddenByAncestor = (m_childInvis && !m_facing) || (m_parent && m_parent->m_hiddenByAncestor);

  const float opacity = Opacity();
  if (opacity != m_lastOpacity || !(m_frame == previousFrame) || m_pivotX != previousPivotX ||
      m_pivotY != previousPivotY)
    MarkNeedsRedraw();
  m_lastOpacity = opacity;
}

float TVmoObject::Opacity() const {
  const TVmoSlide* slide = RootSlide();
  const float factor = slide ? slide->OpacityFactor() : 100.0f;
  return Values().Opacity * factor / 100;
}

// --- Change flags ---------------------------------------------------------

void TVmoObject::MarkSettingsChanged() {
  m_settingsChanged = true;
  if (TVmoSlide* slide = RootSlide())
    slide->InvalidateSizes();
}

bool TVmoObject::SettingsOrKeyPointsChanged() const {
  if (m_settingsChanged || KeyPoints().Changed())
    return true;
  return std::any_of(m_children.begin(), m_children.end(),
                     [](const auto& child) { return child->SettingsOrKeyPointsChanged(); });
}

bool TVmoObject::NeedsRedraw() const {
  if (m_needsRedraw || m_settingsChanged)
    return true;
  return std::any_of(m_children.begin(), m_children.end(), [](const auto& child) { return child->NeedsRedraw(); });
}

void TVmoObject::SetChangeFlags(bool value) {
  m_settingsChanged = value;
  m_needsRedraw = value;
  if (!value)
    KeyPoints().ClearChanged();
  for (const auto& child : m_children)
    child->SetChangeFlags(value);
}

// --- Resources and drawing ------------------------------------------------

void TVmoObject::PrepareResources() {
  m_settingsChanged = false;
  for (const auto& child : m_children)
    child->PrepareResources();
}

void TVmoObject::Draw(TDeviceDrawer& drawer) {
  if (Drawable())
    DrawContent(drawer);
  for (const auto& child : m_children)
    child->Draw(drawer);
}

void TVmoObject::DrawContent(TDeviceDrawer&) {}

void TVmoObject::FrameEnded() {
  m_needsRedraw = false;
  for (const auto& child : m_children)
    child->FrameEnded();
}

// --- Hit test and mouse ---------------------------------------------------

THitResult TVmoObject::HitTest(double x, double y, const THitFilter& filter) {
  for (auto child = m_children.rbegin(); child != m_children.rend(); ++child) {
    const THitResult hit = (*child)->HitTest(x, y, filter);
    if (hit.Object)
      return hit;
  }
  // Objects that are not drawn cannot be hit: an object without extent has no
  // plane to meet, and a hidden one is not there for the viewer.
  if (!Drawable() || (filter && !filter(*this)))
    return {};
  const TVmoSlide* slide = RootSlide();
  const TVec3 camera = slide ? slide->CameraPosition() : TVec3{0, 0, -1};
  const auto local = IntersectCameraRay(m_frame, camera, x, y);
  if (!ContainsLocal(local[0], local[1]))
    return {};
  return {this, local[0], local[1]};
}

bool TVmoObject::ContainsLocal(double x, double y) const {
  return x >= m_pivotX && x <= m_pivotX + m_size.Width && y >= m_pivotY && y <= m_pivotY + m_size.Height;
}

void TVmoObject::SetMouseState(TMouseState state) {
  if (state == m_mouseState)
    return;
  m_mouseState = state;
  MarkNeedsRedraw();
}

// --- Size pass ------------------------------------------------------------

void TVmoObject::ResetMeasure() {
  m_largestWidth = 0;
  m_largestHeight = 0;
  m_nearestDepth = kFarDepth;
}

void TVmoObject::Measure() {
  m_largestWidth = std::max(m_largestWidth, Length(m_frame.X) * static_cast<float>(m_size.Width));
  m_largestHeight = std::max(m_largestHeight, Length(m_frame.Y) * static_cast<float>(m_size.Height));
  const auto w = static_cast<float>(m_size.Width);
  const auto h = static_cast<float>(m_size.Height);
  for (const TVec3& corner : {m_frame.At(m_pivotX, m_pivotY), m_frame.At(m_pivotX + w, m_pivotY),
                              m_frame.At(m_pivotX, m_pivotY + h), m_frame.At(m_pivotX + w, m_pivotY + h)})
    m_nearestDepth = std::min(m_nearestDepth, corner.z);
}

std::array<double, 2> TVmoObject::LargestExpectedSize() const {
  const TVmoSlide* slide = RootSlide();
  const double c = slide ? slide->CameraPosition().z : 0.0;
  double f = 1;
  if (c != 0 && m_nearestDepth > c)
    f = 1 / (1 - m_nearestDepth / c);
  return {m_largestWidth * f, m_largestHeight * f};
}

// --- Factories ------------------------------------------------------------

std::unique_ptr<TVmoObject> CreateBaseKind(TVmoObject& parent, const std::string& name, std::string_view typeWord) {
  if (typeWord == "image" || typeWord == "mainimage") {
    auto image = std::make_unique<TVmoImage>(&parent, name);
    image->SetMainImage(typeWord == "mainimage");
    return image;
  }
  if (typeWord == "text" || typeWord == "textcomment") {
    auto text = std::make_unique<TVmoText>(&parent, name);
    text->SetCommentText(typeWord == "textcomment");
    return text;
  }
  if (typeWord == "button")
    return std::make_unique<TVmoButton>(&parent, name);
  if (typeWord == "box")
    return std::make_unique<TVmoBox>(&parent, name);
  if (typeWord == "frame")
    return std::make_unique<TVmoFrame>(&parent, name);
  return nullptr;
}

void ChainObjectFactory(TVmoObjectFactory own) {
  const std::lock_guard lock(FactoryLock());
  TVmoObjectFactory previous = std::move(FactoryChain());
  FactoryChain() = [own = std::move(own),
                    previous = std::move(previous)](TVmoObject& parent, const std::string& name,
                                                    std::string_view word) -> std::unique_ptr<TVmoObject> {
    if (auto object = own(parent, name, word))
      return object;
    return previous ? previous(parent, name, word) : nullptr;
  };
}

std::unique_ptr<TVmoObject> CreateVmoObject(TVmoObject& parent, const std::string& name, std::string_view typeWord) {
  static std::once_flag installed;
  std::call_once(installed, [] {
    ChainObjectFactory(CreateBaseKind);
    InstallViewPortFactory();
    InstallVideoFactory();
  });
  TVmoObjectFactory factory;
  {
    const std::lock_guard lock(FactoryLock());
    factory = FactoryChain();
  }
  return factory ? factory(parent, name, typeWord) : nullptr;
}

} // namespace qx
