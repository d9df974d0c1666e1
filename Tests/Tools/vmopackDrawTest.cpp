// "vmopack draw": a picture of a package drawn through the drawer onto a
// headless screen and written as PNG.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

namespace qx {
namespace {

using test::TProgramRun;
using test::TScratchFolder;

TProgramRun Vmopack(const std::vector<std::string>& args) { return test::RunJoined(VMOPACK_PATH, args); }

// A 64 x 32 opaque PNG: left half red, right half blue.
std::string HalvesPng() {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x)
      pixels.insert(pixels.end(),
                    {static_cast<uint8_t>(x < 32 ? 255 : 0), 0, static_cast<uint8_t>(x < 32 ? 0 : 255), 255});
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = 64;
  image.height = 32;
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::string out(size, '\0');
  png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
  out.resize(size);
  return out;
}

struct TFrame {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;
  // Red, green and blue of (x, y) as one number 0xRRGGBB.
  uint32_t At(int x, int y) const {
    const size_t at = (static_cast<size_t>(y) * width + x) * 3;
    return (uint32_t{rgb[at]} << 16) | (uint32_t{rgb[at + 1]} << 8) | rgb[at + 2];
  }
};

TFrame ReadFrame(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  TFrame frame;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    return frame;
  image.format = PNG_FORMAT_RGB;
  frame.rgb.resize(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, frame.rgb.data(), 0, nullptr);
  frame.width = static_cast<int>(image.width);
  frame.height = static_cast<int>(image.height);
  return frame;
}

TEST(VmopackDraw, PictureIsCentredScaledAndTurnedOnTheScreen) {
  TScratchFolder folder;
  folder.Write("Project.vmo", "[Main]\r\nVmoVersion=5.6\r\n\r\n[FileMap]\r\n\r\n");
  folder.Write("halves.png", HalvesPng());
  folder.Write("show.manifest", "stored | Project.vmo | Project.vmo\nqxgfx | halves.png | halves.png\n");
  ASSERT_EQ(Vmopack({"pack", folder.Path() + "show.manifest", "-o", folder.Path() + "show.exe"}).ExitCode, 0);
  const std::string show = folder.Path() + "show.exe";
  const std::string out = folder.Path() + "frame.png";

  const TProgramRun plain = Vmopack({"draw", show, "halves.png", "--size", "200x100", "-o", out});
  ASSERT_EQ(plain.ExitCode, 0) << plain.Out;
  TFrame frame = ReadFrame(out);
  ASSERT_EQ(frame.width, 200);
  ASSERT_EQ(frame.height, 100);
  EXPECT_EQ(frame.At(70, 50), 0xFF0000u);
  EXPECT_EQ(frame.At(130, 50), 0x0000FFu);
  EXPECT_EQ(frame.At(67, 50), 0u);
  EXPECT_EQ(frame.At(100, 33), 0u);

  const TProgramRun turned =
      Vmopack({"draw", show, "halves.png", "--size", "200x100", "--angle-z", "180", "--scale", "50", "-o", out});
  ASSERT_EQ(turned.ExitCode, 0) << turned.Out;
  frame = ReadFrame(out);
  EXPECT_EQ(frame.At(86, 50), 0x0000FFu) << "blue comes left when turned";
  EXPECT_EQ(frame.At(114, 50), 0xFF0000u);
  EXPECT_EQ(frame.At(70, 50), 0u) << "half the size";

  const TProgramRun faded = Vmopack(
      {"draw", show, "halves.png", "--size", "200x100", "--mip", "1", "--opacity", "50", "--feather", "-o", out});
  ASSERT_EQ(faded.ExitCode, 0) << faded.Out;
  EXPECT_NE(faded.Out.find("level 1"), std::string::npos) << faded.Out;
  frame = ReadFrame(out);
  EXPECT_EQ(frame.At(75, 50), 0x800000u) << "half the red over black";
  EXPECT_EQ(frame.At(125, 50), 0x000080u);

  const TProgramRun bad = Vmopack({"draw", show, "halves.png", "--size", "0x5", "-o", out});
  EXPECT_EQ(bad.ExitCode, 1);
  EXPECT_NE(bad.Out.find("--size"), std::string::npos) << bad.Out;

  // The null engine would write a black picture: draw refuses it.
  const TProgramRun blind = Vmopack({"draw", show, "halves.png", "--engine", "null", "-o", out});
  EXPECT_EQ(blind.ExitCode, 1);
  EXPECT_NE(blind.Out.find("Cannot draw: "), std::string::npos) << blind.Out;
}

} // namespace
} // namespace qx
