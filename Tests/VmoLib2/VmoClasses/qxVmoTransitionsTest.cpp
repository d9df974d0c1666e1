#include "VmoLib2/VmoClasses/qxVmoTransitions.h"

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxExceptions.h"
#include "Tests/VmoLib2/VmoClasses/qxVmoShowFixture.h"

#include <gtest/gtest.h>

#include <bit>
#include <set>

namespace qx {
namespace {

// Transition settings over a project text: slide sections are "Slide<n+1>".
struct TChooser {
  explicit TChooser(std::string_view text, int slideCount = 4)
      : Storage(test::Project(text)), Transitions(*Storage->FindOrAddSection("Main"), slideCount, [this](int index) {
          return Storage->FindSection("Slide" + std::to_string(index + 1));
        }) {}

  std::unique_ptr<TIniStorage> Storage;
  TVmoTransitions Transitions;
};

constexpr std::string_view kOn = "[Main]\nopt_fx_enable=1\nopt_fx_time=1200\n";

std::string On(std::string_view mainLines, std::string_view sections = "") {
  return std::string(kOn) + std::string(mainLines) + std::string(sections);
}

TEST(TransitionSettings, VariantCharactersAndGroupSets) {
  EXPECT_EQ(VariantOfChar(u'1'), 1);
  EXPECT_EQ(VariantOfChar(u'8'), 8);
  EXPECT_EQ(VariantOfChar(u'9'), 1);
  EXPECT_EQ(VariantOfChar(u'A'), 9);
  EXPECT_EQ(VariantOfChar(u'h'), 16);
  EXPECT_EQ(VariantOfChar(u'I'), 1);
  EXPECT_EQ(VariantOfChar(u'\u00e9'), 1);

  TEffGroup group;
  group.Assign("13aH");
  EXPECT_EQ(group.Count(), 4);
  EXPECT_EQ(group.Variants(), (1u << 0) | (1u << 2) | (1u << 8) | (1u << 15));
  group.Assign("\xc3\xa9x");
  EXPECT_EQ(group.Count(), 2) << "one character per variant, not per byte";
  group.Assign("");
  EXPECT_FALSE(group.Active());
}

TEST(TransitionSettings, ShowWideParamsAreReadOnlyWhenTransitionsAreOn) {
  const TChooser on(On("opt_fx_eff3=1\nopt_fx_smoothline=25\nopt_fx_broomoffset=40\n"
                       "opt_fx_rolldiameter=150\nopt_fx_rollusebackcolor=1\n"
                       "opt_fx_rollbackcolor=255\nopt_fx_mosaic_dx=8\n"));
  const TEffectParams& p = on.Transitions.DefaultParams();
  EXPECT_FLOAT_EQ(p.Smoothline, 0.025f);
  EXPECT_FLOAT_EQ(p.BroomOffset, 0.4f);
  EXPECT_FLOAT_EQ(p.RollDiameter, 0.15f);
  EXPECT_TRUE(p.RollVariants);
  EXPECT_EQ(p.RollBackColor, (TRgb{255, 0, 0}));
  EXPECT_FLOAT_EQ(p.RollCurving, 0.125f);
  EXPECT_FLOAT_EQ(p.FlipCurving, 0.5f);
  EXPECT_TRUE(p.FlipSmooth);
  EXPECT_FLOAT_EQ(p.SwapDepth, 4);
  EXPECT_FLOAT_EQ(p.SwapMaxAngle, 60);
  EXPECT_EQ(p.MosaicDX, 8);
  EXPECT_EQ(p.MosaicDY, 1);
  EXPECT_EQ(p.CenterX, 50);
  EXPECT_EQ(on.Transitions.DefaultDuration(), 1200);

  const TChooser off("[Main]\nopt_fx_enable=1\nopt_fx_time=0\nopt_fx_eff3=1\n"
                     "opt_fx_smoothline=25\nopt_fx_mosaic_dx=8\n");
  const TEffectParams& q = off.Transitions.DefaultParams();
  EXPECT_FLOAT_EQ(q.Smoothline, 0.025f) << "the smooth line is read in any case";
  EXPECT_EQ(q.MosaicDX, 0);
  EXPECT_EQ(q.CenterX, 0);
  EXPECT_FALSE(q.FlipSmooth);
  EXPECT_FALSE(off.Transitions.EffectsOn());
  EXPECT_TRUE(off.Transitions.ActiveClasses().empty());
}

TEST(TransitionSettings, CustomDefinitionsJoinedFromTheLastGroupsList) {
  const TChooser chooser(On("opt_fx_eff19= 2,\tx,0,7,2 ,1\nopt_fx_custom_count=3\n"
                            "opt_fx_custom0=fx/zero.vmo\nopt_fx_custom1=fx/one.vmo\n"
                            "opt_fx_custom2=fx/two.vmo\n"));
  EXPECT_EQ(chooser.Transitions.Custom(), "fx/zero.vmo,fx/one.vmo,fx/two.vmo");
  EXPECT_EQ(chooser.Transitions.ActiveClasses(), std::vector<int>{18});
}

TEST(TransitionSettings, NoActiveGroupTurnsTransitionsOff) {
  TChooser chooser(On(""));
  EXPECT_FALSE(chooser.Transitions.EffectsOn());
  EXPECT_EQ(chooser.Transitions.DefaultDuration(), 0);
  const TEffectChoice choice = chooser.Transitions.ChooseRandomEffect(0);
  EXPECT_EQ(choice.Class, 0);
  EXPECT_EQ(choice.Variant, 0);
}

TEST(RandomChoice, ZeroDurationTurnsOffEveryTransitionChosenAtRandom) {
  TChooser chooser("[Main]\nopt_fx_enable=1\nopt_fx_time=0\nopt_fx_eff3=1\n"
                   "[Slide1]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=-1\nEffectTime=900\n");
  EXPECT_EQ(chooser.Transitions.ChooseRandomEffect(0).Class, 0);
  for (int index = 0; index < 4; ++index) {
    const TTransition transition = chooser.Transitions.GetTransition(index);
    EXPECT_EQ(transition.Class, 0) << index;
    EXPECT_EQ(transition.Duration, 0) << index;
  }

  const auto source = test::MakeSource("[Main]\nopt_slidescount=2\nopt_synchpos1=1000\n"
                                       "opt_synchpos2=2000\nopt_fx_enable=1\nopt_fx_time=0\n"
                                       "opt_fx_eff3=1\n");
  for (const TSlideInfo& slide : source->Slides()) {
    EXPECT_EQ(slide.InEffect, 0);
    EXPECT_EQ(slide.OutEffect, 0);
  }
}

TEST(RandomChoice, SingleCrossFadeGroupAlwaysGivesClassTwoVariantOne) {
  TChooser chooser(On("opt_fx_eff3=1\n"));
  for (int index = 0; index < 6; ++index) {
    const TTransition transition = chooser.Transitions.GetTransition(index % 4);
    EXPECT_EQ(transition.Class, 2);
    EXPECT_EQ(transition.Variant, 1);
    EXPECT_EQ(transition.Duration, 1200);
  }
}

TEST(RandomChoice, PairGroupAlternatesBetweenItsTwoDirections) {
  TChooser chooser(On("opt_fx_eff13=12\n"));
  std::vector<int> variants;
  for (int index = 0; index < 6; ++index)
    variants.push_back(chooser.Transitions.ChooseRandomEffect(index).Variant);
  EXPECT_EQ(variants, (std::vector<int>{2, 1, 2, 1, 2, 1}));
}

TEST(RandomChoice, RotationVisitsEveryActiveGroupOncePerRound) {
  TChooser chooser(On("opt_fx_eff3=1\nopt_fx_eff5=1\nopt_fx_eff7=1\nopt_fx_eff17=1\n"));
  for (int round = 0; round < 3; ++round) {
    std::set<int> classes;
    for (int k = 0; k < 4; ++k)
      classes.insert(chooser.Transitions.ChooseRandomEffect(0).Class);
    EXPECT_EQ(classes, (std::set<int>{2, 4, 6, 16})) << "round " << round;
  }
}

TEST(RandomChoice, DeterministicChoiceRepeatsForEachSlide) {
  const std::string project = On("opt_fx_eff5=12345678\nopt_fx_eff12=1234\nopt_fx_eff14=AB\n"
                                 "opt_fx_rollvariants=3\n");
  TChooser first(project, 9);
  TChooser second(project, 9);
  first.Transitions.SetDeterministic(true);
  second.Transitions.SetDeterministic(true);
  for (int index = 0; index < 9; ++index) {
    const TTransition a = first.Transitions.GetTransition(index);
    const TTransition again = first.Transitions.GetTransition(index);
    const TTransition b = second.Transitions.GetTransition(index);
    EXPECT_EQ(a.Class, again.Class);
    EXPECT_EQ(a.Variant, again.Variant);
    EXPECT_EQ(a.Params.Seed, again.Params.Seed);
    EXPECT_EQ(a.Params.Seed, index);
    EXPECT_EQ(a.Params.RollVariants, std::popcount(static_cast<unsigned>(index)) % 2 == 0);
    // Choices repeat across sources too, whatever their random play order.
    EXPECT_EQ(b.Class, a.Class);
    EXPECT_EQ(b.Variant, a.Variant);
    EXPECT_EQ(b.Params.Seed, a.Params.Seed);
    // The variant's position has the parity of the slide index.
    if (a.Class == 4) {
      EXPECT_EQ(a.Variant, index % 8 + 1);
    }
  }
}

// One slide section per "Effect_Class" case; slide n is "Slide<n+1>".
constexpr std::string_view kPersonal =
    "opt_fx_eff3=1\nopt_fx_custom3=fx/stars.vmo\nopt_fx_mosaic_dx=5\nopt_fx_broomoffset=40\n"
    "opt_fx_swapdepth=2.5\n";
constexpr std::string_view kPersonalSlides =
    "[Slide1]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=-1\nEffectTime=900\n"
    "EffectMosaicDX=9\nEffectUseSmoothline=1\nEffectSmoothline=30\n"
    "[Slide2]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=0\nEffectTime=900\n"
    "[Slide3]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=18\nEffect_Type=3\nEffectTime=700\n"
    "[Slide4]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=11\nEffect_Type=Bx\nEffectTime=600\n"
    "EffectMosaicDX=9\nEffectBroomOffset=15\nEffectRollUseBackColor=1\n"
    "EffectRollBackColor=65280\nEffectRollDiameter=200\n"
    "[Slide5]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=2\nEffectTime=0\n"
    "[Slide6]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=7\nEffectTime=500\n"
    "[Slide7]\nUsePersonal=1\nPers_Effect=0\nEffect_Class=7\nEffectTime=500\n"
    "[Slide8]\nUsePersonal=1\nPers_Effect=1\nEffect_Class=4\nEffect_Type=2\nEffectTime=400\n";

TEST(PersonalTransition, ChosenAtRandomUsesTheSlideTimeButNotItsParams) {
  TChooser chooser(On(kPersonal, kPersonalSlides), 8);
  const TTransition t = chooser.Transitions.GetTransition(0);
  EXPECT_EQ(t.Class, 2);
  EXPECT_EQ(t.Variant, 1);
  EXPECT_EQ(t.Duration, 900);
  EXPECT_EQ(t.Params.MosaicDX, 5);
  EXPECT_FLOAT_EQ(t.Params.Smoothline, 0.03f);
}

TEST(PersonalTransition, ClassZeroIsNoTransitionEvenWithATime) {
  TChooser chooser(On(kPersonal, kPersonalSlides), 8);
  const TTransition t = chooser.Transitions.GetTransition(1);
  EXPECT_EQ(t.Class, 0);
  EXPECT_EQ(t.Variant, 0);
  EXPECT_EQ(t.Duration, 0);
}

TEST(PersonalTransition, CustomClassNamesItsDefinitionByTheEffectType) {
  TChooser chooser(On(kPersonal, kPersonalSlides), 8);
  const TTransition t = chooser.Transitions.GetTransition(2);
  EXPECT_EQ(t.Class, 18);
  EXPECT_EQ(t.Variant, 0);
  EXPECT_EQ(t.Duration, 700);
  EXPECT_EQ(t.Params.Custom, "fx/stars.vmo");
}

TEST(PersonalTransition, OtherClassesTakeTheFirstVariantCharacterAndTheSlideParams) {
  TChooser chooser(On(kPersonal, kPersonalSlides), 8);
  const TTransition broom = chooser.Transitions.GetTransition(3);
  EXPECT_EQ(broom.Class, 11);
  EXPECT_EQ(broom.Variant, 10);
  EXPECT_EQ(broom.Duration, 600);
  EXPECT_EQ(broom.Params.MosaicDX, 9);
  EXPECT_FLOAT_EQ(broom.Params.BroomOffset, 0.15f);
  EXPECT_TRUE(broom.Params.RollUseBackColor);
  EXPECT_EQ(broom.Params.RollBackColor, (TRgb{0, 255, 0}));
  EXPECT_FLOAT_EQ(broom.Params.RollDiameter, 0.2f);
  EXPECT_FLOAT_EQ(broom.Params.SwapDepth, 2.5f) << "missing slide keys keep the show's value";
  EXPECT_FALSE(broom.Params.RollVariants) << "a missing EffectRollVariants means off";

  const TTransition lines = chooser.Transitions.GetTransition(5);
  EXPECT_EQ(lines.Class, 7);
  EXPECT_EQ(lines.Variant, 1) << "an empty Effect_Type is variant 1";
  EXPECT_FLOAT_EQ(lines.Params.BroomOffset, 0.4f) << "the show's broom offset is the default";

  EXPECT_EQ(chooser.Transitions.GetTransition(7).Variant, 2);
}

TEST(PersonalTransition, ZeroTimeKeepsTheClassAndTheTimeLineDropsIt) {
  TChooser chooser(On(kPersonal, kPersonalSlides), 8);
  const TTransition t = chooser.Transitions.GetTransition(4);
  EXPECT_EQ(t.Class, 2);
  EXPECT_EQ(t.Duration, 0);
}

TEST(PersonalTransition, WithoutPersEffectTheSlideJoinsTheRandomMix) {
  TChooser chooser(On(kPersonal, kPersonalSlides), 8);
  const TTransition t = chooser.Transitions.GetTransition(6);
  EXPECT_EQ(t.Class, 2);
  EXPECT_EQ(t.Duration, 1200);
}

TEST(PersonalTransition, IndexWrapsAroundTheSlideCount) {
  TChooser chooser(On(kPersonal, kPersonalSlides), 8);
  EXPECT_EQ(chooser.Transitions.GetTransition(8 + 2).Class, 18);
  TChooser empty(On(kPersonal), 0);
  EXPECT_THROW(empty.Transitions.GetTransition(0), EAssertionFailed);
}

} // namespace
} // namespace qx
