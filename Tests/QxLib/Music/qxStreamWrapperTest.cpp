#include "QxLib/Music/qxStreamWrapper.h"

#include "QxLib/qxExceptions.h"
#include "Tests/QxLib/Music/qxSoundTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qx {
namespace {

using namespace qx::test;

// Counts how many reads run inside it at once.
class TOverlapStream : public TMemoryStream {
public:
  explicit TOverlapStream(std::atomic<int>& inside, std::atomic<int>& worst) : m_inside(inside), m_worst(worst) {
    WriteString(std::string(1 << 16, 'x'));
  }
  int64_t Read(void* buffer, int64_t count) override {
    const int now = ++m_inside;
    m_worst = std::max(m_worst.load(), now);
    std::this_thread::yield();
    const int64_t got = TMemoryStream::Read(buffer, count);
    --m_inside;
    return got;
  }

private:
  std::atomic<int>& m_inside;
  std::atomic<int>& m_worst;
};

TEST(StreamWrapper, NameIsCutAtItsLastQuestionMark) {
  std::string opened;
  const TOpenStreamFunc open = [&](const std::string& name) -> std::unique_ptr<TStream> {
    opened = name;
    return MemoryStreamOf("abc");
  };
  auto stream = TStreamWrapperClass::Instance().Open("clip?a.avi?2", open);
  ASSERT_TRUE(stream);
  EXPECT_EQ(opened, "clip?a.avi");
  EXPECT_EQ(StreamSelectorOf("clip?a.avi?2"), "2");
  EXPECT_EQ(StreamSelectorOf("song.mp3"), "");
  EXPECT_EQ(stream->ReadAll(), "abc");
}

TEST(StreamWrapper, OpenFailuresGiveNoStream) {
  TStreamWrapperClass& access = TStreamWrapperClass::Instance();
  EXPECT_FALSE(access.Open("/no/such/file.wav"));
  EXPECT_FALSE(access.Open("x", [](const std::string&) -> std::unique_ptr<TStream> { return nullptr; }));
  EXPECT_FALSE(
      access.Open("x", [](const std::string&) -> std::unique_ptr<TStream> { throw EStreamError("damaged entry"); }));
}

TEST(StreamWrapper, FreeHandsTheFilesOwnStreamBack) {
  TMemoryStream* raw = nullptr;
  const TOpenStreamFunc open = [&](const std::string&) -> std::unique_ptr<TStream> {
    auto stream = MemoryStreamOf("0123456789");
    raw = stream.get();
    return stream;
  };
  TStream* returned = nullptr;
  const TFreeStreamFunc free = [&](std::unique_ptr<TStream> stream) { returned = stream.get(); };
  TStreamWrapperClass& access = TStreamWrapperClass::Instance();
  access.Free(access.OpenShifted("x", open, 4), free);
  EXPECT_EQ(returned, raw);
}

TEST(StreamWrapper, AllReadsOfAllThreadsAreSerialised) {
  std::atomic<int> inside{0}, worst{0};
  TStreamWrapperClass& access = TStreamWrapperClass::Instance();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      auto stream = access.Open("x", [&](const std::string&) -> std::unique_ptr<TStream> {
        return std::make_unique<TOverlapStream>(inside, worst);
      });
      char buffer[64];
      for (int i = 0; i < 2000; ++i) {
        stream->SetPosition(i);
        stream->Read(buffer, sizeof buffer);
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_EQ(worst.load(), 1);
}

TEST(StreamWrapper, PluginTableReadsSeeksAndRefusesHugeReads) {
  auto stream = MemoryStreamOf("0123456789");
  const QxSoundStreamFunctions& f = TStreamWrapperClass::Instance().PluginFunctions();
  char buffer[8] = {};
  EXPECT_EQ(f.Seek(stream.get(), -3, 2), 7);
  EXPECT_EQ(f.Read(stream.get(), buffer, 8), 3);
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(f.Position(stream.get()), 10);
  EXPECT_EQ(f.Seek64(stream.get(), -4, 1), 6);
  EXPECT_EQ(f.Read64(stream.get(), buffer, 2), 2);
  EXPECT_EQ(f.Size64(stream.get()), 10);
  EXPECT_EQ(f.Read(stream.get(), buffer, -5), 0);

  // More than 104857600 bytes at once: the assertion "Too many", reported and
  // answered with nothing read, never an exception into the plug-in.
  static std::string report;
  const TAssertionHook previous = SetAssertionHook([](const std::string& text) { report = text; });
  EXPECT_EQ(f.Read64(stream.get(), buffer, TStreamWrapperClass::kMaxPluginRead + 1), 0);
  SetAssertionHook(previous);
  EXPECT_NE(report.find("'Too many'"), std::string::npos);
}

TEST(Mp3ShiftStream, SeemsToBeginAtTheOffset) {
  auto source = MemoryStreamOf("ID3-tag-|frames");
  TMp3ShiftStream shifted(*source, 9);
  EXPECT_EQ(shifted.GetSize(), 6);
  EXPECT_EQ(shifted.GetPosition(), -9); // the source is still at its start
  shifted.SetPosition(0);
  EXPECT_EQ(shifted.ReadAll(), "frames");
  EXPECT_EQ(shifted.Seek(-2, TSeekOrigin::End), 4);
  EXPECT_EQ(source->GetPosition(), 13);
  EXPECT_THROW(shifted.Write("x", 1), EAssertionFailed);
  EXPECT_THROW(shifted.SetSize(3), EAssertionFailed);
}

} // namespace
} // namespace qx
