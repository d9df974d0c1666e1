#include "QxLib/Music/qxDecoderPlugins.h"

#include "QxLib/Music/qxConverterFactory.h"
#include "QxLib/Music/qxDllConverter.h"
#include "QxLib/qxFileStream.h"
#include "QxLib/qxLog.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace qx {
namespace {

using namespace qx::test;

const std::string kMedia = VMO_SOUND_MEDIA_DIR "/";
const std::string kPlugins = VMO_PLUGIN_DIR "/";

class TLinesLog : public TLog {
public:
  std::vector<std::string>* Lines = nullptr;

protected:
  void WriteText(std::string_view line) override { Lines->emplace_back(line); }
};

// A fake package: entry names mapped to disk files.
TOpenStreamFunc PackageOf(std::map<std::string, std::string> entries) {
  return [entries](const std::string& name) -> std::unique_ptr<TStream> {
    const auto found = entries.find(name);
    if (found == entries.end())
      return nullptr;
    return std::make_unique<TFileStream>(found->second, TFileMode::OpenRead);
  };
}

// Each test starts and ends with empty plug-in slots and the discarding log.
class DecoderPlugins : public testing::Test {
protected:
  void SetUp() override { TDecoderPlugins::Instance().Shutdown(); }
  void TearDown() override {
    TDecoderPlugins::Instance().Shutdown();
    InstallLog(nullptr);
  }

  std::vector<std::string> CaptureLog() {
    auto log = std::make_unique<TLinesLog>();
    log->Lines = &m_lines;
    InstallLog(std::move(log));
    return {};
  }

  void LoadDirectly(TMediaKind kind, const std::string& file) {
    std::string error;
    std::shared_ptr<TDecoderLibrary> library = TDecoderLibrary::Load(kPlugins + file, &error);
    ASSERT_TRUE(library) << error;
    TDecoderPlugins::Instance().SetLibrary(kind, library);
  }

  std::vector<std::string> m_lines;
};

// The largest sample difference over the reference's length, and whether
// only silence follows.
void ExpectCloseTo(const std::string& actual, const std::string& expected, int tolerance) {
  const std::vector<int16_t> a = ToSamples16(actual);
  const std::vector<int16_t> e = ToSamples16(expected);
  ASSERT_FALSE(e.empty());
  ASSERT_GE(a.size(), e.size());
  int worst = 0;
  for (size_t i = 0; i < e.size(); ++i)
    worst = std::max(worst, std::abs(a[i] - e[i]));
  EXPECT_LE(worst, tolerance);
  for (size_t i = e.size(); i < a.size(); ++i)
    ASSERT_EQ(a[i], 0) << "sample " << i << " after the end";
}

TEST_F(DecoderPlugins, OggPluginDecodesCloseToFFmpegsVorbisDecoder) {
  LoadDirectly(TMediaKind::Ogg, "vmoogg.so");
  TOpenedSound sound(kMedia + "tone.ogg", {});
  EXPECT_EQ(sound.Info().Kind, TMediaKind::Ogg);
  EXPECT_EQ(sound.Info().Length, 12000);
  EXPECT_EQ(sound.Converter().OutputFormat(), MakePcmFormat(44100, 16, 2));
  ASSERT_NE(dynamic_cast<TDllConverter*>(&sound.Converter()), nullptr);
  ExpectCloseTo(ReadAll(sound.Converter()), ReadFileBytes(kMedia + "tone.ogg.raw"), 2);
}

TEST_F(DecoderPlugins, WmaPluginDecodesCloseToFFmpegsWmaDecoder) {
  LoadDirectly(TMediaKind::Wma, "vmowma.so");
  for (const char* file : {"tone.wma", "tone1.wma"}) {
    SCOPED_TRACE(file);
    TOpenedSound sound(kMedia + file, {});
    EXPECT_EQ(sound.Info().Kind, TMediaKind::Wma);
    ExpectCloseTo(ReadAll(sound.Converter()), ReadFileBytes(kMedia + file + ".raw"), 1);
  }
}

TEST_F(DecoderPlugins, SeekAsksThePluginAndTakesThePositionItReached) {
  LoadDirectly(TMediaKind::Ogg, "vmoogg.so");
  LoadDirectly(TMediaKind::Wma, "vmowma.so");
  for (const char* file : {"tone.ogg", "tone.wma"}) {
    SCOPED_TRACE(file);
    TOpenedSound sound(kMedia + file, {});
    sound.Converter().Seek(2000);
    EXPECT_DOUBLE_EQ(sound.Converter().Position(), 2000);
    const std::string expected = ReadFileBytes(kMedia + file + ".raw").substr(88200 * 4, 20000);
    ExpectCloseTo(ReadBytes(sound.Converter(), 20000), expected, 2);
  }
}

TEST_F(DecoderPlugins, OggWithoutThePluginFallsThroughToTheVideoLibrary) {
  const std::string ogg = ReadFileBytes(kMedia + "tone.ogg");
  auto stream = MemoryStreamOf(ogg);
  EXPECT_FALSE(ReadMediaInfo(*stream, "tone.ogg"));

  std::string probed;
  const TMediaProbe previous = SetFallbackMediaProbe([&](TStream&, const std::string& name, TMediaInfo& info) {
    probed = name;
    info.Kind = TMediaKind::FFmpeg;
    info.Length = 12000;
    info.Format = MixingFormat();
    return true;
  });
  std::optional<TMediaInfo> info = ReadMediaInfo(*stream, "tone.ogg");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->Kind, TMediaKind::FFmpeg);
  EXPECT_EQ(probed, "tone.ogg");
  // No converter until the video library installs its maker.
  EXPECT_EQ(CreateConverter(*stream, "tone.ogg", *info), nullptr);
  const TConverterMaker previousMaker =
      SetConverterMaker(TMediaKind::FFmpeg, [](TStream& s, const std::string&, const TMediaInfo&) {
        return std::make_unique<TWavConverter>(&s);
      });
  EXPECT_NE(CreateConverter(*stream, "tone.ogg", *info), nullptr);
  SetConverterMaker(TMediaKind::FFmpeg, previousMaker);
  SetFallbackMediaProbe(previous);

  // With the plug-in loaded it answers first.
  LoadDirectly(TMediaKind::Ogg, "vmoogg.so");
  EXPECT_EQ(ReadMediaInfo(*stream, "tone.ogg")->Kind, TMediaKind::Ogg);
}

TEST_F(DecoderPlugins, InstalledFromThePackageIntoOneFolderOncePerProcess) {
  CaptureLog();
  TDecoderPlugins& plugins = TDecoderPlugins::Instance();
  plugins.Install("wma.bin", "ogg.bin",
                  PackageOf({{"wma.bin", kPlugins + "vmowma.so"}, {"ogg.bin", kPlugins + "vmoogg.so"}}));
  ASSERT_TRUE(plugins.Library(TMediaKind::Ogg));
  ASSERT_TRUE(plugins.Library(TMediaKind::Wma));
  EXPECT_FALSE(plugins.Library(TMediaKind::Ape));
  const std::string folder = plugins.Folder();
  EXPECT_TRUE(std::filesystem::exists(folder + "vmoogg.so"));
  EXPECT_TRUE(std::filesystem::exists(folder + "vmowma.so"));
  EXPECT_TRUE(m_lines.empty());

  // A second call changes nothing.
  plugins.Install("", "", {});
  EXPECT_TRUE(plugins.Library(TMediaKind::Ogg));

  plugins.Shutdown();
  EXPECT_FALSE(plugins.Library(TMediaKind::Ogg));
  EXPECT_FALSE(std::filesystem::exists(folder));
}

TEST_F(DecoderPlugins, IncompleteOrDamagedLibrariesAreLoggedAndLeftOut) {
  CaptureLog();
  // The picture library lacks the decoder functions; a sound file is no
  // library at all.
  TDecoderPlugins::Instance().Install(
      "wma.bin", "ogg.bin",
      PackageOf({{"wma.bin", kMedia + "tone.wma"}, {"ogg.bin", VMO_BINARY_DIR "/Common/libqxPngLib.so"}}));
  EXPECT_FALSE(TDecoderPlugins::Instance().Library(TMediaKind::Ogg));
  EXPECT_FALSE(TDecoderPlugins::Instance().Library(TMediaKind::Wma));
  ASSERT_GE(m_lines.size(), 2u);
  EXPECT_NE(std::find(m_lines.begin(), m_lines.end(), "WMA INITIALIZE FAILED"), m_lines.end());
  EXPECT_NE(std::find(m_lines.begin(), m_lines.end(), "OGG INITIALIZE FAILED"), m_lines.end());
}

TEST_F(DecoderPlugins, NamesMissingFromThePackageLoadNothingQuietly) {
  CaptureLog();
  TDecoderPlugins::Instance().Install("nothing.bin", "", PackageOf({}));
  EXPECT_FALSE(TDecoderPlugins::Instance().Library(TMediaKind::Wma));
  EXPECT_TRUE(m_lines.empty());
  EXPECT_EQ(TDecoderPlugins::Instance().Folder(), "");
}

TEST_F(DecoderPlugins, PluginsRefuseFilesOfTheOtherKindAndGarbage) {
  LoadDirectly(TMediaKind::Ogg, "vmoogg.so");
  LoadDirectly(TMediaKind::Wma, "vmowma.so");
  const std::string garbage(5000, '\x5a');
  const std::string wma = ReadFileBytes(kMedia + "tone.wma");
  const std::string ogg = ReadFileBytes(kMedia + "tone.ogg");
  for (const auto& [bytes, name] : std::vector<std::pair<std::string, std::string>>{{garbage, "a.ogg"},
                                                                                    {garbage, "a.wma"},
                                                                                    {wma, "a.ogg"},
                                                                                    {ogg, "a.wma"},
                                                                                    {ogg.substr(0, 200), "a.ogg"},
                                                                                    {wma.substr(0, 300), "a.wma"},
                                                                                    {std::string(), "a.ogg"}}) {
    SCOPED_TRACE(name + " of " + std::to_string(bytes.size()) + " bytes");
    auto stream = MemoryStreamOf(bytes);
    EXPECT_FALSE(ReadMediaInfo(*stream, name));
  }
}

TEST_F(DecoderPlugins, TruncatedFilesEndEarlyWithSilence) {
  LoadDirectly(TMediaKind::Ogg, "vmoogg.so");
  LoadDirectly(TMediaKind::Wma, "vmowma.so");
  for (const char* file : {"tone.ogg", "tone.wma"}) {
    SCOPED_TRACE(file);
    const std::string bytes = ReadFileBytes(kMedia + file);
    auto stream = MemoryStreamOf(bytes.substr(0, bytes.size() / 3));
    const std::optional<TMediaInfo> info = ReadMediaInfo(*stream, file);
    if (!info)
      continue; // refusing the file is as good
    std::unique_ptr<TWavConverter> converter = CreateConverter(*stream, file, *info);
    if (!converter || !converter->Open(*info))
      continue;
    const std::string all = ReadAll(*converter);
    EXPECT_LT(all.size(), bytes.size() * 40u);
  }
}

} // namespace
} // namespace qx
