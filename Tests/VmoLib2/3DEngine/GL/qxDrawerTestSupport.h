// A drawer on a headless device of a given size for the drawer tests: an
// item that runs a function when drawn, frames drawn without presenting
// and read back, and pictures held in memory stores.
#pragma once

#include "Tests/VmoLib2/3DEngine/GL/qxScreenTestSupport.h"
#include "Tests/VmoLib2/3DEngine/qxFunctionItem.h"
#include "QxLib/Graphics/qxBitmapStore.h"
#include "VmoLib2/3DEngine/qx3DDrawer.h"
#include "VmoLib2/3DEngine/qxDrawItem.h"

#include <functional>
#include <vector>

namespace qx::test {

class DrawerTest : public testing::Test {
protected:
  static constexpr int kWidth = 400;
  static constexpr int kHeight = 300;

  void SetUp() override;
  void TearDown() override;
  // A new drawer on a headless device of the given size, initialised.
  void MakeDrawer(int width, int height);
  // Draws one frame of `item` (cleared to `background` first) without
  // presenting and reads it back.
  TBitmap DrawFrame(TDrawItem& item, T3DColor background = MakeColor(0, 0, 0));
  TBitmap DrawFrame(const TFunctionItem::TDraw& draw, T3DColor background = MakeColor(0, 0, 0));

  std::unique_ptr<T3DEngine> m_engine;
  std::unique_ptr<TDrawDevice> m_device;
  std::unique_ptr<T3DDrawer> m_drawer;
  TCollectingLog* m_log = nullptr;
  std::vector<TDrawPhase> m_phases;
  int m_readyCalls = 0;
  int m_lostCalls = 0;
};

// A bitmap of one colour.
std::shared_ptr<TBitmap> SolidPicture(int width, int height, TBgra color);
// A bitmap store serving `bitmap` as level 0 (smaller levels by halving).
TRefPtr<TBitmapStore> MemoryStore(const TBitmap& bitmap);
// Placement of an axis-aligned rectangle in the picture plane.
TPlacement FlatRect(double left, double top, double right, double bottom);

} // namespace qx::test
