#include "QxLib/Graphics/qxJpegLoader.h"

#include "QxLib/Graphics/qxJpegError.h"
#include "QxLib/Graphics/qxImage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace qx {

namespace {

constexpr int kMaxJpegLevel = 3;
constexpr int kRowsPerRead = 16;

struct TJpegProgress {
  jpeg_progress_mgr Manager; // first: libjpeg sees only this part
  const TProgressCallback* Callback = nullptr;
  double Scale = 0.01;
};

void ProgressMonitor(j_common_ptr cinfo) {
  auto* progress = reinterpret_cast<TJpegProgress*>(cinfo->progress);
  const jpeg_progress_mgr& m = progress->Manager;
  const double pass = m.pass_limit > 0 ? static_cast<double>(m.pass_counter) / m.pass_limit : 0.0;
  const double percent = 100.0 * (m.completed_passes + pass) / (m.total_passes > 0 ? m.total_passes : 1);
  try {
    (*progress->Callback)(percent * progress->Scale);
  } catch (...) {
    // A progress observer cannot stop the decoder from inside libjpeg.
  }
}

// Everything one libjpeg run needs, kept at a fixed address so that a jump
// out of libjpeg leaves it in a known state.
struct TJpegJob {
  const std::string* Bytes = nullptr;
  int Level = 0;
  bool HeaderOnly = false;
  const TProgressCallback* Progress = nullptr;
  jpeg_decompress_struct Info{};
  TJpegError Error{};
  TJpegProgress ProgressManager{};
  bool Created = false;
  bool Cmyk = false;
  bool InvertedCmyk = false; // Adobe writers store CMYK inverted
  TJpegInfo Header;
  TBitmap Pixels; // Bgr24, or Gray8 for a grey-scale picture

  TJpegJob() {
    Info.err = jpeg_std_error(&Error.Manager);
    Error.Manager.error_exit = JpegErrorExit;
    Error.Manager.output_message = JpegSilentMessage;
  }
  ~TJpegJob() {
    if (Created)
      jpeg_destroy_decompress(&Info);
  }
  TJpegJob(const TJpegJob&) = delete;
  TJpegJob& operator=(const TJpegJob&) = delete;
};

// The libjpeg calls proper. Holds no objects with destructors across libjpeg
// calls, so a jump out of it skips nothing. May also raise (size limits)
// before decoding starts.
void RunJob(TJpegJob& job) {
  jpeg_decompress_struct& info = job.Info;
  jpeg_create_decompress(&info);
  job.Created = true;
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(job.Bytes->data()),
               static_cast<unsigned long>(job.Bytes->size()));
  jpeg_read_header(&info, TRUE);
  job.Header.Width = static_cast<int>(info.image_width);
  job.Header.Height = static_cast<int>(info.image_height);
  job.Header.Components = info.num_components;
  job.Header.Grey = info.jpeg_color_space == JCS_GRAYSCALE;
  job.Cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  job.InvertedCmyk = job.Cmyk && info.saw_Adobe_marker;
  if (job.HeaderOnly)
    return;

  info.scale_num = 1;
  info.scale_denom = 1u << job.Level;
  info.out_color_space = job.Header.Grey ? JCS_GRAYSCALE : job.Cmyk ? JCS_CMYK : JCS_EXT_BGR;
  jpeg_calc_output_dimensions(&info);
  // CMYK rows are decoded into 4-byte pixels and turned into BGR afterwards.
  const TPixelFormat format = job.Header.Grey ? TPixelFormat::Gray8
                              : job.Cmyk      ? TPixelFormat::Bgra32
                                              : TPixelFormat::Bgr24;
  CheckPictureSize(info.output_width, info.output_height, format);
  job.Pixels =
      TBitmap::Uninitialized(static_cast<int>(info.output_width), static_cast<int>(info.output_height), format);
  if (job.Progress && *job.Progress) {
    job.ProgressManager.Manager.progress_monitor = ProgressMonitor;
    job.ProgressManager.Callback = job.Progress;
    job.ProgressManager.Scale = job.Header.Grey ? 0.005 : 0.01;
    info.progress = &job.ProgressManager.Manager;
  }
  jpeg_start_decompress(&info);
  // Several rows per call let libjpeg write a whole band of rows at once.
  JSAMPROW rows[kRowsPerRead];
  while (info.output_scanline < info.output_height) {
    const int first = static_cast<int>(info.output_scanline);
    const int count = std::min<int>(kRowsPerRead, static_cast<int>(info.output_height) - first);
    for (int i = 0; i < count; ++i)
      rows[i] = job.Pixels.Scanline(first + i);
    jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count));
  }
  jpeg_finish_decompress(&info);
}

bool RunGuarded(TJpegJob& job) {
  if (setjmp(job.Error.Jump) != 0)
    return false;
  RunJob(job);
  return true;
}

TBitmap ExpandGrey(const TBitmap& grey, const TProgressCallback& progress) {
  TBitmap result = TBitmap::Uninitialized(grey.Width(), grey.Height(), TPixelFormat::Bgr24);
  for (int y = 0; y < grey.Height(); ++y) {
    const uint8_t* s = grey.Scanline(y);
    uint8_t* d = result.Scanline(y);
    for (int x = 0; x < grey.Width(); ++x, d += 3)
      d[0] = d[1] = d[2] = s[x];
    if (progress)
      progress(0.5 + 0.5 * y / grey.Height());
  }
  return result;
}

TBitmap CmykToBgr(const TBitmap& cmyk, bool inverted) {
  TBitmap result = TBitmap::Uninitialized(cmyk.Width(), cmyk.Height(), TPixelFormat::Bgr24);
  for (int y = 0; y < cmyk.Height(); ++y) {
    const uint8_t* s = cmyk.Scanline(y);
    uint8_t* d = result.Scanline(y);
    for (int x = 0; x < cmyk.Width(); ++x, s += 4, d += 3) {
      const unsigned c = inverted ? s[0] : 255u - s[0];
      const unsigned m = inverted ? s[1] : 255u - s[1];
      const unsigned ye = inverted ? s[2] : 255u - s[2];
      const unsigned k = inverted ? s[3] : 255u - s[3];
      d[0] = static_cast<uint8_t>(ye * k / 255);
      d[1] = static_cast<uint8_t>(m * k / 255);
      d[2] = static_cast<uint8_t>(c * k / 255);
    }
  }
  return result;
}

} // namespace

bool ReadJpegInfo(const std::string& bytes, TJpegInfo& info) {
  TJpegJob job;
  job.Bytes = &bytes;
  job.HeaderOnly = true;
  if (!RunGuarded(job) || job.Header.Width <= 0 || job.Header.Height <= 0)
    return false;
  info = job.Header;
  return true;
}

TBitmap DecodeJpeg(const std::string& bytes, int level, const TProgressCallback& progress) {
  QX_ASSERT(level >= 0 && level <= kMaxJpegLevel, "JPEG level out of range");
  TJpegJob job;
  job.Bytes = &bytes;
  job.Level = level;
  job.Progress = &progress;
  if (!RunGuarded(job))
    throw EQxError(std::string("JPEG decoding failed: ") + job.Error.Message);
  TBitmap result = job.Header.Grey ? ExpandGrey(job.Pixels, progress)
                   : job.Cmyk      ? CmykToBgr(job.Pixels, job.InvertedCmyk)
                                   : std::move(job.Pixels);
  if (progress)
    progress(1.0);
  return result;
}

TJpegBitmapStore::TJpegBitmapStore(std::string fileName, std::string bytes, const TJpegInfo& info)
    : TSysBitmapStore(std::move(fileName), info.Width, info.Height, TPixelFormat::Bgr24), m_bytes(std::move(bytes)),
      m_info(info) {}

std::unique_ptr<TBitmap> TJpegBitmapStore::DecodeLevel(int level) {
  if (level > kMaxJpegLevel)
    return nullptr;
  return std::make_unique<TBitmap>(DecodeJpeg(m_bytes, level, [this](double f) { ReportProgress(f); }));
}

TRefPtr<TBitmapStore> LoadJpegPicture(TStream& stream, const std::string& fileName, std::unique_ptr<TStream>&,
                                      const TProgressCallback& progress) {
  const int64_t position = stream.GetPosition();
  uint8_t soi[3] = {};
  const bool isJpeg = stream.Read(soi, 3) == 3 && soi[0] == 0xFF && soi[1] == 0xD8 && soi[2] == 0xFF;
  stream.SetPosition(position);
  if (!isJpeg)
    return nullptr;
  std::string bytes = ReadPictureBytes(stream, kMaxPictureBytes);
  TJpegInfo info;
  if (!ReadJpegInfo(bytes, info)) {
    stream.SetPosition(position);
    return nullptr;
  }
  try {
    CheckPictureSize(info.Width, info.Height, TPixelFormat::Bgr24);
  } catch (...) {
    stream.SetPosition(position);
    throw;
  }
  auto store = MakeRef<TJpegBitmapStore>(fileName, std::move(bytes), info);
  if (progress)
    store->SetProgressCallback(progress);
  return store;
}

} // namespace qx
