// One play instance of a channel's file: its converter, the device buffer
// it fills, and the gain processing that fades it in and out. A channel
// makes a new instance for every start or seek while the old one fades out,
// so that seeking and restarting never click.
#pragma once

#include "QxLib/Music/qxStreamWrapper.h"
#include "QxLib/Music/qxWaveOut.h"
#include "QxLib/Music/qxWavConverter.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace qx {

class TChannelMusic;

class TMusicChannel : public TWaveOutFiller {
public:
  enum TState : int32_t { Prepared = 0, Playing = 1, Stopping = 2 };

  // Opens the file again (a composite description opens no stream), makes
  // and opens its converter and asks the device for a buffer of what the
  // converter delivers, at volume `volume`. Raises EQxError when any of it
  // fails. `owner` may be null (tests).
  TMusicChannel(TChannelMusic* owner, TWaveOutDevice& device, const TSoundFileAccess& files, const std::string& name,
                const TMediaInfo& info, float volume);
  ~TMusicChannel() override;
  TMusicChannel(const TMusicChannel&) = delete;
  TMusicChannel& operator=(const TMusicChannel&) = delete;

  // Prepared instances only (an assertion otherwise): positions the
  // converter at ms and decodes the prebuffer.
  void Seek(int32_t ms);
  // Starts playing with a fade-in of fadeMs (at least one frame); seeks to
  // 0 first when never seeked.
  void Play(int32_t fadeMs);
  // Fades out over fadeMs (at least one frame), starting 25 ms after the
  // request on data already queued.
  void Stop(int32_t fadeMs);
  void SetVolume(float volume);

  TState State() const { return m_state.load(); }
  bool AtEnd() const { return m_atEnd.load(); }
  // ms of the file: the buffer's play position plus StartOffset.
  int32_t GetPosition();
  int32_t StartOffset() const { return m_startOffset; }
  const TPcmFormat& OutputFormat() const { return m_format; }
  TWaveOutBuffer& Buffer() { return *m_buffer; }
  TWaveOutDevice& Device() { return m_device; }

  // The killer's view: the channel (null once orphaned), and the removal
  // delay in device ms from the stamp (-1 until scheduled).
  TChannelMusic* Owner() const { return m_owner.load(); }
  void Orphan() { m_owner.store(nullptr); }
  int32_t KillDelay() const { return m_killDelay.load(); }
  int64_t KillStamp() const { return m_killStamp.load(); }

  // TWaveOutFiller, on the buffer's refill thread.
  void FirstFill(TWaveOutBuffer& buffer, uint8_t* destination, int32_t count) override;
  void FadeQueued(TWaveOutBuffer& buffer, uint8_t* data, int32_t count) override;
  void Refill(TWaveOutBuffer& buffer, uint8_t* destination, int32_t count) override;

private:
  // Reads `count` bytes from the converter into `destination` (silence on
  // failure); false at the end of the file.
  bool Decode(uint8_t* destination, int32_t count);
  // Scales the bytes in place while a fade is active; `queued` tells that
  // they are already counted in the buffer's queued bytes.
  void ProcessGain(TWaveOutBuffer& buffer, uint8_t* data, int32_t count, bool queued);
  // Removal once the queued bytes and `blockBytes` more have played.
  void ScheduleRemoval(TWaveOutBuffer& buffer, int32_t blockBytes);

  std::atomic<TChannelMusic*> m_owner;
  TWaveOutDevice& m_device;
  TSoundFileAccess m_files;
  std::string m_name;
  TMediaInfo m_info;
  std::unique_ptr<TStream> m_stream;
  std::unique_ptr<TWavConverter> m_converter;
  TPcmFormat m_format;
  std::unique_ptr<TWaveOutBuffer> m_buffer;

  std::atomic<TState> m_state{Prepared};
  std::atomic<bool> m_atEnd{false};
  int32_t m_startOffset = 0;
  std::vector<uint8_t> m_prebuffer;
  bool m_seeked = false;

  // The gain state, shared by the channel's thread (play, stop) and the
  // refill thread.
  std::mutex m_gainLock;
  bool m_fadeInActive = false;
  bool m_fadeOutActive = false;
  bool m_stopRequested = false;
  float m_gain = 1.0f;
  double m_gainStep = 0.0;
  int32_t m_fadeInFrames = 0;
  int32_t m_fadeOutFrames = 0;

  // Removal scheduling: the first time, and again after a new stop.
  bool m_removalScheduled = false;
  bool m_rescheduleOnFade = false;
  std::atomic<int32_t> m_killDelay{-1};
  std::atomic<int64_t> m_killStamp{0};
};

// The format an instance plays: the converter's, except that anything that
// is not plain PCM of 8 or 16 bits plays as PCM 16-bit of the same channels
// and rate.
TPcmFormat InstanceOutputFormat(const TPcmFormat& delivered);

} // namespace qx
