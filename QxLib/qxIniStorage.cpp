#include "QxLib/qxIniStorage.h"

#include "QxLib/qxElfHash.h"
#include "QxLib/qxExceptions.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>

namespace qx {

namespace {

int32_t Pos32(size_t value) { return static_cast<int32_t>(value); }

} // namespace

// ---------------------------------------------------------------------------
// Lines

TIniCollection& TIniEmptyLine::SubItems() {
  AssertionFailed(std::string(ItemClassName()) + " cann`t has subitems", __FILE__, __LINE__);
}

TIniIdent::TIniIdent(std::string text, int32_t keyStart, int32_t keyLength, int32_t valueStart)
    : TIniTextLine(TIniItemKind::Ident, std::move(text)), m_keyStart(keyStart), m_keyLength(keyLength),
      m_valueStart(valueStart) {
  m_lowerKey = LowerCase(KeyView());
  m_bucket = ElfHash(m_lowerKey) % TIniIdentList::kKeyBuckets;
}

std::unique_ptr<TIniIdent> TIniIdent::Make(std::string_view key, int indent) {
  std::string text(static_cast<size_t>(std::max(indent, 0)), ' ');
  const int32_t keyStart = Pos32(text.size());
  text.append(key);
  text.push_back('=');
  return std::make_unique<TIniIdent>(std::move(text), keyStart, Pos32(key.size()), Pos32(text.size()));
}

std::string_view TIniIdent::ValueView() const {
  std::string_view value = std::string_view(m_text).substr(m_valueStart);
  while (!value.empty() && IsBlank(value.back()))
    value.remove_suffix(1);
  return value;
}

void TIniIdent::SetValue(std::string_view value) {
  m_text.resize(static_cast<size_t>(m_valueStart));
  m_text.append(value);
}

std::unique_ptr<TCommonIniItem> TIniIdent::Clone() const {
  return std::make_unique<TIniIdent>(m_text, m_keyStart, m_keyLength, m_valueStart);
}

// ---------------------------------------------------------------------------
// TIniCollection

TIniCollection::~TIniCollection() { FreeItems(); }

void TIniCollection::FreeItems() {
  // From the tail, so that freeing never recurses along the chain of
  // successors.
  while (m_last) {
    TCommonIniItem* const prev = m_last->m_prev;
    std::unique_ptr<TCommonIniItem>& slot = prev ? prev->m_next : m_first;
    m_last = prev;
    slot.reset();
  }
}

TCommonIniItem& TIniCollection::Add(std::unique_ptr<TCommonIniItem> item) {
  return InsertAfter(m_last, std::move(item));
}

TCommonIniItem& TIniCollection::InsertAfter(TCommonIniItem* after, std::unique_ptr<TCommonIniItem> item) {
  QX_ASSERT(item && !item->m_owner, "Item already belongs to a collection");
  QX_ASSERT(!after || after->m_owner == this, "Insertion point outside the collection");
  TCommonIniItem& added = *item;
  std::unique_ptr<TCommonIniItem>& slot = after ? after->m_next : m_first;
  added.m_next = std::move(slot);
  if (added.m_next)
    added.m_next->m_prev = &added;
  else
    m_last = &added;
  added.m_prev = after;
  added.m_owner = this;
  slot = std::move(item);
  ItemLinked(added);
  return added;
}

std::unique_ptr<TCommonIniItem> TIniCollection::Extract(TCommonIniItem* item) {
  if (!item || item->m_owner != this)
    return nullptr;
  ItemUnlinking(*item);
  TCommonIniItem* const prev = item->m_prev;
  std::unique_ptr<TCommonIniItem>& slot = prev ? prev->m_next : m_first;
  std::unique_ptr<TCommonIniItem> extracted = std::move(slot);
  slot = std::move(extracted->m_next);
  if (slot)
    slot->m_prev = prev;
  else
    m_last = prev;
  extracted->m_prev = nullptr;
  extracted->m_owner = nullptr;
  return extracted;
}

void TIniCollection::Clear() { FreeItems(); }

void TIniCollection::Assign(const TIniCollection& other) {
  if (&other == this)
    return;
  Clear();
  other.CloneItemsInto(*this);
}

void TIniCollection::CloneItemsInto(TIniCollection& target) const {
  for (const TCommonIniItem* item = First(); item; item = item->Next())
    target.Add(item->Clone());
}

void TIniCollection::WriteLines(std::vector<std::string>& lines) const {
  for (const TCommonIniItem* item = First(); item; item = item->Next())
    item->WriteLines(lines);
}

// ---------------------------------------------------------------------------
// TIniIdentList

TIniIdentList::~TIniIdentList() = default;

void TIniIdentList::IndexKey(TIniIdent& ident) const {
  const TIniIdentList& index = IndexList();
  if (!index.m_buckets)
    index.m_buckets = std::make_unique<TIniIdent*[]>(kKeyBuckets);
  TIniIdent*& head = index.m_buckets[ident.m_bucket];
  // The newest line goes first so that the last occurrence is found.
  ident.m_nextInBucket = head;
  head = &ident;
}

void TIniIdentList::UnindexKey(TIniIdent& ident) const {
  const TIniIdentList& index = IndexList();
  if (!index.m_buckets)
    return;
  TIniIdent** link = &index.m_buckets[ident.m_bucket];
  while (*link && *link != &ident)
    link = &(*link)->m_nextInBucket;
  if (*link)
    *link = ident.m_nextInBucket;
  ident.m_nextInBucket = nullptr;
}

void TIniIdentList::ItemLinked(TCommonIniItem& item) {
  if (item.Kind() == TIniItemKind::Ident)
    IndexKey(static_cast<TIniIdent&>(item));
}

void TIniIdentList::ItemUnlinking(TCommonIniItem& item) {
  if (item.Kind() == TIniItemKind::Ident)
    UnindexKey(static_cast<TIniIdent&>(item));
}

void TIniIdentList::ReindexKeys() {
  for (TCommonIniItem* item = First(); item; item = item->Next())
    if (item->Kind() == TIniItemKind::Ident)
      IndexKey(static_cast<TIniIdent&>(*item));
}

void TIniIdentList::Clear() {
  // Keys held in another list's index (or other lists' keys held in this
  // one) must leave that index one by one.
  if (&IndexList() != this || NextGroupMember()) {
    for (TCommonIniItem* item = First(); item; item = item->Next())
      ItemUnlinking(*item);
  } else {
    m_buckets.reset();
  }
  FreeItems();
}

TIniIdent* TIniIdentList::FindLowerKey(std::string_view lowerKey, uint32_t bucket) const {
  const TIniIdentList& index = IndexList();
  if (!index.m_buckets)
    return nullptr;
  for (TIniIdent* ident = index.m_buckets[bucket]; ident; ident = ident->m_nextInBucket)
    if (ident->m_lowerKey == lowerKey)
      return ident;
  return nullptr;
}

TIniIdent* TIniIdentList::FindKey(std::string_view key) const {
  const std::string lower = LowerCase(key);
  return FindLowerKey(lower, ElfHash(lower) % kKeyBuckets);
}

TIniIdent* TIniIdentList::FindOrAddKey(std::string_view key, int indent) {
  if (TIniIdent* found = FindKey(key))
    return found;
  TCommonIniItem* lastKey = Last();
  while (lastKey && lastKey->Kind() != TIniItemKind::Ident)
    lastKey = lastKey->Prev();
  return static_cast<TIniIdent*>(&InsertAfter(lastKey, TIniIdent::Make(key, indent)));
}

TIniObject* TIniIdentList::FirstObject() const {
  for (const TIniIdentList* list = this; list; list = list->NextGroupMember())
    for (TCommonIniItem* item = list->First(); item; item = item->Next())
      if (item->Kind() == TIniItemKind::Object)
        return static_cast<TIniObject*>(item);
  return nullptr;
}

TIniObject* TIniIdentList::NextObject(const TIniObject* after) const {
  if (!after)
    return FirstObject();
  for (TCommonIniItem* item = after->Next(); item; item = item->Next())
    if (item->Kind() == TIniItemKind::Object)
      return static_cast<TIniObject*>(item);
  const auto* owner = static_cast<const TIniIdentList*>(after->Owner());
  if (!owner)
    return nullptr;
  for (const TIniIdentList* list = owner->NextGroupMember(); list; list = list->NextGroupMember())
    for (TCommonIniItem* item = list->First(); item; item = item->Next())
      if (item->Kind() == TIniItemKind::Object)
        return static_cast<TIniObject*>(item);
  return nullptr;
}

TIniObject* TIniIdentList::FindObject(std::string_view name) const {
  for (TIniObject* object = FirstObject(); object; object = NextObject(object))
    if (SameText(object->Name(), name))
      return object;
  return nullptr;
}

void TIniIdentList::WriteString(std::string_view key, std::string_view value) {
  TIniIdent* const ident = FindOrAddKey(key);
  QX_ASSERT(ident != nullptr, "Key missing after FindOrAddKey");
  ident->SetValue(value);
}

void TIniIdentList::WriteInteger(std::string_view key, int32_t value) { WriteString(key, std::to_string(value)); }

// ---------------------------------------------------------------------------
// Sections and objects

void TCommonIniSection::WriteLines(std::vector<std::string>& lines) const {
  lines.push_back(m_header);
  TIniCollection::WriteLines(lines);
}

TIniSection::TIniSection(std::string header, int32_t nameStart, int32_t nameLength)
    : TCommonIniSection(TIniItemKind::Section, std::move(header), nameStart, nameLength) {
  SetNamePositions();
}

void TIniSection::SetNamePositions() {
  m_lowerName = LowerCase(std::string_view(m_header).substr(m_nameStart, m_nameLength));
  m_bucket = ElfHash(m_lowerName) % kSectionBuckets;
}

std::unique_ptr<TIniSection> TIniSection::Make(std::string_view name) {
  std::string header = "[";
  header.append(name);
  header.push_back(']');
  return std::make_unique<TIniSection>(std::move(header), 1, Pos32(name.size()));
}

void TIniSection::SetName(std::string_view name) {
  m_header.replace(static_cast<size_t>(m_nameStart), static_cast<size_t>(m_nameLength), name);
  m_nameLength = Pos32(name.size());
  SetNamePositions();
  if (Owner() && Owner()->Kind() == TIniItemKind::Storage)
    static_cast<TIniStorage*>(Owner())->RebuildSectionIndex();
}

std::unique_ptr<TCommonIniItem> TIniSection::Clone() const {
  auto copy = std::make_unique<TIniSection>(m_header, m_nameStart, m_nameLength);
  CloneItemsInto(*copy);
  return copy;
}

TIniObject::TIniObject(std::string header) : TCommonIniSection(TIniItemKind::Object, std::move(header), 0, 0) {
  ParseHeader();
}

std::unique_ptr<TIniObject> TIniObject::Make(std::string_view name, std::string_view className, int indent) {
  std::string header(static_cast<size_t>(std::max(indent, 0)), ' ');
  header.append("object ");
  header.append(name);
  header.push_back(':');
  header.append(className);
  return std::make_unique<TIniObject>(std::move(header));
}

void TIniObject::ParseHeader() {
  const std::string_view h = m_header;
  size_t indent = 0;
  while (indent < h.size() && static_cast<unsigned char>(h[indent]) < 33)
    ++indent;
  m_indent = Pos32(indent);
  size_t pos = indent;
  while (pos < h.size() && !IsBlank(h[pos]))
    ++pos; // the word "object"
  while (pos < h.size() && IsBlank(h[pos]))
    ++pos;
  const size_t restStart = pos;
  const size_t colon = h.rfind(':');
  m_hasColon = colon != std::string_view::npos && colon >= restStart;
  size_t classStart = restStart;
  m_nameStart = Pos32(restStart);
  m_nameLength = 0;
  if (m_hasColon) {
    size_t nameEnd = colon;
    while (nameEnd > restStart && IsBlank(h[nameEnd - 1]))
      --nameEnd;
    m_nameLength = Pos32(nameEnd - restStart);
    classStart = colon + 1;
    while (classStart < h.size() && IsBlank(h[classStart]))
      ++classStart;
  }
  size_t classEnd = h.size();
  while (classEnd > classStart && IsBlank(h[classEnd - 1]))
    --classEnd;
  m_classStart = Pos32(classStart);
  m_classLength = Pos32(classEnd - classStart);
}

void TIniObject::SetClassName(std::string_view className) {
  if (m_hasColon) {
    m_header.replace(static_cast<size_t>(m_classStart), std::string::npos, className);
  } else {
    m_header.push_back(':');
    m_header.append(className);
  }
  ParseHeader();
}

void TIniObject::SetName(std::string_view name) {
  if (m_hasColon) {
    m_header.replace(static_cast<size_t>(m_nameStart), static_cast<size_t>(m_nameLength), name);
  } else {
    std::string named(name);
    named.push_back(':');
    m_header.insert(static_cast<size_t>(m_nameStart), named);
  }
  ParseHeader();
}

std::unique_ptr<TCommonIniItem> TIniObject::Clone() const {
  auto copy = std::make_unique<TIniObject>(m_header);
  CloneItemsInto(*copy);
  return copy;
}

// ---------------------------------------------------------------------------
// TIniStorage

TIniStorage::TIniStorage()
    : TIniIdentList(TIniItemKind::Storage),
      m_sectionBuckets(std::make_unique<TIniSection*[]>(TIniSection::kSectionBuckets)) {}

TIniStorage::~TIniStorage() = default;

TIniCollection& TIniStorage::SubItems() { throw EQxError("Method not applicable"); }

std::unique_ptr<TCommonIniItem> TIniStorage::Clone() const {
  auto copy = std::make_unique<TIniStorage>();
  CloneItemsInto(*copy);
  return copy;
}

TIniSection* TIniStorage::FindLowerSection(std::string_view lowerName, uint32_t bucket) const {
  for (TIniSection* section = m_sectionBuckets[bucket]; section; section = section->m_nextInBucket)
    if (section->m_lowerName == lowerName)
      return section;
  return nullptr;
}

TIniSection* TIniStorage::FindSection(std::string_view name) const {
  const std::string lower = LowerCase(name);
  return FindLowerSection(lower, ElfHash(lower) % TIniSection::kSectionBuckets);
}

void TIniStorage::IndexSection(TIniSection& section) {
  section.m_groupHead = nullptr;
  section.m_groupNext = nullptr;
  section.m_nextInBucket = nullptr;
  TIniSection* const head = FindLowerSection(section.m_lowerName, section.m_bucket);
  if (!head) {
    TIniSection*& bucket = m_sectionBuckets[section.m_bucket];
    section.m_nextInBucket = bucket;
    bucket = &section;
  } else {
    TIniSection* tail = head;
    while (tail->m_groupNext)
      tail = tail->m_groupNext;
    tail->m_groupNext = &section;
    section.m_groupHead = head;
  }
  if (section.IsEmpty())
    return;
  section.ResetKeyIndex();
  section.ReindexKeys();
}

void TIniStorage::UnindexSection(TIniSection& section) {
  TIniSection** link = &m_sectionBuckets[section.m_bucket];
  while (*link && *link != &section)
    link = &(*link)->m_nextInBucket;
  if (*link)
    *link = section.m_nextInBucket;
  section.m_nextInBucket = nullptr;
}

void TIniStorage::RebuildSectionIndex() {
  std::fill_n(m_sectionBuckets.get(), TIniSection::kSectionBuckets, nullptr);
  for (TCommonIniItem* item = First(); item; item = item->Next()) {
    if (item->Kind() != TIniItemKind::Section)
      continue;
    auto& section = static_cast<TIniSection&>(*item);
    section.m_groupHead = nullptr;
    section.m_groupNext = nullptr;
    section.ResetKeyIndex();
  }
  for (TCommonIniItem* item = First(); item; item = item->Next())
    if (item->Kind() == TIniItemKind::Section)
      IndexSection(static_cast<TIniSection&>(*item));
}

void TIniStorage::ItemLinked(TCommonIniItem& item) {
  if (item.Kind() == TIniItemKind::Section) {
    IndexSection(static_cast<TIniSection&>(item));
    return;
  }
  TIniIdentList::ItemLinked(item);
}

void TIniStorage::ItemUnlinking(TCommonIniItem& item) {
  if (item.Kind() == TIniItemKind::Section) {
    UnindexSection(static_cast<TIniSection&>(item));
    return;
  }
  TIniIdentList::ItemUnlinking(item);
}

std::unique_ptr<TCommonIniItem> TIniStorage::Extract(TCommonIniItem* item) {
  if (!item || item->Owner() != this || item->Kind() != TIniItemKind::Section)
    return TIniIdentList::Extract(item);
  // A section leaves together with every section of its name: the group
  // shares one key index, so no member can stay behind alone.
  auto& section = static_cast<TIniSection&>(*item);
  std::vector<TIniSection*> group;
  for (TIniSection* member = &section.GroupHead(); member; member = member->m_groupNext)
    group.push_back(member);
  std::unique_ptr<TCommonIniItem> extracted;
  std::vector<std::unique_ptr<TCommonIniItem>> others;
  for (TIniSection* member : group) {
    std::unique_ptr<TCommonIniItem> removed = TIniIdentList::Extract(member);
    member->m_groupHead = nullptr;
    member->m_groupNext = nullptr;
    member->ResetKeyIndex();
    if (member == &section)
      extracted = std::move(removed);
    else
      others.push_back(std::move(removed));
  }
  section.ReindexKeys();
  return extracted;
}

void TIniStorage::Clear() {
  std::fill_n(m_sectionBuckets.get(), TIniSection::kSectionBuckets, nullptr);
  TIniIdentList::Clear();
}

TIniSection* TIniStorage::FindOrAddSection(std::string_view name) {
  if (TIniSection* found = FindSection(name))
    return found;
  // The text's last line decides, however deep it is nested.
  const TCommonIniItem* last = Last();
  while (last && (last->Kind() == TIniItemKind::Section || last->Kind() == TIniItemKind::Object) &&
         static_cast<const TIniCollection*>(last)->Last())
    last = static_cast<const TIniCollection*>(last)->Last();
  const bool endsWithEmptyLine = last && last->Kind() == TIniItemKind::EmptyLine;
  if (!endsWithEmptyLine)
    Add(std::make_unique<TIniEmptyLine>());
  return static_cast<TIniSection*>(&Add(TIniSection::Make(name)));
}

void TIniStorage::RemoveSection(TIniSection* section) { Extract(section); }

std::vector<std::string> TIniStorage::SectionNames() const {
  std::vector<std::string> names;
  for (const TCommonIniItem* item = First(); item; item = item->Next())
    if (item->Kind() == TIniItemKind::Section)
      names.push_back(static_cast<const TIniSection*>(item)->Name());
  return names;
}

std::vector<std::string> TIniStorage::Lines() const {
  std::vector<std::string> lines;
  WriteLines(lines);
  return lines;
}

std::string TIniStorage::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
  const TIniSection* const found = FindSection(section);
  return found ? found->ReadString(key, def) : std::string(def);
}

int32_t TIniStorage::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
  const TIniSection* const found = FindSection(section);
  return found ? found->ReadInteger(key, def) : def;
}

double TIniStorage::ReadFloat(std::string_view section, std::string_view key, double def) const {
  const TIniSection* const found = FindSection(section);
  return found ? found->ReadFloat(key, def) : def;
}

bool TIniStorage::ReadBool(std::string_view section, std::string_view key, bool def) const {
  return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniStorage::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  TIniSection* const found = FindOrAddSection(section);
  QX_ASSERT(found != nullptr, "Section missing after FindOrAddSection");
  TIniIdent* const ident = found->FindOrAddKey(key);
  QX_ASSERT(ident != nullptr, "Key missing after FindOrAddKey");
  ident->SetValue(value);
}

void TIniStorage::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

} // namespace qx
