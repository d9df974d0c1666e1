#include "VmoLib2/VmoViewer/qxVmoDrawController.h"

#include "QxLib/qxLog.h"
#include "Tests/VmoLib2/VmoClasses/qxRecordingDrawer.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace qx {

namespace {

using test::TRecordingDrawer;

class TLinesLog final : public TLog {
public:
  std::vector<std::string> Lines;

protected:
  void WriteText(std::string_view line) override { Lines.emplace_back(line); }
};

class DrawController : public testing::Test {
protected:
  void SetUp() override {
    auto log = std::make_unique<TLinesLog>();
    m_log = log.get();
    InstallLog(std::move(log));
  }
  void TearDown() override { InstallLog(nullptr); }

  // A controller whose factory makes recording drawers (and remembers the
  // last one).
  std::unique_ptr<TVmoDrawController> MakeController() {
    return std::make_unique<TVmoDrawController>(m_device, [this] {
      ++m_made;
      auto drawer = std::make_unique<TRecordingDrawer>();
      m_drawer = drawer.get();
      return drawer;
    });
  }

  TDrawDevice m_device{T3DRect{0, 0, 640, 360}};
  TLinesLog* m_log = nullptr;
  TRecordingDrawer* m_drawer = nullptr;
  int m_made = 0;
};

class TNothing final : public TDrawItem {
public:
  void Draw(TDeviceDrawer& drawer) override { drawer.DrawLine({}, {}, 0); }
  bool NeedsRedraw() const override { return false; }
};

} // namespace

TEST_F(DrawController, DrawerIsMadeOnceAndAttachedEachTime) {
  const auto controller = MakeController();
  EXPECT_EQ(controller->Drawer(), nullptr);
  TNothing item;
  controller->Draw(item); // nothing to draw with yet
  ASSERT_TRUE(controller->InitDrawer());
  ASSERT_TRUE(controller->InitDrawer());
  EXPECT_EQ(m_made, 1);
  EXPECT_EQ(m_drawer->Inits, 2);
  controller->Draw(item);
  EXPECT_EQ(m_drawer->Kinds(), (std::vector<std::string>{"line", "endscene"}));
  EXPECT_EQ(controller->DeviceSize(), (std::pair<int, int>{640, 360}));

  TVmoDrawController without(m_device, nullptr);
  EXPECT_FALSE(without.InitDrawer());
}

TEST_F(DrawController, StateFlagsReportDeviceEvents) {
  const auto controller = MakeController();
  m_device.SetActive(false);
  EXPECT_EQ(controller->GetState(), 0);
  m_device.SetActive(true);
  EXPECT_EQ(controller->GetState(), TVmoDrawController::kDeviceActive);

  // A refresh is reported once, with its log line.
  m_device.Refresh();
  EXPECT_EQ(controller->GetState(), TVmoDrawController::kDeviceActive | TVmoDrawController::kRefreshPending);
  EXPECT_EQ(controller->GetState(), TVmoDrawController::kDeviceActive);
  ASSERT_FALSE(m_log->Lines.empty());
  EXPECT_EQ(m_log->Lines.back(), "TVmoDrawController.DeviceRefresh: DrawDevice Refresh!");

  // A lost device stays pending until the drawer is ready again.
  m_device.SetActive(false);
  ASSERT_TRUE(controller->InitDrawer());
  m_drawer->IsReady = false;
  m_drawer->SimulateLost();
  EXPECT_EQ(controller->GetState(), TVmoDrawController::kResetPending);
  EXPECT_EQ(controller->GetState(), TVmoDrawController::kResetPending);
  m_drawer->IsReady = true;
  EXPECT_EQ(controller->GetState(), TVmoDrawController::kResetPending | TVmoDrawController::kDrawerReady);
  EXPECT_FALSE(controller->ResetPending());
  EXPECT_EQ(controller->GetState(), TVmoDrawController::kDrawerReady);
}

TEST_F(DrawController, ReleasesTheDeviceHookAndClosesTheDrawer) {
  auto controller = MakeController();
  ASSERT_TRUE(controller->InitDrawer());
  controller.reset();
  // The device outlives the controller: a refresh must not reach it.
  m_device.Refresh();
  EXPECT_TRUE(m_log->Lines.empty() || m_log->Lines.back() != "TVmoDrawController.DeviceRefresh: DrawDevice Refresh!");
}

} // namespace qx
