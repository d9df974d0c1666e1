#include "VmoLib2/VmoClasses/VmoViewPort.h"

#include "QxLib/qxIniStorage.h"
#include "VmoLib2/3DEngine/qxDeviceDrawer.h"

#include <algorithm>
#include <functional>

namespace qx {

namespace {

std::unique_ptr<TVmoObject> CreateViewPortKind(TVmoObject& parent, const std::string& name, std::string_view typeWord) {
  if (typeWord == "viewport")
    return std::make_unique<TVmoViewPort>(&parent, name);
  if (typeWord == "mask")
    return std::make_unique<TVmoMask>(&parent, name);
  return nullptr;
}

// The non-mask children of a viewport as one item of the drawer's masked
// group.
class TViewPortContent : public TDrawItem {
public:
  using TDrawChildren = std::function<void(TDeviceDrawer&)>;
  TViewPortContent(TDrawChildren draw, const TVmoObject& owner) : m_draw(std::move(draw)), m_owner(owner) {}
  void Draw(TDeviceDrawer& drawer) override { m_draw(drawer); }
  bool NeedsRedraw() const override { return m_owner.NeedsRedraw(); }

private:
  TDrawChildren m_draw;
  const TVmoObject& m_owner;
};

} // namespace

TVmoMask::TVmoMask(TVmoObject* parent, std::string name) : TVmoImage(parent, std::move(name)) {}

void TVmoMask::ReadSettings(const TIniIdentList& block) {
  ReadPictureSettings(block);
  SetAntialiased(false);
  SetAnimation(TImageAnimationParams{});
}

std::string TVmoMask::PictureName() const {
  if (ImageName().empty())
    return {};
  return std::string(kMaskPrefix) + ImageName();
}

float TVmoMask::Opacity() const {
  // The viewport's opacity already carries the slide's factor.
  if (const auto* viewPort = dynamic_cast<const TVmoViewPort*>(Parent()))
    return Values().Opacity * viewPort->Opacity() / 100;
  return TVmoImage::Opacity();
}

TVmoViewPort::TVmoViewPort(TVmoObject* parent, std::string name) : TVmoObject(parent, std::move(name)) {
  SetBaseSize({1, 1});
}

void TVmoViewPort::ReadSettings(const TIniIdentList& block) {
  TPoint size;
  if (block.ReadPoint("Size", size))
    SetBaseSize({std::max(0, size.x), std::max(0, size.y)});
}

std::vector<const TVmoMask*> TVmoViewPort::Masks() const {
  std::vector<const TVmoMask*> masks;
  for (int i = 0; i < ChildCount(); ++i)
    if (const auto* mask = dynamic_cast<const TVmoMask*>(&Child(i)))
      masks.push_back(mask);
  return masks;
}

std::vector<TMaskRecord> TVmoViewPort::MaskRecords() const {
  if (!Drawable() || !(Opacity() > 0))
    return {};
  const std::vector<const TVmoMask*> masks = Masks();
  const bool anyShown = std::any_of(masks.begin(), masks.end(),
                                    [](const TVmoMask* mask) { return mask->Active() && mask->Opacity() > 0; });
  if (!anyShown)
    return {};
  std::vector<TMaskRecord> records;
  records.reserve(masks.size());
  for (const TVmoMask* mask : masks)
    records.push_back(
        {mask, mask->ObjectFrame(), mask->PivotX(), mask->PivotY(), mask->Active() ? mask->Opacity() : 0});
  return records;
}

void TVmoViewPort::Draw(TDeviceDrawer& drawer) {
  const std::vector<TMaskRecord> masks = MaskRecords();
  if (masks.empty()) {
    DrawContentChildren(drawer);
    return;
  }
  DrawMaskedGroup(drawer, masks);
}

void TVmoViewPort::DrawMaskedGroup(TDeviceDrawer& drawer, const std::vector<TMaskRecord>& masks) {
  std::vector<TMaskDraw> draws;
  draws.reserve(masks.size());
  for (const TMaskRecord& record : masks) {
    if (!record.Mask->Picture())
      continue;
    TMaskDraw draw;
    draw.Picture.Store = record.Mask->Picture().Get();
    draw.Placement =
        FramePlacement(record.Frame, record.PivotX, record.PivotY, record.Mask->Width(), record.Mask->Height());
    draw.Params = record.Mask->DrawParams();
    draw.Params.Opacity = record.Opacity;
    draws.push_back(std::move(draw));
  }
  TViewPortContent content([this](TDeviceDrawer& target) { DrawContentChildren(target); }, *this);
  drawer.DrawMaskedGroup(content, draws, nullptr);
}

void TVmoViewPort::DrawContentChildren(TDeviceDrawer& drawer) {
  for (int i = 0; i < ChildCount(); ++i)
    if (!dynamic_cast<const TVmoMask*>(&Child(i)))
      Child(i).Draw(drawer);
}

void InstallViewPortFactory() { ChainObjectFactory(CreateViewPortKind); }

} // namespace qx
