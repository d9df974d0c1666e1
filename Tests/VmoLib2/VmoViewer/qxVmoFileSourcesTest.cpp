#include "VmoLib2/VmoViewer/qxVmoFileSources.h"

#include "QxLib/qxMemoryStream.h"
#include "Tests/TestSupport/qxVmoPackageTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

namespace qx {
namespace {

using test::TScratchFolder;

TEST(FileMapLine, SplitsAtTheFirstEqualsOutsideQuotes) {
  std::string name;
  std::string target;
  ASSERT_TRUE(ParseFileMapLine(R"(;"C:\My Pictures\a b.png"="C:\cache\a b.qxgfx")", name, target));
  EXPECT_EQ(name, R"(C:\My Pictures\a b.png)") << "the blank inside the quotes stays";
  EXPECT_EQ(target, R"(C:\cache\a b.qxgfx)");

  ASSERT_TRUE(ParseFileMapLine(R"(;"x=y.png" = "z.png")", name, target));
  EXPECT_EQ(name, "x=y.png");
  EXPECT_EQ(target, "z.png");

  ASSERT_TRUE(ParseFileMapLine("plain=other", name, target)) << "the semicolon is optional";
  EXPECT_EQ(name, "plain");
  EXPECT_EQ(target, "other");
}

TEST(FileMapLine, RejectsLinesWithoutBothSides) {
  std::string name;
  std::string target;
  for (const char* line :
       {R"(;"a.png"=)", R"(;"a.png")", R"(;="b.png")", R"(;""="b.png")", ";", "", R"(;"a=b.png")", R"(;"a.png"=  "")"})
    EXPECT_FALSE(ParseFileMapLine(line, name, target)) << line;
}

TEST(RotationStateLine, ReadsQuotedNameAndCode) {
  std::string name;
  int code = 0;
  ASSERT_TRUE(ParseRotationStateLine(R"(;"C:\p\portrait.jpg"=6)", name, code));
  EXPECT_EQ(name, R"(C:\p\portrait.jpg)");
  EXPECT_EQ(code, 6);
  for (const char* line : {R"("a.jpg"=6)", R"(; "a.jpg"=6)", R"(;"a.jpg" = 6)", R"(;"a.jpg"=six)", R"(;"a.jpg"=)"})
    EXPECT_FALSE(ParseRotationStateLine(line, name, code)) << line;
}

TEST(MappedFileSource, KeepsOnlyKnownRotationCodes) {
  auto source = MakeRef<TMappedFileSource>();
  EXPECT_EQ(source->PictureOrientation("a.jpg"), kOrientationNone) << "no hook yet";
  source->AddRotation("five.jpg", 5);
  source->AddRotation("", 6);
  source->AddRotation("Turned.JPG", 6);
  source->AddRotation("upside.jpg", 3);
  EXPECT_EQ(source->PictureOrientation("turned.jpg"), kOrientationQuarterRight) << "names ignore case";
  EXPECT_EQ(source->PictureOrientation("UPSIDE.jpg"), kOrientationHalfTurn);
  EXPECT_EQ(source->PictureOrientation("five.jpg"), kOrientationNone);
  EXPECT_EQ(source->PictureOrientation("other.jpg"), kOrientationNone);
}

TEST(MappedFileSource, OpensMappedTargetsAndStopsOnCircles) {
  TScratchFolder folder;
  folder.Write("real.bin", "real bytes");
  auto source = MakeRef<TMappedFileSource>();
  source->SetBaseFolder(folder.Path());
  source->AddMapping("C:\\show\\Alias.png", "C:\\show\\middle.png");
  source->AddMapping("c:\\SHOW\\middle.png", "C:\\elsewhere\\real.bin");
  source->AddMapping("c:\\show\\alias.png", "ignored-second-target");
  source->AddMapping("loop-a", "loop-b");
  source->AddMapping("loop-b", "loop-a");

  std::unique_ptr<TStream> stream = source->Open("C:\\SHOW\\ALIAS.PNG");
  ASSERT_NE(stream, nullptr);
  EXPECT_EQ(stream->GetSize(), 10);
  EXPECT_EQ(stream->ReadAll(), "real bytes");
  EXPECT_EQ(source->Open("loop-a"), nullptr);
  EXPECT_EQ(source->Open("C:\\show\\absent.png"), nullptr);
}

TEST(PackedFileSource, OpensEntriesMappingsAndDiskNames) {
  TScratchFolder folder;
  folder.Write("beside.txt", "from disk");
  test::TTestPackage package;
  package.entries = {{"C:\\a.bmp", kVmoScrambled, "scrambled entry"}, {"C:\\b.bmp", kVmoStored, "stored entry"}};
  auto unpack = std::make_unique<TVmoUnpack>(folder.Write("show", package.Build()));
  ASSERT_TRUE(unpack->IsOpen());
  auto source = MakeRef<TPackedFileSource>(std::move(unpack));
  source->SetBaseFolder(folder.Path());
  source->AddMapping("C:\\logo.png", "C:\\b.bmp");

  EXPECT_EQ(source->Open("c:\\A.BMP")->ReadAll(), "scrambled entry");
  EXPECT_EQ(source->Open("C:\\logo.png")->ReadAll(), "stored entry");
  EXPECT_EQ(source->Open("LoadFromDisk:D:\\authoring\\beside.txt")->ReadAll(), "from disk");
  EXPECT_EQ(source->Open("beside.txt"), nullptr) << "a packed source reads disk files only when told";
}

TEST(PackedFileSource, EntriesOpenAndReadFromSeveralThreadsAtOnce) {
  TScratchFolder folder;
  test::TTestPackage package;
  for (int i = 0; i < 4; ++i)
    package.entries.push_back({"e" + std::to_string(i), kVmoScrambled, std::string(20000, static_cast<char>('a' + i))});
  auto unpack = std::make_unique<TVmoUnpack>(folder.Write("show", package.Build()));
  auto source = MakeRef<TPackedFileSource>(std::move(unpack));
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 25; ++round) {
        const std::string name = "e" + std::to_string((t + round) % 4);
        std::unique_ptr<TStream> stream = source->Open(name);
        const std::string bytes = stream ? stream->ReadAll() : std::string();
        if (bytes != std::string(20000, static_cast<char>('a' + (t + round) % 4)))
          ++wrong;
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(wrong.load(), 0);
}

TEST(FileSource, IdsAreUniqueAcrossSources) {
  std::set<uint32_t> ids;
  std::vector<TRefPtr<TMappedFileSource>> sources;
  for (int i = 0; i < 50; ++i) {
    sources.push_back(MakeRef<TMappedFileSource>());
    ids.insert(sources.back()->Id());
  }
  EXPECT_EQ(ids.size(), 50u);
}

class TTestPicture : public TRefCounted {
public:
  explicit TTestPicture(std::string origin) : from(std::move(origin)) {}
  std::string from;
};

std::string PictureFrom(const TProvidedPicture& picture) {
  return picture ? static_cast<TTestPicture*>(picture.Get())->from : "none";
}

TEST(FileSource, AsksImageProvidersInOrderUntilOneAnswers) {
  auto source = MakeRef<TMappedFileSource>();
  auto first = source->RegisterImageProvider([](const std::string& name) -> TProvidedPicture {
    if (name != "Button: ok")
      return {};
    return TProvidedPicture(MakeRef<TTestPicture>("first"));
  });
  auto second = source->RegisterImageProvider(
      [](const std::string&) { return TProvidedPicture(MakeRef<TTestPicture>("second")); });
  EXPECT_EQ(PictureFrom(source->GetPicture("Button: ok")), "first");
  EXPECT_EQ(PictureFrom(source->GetPicture("Text: x")), "second");
  second.reset();
  EXPECT_EQ(PictureFrom(source->GetPicture("Text: x")), "none") << "a destroyed handle unregisters";
  first.reset();
  EXPECT_EQ(source->RefCount(), 1) << "handles release the source";
}

TEST(FileAccessor, HooksReplaceAndSupplyStreams) {
  TScratchFolder folder;
  folder.Write("a.txt", "original");
  TFileAccessor accessor(MakeRef<TMappedFileSource>());
  accessor.SetBaseFolder(folder.Path());
  EXPECT_EQ(accessor.Source().BaseFolder(), folder.Path());

  accessor.SetLoadedHook([](const std::string& name, std::unique_ptr<TStream> stream) -> std::unique_ptr<TStream> {
    auto replaced = std::make_unique<TMemoryStream>();
    replaced->WriteString(name + ":" + stream->ReadAll());
    replaced->SetPosition(0);
    return replaced;
  });
  accessor.SetNotFoundHook([](const std::string& name) -> std::unique_ptr<TStream> {
    auto supplied = std::make_unique<TMemoryStream>();
    supplied->WriteString("supplied " + name);
    supplied->SetPosition(0);
    return supplied;
  });
  EXPECT_EQ(accessor.OpenStream("a.txt")->ReadAll(), "a.txt:original");
  EXPECT_EQ(accessor.OpenStream("b.txt")->ReadAll(), "supplied b.txt");

  const TFileAccessor copy(accessor);
  EXPECT_EQ(&copy.Source(), &accessor.Source());
  EXPECT_EQ(copy.BaseFolder(), folder.Path());
}

TEST(DiskNames, WindowsPathsFallBackToTheBaseFolder) {
  TScratchFolder folder;
  const std::string direct = folder.Write("sub/Photo.JPG", "p");
  const std::string base = folder.Path() + "sub/";
  EXPECT_EQ(ResolveDiskName(direct, ""), direct) << "an existing path is used as given";
  EXPECT_EQ(ResolveDiskName("C:\\Users\\me\\Photo.JPG", base), base + "Photo.JPG");
  EXPECT_EQ(ResolveDiskName("C:\\Users\\me\\photo.jpg", base), base + "Photo.JPG") << "case is ignored";
  EXPECT_EQ(ResolveDiskName("photo.jpg", base), base + "Photo.JPG");
  EXPECT_EQ(ResolveDiskName("C:\\Users\\me\\absent.jpg", base), "/Users/me/absent.jpg");
  EXPECT_EQ(ResolveDiskName("C:\\dir\\", base), "/dir/");

  std::string backslashed = direct;
  std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
  EXPECT_EQ(ResolveDiskName(backslashed, ""), direct);
  EXPECT_NE(OpenDiskFile("LoadFromDisk:X:\\photo.jpg", base), nullptr);
  EXPECT_EQ(OpenDiskFile("X:\\elsewhere\\none.jpg", base), nullptr);
}

TEST(DiskNames, FolderOfKeepsATrailingSeparator) {
  EXPECT_EQ(FolderOf("C:\\Shows\\Trip\\show.exe"), "/Shows/Trip/");
  EXPECT_EQ(FolderOf("/tmp/x/show"), "/tmp/x/");
  EXPECT_EQ(FolderOf("show.exe"), "");
}

} // namespace
} // namespace qx
