#include "VmoLib2/qxShadowNames.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <string>

namespace qx {
namespace {

TShadowNameParams SampleParams() {
  TShadowNameParams p;
  p.Width = 100;
  p.Height = 50;
  p.BorderX = 10;
  p.BorderY = 12;
  p.BaseAlpha = 0;
  p.BlurSize = 2.5;
  p.ContourIndex = 3;
  p.Gradient = 6;
  p.GradientStartAlpha = 17;
  p.GradientEndAlpha = 240;
  p.Blue = 10;
  p.Green = 20;
  p.Red = 30;
  p.Opacity = 62.5;
  p.MipLevel = 1;
  p.Source = "LoadFromDisk:C:\\pics\\a:b.jpg";
  return p;
}

void ExpectSameParams(const TShadowNameParams& a, const TShadowNameParams& b) {
  EXPECT_EQ(ComposeShadowName(a), ComposeShadowName(b));
  EXPECT_EQ(a.Source, b.Source);
  EXPECT_DOUBLE_EQ(a.BlurSize, b.BlurSize);
}

// Source pictures by name, each a wrapped in-memory bitmap.
class TPictureShelf {
public:
  void Add(const std::string& name, TBitmap bitmap) {
    m_stores[name] = MakeRef<TWrapperBitmapStore>(name, std::make_unique<TBitmap>(std::move(bitmap)));
  }
  TShadowSourceGetter Getter() {
    return [this](const std::string& name) {
      ++Requests;
      const auto found = m_stores.find(name);
      return found == m_stores.end() ? TRefPtr<TBitmapStore>() : found->second;
    };
  }
  int Requests = 0;

private:
  std::map<std::string, TRefPtr<TBitmapStore>> m_stores;
};

TBitmap OpaqueBitmap(int width, int height) {
  TBitmap bitmap(width, height, TPixelFormat::Bgra32);
  bitmap.Fill(TBgra{1, 2, 3, 255});
  return bitmap;
}

TShadowNameParams ShapeParams(int width, int height, int border) {
  TShadowNameParams p;
  p.Width = width;
  p.Height = height;
  p.BorderX = p.BorderY = border;
  p.BaseAlpha = 0;
  p.GradientStartAlpha = p.GradientEndAlpha = 255;
  p.Blue = 40;
  p.Green = 50;
  p.Red = 60;
  p.Opacity = 100;
  p.Source = std::string(kShapeShadowSource);
  return p;
}

std::string ErrorOf(const std::function<void()>& run) {
  try {
    run();
  } catch (const EQxError& error) {
    return error.what();
  }
  return "(no error)";
}

TEST(ShadowNames, ComposesTheSeventeenValuesThenTheSource) {
  EXPECT_EQ(ComposeShadowName(SampleParams()),
            "Shadow: 0:0:100:50:10:12:0:2.5:3:6:17:240:10:20:30:62.50:1:LoadFromDisk:C:\\pics\\a:b.jpg");
  TShadowNameParams p;
  p.Opacity = 100.0 / 3;
  p.Source = "N\\A";
  EXPECT_EQ(ComposeShadowName(p), "Shadow: 0:0:0:0:0:0:255:0:0:8:0:0:0:0:0:33.33:0:N\\A");
}

TEST(ShadowNames, ParsingRoundTripsAndKeepsColonsOfTheSource) {
  const TShadowNameParams sample = SampleParams();
  const TShadowNameParams parsed = ParseShadowName(ComposeShadowName(sample));
  ExpectSameParams(parsed, sample);
  EXPECT_EQ(parsed.Gradient, 6);
  EXPECT_EQ(parsed.Opacity, 62.5);
  EXPECT_FALSE(parsed.IsShape());

  const TShadowNameParams shape = ParseShadowName("Shadow: 0:0:5:6:1:2:255:1,5:0:8:0:0:0:0:0:50:0:N\\A");
  EXPECT_TRUE(shape.IsShape());
  EXPECT_EQ(shape.BlurSize, 1.5);
  EXPECT_EQ(ParseShadowName("Shadow: 0:0:0:0:0:0:0:0:0:0:0:0:0:0:0:0:0:").Source, "");
}

TEST(ShadowNames, HugeValuesComposeInFullAndParseBack) {
  // A name's values may be any finite double; fixed notation of 1e300 with
  // two decimals is 303 characters long.
  TShadowNameParams huge = SampleParams();
  huge.Opacity = 1e300;
  huge.BlurSize = -1.7976931348623157e308;
  const std::string name = ComposeShadowName(huge);
  const TShadowNameParams parsed = ParseShadowName(name);
  EXPECT_EQ(parsed.Opacity, 1e300);
  EXPECT_EQ(parsed.BlurSize, huge.BlurSize);
  EXPECT_EQ(ComposeShadowName(parsed), name);
}

TEST(ShadowNames, UnparsableValuesTakeTheirDefaults) {
  const TShadowNameParams p = ParseShadowName("Shadow: a: 7 :x:1e3:-:9999999999:?:nan:q:z:y:x:w:v:u:inf:.:pic");
  EXPECT_EQ(p.Left, 0);
  EXPECT_EQ(p.Top, 7);
  EXPECT_EQ(p.Width, 0);
  EXPECT_EQ(p.Height, 0);
  EXPECT_EQ(p.BorderY, 0);
  EXPECT_EQ(p.BaseAlpha, 255);
  EXPECT_EQ(p.BlurSize, 0);
  EXPECT_EQ(p.ContourIndex, 0);
  EXPECT_EQ(p.Gradient, 8);
  EXPECT_EQ(p.Opacity, 0);
  EXPECT_EQ(p.MipLevel, 0);
  EXPECT_EQ(p.Source, "pic");
}

TEST(ShadowNames, BadNamesGiveAClearError) {
  for (const char* name : {"", "Shadow:0:0", "shadow: 0:0:0:0:0:0:0:0:0:0:0:0:0:0:0:0:0:x",
                           "Shadow: 0:0:0:0:0:0:0:0:0:0:0:0:0:0:0:0", "Button: 1:2:3"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(ErrorOf([name] { ParseShadowName(name); }).find("Invalid shadow picture name"), std::string::npos);
  }
}

TEST(ShadowNames, ReductionHalvesUntilTheAreaAndSidesFit) {
  const struct {
    int64_t w, h;
    int factor;
    int64_t rw, rh;
  } cases[] = {
      {1000, 700, 1, 1000, 700}, // exactly 700000
      {1000, 701, 2, 500, 350},  // just over
      {2000, 1500, 4, 500, 375}, // 750000 after one halving: halve again
      {20000, 10, 2, 10000, 5},  // small area, side too long
      {2147483647, 2147483647, 1 << 22, 511, 511},
  };
  for (const auto& c : cases) {
    const TShadowReduction r = ComputeShadowReduction(c.w, c.h);
    EXPECT_EQ(r.Factor, c.factor) << c.w << "x" << c.h;
    EXPECT_EQ(r.Factor, 1 << r.Halvings);
    EXPECT_EQ(r.Width, c.rw);
    EXPECT_EQ(r.Height, c.rh);
  }
}

TEST(ShadowNames, ShapeShadowsAreScaledToFortyThousandPixels) {
  TShadowNameParams p = ShapeParams(80, 40, 10);
  ScaleShapeShadow(p, 20);
  // Bordered 100 x 60: factor sqrt(40000 / 6000).
  EXPECT_EQ(p.Width, 207);
  EXPECT_EQ(p.Height, 103);
  EXPECT_EQ(p.BorderX, 26);
  EXPECT_EQ(p.BorderY, 26);
  EXPECT_NEAR(p.BlurSize, std::sqrt(207.0 * 103) * 20 / 400 * 1.1, 1e-9);
}

TEST(ShadowPictures, ShapeShadowHasTheBlurBorderAndTheShadowColour) {
  const TShadowNameParams p = ShapeParams(60, 40, 10);
  const TBitmap picture = ProduceShadowPicture(ComposeShadowName(p), {});
  // sigma 1: three more pixels on each side of the bordered 80 x 60.
  EXPECT_EQ(picture.Width(), 86);
  EXPECT_EQ(picture.Height(), 66);
  EXPECT_EQ(picture.GetPixel(43, 33), (TBgra{40, 50, 60, 255}));
  EXPECT_EQ(picture.GetPixel(0, 0).a, 0);
  // The border outside the white rectangle stays transparent.
  EXPECT_EQ(picture.GetPixel(5, 33).a, 0);
}

TEST(ShadowPictures, OpacityAndGradientShapeTheAlpha) {
  TShadowNameParams p = ShapeParams(100, 20, 0);
  p.Opacity = 50;
  p.GradientStartAlpha = 0;
  p.GradientEndAlpha = 255;
  const struct {
    TShadowGradient kind;
    bool leftLower, topLower;
  } cases[] = {
      {TShadowGradient::FromLeft, true, false},   {TShadowGradient::FromRight, false, false},
      {TShadowGradient::FromTop, false, true},    {TShadowGradient::FromBottom, false, false},
      {TShadowGradient::FromTopLeft, true, true},
  };
  for (const auto& c : cases) {
    p.Gradient = static_cast<int>(c.kind);
    SCOPED_TRACE(p.Gradient);
    const TBitmap picture = ProduceShadowPicture(ComposeShadowName(p), {});
    const int w = picture.Width();
    const int h = picture.Height();
    const int left = picture.GetPixel(10, h / 2).a;
    const int right = picture.GetPixel(w - 11, h / 2).a;
    const int top = picture.GetPixel(w / 2, 4).a;
    const int bottom = picture.GetPixel(w / 2, h - 5).a;
    if (c.kind == TShadowGradient::FromLeft || c.kind == TShadowGradient::FromRight) {
      EXPECT_EQ(left < right, c.leftLower);
    } else if (c.kind == TShadowGradient::FromTop || c.kind == TShadowGradient::FromBottom) {
      EXPECT_EQ(top < bottom, c.topLower);
    } else {
      EXPECT_LT(picture.GetPixel(10, 4).a, picture.GetPixel(w - 11, h - 5).a);
    }
    for (int x = 0; x < w; ++x)
      ASSERT_LE(picture.GetPixel(x, h / 2).a, 127) << "opacity 50 % caps alpha at 127";
  }
  p.Gradient = 8;
  p.GradientStartAlpha = 255;
  p.GradientEndAlpha = 0;
  const TBitmap plain = ProduceShadowPicture(ComposeShadowName(p), {});
  EXPECT_EQ(plain.GetPixel(plain.Width() / 2, plain.Height() / 2).a, 127);
}

TEST(ShadowPictures, PictureShadowTakesTheSourceAtItsLevelAndReducesLargeOnes) {
  TPictureShelf shelf;
  shelf.Add("photo.jpg", OpaqueBitmap(80, 40));
  TShadowNameParams p = SampleParams();
  p.Source = "photo.jpg";
  p.Width = 40;
  p.Height = 20;
  p.BorderX = p.BorderY = 5;
  p.BlurSize = 1;
  p.ContourIndex = 0;
  p.Opacity = 100;
  p.MipLevel = 1;
  const TBitmap picture = ProduceShadowPicture(ComposeShadowName(p), shelf.Getter());
  EXPECT_EQ(shelf.Requests, 1);
  // sigma 2, border 5 on top of the bordered 50 x 30.
  EXPECT_EQ(picture.Width(), 60);
  EXPECT_EQ(picture.Height(), 40);
  EXPECT_EQ(picture.GetPixel(30, 20), (TBgra{10, 20, 30, 255}));
  EXPECT_EQ(picture.GetPixel(0, 0).a, 0);

  // 2000 x 1000 is halved once (k = 2): 1000 x 500, sigma (7 + 1) / 2 = 4.
  shelf.Add("big.jpg", OpaqueBitmap(2000, 1000));
  p.Source = "big.jpg";
  p.Width = 2000;
  p.Height = 1000;
  p.BorderX = p.BorderY = 0;
  p.BlurSize = 7;
  p.MipLevel = 0;
  const TBitmap reduced = ProduceShadowPicture(ComposeShadowName(p), shelf.Getter());
  EXPECT_EQ(reduced.Width(), 1020);
  EXPECT_EQ(reduced.Height(), 520);
  EXPECT_EQ(reduced.GetPixel(510, 260).a, 255);

  const TRefPtr<TBitmapStore> store = OpenShadowPicture(ComposeShadowName(p), shelf.Getter());
  EXPECT_EQ(store->FileName(), ComposeShadowName(p));
  EXPECT_EQ(store->Width(), 1020);
}

TEST(ShadowPictures, BadRequestsFailWithAClearError) {
  TPictureShelf shelf;
  shelf.Add("a.bmp", OpaqueBitmap(4, 4));
  TShadowNameParams p = ShapeParams(10, 10, 2);
  const auto fails = [&shelf](const TShadowNameParams& params) {
    return ErrorOf([&] { ProduceShadowPicture(ComposeShadowName(params), shelf.Getter()); });
  };
  TShadowNameParams missing = p;
  missing.Source = "gone.bmp";
  EXPECT_EQ(fails(missing), "Shadow source picture not found: gone.bmp");
  TShadowNameParams empty = ShapeParams(0, 0, 0);
  EXPECT_EQ(fails(empty), "Source bitmap too small");
  TShadowNameParams negative = p;
  negative.Width = -5;
  EXPECT_NE(fails(negative).find("negative size"), std::string::npos);
  TShadowNameParams deep = p;
  deep.MipLevel = 99;
  EXPECT_NE(fails(deep).find("mip level"), std::string::npos);
  TShadowNameParams huge = p;
  huge.BlurSize = 1e12;
  EXPECT_NE(fails(huge).find("too large"), std::string::npos);
  // A hostile size is reduced, not allocated.
  TShadowNameParams wide = p;
  wide.Width = 2147483647;
  wide.Height = 1;
  EXPECT_EQ(fails(wide), "Source bitmap too small");
  // A rectangle outside the source picture leaves only the base fill.
  TShadowNameParams outside = p;
  outside.Source = "a.bmp";
  outside.Left = 50;
  EXPECT_EQ(ProduceShadowPicture(ComposeShadowName(outside), shelf.Getter()).GetPixel(8, 8).a, 0);
}

TEST(ShadowPictures, MangledNamesNeverCrash) {
  TPictureShelf shelf;
  shelf.Add("a.bmp", OpaqueBitmap(30, 20));
  TShadowNameParams p = ShapeParams(30, 20, 4);
  p.Source = "a.bmp";
  const std::string name = ComposeShadowName(p);
  const std::string alphabet = "0123456789:-.,e9N\\A ";
  std::mt19937 random(7);
  for (int i = 0; i < 150; ++i) {
    std::string mangled = name;
    for (int edits = 1 + static_cast<int>(random() % 4); edits > 0; --edits)
      mangled[kShadowNamePrefix.size() + random() % (mangled.size() - kShadowNamePrefix.size())] =
          alphabet[random() % alphabet.size()];
    try {
      const TBitmap picture = ProduceShadowPicture(mangled, shelf.Getter());
      EXPECT_LE(int64_t{picture.Width()} * picture.Height(), int64_t{16384} * 16384) << mangled;
    } catch (const EQxError&) {
    }
  }
}

TEST(ShadowPictures, HugeRectanglesFarOutsideTheSourceStayWithinRange) {
  // A rectangle of 2^31 - 1 pixels starting far to the left of its source:
  // the source's offset inside the borders passes the int range before it
  // is reduced (k = 2^18), and sigma 1 / k makes the blur's small mask size
  // pass it too. The picture is made all the same.
  TPictureShelf shelf;
  shelf.Add("pic", OpaqueBitmap(37, 23));
  TShadowNameParams p;
  p.Left = -2147483598;
  p.Width = 2147483647;
  p.Height = 262144;
  p.BorderX = 50;
  p.Opacity = 50;
  p.Source = "pic";
  const TBitmap picture = ProduceShadowPicture(ComposeShadowName(p), shelf.Getter());
  EXPECT_GE(picture.Width(), 8192);
  EXPECT_GE(picture.Height(), 1);
}

TEST(ShadowPictures, CancelRaisesEAbort) {
  const TShadowNameParams p = ShapeParams(60, 40, 10);
  EXPECT_THROW(ProduceShadowPicture(ComposeShadowName(p), {}, [] { return true; }), EAbort);
}

} // namespace
} // namespace qx
