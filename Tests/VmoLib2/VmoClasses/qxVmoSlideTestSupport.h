// Helpers of the slide and object tests: a host with a camera and pictures
// held in memory, stores that know their size without holding big pixels,
// and slides loaded from project text.
#pragma once

#include "QxLib/Graphics/qxBitmapStore.h"
#include "QxLib/Graphics/qxBitmapTags.h"
#include "QxLib/qxIniStorage.h"
#include "VmoLib2/VmoClasses/qxVmoSlide.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace qx::test {

// A picture of a given size whose level 0 is one colour; deeper levels are
// halved by the store itself. Big sizes cost nothing until decoded.
class TPlainStore : public TSysBitmapStore {
public:
  TPlainStore(std::string name, int width, int height, TBgra color = {40, 80, 120, 255})
      : TSysBitmapStore(std::move(name), width, height, TPixelFormat::Bgr24), m_color(color) {}
  int Decoded = 0;

protected:
  std::unique_ptr<TBitmap> DecodeLevel(int level) override {
    if (level != 0)
      return nullptr;
    ++Decoded;
    auto bitmap = std::make_unique<TBitmap>(Width(), Height(), TPixelFormat::Bgr24);
    bitmap->Fill(m_color);
    return bitmap;
  }

private:
  TBgra m_color;
};

class TTestHost : public TVmoObjectHost {
public:
  TTestHost(int outputWidth, int outputHeight) : m_width(outputWidth), m_height(outputHeight) {}
  void SetOutput(int width, int height) {
    m_width = width;
    m_height = height;
  }

  TVec3 CameraPosition() const override { return {m_width / 2.0f, m_height / 2.0f, -static_cast<float>(m_height)}; }
  TRefPtr<TBitmapStore> OpenPicture(const std::string& name) override {
    ++Opens[name];
    const auto found = Pictures.find(name);
    return found == Pictures.end() ? TRefPtr<TBitmapStore>() : found->second;
  }
  bool CancelRequested() const override { return Cancel; }

  TRefPtr<TPlainStore> AddPicture(const std::string& name, int width, int height) {
    auto store = MakeRef<TPlainStore>(name, width, height);
    Pictures[name] = store;
    return store;
  }

  std::map<std::string, TRefPtr<TBitmapStore>> Pictures;
  std::map<std::string, int> Opens;
  bool Cancel = false;

private:
  int m_width;
  int m_height;
};

// A slide of m_size centred on the host's output, with the time
// block 0 ... 10000 ms (transitions of 1000 ms on both sides), loaded from
// the section "slide1" of the project text.
class SlideTest : public testing::Test {
protected:
  static constexpr int kWidth = 800;
  static constexpr int kHeight = 600;

  std::unique_ptr<TVmoSlide> MakeSlide(std::string_view sectionBody, bool prepare = true) {
    auto slide = std::make_unique<TVmoSlide>(&m_host);
    m_host.SetOutput(m_size.Width, m_size.Height);
    slide->SetSize(m_size);
    slide->SetCenter(m_size.Width / 2.0f, m_size.Height / 2.0f);
    TSlideTimes times;
    times.SlideStart = 0;
    times.InEffect = 1000;
    times.SlideEnd = 10000;
    times.OutEffect = 1000;
    slide->SetTimes(times);
    Reload(*slide, sectionBody, false);
    if (prepare)
      slide->PrepareResources();
    return slide;
  }

  void Reload(TVmoSlide& slide, std::string_view sectionBody, bool reload) {
    m_storage = std::make_unique<TIniStorage>();
    ASSERT_TRUE(m_storage->LoadFromString("[main]\r\n[slide1]\r\n" + std::string(sectionBody)));
    slide.LoadSlide(*m_storage->FindSection("main"), *m_storage->FindSection("slide1"), reload);
  }

  // The object of that name anywhere on the slide.
  static TVmoObject& Find(TVmoObject& root, std::string_view name) {
    TVmoObject* found = nullptr;
    root.ForEach([&](TVmoObject& object) {
      if (!found && object.Name() == name)
        found = &object;
    });
    if (!found)
      throw std::runtime_error("no object " + std::string(name));
    return *found;
  }

  TSize m_size{kWidth, kHeight};
  TTestHost m_host{kWidth, kHeight};
  std::unique_ptr<TIniStorage> m_storage;
};

} // namespace qx::test
