#include "Tests/VmoLib2/3DEngine/qxRecordingController.h"

#include <cmath>

namespace qx::test {

namespace {

constexpr double kInside = -1e-9;

TFloatPoint Flat(const T3DPoint& p) { return {p.x, p.y}; }

} // namespace

class TRecordingTile final : public TEffTile {
public:
  TRecordingTile(TRecordingController& controller, const TFloatRect& cell, int index)
      : TEffTile(controller, cell, index), m_owner(controller) {}

  void Begin(bool, bool) override { ++m_owner.begins; }
  void End() override { ++m_owner.ends; }
  void AddAlphaTriangle(const TEffVertex& a, const TEffVertex& b, const TEffVertex& c) override {
    TRecordedTriangle t;
    t.kind = TRecordedTriangle::TKind::Alpha;
    t.cell = Index();
    t.position = {T3DPoint{a.x, a.y, 0}, {b.x, b.y, 0}, {c.x, c.y, 0}};
    t.texel = {TFloatPoint{a.x, a.y}, {b.x, b.y}, {c.x, c.y}};
    t.level = {a.alpha, b.alpha, c.alpha};
    m_owner.triangles.push_back(t);
  }
  void AddColorTriangle(const std::array<T3DPoint, 3>& points, const std::array<T3DColor, 3>& colors) override {
    TRecordedTriangle t;
    t.kind = TRecordedTriangle::TKind::Colored;
    t.cell = Index();
    t.position = points;
    t.color = colors;
    m_owner.triangles.push_back(t);
  }
  void AddTexturedTriangle(const std::array<TEffTexVertex, 3>& v) override {
    TRecordedTriangle t;
    t.kind = TRecordedTriangle::TKind::Textured;
    t.cell = Index();
    for (size_t i = 0; i < 3; ++i) {
      t.position[i] = v[i].position;
      t.texel[i] = v[i].texel;
      t.level[i] = v[i].grey;
    }
    m_owner.triangles.push_back(t);
  }

private:
  TRecordingController& m_owner;
};

std::optional<std::array<double, 3>> Barycentric(const TFloatPoint& p, const TFloatPoint& a, const TFloatPoint& b,
                                                 const TFloatPoint& c) {
  const double det = (b.y - c.y) * (a.x - c.x) + (c.x - b.x) * (a.y - c.y);
  if (std::abs(det) < 1e-12) {
    return std::nullopt;
  }
  const double l0 = ((b.y - c.y) * (p.x - c.x) + (c.x - b.x) * (p.y - c.y)) / det;
  const double l1 = ((c.y - a.y) * (p.x - c.x) + (a.x - c.x) * (p.y - c.y)) / det;
  const double l2 = 1 - l0 - l1;
  if (l0 < kInside || l1 < kInside || l2 < kInside) {
    return std::nullopt;
  }
  return std::array<double, 3>{l0, l1, l2};
}

::testing::AssertionResult Near(const std::optional<T3DPoint>& place, const T3DPoint& expected) {
  if (!place) {
    return ::testing::AssertionFailure() << "no triangle holds the point";
  }
  const T3DPoint d = *place - expected;
  if (std::abs(d.x) < 1e-6 && std::abs(d.y) < 1e-6 && std::abs(d.z) < 1e-6) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure() << "at (" << place->x << ", " << place->y << ", " << place->z << ")";
}

TRecordingController::TRecordingController(const TFloatRect& area) {
  SetGrid({area.left, area.right}, {area.top, area.bottom});
}

std::unique_ptr<TEffTile> TRecordingController::MakeTile(const TFloatRect& cell, int index) {
  return std::make_unique<TRecordingTile>(*this, cell, index);
}

double TRecordingController::AlphaAt(double x, double y) const {
  for (const TRecordedTriangle& t : triangles) {
    if (t.kind != TRecordedTriangle::TKind::Alpha) {
      continue;
    }
    const auto w = Barycentric({x, y}, Flat(t.position[0]), Flat(t.position[1]), Flat(t.position[2]));
    if (w) {
      return ((*w)[0] * t.level[0] + (*w)[1] * t.level[1] + (*w)[2] * t.level[2]) / 255;
    }
  }
  return 0;
}

int TRecordingController::AlphaLayersAt(double x, double y) const {
  int layers = 0;
  for (const TRecordedTriangle& t : triangles) {
    if (t.kind != TRecordedTriangle::TKind::Alpha) {
      continue;
    }
    const auto w = Barycentric({x, y}, Flat(t.position[0]), Flat(t.position[1]), Flat(t.position[2]));
    if (w && (*w)[0] > 1e-9 && (*w)[1] > 1e-9 && (*w)[2] > 1e-9) {
      ++layers;
    }
  }
  return layers;
}

std::optional<T3DPoint> TRecordingController::PlaceOf(double u, double v) const {
  for (const TRecordedTriangle& t : triangles) {
    if (t.kind == TRecordedTriangle::TKind::Alpha) {
      continue;
    }
    const auto w = Barycentric({u, v}, t.texel[0], t.texel[1], t.texel[2]);
    if (w && t.kind == TRecordedTriangle::TKind::Textured) {
      return t.position[0] * (*w)[0] + t.position[1] * (*w)[1] + t.position[2] * (*w)[2];
    }
  }
  return std::nullopt;
}

std::optional<double> TRecordingController::GreyAt(double u, double v) const {
  for (const TRecordedTriangle& t : triangles) {
    if (t.kind != TRecordedTriangle::TKind::Textured) {
      continue;
    }
    if (const auto w = Barycentric({u, v}, t.texel[0], t.texel[1], t.texel[2])) {
      return (*w)[0] * t.level[0] + (*w)[1] * t.level[1] + (*w)[2] * t.level[2];
    }
  }
  return std::nullopt;
}

double TRecordingController::TexturedArea() const {
  double area = 0;
  for (const TRecordedTriangle& t : triangles) {
    if (t.kind != TRecordedTriangle::TKind::Textured) {
      continue;
    }
    const TFloatPoint& a = t.texel[0];
    const TFloatPoint& b = t.texel[1];
    const TFloatPoint& c = t.texel[2];
    area += std::abs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) / 2;
  }
  return area;
}

} // namespace qx::test
