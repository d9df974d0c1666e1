// What objects hand the drawer: the quad of an object's rectangle in the
// drawer's space, and the drop shadow of an object (the shadow picture asked
// of the host by name and the quad it is drawn at under the object).
#pragma once

#include "QxLib/qxRefCounted.h"
#include "VmoLib2/3DEngine/qx3DGeometry.h"
#include "VmoLib2/qxShadowNames.h"
#include "VmoLib2/VmoClasses/qxVmoPlacement.h"

#include <string>

namespace qx {

class TBitmapStore;
class TDeviceDrawer;
class TVmoObject;
class TVmoObjectHost;

T3DPoint ToPoint(const TVec3& v);

// The quad of the local rectangle (x, y, width x height) of a frame: its
// top-left corner and the frame's axes stretched over the two sides.
TPlacement FramePlacement(const TObjectFrame& frame, double x, double y, double width, double height);

// The quad an object is drawn at: [pivot, pivot + base size] in its frame.
TPlacement ObjectPlacement(const TVmoObject& object);

// The drop shadow of one object. Prepare (on the loading thread) asks the
// host for the shadow picture when the settings it is made from changed;
// Draw puts it under the object, offset by the shadow's distance and angle.
class TObjectShadow {
public:
  // Asks for the shadow picture described by `params` unless it is the one
  // already held; none is held while `enabled` is false. A host failing to
  // make it leaves none.
  void Prepare(TVmoObjectHost* host, bool enabled, const TShadowNameParams& params);
  void Clear();
  const TRefPtr<TBitmapStore>& Picture() const { return m_picture; }
  const TShadowNameParams& Params() const { return m_params; }

  // The quad of the shadow picture for an object placed at `frame` with the
  // given pivot, base size and shadow settings; `sizeMeasure` is the size
  // measure M of the object's kind. Shape shadows take the edges per pixel
  // of their scaled shape.
  TPlacement Placement(const TObjectFrame& frame, float pivotX, float pivotY, double width, double height,
                       double sizeMeasure, float distance, float angleDegrees, bool shadow3D) const;

  // Draws the shadow picture under the object at `opacity` percent; nothing
  // without a picture or when the opacity is not above 0.
  void Draw(TDeviceDrawer& drawer, const TVmoObject& object, double sizeMeasure, float opacity) const;

private:
  std::string m_name;
  TShadowNameParams m_params;
  TRefPtr<TBitmapStore> m_picture;
};

// The shadow request of a shape (box, frame, video) of width x height: a
// filled rectangle, or an alpha ramp of the gradient kind from startAlpha to
// endAlpha.
TShadowNameParams ShapeShadowParams(const TVmoObject& object, int gradient, int startAlpha, int endAlpha);

} // namespace qx
