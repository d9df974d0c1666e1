#include "VmoLib2/VmoViewer/qxVmoVideoExport.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <string_view>
#include <utility>

namespace qx {

namespace {

constexpr std::array<std::string_view, 4> kVideoExtensions = {".mp4", ".mov", ".mkv", ".webm"};

std::string LowerExtension(const std::string& path) {
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

} // namespace

bool IsVideoFileName(const std::string& path) {
  const std::string extension = LowerExtension(path);
  return std::find(kVideoExtensions.begin(), kVideoExtensions.end(), extension) != kVideoExtensions.end();
}

std::string PartialVideoFileName(const std::string& path) {
  std::filesystem::path partial(path);
  const std::string extension = partial.extension().string();
  partial.replace_extension(".partial" + extension);
  return partial.string();
}

TVideoExport::TVideoExport(TVideoFileParams params, const TVideoEncoderFactory& factory, TMixedSoundTap& sound)
    : m_params(std::move(params)), m_partial(PartialVideoFileName(m_params.Path)), m_sound(sound) {
  TVideoFileParams partial = m_params;
  partial.Path = m_partial;
  m_encoder = factory(partial);
  if (!m_encoder)
    throw EQxError("cannot create " + m_params.Path);
  m_thread = std::thread([this] { Run(); });
}

TVideoExport::~TVideoExport() {
  {
    const std::lock_guard lock(m_lock);
    m_closing = true;
    m_queue.clear();
  }
  m_changed.notify_all();
  if (m_thread.joinable())
    m_thread.join();
  // An encoder that was not closed deletes its partial file.
  m_encoder.reset();
}

void TVideoExport::Write(const TBitmap& screen, int64_t k) {
  TJob job;
  // The sound mixed so far belongs to the frames before this one.
  m_sound.Take(FrameFirstSample(m_params.Fps, k), job.Sound);
  // The session's screen is a new bitmap each frame: a view keeps it.
  job.Picture = screen.CropView(0, 0, screen.Width(), screen.Height());
  Queue(std::move(job));
}

void TVideoExport::Finish(int64_t frames) {
  TJob job;
  m_sound.Take(FrameFirstSample(m_params.Fps, frames), job.Sound);
  if (!job.Sound.empty())
    Queue(std::move(job));
  WaitUntilDone();
  {
    const std::lock_guard lock(m_lock);
    m_closing = true;
  }
  m_changed.notify_all();
  m_thread.join();
  m_encoder->Close();
  m_encoder.reset();
  std::error_code error;
  std::filesystem::rename(m_partial, m_params.Path, error);
  if (error) {
    std::filesystem::remove(m_partial, error);
    throw EQxError("cannot rename " + m_partial + " to " + m_params.Path);
  }
  m_finished = true;
}

void TVideoExport::Queue(TJob job) {
  std::unique_lock lock(m_lock);
  m_changed.wait(lock, [this] { return m_failure || m_queue.size() < kInFlight; });
  if (m_failure)
    std::rethrow_exception(m_failure);
  m_queue.push_back(std::move(job));
  m_changed.notify_all();
}

void TVideoExport::WaitUntilDone() {
  std::unique_lock lock(m_lock);
  m_changed.wait(lock, [this] { return m_failure || (m_queue.empty() && !m_busy); });
  if (m_failure)
    std::rethrow_exception(m_failure);
}

void TVideoExport::Run() {
  std::unique_lock lock(m_lock);
  for (;;) {
    m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
    if (m_queue.empty())
      return;
    TJob job = std::move(m_queue.front());
    m_queue.pop_front();
    // After a failure the file is abandoned: the rest is not encoded.
    if (m_failure)
      continue;
    m_busy = true;
    lock.unlock();
    std::exception_ptr failure;
    try {
      if (!job.Sound.empty())
        m_encoder->WriteSound(job.Sound.data(), static_cast<int64_t>(job.Sound.size() / 2));
      if (!job.Picture.IsEmpty())
        m_encoder->WritePicture(job.Picture);
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    m_busy = false;
    if (failure && !m_failure)
      m_failure = failure;
    m_changed.notify_all();
  }
}

} // namespace qx
