#include "VmoLib2/VmoClasses/qxKeyPointsLoader.h"

#include "QxLib/qxIniStorage.h"

#include <gtest/gtest.h>

#include <numbers>

namespace qx {

namespace {

class KeyPointsLoader : public testing::Test {
protected:
  // Loads the project text and returns the first object of section slide1.
  const TIniObject& Object(std::string_view text) {
    EXPECT_TRUE(m_storage.LoadFromString(text));
    const TIniSection* section = m_storage.FindSection("slide1");
    EXPECT_NE(section, nullptr);
    const TIniObject* object = section ? section->FirstObject() : nullptr;
    EXPECT_NE(object, nullptr);
    return *object;
  }

  TIniStorage m_storage;
  TFixedAnchors m_anchors{{1000, 1500, 5000, 5800}};
  TKeyPoints m_list{m_anchors};
};

} // namespace

TEST_F(KeyPointsLoader, ReadsKeyPointBlocksInDegreesAndPercent) {
  const TIniObject& object = Object("[slide1]\r\n"
                                    "object Pic:image\r\n"
                                    "  PerspectiveCorrection=1\r\n"
                                    "  object k2:KeyPoint\r\n"
                                    "    Time=-200\r\n"
                                    "    Origin=slideend\r\n"
                                    "    Angle=90\r\n"
                                    "    AngleY=-45\r\n"
                                    "    ScaleX=0\r\n"
                                    "    ScaleY=250\r\n"
                                    "    Position=12.5,-30\r\n"
                                    "    CenterPos=100,100\r\n"
                                    "    ZPos=40\r\n"
                                    "    Blur=3\r\n"
                                    "    Opacity=55\r\n"
                                    "  end\r\n"
                                    "  object k1:keypoint\r\n"
                                    "    Origin=Nowhere\r\n"
                                    "  end\r\n"
                                    "  object child:text\r\n"
                                    "    object k9:keypoint\r\n"
                                    "    end\r\n"
                                    "  end\r\n"
                                    "end\r\n");
  LoadObjectKeyPoints(object, m_list);
  EXPECT_TRUE(m_list.PerspectiveCorrection());
  ASSERT_EQ(m_list.Count(), 2); // the child's key point is the child's own

  const TKeyPoint& first = m_list.KeyPoint(0);
  EXPECT_EQ(first.Origin(), TKeyOrigin::SlideBegin); // unknown word: the default
  EXPECT_EQ(first.Values().Opacity, 100);
  EXPECT_EQ(first.Values().ScaleX, 100);

  const TKeyPoint& last = m_list.KeyPoint(1);
  EXPECT_EQ(last.Origin(), TKeyOrigin::SlideEnd);
  EXPECT_EQ(m_list.AbsoluteTime(1), 5600);
  const TKeyValues& v = last.Values();
  EXPECT_FLOAT_EQ(v.Angle, std::numbers::pi_v<float> / 2);
  EXPECT_FLOAT_EQ(v.AngleY, -std::numbers::pi_v<float> / 4);
  EXPECT_EQ(v.ScaleX, TKeyPoint::kMinScale);
  EXPECT_EQ(v.ScaleY, 250);
  EXPECT_EQ(v.Position.X, 12.5f);
  EXPECT_EQ(v.Position.Y, -30);
  EXPECT_EQ(v.CenterPos.X, 100);
  EXPECT_EQ(v.ZPos, 40);
  EXPECT_EQ(v.Blur, 3);
  EXPECT_EQ(v.Opacity, 55);
}

TEST_F(KeyPointsLoader, SpeedKeysDefaultToOneLinearIntervalAndFallBackWhenUnreadable) {
  const TIniObject& object = Object("[slide1]\r\n"
                                    "object Pic:image\r\n"
                                    "  ZoomSpeed=3;0;1000;2000;1;0;2;0.5;0.5;0;1;\r\n"
                                    "  PanSpeed=3;0;1000\r\n"
                                    "  object a:keypoint\r\n"
                                    "    Time=0\r\n"
                                    "  end\r\n"
                                    "  object b:keypoint\r\n"
                                    "    Time=1000\r\n"
                                    "  end\r\n"
                                    "  object c:keypoint\r\n"
                                    "    Time=2000\r\n"
                                    "  end\r\n"
                                    "end\r\n");
  LoadObjectKeyPoints(object, m_list);
  EXPECT_FALSE(m_list.PerspectiveCorrection());
  EXPECT_EQ(m_list.RotateStore().SaveToText(), "3;1000;2000;3000;1;0;2;0;1;0;1;");
  EXPECT_EQ(m_list.PanStore().KeyTimes(), std::vector<int32_t>{0});
  EXPECT_TRUE(m_list.PanStore().Intervals().empty());
  ASSERT_EQ(m_list.ZoomStore().Intervals().size(), 1u);
  EXPECT_TRUE(m_list.ZoomStore().Intervals()[0].Smooths());
}

} // namespace qx
