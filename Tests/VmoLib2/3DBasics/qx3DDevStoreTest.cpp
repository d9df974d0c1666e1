#include "VmoLib2/3DBasics/qx3DDevStore.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qx {
namespace {

// A device object that records when its device objects are released.
class TFakeObject : public T3DObject {
public:
  TFakeObject(std::string name, std::vector<std::string>& events) : m_name(std::move(name)), m_events(events) {}
  bool Use() { return CheckStore() && Succeed(); }

protected:
  void ReleaseDeviceObjects() override { m_events.push_back("release " + m_name); }

private:
  std::string m_name;
  std::vector<std::string>& m_events;
};

struct StoreFixture : testing::Test {
  TDrawDevice device{T3DRect{0, 0, 8, 8}};
  std::vector<std::string> events;
  T3DDevStore& store = static_cast<T3DDevStore&>(device.Attach(std::make_unique<T3DDevStore>(device)));

  std::unique_ptr<TFakeObject> Make(const std::string& name, T3DDevStore::TList list) {
    auto object = std::make_unique<TFakeObject>(name, events);
    store.Add(*object, list);
    object->SetDeviceKilledCallback([this, name] { events.push_back("killed " + name); });
    return object;
  }
};

TEST_F(StoreFixture, LiveObjectsCountsWhatHoldsDeviceObjects) {
  const int64_t before = T3DDevStore::LiveObjects();
  auto texture = Make("texture", T3DDevStore::TList::Textures);
  auto list = Make("list", T3DDevStore::TList::VertexLists);
  auto renderer = Make("renderer", T3DDevStore::TList::Renderers);
  EXPECT_EQ(T3DDevStore::LiveObjects(), before + 3);
  // An object freed while on its store leaves it.
  renderer.reset();
  EXPECT_EQ(T3DDevStore::LiveObjects(), before + 2);
  // A lost device frees what the objects hold: they count no more, though
  // they live on until their owners let go of them.
  T3DDevStore::DropFromDevice(store);
  EXPECT_EQ(T3DDevStore::LiveObjects(), before);
  texture.reset();
  list.reset();
  EXPECT_EQ(T3DDevStore::LiveObjects(), before);
}

TEST_F(StoreFixture, DropGoesNewestFirstRenderersTexturesThenLists) {
  auto list = Make("list", T3DDevStore::TList::VertexLists);
  auto texture1 = Make("texture1", T3DDevStore::TList::Textures);
  auto renderer = Make("renderer", T3DDevStore::TList::Renderers);
  auto texture2 = Make("texture2", T3DDevStore::TList::Textures);
  EXPECT_TRUE(texture1->Use());
  T3DDevStore::DropFromDevice(store);
  EXPECT_EQ(events,
            (std::vector<std::string>{"release renderer", "killed renderer", "release texture2", "killed texture2",
                                      "release texture1", "killed texture1", "release list", "killed list"}));
  EXPECT_EQ(device.FindAttached<T3DDevStore>(), nullptr);
  EXPECT_FALSE(texture1->Use());
  EXPECT_EQ(texture1->LastResult(), T3DResult::DeviceLost);
}

TEST_F(StoreFixture, CallbacksMayDestroyTheirOwnAndOtherObjects) {
  auto texture1 = Make("texture1", T3DDevStore::TList::Textures);
  auto texture2 = Make("texture2", T3DDevStore::TList::Textures);
  auto list = Make("list", T3DDevStore::TList::VertexLists);
  // The owner of texture2 lets go of everything it has when called.
  texture2->SetDeviceKilledCallback([&] {
    events.push_back("killed texture2");
    texture2.reset();
    texture1.reset();
  });
  T3DDevStore::DropFromDevice(store);
  EXPECT_EQ(events, (std::vector<std::string>{"release texture2", "killed texture2", "release list", "killed list"}));
  EXPECT_EQ(texture1, nullptr);
}

TEST_F(StoreFixture, ObjectsLeaveTheStoreWhenDestroyed) {
  auto texture = Make("texture", T3DDevStore::TList::Textures);
  auto list = Make("list", T3DDevStore::TList::VertexLists);
  EXPECT_EQ(store.Count(T3DDevStore::TList::Textures), 1u);
  texture.reset();
  EXPECT_EQ(store.Count(T3DDevStore::TList::Textures), 0u);
  store.Remove(*list);
  EXPECT_EQ(list->Store(), nullptr);
  store.Drop();
  EXPECT_TRUE(events.empty());
}

TEST(DrawDevice, OwnsAttachedObjectsAndDestroysThemNewestFirst) {
  std::vector<int> order;
  struct TProbe : TAttachedObject {
    TProbe(std::vector<int>& o, int i) : order(o), id(i) {}
    ~TProbe() override { order.push_back(id); }
    std::vector<int>& order;
    int id;
  };
  {
    TDrawDevice device({0, 0, 4, 4});
    EXPECT_TRUE(device.IsHeadless());
    device.Attach(std::make_unique<TProbe>(order, 1));
    auto& second = device.Attach(std::make_unique<TProbe>(order, 2));
    device.Attach(std::make_unique<TProbe>(order, 3));
    auto detached = device.Detach(&second);
    ASSERT_NE(detached, nullptr);
    EXPECT_EQ(device.Detach(&second), nullptr);
    detached.reset();
    EXPECT_EQ(order, (std::vector<int>{2}));
    EXPECT_NE(device.FindAttached<TProbe>(), nullptr);
  }
  EXPECT_EQ(order, (std::vector<int>{2, 3, 1}));
}

TEST(DrawDevice, RefreshCallsTheCallbackWhenSet) {
  TDrawDevice device({0, 0, 4, 4});
  device.Refresh(); // nothing set: nothing happens
  int refreshes = 0;
  device.SetRefreshCallback([&] { ++refreshes; });
  device.Refresh();
  EXPECT_EQ(refreshes, 1);
  device.SetActive(false);
  EXPECT_FALSE(device.Active());
}

} // namespace
} // namespace qx
