#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"
#include "VmoLib2/3DBasics/Null/qx3DEngineNull.h"
#include "VmoLib2/3DEngine/qx3DScreen.h"
#include "VmoLib2/3DEngine/qxCustomTexture.h"
#include "VmoLib2/VmoClasses/qxVmoImage.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qx {
namespace {

constexpr TPixelRect kRect{0, 0, 1600, 900};

// A 4 s mini-project whose slide shows the outgoing and the incoming
// slide's buffers and a box.
std::string MiniProject(bool cover) {
  return std::string("[Main]\nopt_slidescount=1\nopt_synchpos1=4000\nopt_scr_width=400\nopt_scr_height=300\n"
                     "[slide1]\n") +
         (cover ? "CoverMode=1\n" : "") +
         "object out:image\n  ReplaceWithEffectBuffer=1\nend\n"
         "object in:image\n  ReplaceWithEffectBuffer=2\nend\n"
         "object deco:box\nend\n";
}

class MiniSlide : public test::ProducerTest {
protected:
  void SetUp() override {
    ProducerTest::SetUp();
    m_files = MakeRef<test::TTestFileSource>();
    m_files->Add("fx/cover.vmo", MiniProject(true));
    m_files->Add("fx/fit.vmo", MiniProject(false));
    m_files->Add("fx/unsized.vmo", "[Main]\nopt_slidescount=1\nopt_synchpos1=3000\n");
  }

  std::unique_ptr<TRealSlideFilter> Make(const std::string& name) {
    TEffectParams params;
    params.Custom = name;
    const TFileAccessor accessor = test::TestAccessor(m_files);
    std::unique_ptr<TDrawFilter> effect = CreateEffect(18, 0, params, kRect, 1000, &accessor);
    auto* custom = dynamic_cast<TRealSlideFilter*>(effect.get());
    if (!custom)
      return nullptr;
    effect.release();
    return std::unique_ptr<TRealSlideFilter>(custom);
  }

  TRefPtr<test::TTestFileSource> m_files;
};

TEST_F(MiniSlide, IsSizedToTheSlideRectangle) {
  const auto cover = Make("fx/cover.vmo");
  ASSERT_TRUE(cover);
  EXPECT_EQ(cover->Producer().SlideSize(), (TSize{1600, 1200}));
  const auto fit = Make("fx/fit.vmo");
  ASSERT_TRUE(fit);
  EXPECT_EQ(fit->Producer().SlideSize(), (TSize{1200, 900}));
  ASSERT_TRUE(fit->Start());
  EXPECT_EQ(fit->MiniSlide()->Index(), 0);
  EXPECT_EQ(fit->MiniSlide()->ChildCount(), 3);
  EXPECT_EQ(fit->MiniSlide()->BaseSize(), (TSize{1200, 900}));
}

TEST_F(MiniSlide, ProgressMapsOntoItsOwnTimeLine) {
  test::TCapturedLog log;
  const auto filter = Make("fx/fit.vmo");
  ASSERT_TRUE(filter);
  ASSERT_TRUE(filter->Start());
  EXPECT_DOUBLE_EQ(filter->MiniSlideTime(0), 0);
  EXPECT_DOUBLE_EQ(filter->MiniSlideTime(0.25), 1000);
  EXPECT_DOUBLE_EQ(filter->MiniSlideTime(1), 4000);
  EXPECT_DOUBLE_EQ(filter->MiniSlideTime(3), 4000) << "progress stays within the transition";
  filter->SetMiniSlideProgress(0.625);
  EXPECT_TRUE(log.Contains("set slide eff. time: 2500"));
  EXPECT_DOUBLE_EQ(filter->MiniSlide()->KeyPoints().EvaluationTime(), 2500);
}

TEST_F(MiniSlide, EffectBufferPicturesShowTheTargetsWhileDrawing) {
  const auto filter = Make("fx/cover.vmo");
  ASSERT_TRUE(filter);
  filter->SetEffectBufferSource([](int number, TBitmap& picture) {
    picture.Fill(TBgra{static_cast<uint8_t>(number), 0, 0, 255});
  });
  ASSERT_TRUE(filter->Start());
  T3DEngineNull engine(nullptr);
  T3DScreen screen(engine, {}, {});
  TCustomTexture outgoing(screen);
  TCustomTexture incoming(screen);
  const TFloatRect texels{16, 8, 1616, 908};
  const std::vector<TVmoImage*> attached = filter->AttachEffectBuffers({&outgoing, &incoming}, texels);
  ASSERT_EQ(attached.size(), 2u);
  for (TVmoImage* image : attached) {
    ASSERT_TRUE(image->Picture()) << image->Name();
    EXPECT_EQ(image->Picture()->FileName(), "zaglushka for slide-effect buffer");
    EXPECT_EQ(image->Picture()->Width(), 1600) << "the slide rectangle, clipped";
    EXPECT_EQ(image->Picture()->Height(), 900);
    EXPECT_EQ(image->Picture()->GetMipLevel(0)->GetPixel(0, 0).b, image->EffectBufferNumber());
    EXPECT_EQ(image->EffectTexture(), image->EffectBufferNumber() == 1 ? &outgoing : &incoming);
  }
  EXPECT_EQ(attached[0]->Name(), "out");
  const TBitmapStore* picture = attached[0]->Picture().Get();
  filter->DetachEffectBuffers();
  EXPECT_EQ(attached[0]->EffectTexture(), nullptr);
  EXPECT_EQ(attached[1]->EffectTexture(), nullptr);
  // The next frame keeps the opened picture.
  filter->AttachEffectBuffers({&outgoing, &incoming}, texels);
  EXPECT_EQ(attached[0]->Picture().Get(), picture);
  filter->ReleaseEffectBuffers();
  EXPECT_FALSE(attached[0]->Picture());
  EXPECT_EQ(attached[0]->EffectTexture(), nullptr);
}

TEST_F(MiniSlide, CentreFollowsTheDrawerPosition) {
  const auto filter = Make("fx/fit.vmo");
  ASSERT_TRUE(filter);
  filter->SetPosition(5, 5);
  ASSERT_TRUE(filter->Start());
  filter->SetPosition(100, 50);
  EXPECT_FLOAT_EQ(filter->MiniSlide()->Center().x, 900);
  EXPECT_FLOAT_EQ(filter->MiniSlide()->Center().y, 500);
}

TEST_F(MiniSlide, ProjectWithoutSizeShowsNothing) {
  const auto filter = Make("fx/unsized.vmo");
  ASSERT_TRUE(filter);
  EXPECT_FALSE(filter->Start());
  EXPECT_EQ(filter->MiniSlide(), nullptr);
  EXPECT_DOUBLE_EQ(filter->MiniSlideTime(0.5), 1500);
  filter->SetMiniSlideProgress(0.5);
  EXPECT_TRUE(filter->AttachEffectBuffers({}, {}).empty());
}

} // namespace
} // namespace qx
