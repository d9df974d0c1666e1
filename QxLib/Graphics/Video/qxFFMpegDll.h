// The binding of the video-decoding library (Plugins/qxFFmpeg): loaded once
// per process from the path the start-up locator set, shared by reference
// count and freed by the last release. A library that lacks one of the
// functions the player relies on is refused; the show then plays without
// video and without the sound formats only that library reads.
#pragma once

#include "Plugins/qxFFmpeg/qxFFmpegLib.h"
#include "QxLib/qxRefCounted.h"

#include <memory>
#include <mutex>
#include <string>

namespace qx {

class TDynamicLibrary;

class TFFMpegDll : public TRefCounted {
public:
  // The names every library must export, in the order they are looked up.
  static constexpr const char* kRequiredExports[] = {"OpenMediaFile",
                                                     "OpenMediaFile2",
                                                     "CloseMediaFile",
                                                     "AllocBuffer",
                                                     "AllocBufferWithData",
                                                     "FreeBuffer",
                                                     "ConvertFrame",
                                                     "GetNextVideoFrame",
                                                     "SeekFile",
                                                     "GetFormatName",
                                                     "Flush",
                                                     "FlushVideo",
                                                     "GetFrameInfo",
                                                     "GetDtsPts",
                                                     "GetDtsPts2",
                                                     "GetAudioInfo",
                                                     "OpenAudioStream",
                                                     "CloseAudioStream",
                                                     "GetNextAudioFrame",
                                                     "AfterAudioSeek",
                                                     "GetCurrentPts",
                                                     "CreateVideoFile",
                                                     "CreateAudioFile",
                                                     "CreateVideoAudioFile"};

  // The library file Acquire loads; empty = none (no video). Setting a new
  // path lets the next Acquire after the last release load that file.
  static void SetLibraryPath(const std::string& path);
  static std::string LibraryPath();

  // The process's library, loaded on first use under the creation lock;
  // none when no path is set or the library is refused (logged once per
  // path). Every holder shares one instance.
  static TRefPtr<TFFMpegDll> Acquire();
  // Whether Acquire gives a library.
  static bool Available() { return static_cast<bool>(Acquire()); }

  // Loads `path` as a library of its own (not the shared one); none when it
  // cannot be loaded or lacks an export, with the reason in `error`.
  static TRefPtr<TFFMpegDll> Load(const std::string& path, std::string* error = nullptr);

  // The process-wide lock held while media files and sound streams are
  // opened and closed.
  static std::mutex& MediaLock();

  QxOpenMediaFileFunc OpenMediaFile = nullptr;
  QxOpenMediaFile2Func OpenMediaFile2 = nullptr;
  QxCloseMediaFileFunc CloseMediaFile = nullptr;
  QxAllocBufferFunc AllocBuffer = nullptr;
  QxAllocBufferWithDataFunc AllocBufferWithData = nullptr;
  QxFreeBufferFunc FreeBuffer = nullptr;
  QxConvertFrameFunc ConvertFrame = nullptr;
  QxGetNextVideoFrameFunc GetNextVideoFrame = nullptr;
  QxSeekFileFunc SeekFile = nullptr;
  QxGetFormatNameFunc GetFormatName = nullptr;
  QxFlushFunc Flush = nullptr;
  QxFlushVideoFunc FlushVideo = nullptr;
  QxGetFrameInfoFunc GetFrameInfo = nullptr;
  QxGetDtsPtsFunc GetDtsPts = nullptr;
  QxGetDtsPts2Func GetDtsPts2 = nullptr;
  QxGetAudioInfoFunc GetAudioInfo = nullptr;
  QxOpenAudioStreamFunc OpenAudioStream = nullptr;
  QxCloseAudioStreamFunc CloseAudioStream = nullptr;
  QxGetNextAudioFrameFunc GetNextAudioFrame = nullptr;
  QxAfterAudioSeekFunc AfterAudioSeek = nullptr;
  QxGetCurrentPtsFunc GetCurrentPts = nullptr;
  QxCreateVideoFileFunc CreateVideoFile = nullptr;
  QxCreateAudioFileFunc CreateAudioFile = nullptr;
  QxCreateVideoAudioFileFunc CreateVideoAudioFile = nullptr;
  // The writing side of the created files; null when the library has none.
  QxWriteVideoFrameFunc WriteVideoFrame = nullptr;
  QxWriteAudioSamplesFunc WriteAudioSamples = nullptr;
  QxCloseOutputFileFunc CloseOutputFile = nullptr;

  const std::string& Path() const { return m_path; }

private:
  TFFMpegDll(std::unique_ptr<TDynamicLibrary> library, std::string path);
  ~TFFMpegDll() override;
  // Looks every function up; the name of the first missing one, else "".
  std::string Bind();

  std::unique_ptr<TDynamicLibrary> m_library;
  std::string m_path;
  bool m_shared = false;
};

} // namespace qx
