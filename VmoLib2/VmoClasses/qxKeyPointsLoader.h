// Reading an object's key points and speed stores from its block of the
// project text: nested "keypoint" blocks, "PerspectiveCorrection" and the
// "PanSpeed", "ZoomSpeed" and "RotateSpeed" keys.
#pragma once

#include "VmoLib2/VmoClasses/qxKeyPoints.h"

#include <string_view>

namespace qx {

class TIniIdentList;
class TIniObject;

inline constexpr std::string_view kKeyPointClassName = "keypoint";

// Reads the values of a key point block ("Opacity", "Angle", ...; angles in
// degrees) into the list's current values and copies them into point.
void ReadKeyPointValues(const TIniIdentList& block, TKeyPointList& list, TKeyPoint& point);

// Creates the key point of a "keypoint" block from its "Time" and "Origin"
// and reads its values.
TKeyPoint& ReadKeyPoint(const TIniIdentList& block, TKeyPointList& list);

// Reads the key points nested directly in an object block, in order.
void ReadKeyPoints(const TIniIdentList& objectBlock, TKeyPointList& list);

// Reads the speed keys of an object block, each against the text of the
// store made from the key points; unreadable texts leave a single key at 0.
void ReadSpeedStores(const TIniIdentList& objectBlock, TKeyPointList& list);

// Everything an object keeps in its key point list, in the order an object
// loads it: "PerspectiveCorrection", the key points, the speed stores.
void LoadObjectKeyPoints(const TIniIdentList& objectBlock, TKeyPointList& list);

} // namespace qx
