#include "VmoLib2/VmoViewer/qxVmoFrameWriter.h"

#include "QxLib/qxExceptions.h"
#include "Tests/TestSupport/qxPngTestSupport.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using test::TScratchFolder;

TBitmap Frame(int k) {
  TBitmap frame(24, 8, TPixelFormat::Bgra32);
  frame.Fill(TBgra{static_cast<uint8_t>(k * 9), static_cast<uint8_t>(255 - k), static_cast<uint8_t>(k * 3), 255});
  frame.SetPixel(k % 24, k % 8, TBgra{1, 2, 3, 255});
  return frame;
}

TEST(FrameWriter, EveryFrameOfManyThreadsLandsInItsOwnFile) {
  const TScratchFolder folder;
  constexpr int kFrames = 25;
  {
    TFrameWriter writer(3);
    for (int k = 0; k < kFrames; ++k) {
      // The writer gets views of frames the caller then drops, as the
      // renderer hands it its screen.
      const TBitmap frame = Frame(k);
      writer.Write(frame.CropView(0, 0, frame.Width(), frame.Height()), folder.Path() + std::to_string(k) + ".png");
    }
    writer.Finish();
    for (int k = 0; k < kFrames; ++k) {
      const TBitmap written = test::LoadPngFile(folder.Path() + std::to_string(k) + ".png");
      EXPECT_TRUE(written.SamePixels(Frame(k))) << k;
    }
  }
}

TEST(FrameWriter, AFailedWriteIsRaisedByALaterCall) {
  const TScratchFolder folder;
  TFrameWriter writer(2);
  writer.Write(Frame(1), folder.Path() + "missing/1.png");
  bool raised = false;
  try {
    for (int k = 0; k < 20; ++k)
      writer.Write(Frame(k), folder.Path() + std::to_string(k) + ".png");
    writer.Finish();
  } catch (const EQxError&) {
    raised = true;
  }
  EXPECT_TRUE(raised);
}

} // namespace
} // namespace qx
