// The in-memory model of an INI-style text: sections of key=value lines with
// nested "object" ... "end" blocks. Every line is kept as it was read, so an
// unchanged storage saves back to the same lines, and setting a value touches
// only that value's text. Keys and section names are found through hashed
// indexes without regard to case.
#pragma once

#include "QxLib/qxColor.h"
#include "QxLib/qxGeometry.h"
#include "QxLib/qxTextReader.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TStream;
class TIniCollection;
class TIniIdentList;
class TIniIdent;
class TIniObject;
class TIniSection;

enum class TIniItemKind : uint8_t { EmptyLine, TextLine, Comment, Ident, Section, Object, Storage };

// One item of a collection: a line, or a block of lines.
class TCommonIniItem {
public:
  TCommonIniItem(const TCommonIniItem&) = delete;
  TCommonIniItem& operator=(const TCommonIniItem&) = delete;
  virtual ~TCommonIniItem() = default;

  TIniCollection* Owner() const { return m_owner; }
  TCommonIniItem* Next() const { return m_next.get(); }
  TCommonIniItem* Prev() const { return m_prev; }
  TIniItemKind Kind() const { return m_kind; }

  // The name of the item's class, used in diagnostics.
  virtual const char* ItemClassName() const = 0;
  // The list of sub-items. Collections answer themselves; a line raises an
  // assertion "<class> cann`t has subitems".
  virtual TIniCollection& SubItems() = 0;
  // A deep copy that belongs to no collection yet.
  virtual std::unique_ptr<TCommonIniItem> Clone() const = 0;
  // Appends the item's lines as they would be saved.
  virtual void WriteLines(std::vector<std::string>& lines) const = 0;

protected:
  explicit TCommonIniItem(TIniItemKind kind) : m_kind(kind) {}

private:
  friend class TIniCollection;

  TIniCollection* m_owner = nullptr;
  TCommonIniItem* m_prev = nullptr;
  std::unique_ptr<TCommonIniItem> m_next; // each item owns its successor
  const TIniItemKind m_kind;
};

// A blank line.
class TIniEmptyLine : public TCommonIniItem {
public:
  TIniEmptyLine() : TCommonIniItem(TIniItemKind::EmptyLine) {}

  const char* ItemClassName() const override { return "TIniEmptyLine"; }
  TIniCollection& SubItems() override;
  std::unique_ptr<TCommonIniItem> Clone() const override { return std::make_unique<TIniEmptyLine>(); }
  void WriteLines(std::vector<std::string>& lines) const override { lines.emplace_back(); }

protected:
  explicit TIniEmptyLine(TIniItemKind kind) : TCommonIniItem(kind) {}
};

// A line kept verbatim.
class TIniTextLine : public TIniEmptyLine {
public:
  explicit TIniTextLine(std::string text) : TIniEmptyLine(TIniItemKind::TextLine), m_text(std::move(text)) {}

  const std::string& Text() const { return m_text; }

  const char* ItemClassName() const override { return "TIniTextLine"; }
  std::unique_ptr<TCommonIniItem> Clone() const override { return std::make_unique<TIniTextLine>(m_text); }
  void WriteLines(std::vector<std::string>& lines) const override { lines.push_back(m_text); }

protected:
  TIniTextLine(TIniItemKind kind, std::string text) : TIniEmptyLine(kind), m_text(std::move(text)) {}

  std::string m_text;
};

// A comment line; remembers where its ";" is.
class TIniComment : public TIniTextLine {
public:
  TIniComment(std::string text, int32_t semicolon)
      : TIniTextLine(TIniItemKind::Comment, std::move(text)), m_semicolon(semicolon) {}

  int32_t SemicolonPos() const { return m_semicolon; }
  std::string Comment() const { return m_text.substr(static_cast<size_t>(m_semicolon) + 1); }

  const char* ItemClassName() const override { return "TIniComment"; }
  std::unique_ptr<TCommonIniItem> Clone() const override { return std::make_unique<TIniComment>(m_text, m_semicolon); }

private:
  int32_t m_semicolon;
};

// A key=value line: the raw text and the positions (0-based) of the key and
// the value in it, the lower-cased key and its bucket in the key index.
class TIniIdent : public TIniTextLine {
public:
  // keyStart/keyLength/valueStart must lie within text.
  TIniIdent(std::string text, int32_t keyStart, int32_t keyLength, int32_t valueStart);
  // A new line "<indent spaces><key>=".
  static std::unique_ptr<TIniIdent> Make(std::string_view key, int indent);

  std::string Key() const { return m_text.substr(m_keyStart, m_keyLength); }
  std::string_view KeyView() const { return std::string_view(m_text).substr(m_keyStart, m_keyLength); }
  // The value without trailing blanks.
  std::string Value() const { return std::string(ValueView()); }
  std::string_view ValueView() const;
  // Keeps everything before the value start and replaces the rest.
  void SetValue(std::string_view value);

  const std::string& LowerKey() const { return m_lowerKey; }
  uint32_t Bucket() const { return m_bucket; }
  TIniIdent* NextInBucket() const { return m_nextInBucket; }

  const char* ItemClassName() const override { return "TIniIdent"; }
  std::unique_ptr<TCommonIniItem> Clone() const override;

private:
  friend class TIniIdentList;

  int32_t m_keyStart;
  int32_t m_keyLength;
  int32_t m_valueStart;
  uint32_t m_bucket;
  std::string m_lowerKey;
  TIniIdent* m_nextInBucket = nullptr;
};

// An ordered, doubly linked list of items that owns them.
class TIniCollection : public TCommonIniItem {
public:
  ~TIniCollection() override;

  TCommonIniItem* First() const { return m_first.get(); }
  TCommonIniItem* Last() const { return m_last; }
  bool IsEmpty() const { return !m_first; }

  // Adds at the end; returns the item.
  TCommonIniItem& Add(std::unique_ptr<TCommonIniItem> item);
  // Inserts after `after` (an item of this collection), or first when null.
  TCommonIniItem& InsertAfter(TCommonIniItem* after, std::unique_ptr<TCommonIniItem> item);
  // Unlinks an item of this collection (and drops it from the indexes) and
  // hands it back; a null or foreign item gives null.
  virtual std::unique_ptr<TCommonIniItem> Extract(TCommonIniItem* item);
  // Frees an item of this collection.
  void Remove(TCommonIniItem* item) { Extract(item); }
  // Frees every item.
  virtual void Clear();
  // Replaces the items by clones of the other's items.
  void Assign(const TIniCollection& other);
  // Adds clones of every item to `target`.
  void CloneItemsInto(TIniCollection& target) const;

  TIniCollection& SubItems() override { return *this; }
  void WriteLines(std::vector<std::string>& lines) const override;

protected:
  explicit TIniCollection(TIniItemKind kind) : TCommonIniItem(kind) {}

  // Hooks for the indexes, called after linking and before unlinking.
  virtual void ItemLinked(TCommonIniItem& /*item*/) {}
  virtual void ItemUnlinking(TCommonIniItem& /*item*/) {}
  // Frees the items without unindexing them one by one.
  void FreeItems();

private:
  std::unique_ptr<TCommonIniItem> m_first;
  TCommonIniItem* m_last = nullptr;
};

// A collection with a key index of 251 buckets and the typed readers.
class TIniIdentList : public TIniCollection {
public:
  static constexpr uint32_t kKeyBuckets = 251;
  // No limit on the item count of the list readers.
  static constexpr int kNoLimit = -1;

  ~TIniIdentList() override;

  // The key line, the last one when the key repeats; lookups ignore case.
  TIniIdent* FindKey(std::string_view key) const;
  // Finds the key or adds the line "<indent><key>=" right after the last key
  // line of this collection (first when it has none).
  TIniIdent* FindOrAddKey(std::string_view key, int indent);
  TIniIdent* FindOrAddKey(std::string_view key) { return FindOrAddKey(key, KeyIndent()); }
  bool KeyExists(std::string_view key) const { return FindKey(key) != nullptr; }

  // Nested objects in order, continuing through the sections that share
  // this section's name.
  TIniObject* FirstObject() const;
  TIniObject* NextObject(const TIniObject* after) const;
  // The object with the given name (ignoring case), searched like FirstObject.
  TIniObject* FindObject(std::string_view name) const;

  // Typed readers: a missing key or a value that does not convert gives the
  // default.
  std::string ReadString(std::string_view key, std::string_view def) const;
  int32_t ReadInteger(std::string_view key, int32_t def) const;
  // As ReadInteger; a missing or bad value gives the low 32 bits of def.
  int32_t ReadInteger64Default(std::string_view key, int64_t def) const;
  double ReadFloat(std::string_view key, double def) const;
  bool ReadBool(std::string_view key, bool def) const;
  // Index of the first word equal to the value, else def.
  int ReadChoice(std::string_view key, std::span<const std::string_view> words, int def, bool ignoreCase) const;
  int ReadChoice(std::string_view key, std::initializer_list<std::string_view> words, int def, bool ignoreCase) const {
    return ReadChoice(key, std::span<const std::string_view>(words.begin(), words.size()), def, ignoreCase);
  }
  // Items split at ",", leading blanks removed; at most maxCount (kNoLimit
  // for all). A missing key or an empty value gives no items.
  std::vector<std::string> ReadTextList(std::string_view key, int maxCount = kNoLimit) const;
  // Count of items read into out, or ~index of the first bad item (out then
  // holds the items before it).
  int ReadIntegerList(std::string_view key, std::vector<int32_t>& out, int maxCount = kNoLimit) const;
  int ReadFloatList(std::string_view key, std::vector<double>& out, int maxCount = kNoLimit) const;
  // Components clamped to 0..255; fewer than three (four) gives def.
  TRgb ReadColor(std::string_view key, TRgb def) const;
  TRgba ReadColorAlpha(std::string_view key, TRgba def) const;
  // False (and the output untouched) unless the value holds two numbers.
  bool ReadPoint(std::string_view key, TPoint& point) const;
  bool ReadFloatPoint(std::string_view key, TFloatPoint& point) const;
  // Four floats (left, top, right, bottom), or six whose last two are a
  // point stored into *point when given. False and outputs untouched otherwise.
  bool ReadRect(std::string_view key, TFloatRect& rect, TFloatPoint* point) const;

  // Finds or adds the key, then sets its value.
  void WriteString(std::string_view key, std::string_view value);
  void WriteInteger(std::string_view key, int32_t value);
  void WriteFloat(std::string_view key, double value);
  void WriteBool(std::string_view key, bool value) { WriteInteger(key, value ? 1 : 0); }

  void Clear() override;

protected:
  explicit TIniIdentList(TIniItemKind kind) : TIniCollection(kind) {}

  // Indentation of keys added by FindOrAddKey.
  virtual int KeyIndent() const { return 0; }
  // The list whose key index holds this list's keys (the first section of a
  // group of same-named sections).
  virtual const TIniIdentList& IndexList() const { return *this; }
  // The next section sharing this section's name, for object enumeration.
  virtual const TIniIdentList* NextGroupMember() const { return nullptr; }

  void ItemLinked(TCommonIniItem& item) override;
  void ItemUnlinking(TCommonIniItem& item) override;
  // Puts every key line of this list into IndexList()'s index again.
  void ReindexKeys();
  void ResetKeyIndex() { m_buckets.reset(); }

private:
  void IndexKey(TIniIdent& ident) const;
  void UnindexKey(TIniIdent& ident) const;
  TIniIdent* FindLowerKey(std::string_view lowerKey, uint32_t bucket) const;

  // Allocated with the first key; mutable because group members index their
  // keys into the first section's index through a const reference.
  mutable std::unique_ptr<TIniIdent*[]> m_buckets;
};

// A collection with a header line: sections and objects.
class TCommonIniSection : public TIniIdentList {
public:
  const std::string& Header() const { return m_header; }
  std::string Name() const { return m_header.substr(m_nameStart, m_nameLength); }
  virtual void SetName(std::string_view name) = 0;

  void WriteLines(std::vector<std::string>& lines) const override;

protected:
  TCommonIniSection(TIniItemKind kind, std::string header, int32_t nameStart, int32_t nameLength)
      : TIniIdentList(kind), m_header(std::move(header)), m_nameStart(nameStart), m_nameLength(nameLength) {}

  std::string m_header;
  int32_t m_nameStart;
  int32_t m_nameLength;
};

// A section opened by a bracketed header. Sections that repeat an earlier
// section's name form a group led by the first: their keys live in its key
// index and their objects are enumerated after its own.
class TIniSection : public TCommonIniSection {
public:
  static constexpr uint32_t kSectionBuckets = 9973;

  TIniSection(std::string header, int32_t nameStart, int32_t nameLength);
  // A section with the header "[name]".
  static std::unique_ptr<TIniSection> Make(std::string_view name);

  const std::string& LowerName() const { return m_lowerName; }
  uint32_t Bucket() const { return m_bucket; }
  // The first section of this section's group (itself when it leads).
  TIniSection& GroupHead() const { return m_groupHead ? *m_groupHead : const_cast<TIniSection&>(*this); }
  TIniSection* GroupNext() const { return m_groupNext; }

  void SetName(std::string_view name) override;

  const char* ItemClassName() const override { return "TIniSection"; }
  std::unique_ptr<TCommonIniItem> Clone() const override;

protected:
  const TIniIdentList& IndexList() const override { return GroupHead(); }
  const TIniIdentList* NextGroupMember() const override { return m_groupNext; }

private:
  friend class TIniStorage;

  void SetNamePositions();

  std::string m_lowerName;
  uint32_t m_bucket = 0;
  TIniSection* m_nextInBucket = nullptr;
  TIniSection* m_groupHead = nullptr; // null when leading its group
  TIniSection* m_groupNext = nullptr;
};

// A nested "object name:class" block; its last item is normally its "end"
// line.
class TIniObject : public TCommonIniSection {
public:
  // Parses the header line "<indent>object <name>:<class>".
  explicit TIniObject(std::string header);
  // A header "<indent spaces>object <name>:<className>".
  static std::unique_ptr<TIniObject> Make(std::string_view name, std::string_view className, int indent);

  std::string ClassName() const { return m_header.substr(m_classStart, m_classLength); }
  // Replaces the class name, or appends ":" + className when the header
  // has no ":".
  void SetClassName(std::string_view className);
  void SetName(std::string_view name) override;
  // Count of leading characters below code 33 in the header.
  int Indent() const { return m_indent; }

  const char* ItemClassName() const override { return "TIniObject"; }
  std::unique_ptr<TCommonIniItem> Clone() const override;

protected:
  int KeyIndent() const override { return m_indent + 2; }

private:
  void ParseHeader();

  int32_t m_classStart = 0;
  int32_t m_classLength = 0;
  int32_t m_indent = 0;
  bool m_hasColon = false;
};

// Reports a malformed line: code (0 "end" without an object, 1 object not
// closed, 2 unknown line), position of the line's first character counted in
// UTF-16 units of the decoded text, 1-based line number.
using TIniErrorHandler = std::function<void(int code, int64_t charPos, int line)>;

// The whole text: top-level keys and objects before the first section, then
// the sections, found through an index of 9973 buckets.
class TIniStorage : public TIniIdentList {
public:
  TIniStorage();
  ~TIniStorage() override;

  // Clears the storage and parses the stream from its position. Raises
  // EIniInvalidCharacter on undecodable text; malformed lines go to the
  // error handler.
  bool LoadFromStream(TStream& stream);
  bool LoadFromString(std::string_view bytes);
  // Writes the UTF-8 byte-order mark and every line ended by CR LF; false
  // when writing raised.
  bool SaveToStream(TStream& stream) const;
  std::string SaveToString() const;

  // The first section of that name (ignoring case).
  TIniSection* FindSection(std::string_view name) const;
  bool SectionExists(std::string_view name) const { return FindSection(name) != nullptr; }
  // Appends an empty line (unless the storage ends with one) and "[name]"
  // when missing.
  TIniSection* FindOrAddSection(std::string_view name);
  // Frees the section and every other section of the same name.
  void RemoveSection(TIniSection* section);
  std::vector<std::string> SectionNames() const;
  std::vector<std::string> Lines() const;

  using TIniIdentList::ReadBool;
  using TIniIdentList::ReadFloat;
  using TIniIdentList::ReadInteger;
  using TIniIdentList::ReadString;
  using TIniIdentList::WriteInteger;
  using TIniIdentList::WriteString;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
  double ReadFloat(std::string_view section, std::string_view key, double def) const;
  bool ReadBool(std::string_view section, std::string_view key, bool def) const;
  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);

  void SetErrorHandler(TIniErrorHandler handler) { m_errorHandler = std::move(handler); }
  const TIniErrorHandler& ErrorHandler() const { return m_errorHandler; }

  // A storage has no sub-item list: raises "Method not applicable".
  TIniCollection& SubItems() override;
  const char* ItemClassName() const override { return "TIniStorage"; }
  // A copy of the lines and indexes, without the error handler.
  std::unique_ptr<TCommonIniItem> Clone() const override;
  std::unique_ptr<TCommonIniItem> Extract(TCommonIniItem* item) override;
  void Clear() override;

protected:
  void ItemLinked(TCommonIniItem& item) override;
  void ItemUnlinking(TCommonIniItem& item) override;

private:
  friend class TIniSection;

  void IndexSection(TIniSection& section);
  void UnindexSection(TIniSection& section);
  // Rebuilds the section index and the same-name groups from the items.
  void RebuildSectionIndex();
  TIniSection* FindLowerSection(std::string_view lowerName, uint32_t bucket) const;

  std::unique_ptr<TIniSection*[]> m_sectionBuckets;
  TIniErrorHandler m_errorHandler;
};

} // namespace qx
