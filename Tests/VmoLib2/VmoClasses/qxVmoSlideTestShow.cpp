#include "Tests/VmoLib2/VmoClasses/qxVmoSlideTestShow.h"

#include "QxLib/qxIniStorage.h"

#include <algorithm>

namespace qx::test {

namespace {

class TFailingObject : public TVmoObject {
public:
  using TVmoObject::TVmoObject;

protected:
  void ReadSettings(const TIniIdentList&) override { throw EQxError("this object cannot load"); }
};

} // namespace

void InstallFailingKind() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    // Installing after the built-in chain keeps every other word working.
    CreateVmoObject(*std::make_unique<TVmoObject>(nullptr, "probe"), "probe", "box");
    ChainObjectFactory(
        [](TVmoObject& parent, const std::string& name, std::string_view typeWord) -> std::unique_ptr<TVmoObject> {
          if (typeWord != "failingkind")
            return nullptr;
          return std::make_unique<TFailingObject>(&parent, name);
        });
  });
}

class TCapturedLog::TSink : public TLog {
public:
  std::vector<std::string> Lines() const {
    const std::lock_guard lock(m_lock);
    return m_lines;
  }

protected:
  void WriteText(std::string_view line) override {
    const std::lock_guard lock(m_lock);
    m_lines.emplace_back(line);
  }

private:
  mutable std::mutex m_lock;
  std::vector<std::string> m_lines;
};

TCapturedLog::TCapturedLog() {
  auto sink = std::make_unique<TSink>();
  m_sink = sink.get();
  InstallLog(std::move(sink));
}

// The replaced log stays alive until the process ends, so the pointer to it
// never dangles.
TCapturedLog::~TCapturedLog() { InstallLog(nullptr); }

std::vector<std::string> TCapturedLog::Lines() const { return m_sink->Lines(); }

bool TCapturedLog::Contains(std::string_view text) const {
  const std::vector<std::string> lines = Lines();
  return std::any_of(lines.begin(), lines.end(),
                     [text](const std::string& line) { return line.find(text) != std::string::npos; });
}

} // namespace qx::test
