#include "VmoLib2/VmoClasses/qxKeyPointsLoader.h"

#include "QxLib/qxIniStorage.h"
#include "QxLib/qxUtf8.h"

#include <numbers>

namespace qx {

namespace {

constexpr double kDegreesToRadians = std::numbers::pi / 180;

float ReadRadians(const TIniIdentList& block, std::string_view key) {
  return static_cast<float>(block.ReadFloat(key, 0) * kDegreesToRadians);
}

TFloatPair ReadPair(const TIniIdentList& block, std::string_view key) {
  TFloatPoint point;
  if (!block.ReadFloatPoint(key, point))
    return {};
  return {static_cast<float>(point.x), static_cast<float>(point.y)};
}

} // namespace

void ReadKeyPointValues(const TIniIdentList& block, TKeyPointList& list, TKeyPoint& point) {
  TKeyValues& values = list.Current();
  values.Opacity = static_cast<float>(block.ReadFloat("Opacity", 100));
  values.Angle = ReadRadians(block, "Angle");
  values.ScaleX = static_cast<float>(block.ReadFloat("ScaleX", 100));
  values.ScaleY = static_cast<float>(block.ReadFloat("ScaleY", 100));
  values.Position = ReadPair(block, "Position");
  values.CenterPos = ReadPair(block, "CenterPos");
  values.AngleX = ReadRadians(block, "AngleX");
  values.AngleY = ReadRadians(block, "AngleY");
  values.ZPos = static_cast<float>(block.ReadFloat("ZPos", 0));
  values.Blur = static_cast<float>(block.ReadFloat("Blur", 0));
  point.SetValues(values);
}

TKeyPoint& ReadKeyPoint(const TIniIdentList& block, TKeyPointList& list) {
  const double time = block.ReadFloat("Time", 0);
  const int origin = block.ReadChoice("Origin", kKeyOriginNames, 0, true);
  TKeyPoint& point = list.Add(static_cast<TKeyOrigin>(origin), time);
  ReadKeyPointValues(block, list, point);
  return point;
}

void ReadKeyPoints(const TIniIdentList& objectBlock, TKeyPointList& list) {
  for (const TIniObject* child = objectBlock.FirstObject(); child; child = objectBlock.NextObject(child)) {
    if (LowerCase(Trim(child->ClassName())) == kKeyPointClassName)
      ReadKeyPoint(*child, list);
  }
}

void ReadSpeedStores(const TIniIdentList& objectBlock, TKeyPointList& list) {
  const std::string defaultText = list.DefaultSpeedText();
  for (int kind = 0; kind < kSpeedKindCount; ++kind) {
    const std::string text = objectBlock.ReadString(kSpeedKeyNames[kind], defaultText);
    list.Store(static_cast<TSpeedKind>(kind)).LoadFromText(text);
  }
}

void LoadObjectKeyPoints(const TIniIdentList& objectBlock, TKeyPointList& list) {
  list.SetPerspectiveCorrection(objectBlock.ReadBool("PerspectiveCorrection", false));
  ReadKeyPoints(objectBlock, list);
  ReadSpeedStores(objectBlock, list);
}

} // namespace qx
