#include "QxLib/Graphics/qxImage.h"

#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxGfxContainer.h"
#include "QxLib/Graphics/qxGfxWriter.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>

namespace qx {

namespace {

// A memory stream that reports its destruction.
class TWatchedStream : public TMemoryStream {
public:
  explicit TWatchedStream(bool& destroyed) : m_destroyed(destroyed) {}
  ~TWatchedStream() override { m_destroyed = true; }

private:
  bool& m_destroyed;
};

TRefPtr<TBitmapStore> OnePixelStore(const std::string& name) {
  return MakeRef<TWrapperBitmapStore>(name, std::make_unique<TBitmap>(1, 1, TPixelFormat::Bgr24));
}

// A loader that logs its tag, reads a byte (moving the position) and
// succeeds only when told to.
TLoaderFunction Probe(std::string& log, char tag, bool succeed) {
  return [&log, tag, succeed](TStream& stream, const std::string& name, std::unique_ptr<TStream>&,
                              const TProgressCallback&) -> TRefPtr<TBitmapStore> {
    log += tag;
    log += std::to_string(stream.GetPosition());
    uint8_t byte;
    stream.Read(&byte, 1);
    return succeed ? OnePixelStore(name) : nullptr;
  };
}

const std::string kPngSignature("\x89PNG\r\n\x1a\n", 8);

} // namespace

TEST(ImageLoaders, ExtensionsAreNormalised) {
  EXPECT_EQ(NormalizeExtension("jpg"), ".jpg");
  EXPECT_EQ(NormalizeExtension("*.jpg"), ".jpg");
  EXPECT_EQ(NormalizeExtension(".jpg"), ".jpg");
  EXPECT_EQ(NormalizeExtension(" \t*jpg"), ".jpg");
  EXPECT_EQ(NormalizeExtension("**jpg"), ".*jpg");
  EXPECT_EQ(FileExtension("a.b\\c.d/e.JPEG"), ".JPEG");
  EXPECT_EQ(FileExtension("folder.x/name"), "");
}

TEST(ImageLoaders, TriesMatchingLoadersInOrderFromTheSamePosition) {
  std::string log;
  TImageLoaderRegistry registry;
  registry.Register(Probe(log, 'a', false), {"jpg", "bmp"});
  registry.Register(Probe(log, 'b', false), {"*.gif"});
  registry.Register(Probe(log, 'c', false), {".JPG"});
  registry.Register(Probe(log, 'd', true), {".jpg"});
  registry.Register(Probe(log, 'e', true), {".jpg"});
  auto stream = test::StreamOf("0123456789");
  stream->SetPosition(4);
  const auto image = registry.Open(*stream, "x/Photo.jpg");
  ASSERT_TRUE(image);
  EXPECT_EQ(log, "a4c4d4");
  EXPECT_EQ(image->Params().FileName, "x/Photo.jpg");
  EXPECT_EQ(image->Params().Width, 1);

  log.clear();
  stream->SetPosition(2);
  EXPECT_TRUE(registry.Open(*stream, ""));
  EXPECT_EQ(log, "a2b2c2d2");
  log.clear();
  EXPECT_FALSE(registry.Open(*stream, "photo.tif"));
  EXPECT_EQ(log, "");
}

TEST(ImageLoaders, PngSignatureUnderBmpNameGoesToPngLoaders) {
  std::string log;
  TImageLoaderRegistry registry;
  registry.Register(Probe(log, 'b', false), {".bmp"});
  registry.Register(Probe(log, 'p', true), {".png"});
  auto stream = test::StreamOf(kPngSignature + "rest");
  EXPECT_TRUE(registry.Open(*stream, "button.bmp"));
  EXPECT_EQ(log, "p0");
  log.clear();
  auto bmp = test::StreamOf("BM" + kPngSignature);
  EXPECT_FALSE(registry.Open(*bmp, "button.bmp"));
  EXPECT_EQ(log, "b0");
}

TEST(ImageLoaders, HandedOverStreamIsFreedUnlessKept) {
  TImageLoaderRegistry registry;
  std::string log;
  registry.Register(Probe(log, 'a', false), {".bmp"});
  bool destroyed = false;
  auto stream = std::make_unique<TWatchedStream>(destroyed);
  EXPECT_FALSE(registry.Open(std::move(stream), "none.bmp"));
  EXPECT_TRUE(destroyed);

  // A loader that keeps the stream takes it out of the caller's hands.
  TStream* kept = nullptr;
  std::unique_ptr<TStream> keeper;
  registry.Register(
      [&](TStream&, const std::string& name, std::unique_ptr<TStream>& owned, const TProgressCallback&) {
        kept = owned.get();
        keeper = std::move(owned);
        return OnePixelStore(name);
      },
      {".bmp"});
  destroyed = false;
  auto second = std::make_unique<TWatchedStream>(destroyed);
  TStream* raw = second.get();
  EXPECT_TRUE(registry.Open(std::move(second), "kept.bmp"));
  EXPECT_FALSE(destroyed);
  EXPECT_EQ(kept, raw);
}

TEST(ImageLoaders, LoaderThatRaisesCountsAsRejection) {
  test::TMutedDebugOutput muted;
  TImageLoaderRegistry registry;
  std::string log;
  registry.Register(
      [](TStream& s, const std::string&, std::unique_ptr<TStream>&, const TProgressCallback&) -> TRefPtr<TBitmapStore> {
        s.SetPosition(5);
        throw EQxError("broken");
      },
      {".bmp"});
  registry.Register(Probe(log, 'n', true), {".bmp"});
  auto stream = test::StreamOf("0123456789");
  EXPECT_TRUE(registry.Open(*stream, "a.bmp"));
  EXPECT_EQ(log, "n0");
}

TEST(GfxContainer, RoundTripsFieldsAndPixels) {
  const TBitmap pattern = test::MakePattern(7, 5, TPixelFormat::Bgra32);
  const std::string bytes = WriteQxGfx("Buttons\\ok.png", 7, 5, 12345, WriteBmp(pattern));
  auto stream = test::StreamOf(bytes);
  const auto image = ImageLoaders().Open(*stream, "ok.png");
  ASSERT_TRUE(image);
  auto* store = dynamic_cast<TGfxBitmapStore*>(&image->Store());
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->SourceName(), "Buttons\\ok.png");
  EXPECT_EQ(store->OriginalSize(), 12345);
  EXPECT_EQ(image->Params().Width, 7);
  EXPECT_EQ(image->Params().Format, TPixelFormat::Bgra32);
  EXPECT_TRUE(store->GetMipLevel(0)->SamePixels(pattern));
  EXPECT_EQ(store->GetMipLevel(1)->Width(), 4); // halved: the container serves level 0 only

  const TBitmap opaque = test::MakePattern(3, 3, TPixelFormat::Bgr24);
  auto second = test::StreamOf(WriteQxGfx("a.bmp", 3, 3, 1, WriteBmp(opaque)));
  const auto image2 = ImageLoaders().Open(*second, "a.qxgfx");
  ASSERT_TRUE(image2);
  EXPECT_EQ(image2->Store().GetMipLevel(0)->GetPixel(2, 1), opaque.GetPixel(2, 1));
}

TEST(GfxContainer, DamagedPayloadShowsOpaqueGreen) {
  test::TMutedDebugOutput muted;
  std::string bytes = WriteQxGfx("x.png", 4, 3, 0, WriteBmp(test::MakePattern(4, 3, TPixelFormat::Bgra32)));
  std::string damaged = bytes;
  for (size_t i = damaged.size() - 20; i < damaged.size(); ++i)
    damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
  // Payload of another size than declared is no better.
  const std::string wrongSize = WriteQxGfx("x.png", 4, 3, 0, WriteBmp(test::MakePattern(2, 2, TPixelFormat::Bgr24)));
  for (const std::string& file : {damaged, bytes.substr(0, bytes.size() - 10), wrongSize}) {
    auto stream = test::StreamOf(file);
    const auto image = ImageLoaders().Open(*stream, "x.qxgfx");
    ASSERT_TRUE(image);
    const auto level = image->Store().GetMipLevel(0);
    ASSERT_EQ(level->Width(), 4);
    ASSERT_EQ(level->Height(), 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x)
        EXPECT_EQ(level->GetPixel(x, y), (TBgra{0, 255, 0, 255}));
  }
}

TEST(GfxContainer, RejectsBadFieldsAndRestoresThePosition) {
  const auto field = [](const std::string& text) { return std::string{static_cast<char>(text.size()), 0} + text; };
  const auto container = [&](std::initializer_list<std::pair<std::string, std::string>> fields) {
    std::string out = "QXGF";
    out += std::string{static_cast<char>(fields.size()), 0};
    for (const auto& [name, value] : fields)
      out += field(name) + field(value);
    return out + "payload";
  };
  const std::string good = container({{"File", "a"}, {"Width", "2"}, {"Height", "2"}, {"OriginalSize", "9"}});
  std::unique_ptr<TStream> none;
  auto accepted = test::StreamOf(good);
  EXPECT_TRUE(LoadGfxContainer(*accepted, "a.qxgfx", none, {}));

  for (const std::string& bad : {container({{"File", "a"}, {"Width", "2"}, {"Height", "2"}}),
                                 container({{"File", "a"}, {"Width", "2x"}, {"Height", "2"}, {"OriginalSize", "9"}}),
                                 container({{"File", "a"}, {"Width", ""}, {"Height", "2"}, {"OriginalSize", "9"}}),
                                 std::string("QXGX") + good.substr(4), good.substr(0, 20),
                                 container({{"File", "a"}, {"Width", "2"}, {"Height", "2"}, {"OriginalSize", "9"}})
                                     .substr(0, good.size() - 7)}) {
    auto stream = test::StreamOf("##" + bad);
    stream->SetPosition(2);
    EXPECT_FALSE(LoadGfxContainer(*stream, "a.qxgfx", none, {}));
    EXPECT_EQ(stream->GetPosition(), 2);
  }
  auto huge =
      test::StreamOf(container({{"File", "a"}, {"Width", "100000"}, {"Height", "100000"}, {"OriginalSize", "9"}}));
  EXPECT_THROW(LoadGfxContainer(*huge, "a.qxgfx", none, {}), EPictureTooLarge);
  EXPECT_EQ(huge->GetPosition(), 0);
}

TEST(GfxContainer, PngNamedContainerIsOpenedByTheContainerLoader) {
  const std::string bytes = WriteQxGfx("logo.png", 2, 2, 0, WriteBmp(test::MakePattern(2, 2, TPixelFormat::Bgra32)));
  const auto image = ImageLoaders().Open(test::StreamOf(bytes), "logo.png");
  ASSERT_TRUE(image);
  EXPECT_STREQ(image->Store().ClassName(), "TGfxBitmapStore");
}

} // namespace qx
