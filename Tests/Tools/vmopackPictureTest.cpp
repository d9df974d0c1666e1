// The picture side of vmopack: converting pictures into containers while
// packing, and decoding packed or disk pictures with "vmopack picture".
#include "Tests/QxLib/Graphics/GifBuilder.h"
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>
#include <png.h>

#include <fstream>
#include <sstream>

namespace qx {
namespace {

using test::TProgramRun;
using test::TScratchFolder;

TProgramRun Vmopack(const std::vector<std::string>& args) { return test::RunJoined(VMOPACK_PATH, args); }

// A PNG of width x height RGBA pixels (r = x * 40, g = y * 40, b = 7, a = 200).
std::string MakePng(int width, int height) {
  std::vector<uint8_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.insert(pixels.end(), {static_cast<uint8_t>(x * 40), static_cast<uint8_t>(y * 40), 7, 200});
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::string out(size, '\0');
  png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, nullptr);
  out.resize(size);
  return out;
}

// Reads a PNG file as RGBA bytes.
std::vector<uint8_t> ReadPng(const std::string& path, int& width, int& height) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    return {};
  image.format = PNG_FORMAT_RGBA;
  std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
  width = static_cast<int>(image.width);
  height = static_cast<int>(image.height);
  return pixels;
}

std::string AnimatedGif() {
  test::TGifBuilder gif;
  gif.Width = 5;
  gif.Height = 3;
  gif.GlobalPalette = {0xFF0000, 0x00FF00, 0x0000FF};
  gif.LoopCount = 2;
  for (int i = 0; i < 3; ++i) {
    test::TGifFrameData frame;
    frame.Width = 5;
    frame.Height = 3;
    frame.Indexes.assign(15, static_cast<uint8_t>(i));
    frame.DelayField = i == 1 ? 0 : 10 * (i + 1);
    gif.Frames.push_back(frame);
  }
  return gif.Build();
}

// A packed show with a converted PNG, an animated GIF and a project text.
class PackedPictures : public ::testing::Test {
protected:
  void SetUp() override {
    m_folder.Write("Project.vmo", "[Main]\r\nVmoVersion=5.6\r\n\r\n[FileMap]\r\n;\"old.png\"=\"old.bmp\"\r\n\r\n");
    m_folder.Write("pictures/button.png", MakePng(6, 4));
    m_folder.Write("anim.gif", AnimatedGif());
    m_folder.Write("show.manifest", "stored | Project.vmo | Project.vmo\n"
                                    "qxgfx | button.png | pictures/button.png\n"
                                    "stored | anim.gif | anim.gif\n");
    const TProgramRun pack = Vmopack({"pack", Path("show.manifest"), "-o", Path("show.exe")});
    ASSERT_EQ(pack.ExitCode, 0) << pack.Out;
  }

  std::string Path(const std::string& name) const { return m_folder.Path() + name; }

  TScratchFolder m_folder;
};

TEST_F(PackedPictures, ConvertedPngIsMappedToItsContainerAndDecodesExactly) {
  const TProgramRun project = Vmopack({"cat", Path("show.exe"), "Project.vmo"});
  ASSERT_EQ(project.ExitCode, 0);
  EXPECT_NE(project.Out.find(";\"old.png\"=\"old.bmp\"\r\n;\"button.png\"=\"button.png.qxgfx\"\r\n"), std::string::npos)
      << project.Out;
  const TProgramRun list = Vmopack({"list", Path("show.exe")});
  EXPECT_NE(list.Out.find("button.png.qxgfx"), std::string::npos);
  EXPECT_EQ(list.Out.find("\tbutton.png\n"), std::string::npos) << "only the container is packed";

  const TProgramRun picture = Vmopack({"picture", Path("show.exe"), "button.png", "-o", Path("button-out.png")});
  ASSERT_EQ(picture.ExitCode, 0) << picture.Out;
  EXPECT_NE(picture.Out.find("TGfxBitmapStore"), std::string::npos) << picture.Out;
  int width = 0, height = 0;
  const std::vector<uint8_t> pixels = ReadPng(Path("button-out.png"), width, height);
  ASSERT_EQ(width, 6);
  ASSERT_EQ(height, 4);
  const size_t at = (2 * 6 + 5) * 4; // x = 5, y = 2
  EXPECT_EQ(pixels[at], 200);
  EXPECT_EQ(pixels[at + 1], 80);
  EXPECT_EQ(pixels[at + 2], 7);
  EXPECT_EQ(pixels[at + 3], 200);
}

TEST_F(PackedPictures, AnimatedGifGivesItsStripAndTag) {
  const TProgramRun run = Vmopack({"picture", Path("show.exe"), "anim.gif", "-o", Path("strip.png")});
  ASSERT_EQ(run.ExitCode, 0) << run.Out;
  EXPECT_NE(run.Out.find("tiles: 5 x 3\n"), std::string::npos) << run.Out;
  EXPECT_NE(run.Out.find("frames: 3\n"), std::string::npos);
  EXPECT_NE(run.Out.find("delays: 100,50,300\n"), std::string::npos);
  EXPECT_NE(run.Out.find("loop count: 2\n"), std::string::npos);
  int width = 0, height = 0;
  const std::vector<uint8_t> pixels = ReadPng(Path("strip.png"), width, height);
  EXPECT_EQ(width, 15);
  ASSERT_EQ(height, 3);
  EXPECT_EQ(pixels[(5 + 1) * 4 + 1], 255) << "the second frame is green";

  const TProgramRun level = Vmopack({"picture", Path("show.exe"), "anim.gif", "--level", "1", "-o", Path("half.png")});
  ASSERT_EQ(level.ExitCode, 0) << level.Out;
  ReadPng(Path("half.png"), width, height);
  EXPECT_EQ(width, 8);
  EXPECT_EQ(height, 2);
}

TEST_F(PackedPictures, DiskPicturesAndFailures) {
  const TProgramRun disk =
      Vmopack({"picture", Path("show.exe"), "LoadFromDisk:" + Path("anim.gif"), "-o", Path("d.png")});
  EXPECT_EQ(disk.ExitCode, 0) << disk.Out;

  const TProgramRun missing = Vmopack({"picture", Path("show.exe"), "nothing.png", "-o", Path("n.png")});
  EXPECT_EQ(missing.ExitCode, 1);
  EXPECT_NE(missing.Out.find("not found"), std::string::npos) << missing.Out;

  const TProgramRun badLevel = Vmopack({"picture", Path("show.exe"), "anim.gif", "--level", "x", "-o", Path("n.png")});
  EXPECT_EQ(badLevel.ExitCode, 1);
  EXPECT_NE(badLevel.Out.find("usage"), std::string::npos);

  m_folder.Write("bad.manifest", "stored | Project.vmo | Project.vmo\nqxgfx | notes.png | show.manifest\n");
  const TProgramRun notPicture = Vmopack({"pack", Path("bad.manifest"), "-o", Path("bad.exe")});
  EXPECT_EQ(notPicture.ExitCode, 1);
  EXPECT_NE(notPicture.Out.find("manifest line 2: cannot decode picture"), std::string::npos) << notPicture.Out;

  m_folder.Write("noproject.manifest", "qxgfx | button.png | pictures/button.png\n");
  const TProgramRun noProject = Vmopack({"pack", Path("noproject.manifest"), "-o", Path("np.exe")});
  EXPECT_EQ(noProject.ExitCode, 1);
  EXPECT_NE(noProject.Out.find("FileMap"), std::string::npos) << noProject.Out;
}

} // namespace
} // namespace qx
