#include "VmoLib2/VmoClasses/qxVmoEffects.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "Tests/TestSupport/qxMutedDebugOutput.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"
#include "VmoLib2/VmoClasses/VmoSlideEffect.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

const TPixelRect kSlide{100, 50, 900, 650}; // 800 x 600

TEffectParams SampleParams() {
  TEffectParams p;
  p.Smoothline = 0.0125f;
  p.BroomOffset = 0.2f;
  p.RollDiameter = 0.1f;
  p.CenterX = 150;
  p.CenterY = 25;
  p.MosaicDX = 6;
  p.MosaicDY = 4;
  p.MosaicSC = 50;
  p.Seed = 0x123456;
  p.SwapMaxAngle = 90;
  p.FlipCenter = true;
  return p;
}

std::unique_ptr<TDrawFilter> Make(int cls, int variant, const TEffectParams& p = SampleParams()) {
  return CreateEffect(cls, variant, p, kSlide, 1500, nullptr);
}

struct TExpectedEffect {
  int Class;
  int Variant;
  std::string_view Name;
  bool Inverted;
};

TEST(EffectFactory, EachClassAndVariantMakesItsEffectObject) {
  const TExpectedEffect table[] = {
      {1, 1, "TRandomFilter", false},
      {2, 1, "TAlphaFilter", false},
      {3, 1, "TClockEffect", false},
      {4, 1, "TCircleFilter", true},
      {4, 2, "TCircleFilter", false},
      {5, 1, "TRhombFilter", true},
      {5, 2, "TRhombFilter", false},
      {6, 1, "TSquareFilter", true},
      {7, 1, "THLines", true},
      {7, 2, "THLines", false},
      {7, 3, "TVLines", true},
      {7, 4, "TVLines", false},
      {7, 5, "TAlphaFilter", false},
      {8, 1, "TDiagLines", true},
      {8, 2, "TDiagLines", false},
      {9, 1, "THLines", false},
      {9, 4, "TVLines", false},
      {9, 9, "TAlphaFilter", false},
      {10, 3, "TDiagLines", false},
      {11, 3, "TBroomEffect", false},
      {11, 11, "TBroomEffect", true},
      {12, 2, "TPushFilter", false},
      {13, 4, "TSlideFilter", false},
      {14, 5, "TRollEffect2", true},
      {15, 2, "TRollEffect2", false},
      {16, 1, "TOverturnEffect", false},
      {17, 3, "TTwoSlidesEffect", false},
      {18, 0, "TAlphaFilter", false},
      {19, 1, "TAlphaFilter", false},
      {250, 1, "TAlphaFilter", false},
      // Variants without a movement of their own cross-fade.
      {11, 17, "TAlphaFilter", false},
      {12, 5, "TAlphaFilter", false},
      {13, 0, "TAlphaFilter", false},
      {14, 9, "TAlphaFilter", false},
      {16, 5, "TAlphaFilter", false},
      {17, 16, "TAlphaFilter", false},
  };
  for (const TExpectedEffect& expected : table) {
    const auto effect = Make(expected.Class, expected.Variant);
    ASSERT_NE(effect, nullptr) << expected.Class;
    EXPECT_EQ(effect->ClassName(), expected.Name) << expected.Class << "/" << expected.Variant;
    EXPECT_EQ(effect->Inverted(), expected.Inverted) << expected.Class << "/" << expected.Variant;
    EXPECT_EQ(effect->EffectClass(), expected.Class);
    EXPECT_EQ(effect->Variant(), expected.Variant);
  }
  EXPECT_EQ(Make(0, 1), nullptr);
  EXPECT_EQ(Make(-1, 1), nullptr);
}

TEST(EffectFactory, ParamsAreScaledToTheSlideRectangle) {
  const auto effect = Make(14, 1);
  EXPECT_FLOAT_EQ(effect->Params().RollDiameter, 80);
  EXPECT_FLOAT_EQ(effect->Params().BroomOffset, 140);
  EXPECT_FLOAT_EQ(effect->Params().Smoothline, 0.0125f);
  EXPECT_EQ(effect->SoftEdge(), 10);
  EXPECT_EQ(effect->Params().Seed, 0x123456);
  EXPECT_EQ(effect->SlideRect().Width(), 800);
  EXPECT_EQ(effect->TargetRect().Left, 100);
  EXPECT_EQ(static_cast<TRollEffect2&>(*effect).Diameter(), 80);

  TEffectParams fractional = SampleParams();
  fractional.Smoothline = 0.00999f;
  fractional.RollDiameter = 0.0999f;
  EXPECT_EQ(Make(2, 1, fractional)->SoftEdge(), 7) << "truncated toward zero";
  EXPECT_EQ(static_cast<TRollEffect2&>(*Make(15, 1, fractional)).Diameter(), 79);
}

TEST(EffectFactory, ProgressIsClampedAndGivesThePhase) {
  const auto effect = Make(2, 1);
  EXPECT_EQ(effect->Duration(), 1500);
  EXPECT_EQ(effect->Phase(), 0);
  effect->SetProgress(750);
  EXPECT_DOUBLE_EQ(effect->Phase(), 0.5);
  effect->SetProgress(-20);
  EXPECT_EQ(effect->Progress(), 0);
  effect->SetProgress(99999);
  EXPECT_DOUBLE_EQ(effect->Phase(), 1);

  const auto instant = CreateEffect(2, 1, SampleParams(), kSlide, 0, nullptr);
  instant->SetProgress(100);
  EXPECT_EQ(instant->Phase(), 0) << "a zero duration never advances";
}

TEST(EffectFactory, ShapeSettingsFollowClassAndVariant) {
  const auto circle = Make(4, 2);
  EXPECT_DOUBLE_EQ(static_cast<TCommonFilter&>(*circle).CenterX(), 1.5);
  EXPECT_DOUBLE_EQ(static_cast<TCommonFilter&>(*circle).CenterY(), 0.25);

  const auto fromRight = Make(9, 2);
  EXPECT_DOUBLE_EQ(static_cast<TCommonFilter&>(*fromRight).CenterX(), 1);
  const auto fromBottom = Make(9, 4);
  EXPECT_DOUBLE_EQ(static_cast<TCommonFilter&>(*fromBottom).CenterY(), 1);

  const auto diagonalEffect = Make(8, 3);
  const auto& diagonal = static_cast<TDiagLines&>(*diagonalEffect);
  EXPECT_EQ(diagonal.Mode(), 1);
  EXPECT_TRUE(diagonal.OtherDiagonal());
  EXPECT_TRUE(diagonal.Inverted());
  const auto wipeEffect = Make(10, 2);
  const auto& wipe = static_cast<TDiagLines&>(*wipeEffect);
  EXPECT_EQ(wipe.Mode(), 2);
  EXPECT_FALSE(wipe.OtherDiagonal());
  EXPECT_EQ(static_cast<TDiagLines&>(*Make(10, 3)).Mode(), 0);

  const auto mosaicEffect = Make(1, 1);
  const auto& mosaic = static_cast<TRandomFilter&>(*mosaicEffect);
  EXPECT_EQ(mosaic.Columns(), 6);
  EXPECT_EQ(mosaic.Rows(), 4);
  EXPECT_EQ(mosaic.Scale(), 50);
  TEffectParams coarse = SampleParams();
  coarse.MosaicSC = 100;
  EXPECT_EQ(static_cast<TRandomFilter&>(*Make(1, 1, coarse)).Scale(), 1000);

  EXPECT_TRUE(static_cast<TClockEffect&>(*Make(3, 2)).Reversed());
  EXPECT_FALSE(static_cast<TClockEffect&>(*Make(3, 1)).Reversed());
  EXPECT_EQ(static_cast<TBroomEffect&>(*Make(11, 11)).Direction(), 3);
  EXPECT_EQ(static_cast<TOverturnEffect&>(*Make(16, 2)).Mode(), 6);
  EXPECT_NEAR(static_cast<TTwoSlidesEffect&>(*Make(17, 1)).MaxAngle(), 1.5707963, 1e-6);
  EXPECT_TRUE(Make(12, 1)->WholeSlide());
  EXPECT_TRUE(Make(13, 1)->WholeSlide());
  EXPECT_FALSE(Make(2, 1)->WholeSlide());
}

class CustomEffect : public testing::Test {
protected:
  void SetUp() override {
    SetProgramPath("/opt/player/player");
    m_files = MakeRef<test::TTestFileSource>();
    m_files->Add("fx/stars.vmo", "[Main]\nopt_slidescount=1\nopt_synchpos1=3000\n"
                                 "[slide1]\nCoverMode=1\n");
    m_files->Add("fx/plain.vmo", "[Main]\nopt_slidescount=1\nopt_synchpos1=3000\n");
    m_files->Add("fx/broken.vmo", "[Main]\nopt_slidescount=2\nopt_synchpos1=3000\n"
                                  "opt_synchpos2=1000\n");
  }
  std::unique_ptr<TDrawFilter> MakeCustom(std::string_view custom) {
    TEffectParams p = SampleParams();
    p.Custom = custom;
    const TFileAccessor accessor = test::TestAccessor(m_files);
    return CreateEffect(18, 0, p, kSlide, 1000, &accessor);
  }

  TRefPtr<test::TTestFileSource> m_files;

private:
  const test::TMutedDebugOutput m_muted;
};

TEST_F(CustomEffect, PackedDefinitionBecomesASlideFilter) {
  const auto effect = MakeCustom("fx/stars.vmo");
  ASSERT_EQ(effect->ClassName(), "TRealSlideFilter");
  const auto& custom = static_cast<TRealSlideFilter&>(*effect);
  EXPECT_EQ(custom.DefinitionName(), "fx/stars.vmo");
  EXPECT_TRUE(custom.CoverMode());
  EXPECT_EQ(custom.Source().TotalDuration(), 3000);
  EXPECT_FALSE(static_cast<TRealSlideFilter&>(*MakeCustom("\t fx/plain.vmo")).CoverMode());
}

TEST_F(CustomEffect, OneOfSeveralDefinitionsIsChosen) {
  const auto effect = MakeCustom("fx/stars.vmo, fx/plain.vmo");
  ASSERT_EQ(effect->ClassName(), "TRealSlideFilter");
  const std::string name = static_cast<TRealSlideFilter&>(*effect).DefinitionName();
  EXPECT_TRUE(name == "fx/stars.vmo" || name == "fx/plain.vmo") << name;
}

TEST_F(CustomEffect, MissingOrDamagedDefinitionsFallBackToTheCrossFade) {
  EXPECT_EQ(MakeCustom("")->ClassName(), "TAlphaFilter");
  EXPECT_EQ(MakeCustom(" ,\t")->ClassName(), "TAlphaFilter");
  EXPECT_EQ(MakeCustom("fx/missing.vmo")->ClassName(), "TAlphaFilter");
  EXPECT_EQ(MakeCustom("fx/broken.vmo")->ClassName(), "TAlphaFilter");
  const auto noAccessor = CreateEffect(18, 0, SampleParams(), kSlide, 1000, nullptr);
  EXPECT_EQ(noAccessor->ClassName(), "TAlphaFilter");
  EXPECT_EQ(noAccessor->EffectClass(), 18);
}

TEST(SlideFilter, EffectIsMadeOnceOnFirstRequest) {
  TTransition transition;
  transition.Class = 5;
  transition.Variant = 1;
  transition.Duration = 800;
  transition.Params = SampleParams();
  TVmoFilter filter(transition);
  EXPECT_EQ(filter.CurrentEffect(), nullptr);
  TDrawFilter* effect = filter.Effect(kSlide, nullptr);
  ASSERT_NE(effect, nullptr);
  EXPECT_EQ(effect->ClassName(), "TRhombFilter");
  EXPECT_EQ(effect->Duration(), 800);
  EXPECT_EQ(filter.Effect(TPixelRect{0, 0, 10, 10}, nullptr), effect);

  TVmoFilter none(TTransition{});
  EXPECT_EQ(none.Effect(kSlide, nullptr), nullptr);
}

} // namespace
} // namespace qx
