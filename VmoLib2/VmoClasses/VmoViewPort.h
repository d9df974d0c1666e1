// Viewports and masks: a viewport is a container of a given size whose
// children are drawn through the mask pictures among them.
#pragma once

#include "VmoLib2/VmoClasses/qxVmoImage.h"

#include <string>
#include <vector>

namespace qx {

class TVmoViewPort;

// A picture used as a mask inside a viewport: never feathered, never
// animated, opened under "Mask: " followed by its "ImageName".
class TVmoMask : public TVmoImage {
public:
  static constexpr std::string_view kMaskPrefix = "Mask: ";

  TVmoMask(TVmoObject* parent, std::string name);
  std::string PictureName() const override;
  // The mask's own opacity times its viewport's / 100.
  float Opacity() const override;

protected:
  void ReadSettings(const TIniIdentList& block) override;
};

// One mask as the drawer's masked group receives it.
struct TMaskRecord {
  const TVmoMask* Mask = nullptr;
  TObjectFrame Frame;
  float PivotX = 0;
  float PivotY = 0;
  float Opacity = 0; // percent; 0 for an inactive mask
};

class TVmoViewPort : public TVmoObject {
public:
  TVmoViewPort(TVmoObject* parent, std::string name);

  // The mask children, in list order.
  std::vector<const TVmoMask*> Masks() const;
  // One record per mask when the children are to be drawn through masks:
  // the viewport drawable with opacity > 0 and at least one mask active with
  // opacity > 0. Empty otherwise (the children are then drawn normally).
  std::vector<TMaskRecord> MaskRecords() const;

  // Draws the non-mask children through the masks, or normally.
  void Draw(TDeviceDrawer& drawer) override;

protected:
  void ReadSettings(const TIniIdentList& block) override;
  // Hands the masks and the content to the drawer's masked group.
  virtual void DrawMaskedGroup(TDeviceDrawer& drawer, const std::vector<TMaskRecord>& masks);
  void DrawContentChildren(TDeviceDrawer& drawer);
};

// Installs the factory of "viewport" and "mask" in front of the chain.
void InstallViewPortFactory();

} // namespace qx
