// Helpers of the show-model tests: projects written as INI text and an
// in-memory file source standing in for a show package.
#pragma once

#include "QxLib/qxCommandLine.h"
#include "QxLib/qxDebugOutput.h"
#include "QxLib/qxIniStorage.h"
#include "QxLib/qxMemoryStream.h"
#include "VmoLib2/VmoClasses/qxVmoSource2.h"
#include "VmoLib2/VmoViewer/qxVmoFileAccessor2.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace qx::test {

class TTestFileSource : public TFileSource {
public:
  void Add(const std::string& name, std::string bytes) { m_files[name] = std::move(bytes); }

protected:
  std::unique_ptr<TStream> RawOpen(const std::string& name) override {
    const auto found = m_files.find(name);
    if (found == m_files.end())
      return nullptr;
    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteBuffer(found->second.data(), static_cast<int64_t>(found->second.size()));
    stream->SetPosition(0);
    return stream;
  }

private:
  std::map<std::string, std::string> m_files;
};

inline TFileAccessor TestAccessor(TRefPtr<TTestFileSource> source = MakeRef<TTestFileSource>()) {
  return TFileAccessor(source);
}

inline std::unique_ptr<TIniStorage> Project(std::string_view text) {
  auto storage = std::make_unique<TIniStorage>();
  storage->LoadFromString(text);
  return storage;
}

inline std::unique_ptr<TVmoSource> MakeSource(std::string_view text, bool deterministic = false) {
  return std::make_unique<TVmoSource>(TestAccessor(), Project(text), deterministic);
}

// Tests of show sources: the assertions' debugger output is muted, and the
// program path is one that no screen-saver rule applies to.
class TShowSourceTest : public testing::Test {
protected:
  void SetUp() override {
    m_wasMuted = SetDebugOutputMuted(true);
    SetProgramPath("/opt/player/player");
  }
  void TearDown() override { SetDebugOutputMuted(m_wasMuted); }

private:
  bool m_wasMuted = false;
};

} // namespace qx::test
