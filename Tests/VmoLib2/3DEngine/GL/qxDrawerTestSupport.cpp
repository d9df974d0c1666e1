#include "Tests/VmoLib2/3DEngine/GL/qxDrawerTestSupport.h"

#include "QxLib/Graphics/qxBitmapConvert.h"

namespace qx::test {

void DrawerTest::SetUp() {
  auto log = std::make_unique<TCollectingLog>();
  m_log = log.get();
  InstallLog(std::move(log));
  m_engine = MakeGLEngine();
  ASSERT_NE(m_engine, nullptr);
  MakeDrawer(kWidth, kHeight);
}

void DrawerTest::TearDown() {
  m_drawer.reset();
  m_device.reset();
  InstallLog(nullptr);
}

void DrawerTest::MakeDrawer(int width, int height) {
  m_drawer.reset();
  m_device = std::make_unique<TDrawDevice>(T3DRect{0, 0, width, height});
  m_drawer = std::make_unique<T3DDrawer>(*m_engine);
  m_drawer->SetDrawCallback([this](TDrawPhase phase, TDrawItem&) { m_phases.push_back(phase); });
  m_drawer->SetReadyCallback([this] { ++m_readyCalls; });
  m_drawer->SetLostCallback([this] { ++m_lostCalls; });
  m_drawer->SetNoPresent(true);
  m_drawer->Init(*m_device);
}

TBitmap DrawerTest::DrawFrame(TDrawItem& item, T3DColor background) {
  TFunctionItem root([&](TDeviceDrawer& drawer) {
    drawer.ClearScreen(background, false);
    drawer.DrawItem(item);
  });
  m_drawer->DrawItem(root);
  TBitmap frame;
  EXPECT_TRUE(m_drawer->ReadBack(frame)) << "no headless GL ES 3 frame to read";
  return frame;
}

TBitmap DrawerTest::DrawFrame(const TFunctionItem::TDraw& draw, T3DColor background) {
  TFunctionItem item(draw);
  return DrawFrame(item, background);
}

std::shared_ptr<TBitmap> SolidPicture(int width, int height, TBgra color) {
  auto bitmap = std::make_shared<TBitmap>(width, height, TPixelFormat::Bgra32);
  bitmap->Fill(color);
  return bitmap;
}

TRefPtr<TBitmapStore> MemoryStore(const TBitmap& bitmap) {
  auto copy = std::make_unique<TBitmap>(ConvertBitmap(bitmap, TPixelFormat::Bgra32));
  return MakeRef<TWrapperBitmapStore>("memory", std::move(copy));
}

TPlacement FlatRect(double left, double top, double right, double bottom) {
  return TPlacement::Flat({left, top, right, bottom});
}

} // namespace qx::test
