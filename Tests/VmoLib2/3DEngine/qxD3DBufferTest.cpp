#include "VmoLib2/3DEngine/qxD3DBuffer.h"
#include "VmoLib2/3DEngine/qxTextureStore2.h"

#include <gtest/gtest.h>

namespace qx {
namespace {

using Pieces = std::vector<int>;

TEST(D3DBufferSplit, FullHdSidesTakeTheLargestPiecesAndMergeTheRest) {
  EXPECT_EQ(TD3DBuffer::SplitSide(1920, 8192), (Pieces{1024, 1024}));
  EXPECT_EQ(TD3DBuffer::SplitSide(1080, 8192), (Pieces{1024, 256}));
  EXPECT_EQ(TD3DBuffer::SplitSide(768, 8192), (Pieces{512, 256}));
}

TEST(D3DBufferSplit, ShortRestTakesASmallestPiece) {
  EXPECT_EQ(TD3DBuffer::SplitSide(1, 8192), (Pieces{256}));
  EXPECT_EQ(TD3DBuffer::SplitSide(300, 8192), (Pieces{512}));
  EXPECT_EQ(TD3DBuffer::SplitSide(1300, 8192), (Pieces{1024, 512}));
  EXPECT_EQ(TD3DBuffer::SplitSide(0, 8192), Pieces{});
}

TEST(D3DBufferSplit, PiecesStayWithinTheDevicesLargestTexture) {
  EXPECT_EQ(TD3DBuffer::SplitSide(1920, 512), (Pieces{512, 512, 512, 512}));
  EXPECT_EQ(TD3DBuffer::SplitSide(600, 256), (Pieces{256, 256, 256}));
}

TEST(D3DBufferSplit, PiecesCoverTheWholeSide) {
  for (int length = 1; length < 5000; length += 37) {
    int covered = 0;
    for (const int piece : TD3DBuffer::SplitSide(length, 1024)) {
      covered += piece;
    }
    EXPECT_GE(covered, length);
    EXPECT_LT(covered - length, 256) << length;
  }
}

TEST(TextureStoreKey, NamesThePictureTheLevelAndTheGrid) {
  EXPECT_EQ(TTextureStore2::MultiTexKey(17, 2, 1, 1), "MultiTexID: 17:2:65537");
  EXPECT_EQ(TTextureStore2::MultiTexKey(17, 0, 3, 2), "MultiTexID: 17:0:196610");
  EXPECT_NE(TTextureStore2::MultiTexKey(17, 0, 2, 3), TTextureStore2::MultiTexKey(17, 0, 3, 2));
}

} // namespace
} // namespace qx
