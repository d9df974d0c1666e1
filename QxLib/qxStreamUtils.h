// Streams layered on other streams: a window onto part of a larger stream,
// and position-keyed XOR scrambling.
#pragma once

#include "QxLib/qxLoadCallback.h"
#include "QxLib/qxStream.h"

#include <memory>
#include <string>
#include <vector>

namespace qx {

// A part of a larger stream seen as a stream of its own. The window keeps no
// position: its position is the source's position minus the start, so two
// windows on one source move each other. Reads are split into pieces, and
// the load callback runs after every piece so that a loader thread can yield.
class TPartialStream : public TStream {
public:
  // Piece size while no callback is attached.
  static constexpr int32_t kDefaultPieceSize = 32768;
  // Upper bound of a requested piece size; keeps the copy buffer small.
  static constexpr int32_t kMaxPieceSize = 1 << 20;

  // Raises EStreamError "Insufficient Source Size" when the window does not
  // lie within the source. The first form owns the source, the second
  // borrows it. The source is set to the window's start.
  TPartialStream(std::unique_ptr<TStream> source, int64_t start, int64_t size);
  TPartialStream(TStream& source, int64_t start, int64_t size);
  ~TPartialStream() override;

  // With an empty callback: a callback that does nothing and pieces of
  // kDefaultPieceSize. Otherwise pieces of the requested size (within
  // 1 ... kMaxPieceSize).
  void AttachCallback(int32_t requestedPieceSize, TLoadCallback callback);
  // Attaches the process-wide load callback.
  void AttachLoadCallback(int32_t requestedPieceSize);
  int32_t PieceSize() const { return m_pieceSize; }

  int64_t GetPosition() override;
  // No range check: at or beyond the end reads and writes move nothing.
  void SetPosition(int64_t position) override;
  int64_t GetSize() override { return m_size; }
  // Raises EStreamError "Stream Cannot be resized".
  void SetSize(int64_t size) override;
  // Copies through the piece buffer into the source, calling the callback
  // after each read and each write; a short write raises EStreamWriteError.
  int64_t CopyFrom(TStream& source, int64_t count) override;
  int64_t Read(void* buffer, int64_t count) override;
  // Never grows the window: writing stops at its end.
  int64_t Write(const void* buffer, int64_t count) override;

  TStream& Source() { return m_source; }
  int64_t Start() const { return m_start; }

private:
  // Checks that the window lies within the source and moves to its start.
  void Open();
  // Bytes that may move from position p on: none outside the window.
  int64_t RoomAt(int64_t position) const;

  std::unique_ptr<TStream> m_ownedSource;
  TStream& m_source;
  const int64_t m_start;
  const int64_t m_size;
  TLoadCallback m_callback;
  int32_t m_pieceSize = kDefaultPieceSize;
  std::vector<uint8_t> m_pieceBuffer;
};

// XOR scrambling keyed by position: byte p of the inner stream is XORed with
// key byte (p mod key length), so any range reads the same as the whole.
// Position, size and SetSize are the inner stream's.
class TCryptStream : public TStream {
public:
  // The key must not be empty (assertion).
  TCryptStream(std::unique_ptr<TStream> inner, std::string key);
  TCryptStream(TStream& inner, std::string key);
  ~TCryptStream() override;

  int64_t GetPosition() override { return m_inner.GetPosition(); }
  void SetPosition(int64_t position) override { m_inner.SetPosition(position); }
  int64_t GetSize() override { return m_inner.GetSize(); }
  void SetSize(int64_t size) override { m_inner.SetSize(size); }
  // Unscrambles in place in the caller's buffer.
  int64_t Read(void* buffer, int64_t count) override;
  // Scrambles a copy; the caller's buffer is left unchanged.
  int64_t Write(const void* buffer, int64_t count) override;

  const std::string& Key() const { return m_key; }

private:
  // XORs `count` bytes that belong at inner position `position`.
  void Apply(uint8_t* bytes, int64_t count, int64_t position) const;

  std::unique_ptr<TStream> m_ownedInner;
  TStream& m_inner;
  const std::string m_key;
};

} // namespace qx
