#include "QxLib/Graphics/qxImageLib.h"

#include "QxLib/qxProcess.h"
#include "QxLib/Graphics/qxBmpReader.h"
#include "QxLib/Graphics/qxGfxWriter.h"
#include "QxLib/Graphics/qxStandardLoaders.h"
#include "Tests/QxLib/Graphics/PictureTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>

namespace qx {

namespace {

const std::string kLibraryPath = std::string(VMO_BINARY_DIR) + "/Common/libqxPngLib.so";

// A PNG made by libpng from raw rows in the given colour type and depth.
struct TPngPicture {
  int Width = 0;
  int Height = 0;
  int ColorType = PNG_COLOR_TYPE_RGB;
  int BitDepth = 8;
  bool Interlaced = false;
  std::vector<png_color> Palette;
  std::vector<png_byte> Transparency; // tRNS alpha per palette entry
  std::vector<std::string> Rows;      // raw row bytes as libpng takes them
};

void AppendData(png_structp png, png_bytep data, size_t length) {
  static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<const char*>(data), length);
}

std::string EncodePng(const TPngPicture& layout) {
  std::string out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, AppendData, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(layout.Width), static_cast<png_uint_32>(layout.Height),
               layout.BitDepth, layout.ColorType, layout.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!layout.Palette.empty())
    png_set_PLTE(png, info, layout.Palette.data(), static_cast<int>(layout.Palette.size()));
  if (!layout.Transparency.empty())
    png_set_tRNS(png, info, layout.Transparency.data(), static_cast<int>(layout.Transparency.size()), nullptr);
  png_write_info(png, info);
  std::vector<png_bytep> rows;
  for (const std::string& row : layout.Rows)
    rows.push_back(reinterpret_cast<png_bytep>(const_cast<char*>(row.data())));
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// A registry with the built-in loaders followed by the picture library.
TImageLoaderRegistry RegistryWithLibrary(const std::string& path = kLibraryPath) {
  TImageLoaderRegistry registry;
  RegisterStandardLoaders(registry);
  RegisterPictureLibrary(registry, path);
  return registry;
}

std::shared_ptr<const TBitmap> Level0(const TImageLoaderRegistry& registry, const std::string& bytes,
                                      const std::string& name) {
  auto image = registry.Open(test::StreamOf(bytes), name);
  if (!image)
    return nullptr;
  return image->Store().GetMipLevel(0);
}

// 3 x 2 RGB: row 0 red, green, blue; row 1 white, black, grey 128.
TPngPicture RgbPicture() {
  TPngPicture layout;
  layout.Width = 3;
  layout.Height = 2;
  layout.Rows = {std::string("\xFF\x00\x00\x00\xFF\x00\x00\x00\xFF", 9),
                 std::string("\xFF\xFF\xFF\x00\x00\x00\x80\x80\x80", 9)};
  return layout;
}

} // namespace

TEST(PictureLibrary, LoadsAndFindsItsFourFunctions) {
  std::string error;
  const auto library = TPictureLibrary::Load(kLibraryPath, &error);
  ASSERT_NE(library, nullptr) << error;
  EXPECT_NE(library->OpenImage, nullptr);
  EXPECT_NE(library->OpenImageFile, nullptr);
  EXPECT_NE(library->ReadImage, nullptr);
  EXPECT_NE(library->CloseImage, nullptr);

  EXPECT_EQ(TPictureLibrary::Load("/nonexistent/libqxPngLib.so", &error), nullptr);
  // A real library that lacks the functions is released again.
  EXPECT_EQ(TPictureLibrary::Load("libz.so.1", &error), nullptr);
  EXPECT_NE(error.find("lacks"), std::string::npos) << error;
}

TEST(PictureLibrary, DecodesEveryColourTypeIntoBgrOrBgraRows) {
  const TImageLoaderRegistry registry = RegistryWithLibrary();
  const auto rgb = Level0(registry, EncodePng(RgbPicture()), "a.png");
  ASSERT_TRUE(rgb);
  EXPECT_EQ(rgb->Format(), TPixelFormat::Bgr24);
  EXPECT_EQ(rgb->GetPixel(0, 0), (TBgra{0, 0, 255, 255}));
  EXPECT_EQ(rgb->GetPixel(2, 0), (TBgra{255, 0, 0, 255}));
  EXPECT_EQ(rgb->GetPixel(2, 1), (TBgra{128, 128, 128, 255}));

  TPngPicture rgba;
  rgba.Width = 2;
  rgba.Height = 1;
  rgba.ColorType = PNG_COLOR_TYPE_RGBA;
  rgba.Rows = {std::string("\x10\x20\x30\x40\x50\x60\x70\x80", 8)};
  const auto alpha = Level0(registry, EncodePng(rgba), "a.png");
  ASSERT_TRUE(alpha);
  EXPECT_EQ(alpha->Format(), TPixelFormat::Bgra32);
  EXPECT_EQ(alpha->GetPixel(1, 0), (TBgra{0x70, 0x60, 0x50, 0x80}));

  TPngPicture palette;
  palette.Width = 4;
  palette.Height = 1;
  palette.ColorType = PNG_COLOR_TYPE_PALETTE;
  palette.BitDepth = 2;
  palette.Palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
  palette.Transparency = {255, 0};
  palette.Rows = {std::string(1, static_cast<char>(0b00011011))}; // indexes 0, 1, 2, 3
  const auto paletted = Level0(registry, EncodePng(palette), "a.png");
  ASSERT_TRUE(paletted);
  EXPECT_EQ(paletted->Format(), TPixelFormat::Bgra32) << "tRNS gives alpha";
  EXPECT_EQ(paletted->GetPixel(0, 0), (TBgra{0, 0, 255, 255}));
  EXPECT_EQ(paletted->GetPixel(1, 0).a, 0);
  EXPECT_EQ(paletted->GetPixel(3, 0), (TBgra{7, 8, 9, 255}));

  TPngPicture grey;
  grey.Width = 2;
  grey.Height = 1;
  grey.ColorType = PNG_COLOR_TYPE_GRAY;
  grey.BitDepth = 16;
  grey.Rows = {std::string("\x12\x34\xFF\xFF", 4)};
  const auto grey16 = Level0(registry, EncodePng(grey), "a.png");
  ASSERT_TRUE(grey16);
  EXPECT_EQ(grey16->Format(), TPixelFormat::Bgr24);
  EXPECT_EQ(grey16->GetPixel(0, 0), (TBgra{0x12, 0x12, 0x12, 255}));
  EXPECT_EQ(grey16->GetPixel(1, 0), (TBgra{255, 255, 255, 255}));
}

TEST(PictureLibrary, InterlacedPicturesMatchPlainOnes) {
  TPngPicture layout;
  layout.Width = 13;
  layout.Height = 11;
  for (int y = 0; y < layout.Height; ++y) {
    std::string row;
    for (int x = 0; x < layout.Width; ++x)
      row += {static_cast<char>(x * 19), static_cast<char>(y * 23), static_cast<char>(x * y)};
    layout.Rows.push_back(row);
  }
  const TImageLoaderRegistry registry = RegistryWithLibrary();
  const auto plain = Level0(registry, EncodePng(layout), "a.png");
  layout.Interlaced = true;
  const auto interlaced = Level0(registry, EncodePng(layout), "a.png");
  ASSERT_TRUE(plain && interlaced);
  EXPECT_TRUE(plain->SamePixels(*interlaced));
  EXPECT_EQ(interlaced->GetPixel(12, 10), (TBgra{120, 230, static_cast<uint8_t>(12 * 19), 255}));
}

TEST(PictureLibrary, RegistryOrderAndNamesDecideWhoOpensThePicture) {
  const TImageLoaderRegistry registry = RegistryWithLibrary();
  const std::string png = EncodePng(RgbPicture());
  auto underBmp = registry.Open(test::StreamOf(png), "button.bmp");
  ASSERT_TRUE(underBmp) << "a PNG under a .bmp name goes to the .png loaders";
  EXPECT_STREQ(underBmp->Store().ClassName(), "TImageLibStore");

  const std::string container =
      WriteQxGfx("button.png", 3, 2, 100, WriteBmp(test::MakePattern(3, 2, TPixelFormat::Bgr24)));
  auto converted = registry.Open(test::StreamOf(container), "button.png");
  ASSERT_TRUE(converted);
  EXPECT_STREQ(converted->Store().ClassName(), "TGfxBitmapStore") << "the container loader comes first";

  EXPECT_FALSE(registry.Open(test::StreamOf(png), "photo.jpg")) << "the library serves only its extensions";

  TImageLoaderRegistry missing;
  RegisterPictureLibrary(missing, "/nonexistent/libqxPngLib.so");
  EXPECT_FALSE(missing.Open(test::StreamOf(png), "a.png"));
}

TEST(PictureLibrary, BorrowedStreamMayGoBeforeThePixelsAreRead) {
  const TImageLoaderRegistry registry = RegistryWithLibrary();
  std::optional<TImage> image;
  {
    auto stream = test::StreamOf("prefix" + EncodePng(RgbPicture()));
    stream->SetPosition(6);
    image = registry.Open(*stream, "a.png");
    ASSERT_TRUE(image);
    EXPECT_EQ(stream->GetPosition(), 6);
  }
  EXPECT_EQ(image->Params().Width, 3);
  EXPECT_EQ(image->Store().GetMipLevel(0)->GetPixel(1, 0), (TBgra{0, 255, 0, 255}));
  EXPECT_EQ(image->Store().GetMipLevel(1)->Width(), 2) << "further levels are halved from level 0";
}

TEST(PictureLibrary, DamagedPicturesFailCleanly) {
  const test::TMutedDebugOutput muted;
  const TImageLoaderRegistry registry = RegistryWithLibrary();
  TPngPicture layout = RgbPicture();
  layout.Height = 40;
  layout.Rows.resize(40, layout.Rows[0]);
  const std::string png = EncodePng(layout);
  for (int eighth = 0; eighth < 8; ++eighth) {
    auto image = registry.Open(test::StreamOf(png.substr(0, png.size() * eighth / 8)), "a.png");
    if (!image)
      continue;
    // A cut that leaves every row (only the end chunk is gone) still reads.
    try {
      EXPECT_EQ(image->Store().GetMipLevel(0)->Height(), 40);
      EXPECT_GE(eighth, 6) << "the rows cannot all be there";
    } catch (const EQxError&) {
    }
  }
  std::string bad = png;
  for (size_t i = 40; i < bad.size(); i += 7)
    bad[i] = static_cast<char>(bad[i] ^ 0x5A);
  if (auto image = registry.Open(test::StreamOf(bad), "a.png")) {
    EXPECT_THROW(image->Store().GetMipLevel(0), EQxError);
  }

  // A header promising 100000 x 100000 pixels is refused before any rows.
  TPngPicture huge = RgbPicture();
  std::string big = EncodePng(huge);
  const uint8_t side[4] = {0x00, 0x01, 0x86, 0xA0};
  big.replace(16, 4, reinterpret_cast<const char*>(side), 4);
  big.replace(20, 4, reinterpret_cast<const char*>(side), 4);
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(big.data() + 12), 17);
  for (int i = 0; i < 4; ++i)
    big[29 + static_cast<size_t>(i)] = static_cast<char>(crc >> (24 - 8 * i));
  EXPECT_FALSE(registry.Open(test::StreamOf(big), "a.png"));
}

TEST(PictureLibrary, FoundInCommonAboveOrBesideTheProgram) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("qxPngLibFind" + std::to_string(CurrentProcessId()));
  fs::remove_all(root);
  fs::create_directories(root / "Player");
  fs::create_directories(root / "Common");
  const std::string program = (root / "Player" / "vmoplayer").string();
  EXPECT_EQ(FindPictureLibrary(program), "");
  std::ofstream(root / "Player" / "qxPngLib.so") << "x";
  EXPECT_EQ(FindPictureLibrary(program), (root / "Player" / "qxPngLib.so").string());
  std::ofstream(root / "Common" / "libqxPngLib.so") << "x";
  EXPECT_EQ(FindPictureLibrary(program), (root / "Common" / "libqxPngLib.so").string());
  fs::remove_all(root);

  // The test program itself sits one folder below the built library.
  const std::string found = FindPictureLibrary(std::string(VMO_BINARY_DIR) + "/Tests/qxlib_tests");
  EXPECT_EQ(fs::path(found), fs::path(kLibraryPath).lexically_normal());
}

TEST(PictureLibrary, OpensDiskFilesByName) {
  const auto library = TPictureLibrary::Load(kLibraryPath);
  ASSERT_TRUE(library);
  const std::string path = (std::filesystem::temp_directory_path() / "qxPngLibOpenFile.png").string();
  std::ofstream(path, std::ios::binary) << EncodePng(RgbPicture());
  QxImageDescriptor image{};
  ASSERT_EQ(library->OpenImageFile(&image, path.c_str()), 1);
  EXPECT_EQ(image.Width, 3);
  EXPECT_EQ(image.Height, 2);
  EXPECT_EQ(image.BitsPerPixel, 24);
  std::vector<uint8_t> pixels(3 * 3 * 2);
  uint8_t* rows[2] = {pixels.data(), pixels.data() + 9};
  EXPECT_EQ(library->ReadImage(&image, rows), 1);
  EXPECT_EQ(pixels[9 + 6], 0x80);
  library->CloseImage(&image);
  EXPECT_EQ(library->OpenImageFile(&image, "/nonexistent.png"), 0);
  std::filesystem::remove(path);
}

} // namespace qx
