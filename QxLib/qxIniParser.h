// Reading and writing INI texts: the line classifier that builds a storage
// from a decoded text, the writer that saves it as UTF-8 with CR LF line
// ends, and the file-backed storage.
#pragma once

#include "QxLib/qxIniStorage.h"
#include "QxLib/qxTextReader.h"

#include <string>
#include <vector>

namespace qx {

class TStream;

// Classifies each line of a text and adds it to the storage: comments, text
// lines, key lines, section headers, "object" blocks closed by "end".
// Malformed lines are reported to the storage's error handler and dropped.
class TIniParser : public TTextParser {
public:
  // Error codes of the error handler.
  static constexpr int kErrorEndWithoutObject = 0;
  static constexpr int kErrorObjectNotClosed = 1;
  static constexpr int kErrorUnknownLine = 2;
  // Deeper object blocks are dropped (reported as unknown lines) so that
  // freeing, copying and saving never recurse without bound.
  static constexpr size_t kMaxObjectDepth = 512;

  // Adds to the storage as it is; the caller clears it first.
  explicit TIniParser(TIniStorage& storage) : m_storage(storage), m_current(&storage) {}

protected:
  void ProcessLine(std::string_view line) override;
  void EndOfText() override;

private:
  void Report(int code, int64_t position, int line) const;
  void AddKeyLine(std::string_view line, size_t keyStart);
  bool AddSectionLine(std::string_view line, size_t bracket);
  void OpenObject(std::string_view line);
  void CloseObject(std::string_view line);

  TIniStorage& m_storage;
  TIniCollection* m_current;
  // Parents of the open objects; unchanged by section headers.
  std::vector<TIniCollection*> m_openParents;
  // Objects opened beyond kMaxObjectDepth, whose "end" lines are dropped too.
  int m_droppedObjects = 0;
};

// Writes the items of a collection as UTF-8 lines ended by CR LF, after the
// byte-order mark EF BB BF.
class TIniSaver {
public:
  explicit TIniSaver(TStream& stream) : m_stream(stream) {}
  TIniSaver(const TIniSaver&) = delete;
  TIniSaver& operator=(const TIniSaver&) = delete;

  void Save(const TIniCollection& items);

private:
  void WriteItems(const TIniCollection& items);
  void WriteLine(std::string_view line);
  void Flush();

  TStream& m_stream;
  std::string m_buffer;
};

// A storage that loads from and saves to files and streams.
class TIniFile : public TIniStorage {
public:
  TIniFile() = default;
  // Loads the file when it exists; a missing file gives an empty storage.
  explicit TIniFile(const std::string& path);

  // False when the file cannot be opened; raises on undecodable text.
  bool LoadFromFile(const std::string& path);
  // False when the file cannot be written.
  bool SaveToFile(const std::string& path) const;
  const std::string& FileName() const { return m_fileName; }

private:
  std::string m_fileName;
};

} // namespace qx
