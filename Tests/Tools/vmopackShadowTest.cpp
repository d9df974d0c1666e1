// Runs "vmopack shadow" on the sample project and reads the PNG it writes.
#include "Tests/TestSupport/qxProgramRun.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

#include <png.h>

#include <fstream>
#include <sstream>
#include <vector>

namespace qx {
namespace {

using test::ReadText;
using test::TProgramRun;
using test::TScratchFolder;

const std::string kSampleProject = std::string(VMO_SOURCE_DIR) + "/samples/sample/Project.vmo";

TProgramRun Shadow(const std::string& args) { return test::RunProgram(VMOPACK_PATH, "shadow " + args); }

// Width, height and RGBA bytes of a PNG file; empty when unreadable.
struct TPng {
  int Width = 0;
  int Height = 0;
  std::vector<uint8_t> Rgba;
  int Alpha(int x, int y) const { return Rgba[(static_cast<size_t>(y) * Width + x) * 4 + 3]; }
};

TPng ReadPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  TPng png;
  if (!png_image_begin_read_from_file(&image, path.c_str()))
    return png;
  image.format = PNG_FORMAT_RGBA;
  png.Rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, png.Rgba.data(), 0, nullptr))
    return {};
  png.Width = static_cast<int>(image.width);
  png.Height = static_cast<int>(image.height);
  return png;
}

TEST(VmopackShadow, WritesTheShadowOfAPictureOfTheShow) {
  TScratchFolder folder;
  const std::string png = folder.Path() + "shadow.png";
  // sunrise.bmp is 64 x 48; border 10, blur 2 (sigma 3, 8 more pixels a side).
  const TProgramRun run = Shadow(
      "'" + kSampleProject + "' 'Shadow: 0:0:64:48:10:10:0:2:0:8:0:0:0:0:255:80.00:0:sunrise.bmp' -o '" + png + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(run.Out, "100 x 84\n");
  const TPng picture = ReadPng(png);
  ASSERT_EQ(picture.Width, 100);
  ASSERT_EQ(picture.Height, 84);
  EXPECT_EQ(picture.Alpha(50, 42), 204);
  EXPECT_EQ(picture.Rgba[(42 * 100 + 50) * 4], 255);
  EXPECT_EQ(picture.Alpha(0, 0), 0);
}

TEST(VmopackShadow, ShapeShadowsNeedNoPicture) {
  TScratchFolder folder;
  const std::string png = folder.Path() + "shape.png";
  const TProgramRun run =
      Shadow("'" + kSampleProject + "' 'Shadow: 0:0:40:30:5:5:0:0:7:8:255:255:0:0:0:100.00:0:N\\A' -o '" + png + "'");
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  EXPECT_EQ(ReadPng(png).Width, 56);
}

TEST(VmopackShadow, BadRequestsFailWithAMessage) {
  TScratchFolder folder;
  const std::string png = folder.Path() + "x.png";
  const std::string show = "'" + kSampleProject + "' ";
  const struct {
    std::string args;
    std::string message;
  } cases[] = {
      {show + "'Shadow: 0:0:1:1:0:0:0:0:0:8:0:0:0:0:0:50.00:0:missing.bmp' -o '" + png + "'",
       "Shadow source picture not found: missing.bmp"},
      {show + "'Shadow: 1:2:3' -o '" + png + "'", "Invalid shadow picture name"},
      {show + "'Button: 1' -o '" + png + "'", "must begin with \"Shadow: \""},
      {show + "'Shadow: 0:0:1:1:0:0:0:0:0:8:0:0:0:0:0:50.00:0:N\\A'", "-o OUT.png is required"},
      {"'" + folder.Path() + "none.vmo' 'Shadow: 0:0:1:1:0:0:0:0:0:8:0:0:0:0:0:50.00:0:N\\A' -o '" + png + "'", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const TProgramRun run = Shadow(c.args);
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find(c.message), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(png));
  }
}

} // namespace
} // namespace qx
