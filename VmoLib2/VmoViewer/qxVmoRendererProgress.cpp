#include "VmoLib2/VmoViewer/qxVmoRendererProgress.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string MinutesAndSeconds(double seconds) {
  const auto whole = static_cast<long long>(std::llround(std::max(0.0, seconds)));
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
  return text;
}

} // namespace

std::string FormatRenderProgress(int64_t done, int64_t total, double elapsedSeconds) {
  const double fps = done > 0 && elapsedSeconds > 0 ? done / elapsedSeconds : 0;
  const std::string left = fps > 0 ? MinutesAndSeconds((total - done) / fps) : std::string("-:--");
  char text[128];
  std::snprintf(text, sizeof text, "frame %lld/%lld  %.1f fps  %s left", static_cast<long long>(done),
                static_cast<long long>(total), fps, left.c_str());
  return text;
}

TRenderProgress::TRenderProgress(std::FILE* out, bool enabled, int64_t total)
    : m_out(out), m_enabled(enabled && out), m_total(total), m_start(TClock::now()) {}

TRenderProgress::~TRenderProgress() { Finish(); }

void TRenderProgress::FrameDone(int64_t done) {
  if (!m_enabled)
    return;
  const TClock::time_point now = TClock::now();
  if (m_drawn && done < m_total && now - m_lastDrawn < kRedrawInterval)
    return;
  const std::string line = FormatRenderProgress(done, m_total, std::chrono::duration<double>(now - m_start).count());
  // Pad with blanks so a shorter line covers the previous one.
  const size_t pad = m_lastLength > line.size() ? m_lastLength - line.size() : 0;
  std::fprintf(m_out, "\r%s%*s", line.c_str(), static_cast<int>(pad), "");
  std::fflush(m_out);
  m_lastLength = line.size();
  m_lastDrawn = now;
  m_drawn = true;
}

void TRenderProgress::Finish() {
  if (!m_enabled || !m_drawn)
    return;
  std::fputc('\n', m_out);
  std::fflush(m_out);
  m_drawn = false;
}

} // namespace qx
