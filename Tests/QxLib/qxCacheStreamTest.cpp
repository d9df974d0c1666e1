#include "QxLib/qxCacheStream.h"

#include "QxLib/qxExceptions.h"
#include "QxLib/qxStreamUtils.h"
#include "Tests/QxLib/qxTestStreams.h"

#include <gtest/gtest.h>

namespace qx {

using test::Pattern;
using test::TProbeStream;

TEST(CacheStream, PullsWholeStepsOnlyAsFarAsAsked) {
  TProbeStream source(Pattern(10000));
  TCacheStream cache(source);
  EXPECT_EQ(cache.GetSize(), 10000);
  EXPECT_EQ(cache.Pulled(), 0);
  cache.SetPosition(5000);
  EXPECT_EQ(cache.Pulled(), 8192);
  EXPECT_EQ(cache.ReadUInt16(), static_cast<uint16_t>((5000 % 251) | ((5001 % 251) << 8)));
  cache.SetPosition(100);
  EXPECT_EQ(cache.ReadByte(), 100);
  EXPECT_EQ(source.reads.size(), 2u) << "jumping back must not read again";
}

TEST(CacheStream, ReadsAreClampedAndBeyondTheSizeAborts) {
  TProbeStream source(Pattern(10000));
  TPartialStream window(source, 500, 5000);
  TCacheStream cache(window);
  cache.SetPosition(4996);
  char bytes[10];
  EXPECT_EQ(cache.Read(bytes, 10), 4);
  EXPECT_EQ(std::string(bytes, 4), Pattern(10000).substr(5496, 4));
  EXPECT_NO_THROW(cache.SetPosition(5000));
  EXPECT_EQ(cache.Read(bytes, 10), 0);
  EXPECT_THROW(cache.SetPosition(5001), EAbort);
  EXPECT_EQ(cache.Write("x", 1), 0);
}

TEST(CacheStream, SourceShorterThanItClaimsIsAReadError) {
  TProbeStream source(Pattern(5000));
  source.claimedSize = 9000;
  TCacheStream cache(source);
  cache.SetPosition(4096);
  EXPECT_THROW(cache.SetPosition(8000), EStreamReadError);
}

} // namespace qx
