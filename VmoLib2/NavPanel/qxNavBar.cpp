#include "VmoLib2/NavPanel/qxNavBar.h"

#include "QxLib/qxIniStorage.h"
#include "QxLib/qxIniValues.h"
#include "QxLib/qxUtf8.h"

#include <algorithm>

namespace qx {

namespace {

constexpr std::string_view kActionPrefix = "action-";
constexpr std::array<std::string_view, kNavButtonStates> kStateWords = {"Normal", "Hover", "Pressed", "Disabled"};

std::string BoundsMessage(int count) {
  return "Bounds should contains 4 values. For example: BtnTextureNormalBounds=0,0,20,20. But VMO found only " +
         std::to_string(count) + " values.";
}

// A size read from a definition: negative is nothing, and no size exceeds
// what a bar may hold.
int32_t SaneSize(int64_t value) { return static_cast<int32_t>(std::clamp<int64_t>(value, 0, TCustomNavBar::kMaxBarSide)); }

} // namespace

std::optional<T3DRect> ReadNavBounds(const TIniIdentList& section, std::string_view key,
                                     const std::function<std::string(int count)>& message) {
  const TIniIdent* ident = section.FindKey(key);
  if (!ident)
    return std::nullopt;
  const std::vector<std::string_view> items = SplitValueList(ident->ValueView(), -1);
  std::array<int32_t, 4> values{};
  int count = 0;
  for (const std::string_view item : items) {
    int32_t value = 0;
    if (!TryParseInteger(item, value))
      break;
    if (count < 4)
      values[static_cast<size_t>(count)] = value;
    ++count;
  }
  if (count != 4 || items.size() != 4)
    throw EQxError(message(count));
  // Left, top, width and height, kept within int range for the edges.
  const auto edge = [](int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, -(int64_t{1} << 30), int64_t{1} << 30)); };
  return T3DRect{edge(values[0]), edge(values[1]), edge(int64_t{values[0]} + values[2]),
                 edge(int64_t{values[1]} + values[3])};
}

TNavBar::TNavBar(const TIniStorage& definition, TNavPictures& pictures, bool showBackground)
    : m_pictures(pictures), m_showBackground(showBackground) {
  m_recommendedScale = definition.ReadFloat("Common", "RecommendedScale", 8);
  ReadGrid(definition);
  ReadActions(definition);

  if (const TIniSection* objects = definition.FindSection("Objects"); objects && objects->KeyExists("Count"))
    m_slotLimit = std::clamp(objects->ReadInteger("Count", 0), 0, kMaxSlots);
  for (int32_t n = 1; n <= kMaxSlots; ++n) {
    TSlot slot;
    if (const TIniSection* section = definition.FindSection("Object" + std::to_string(n))) {
      slot.ShiftPressed = std::clamp(section->ReadInteger("ShiftPressed", 0), -kMaxBarSide, kMaxBarSide);
      slot.GrayNormal = section->ReadBool("GrayNormal", false);
      slot.GrayDisabled = section->ReadBool("GrayDisabled", false);
      slot.Space = std::clamp(section->ReadInteger("Space", 0), -kMaxBarSide, kMaxBarSide);
    }
    m_slotSettings.push_back(slot);
  }
}

void TNavBar::ReadGrid(const TIniStorage& definition) {
  m_columns = definition.ReadInteger("Common", "ColsCount", 0);
  m_rows = definition.ReadInteger("Common", "RowsCount", 0);
  if (m_columns < 0 || m_rows < 0 || m_columns > kMaxGridSide || m_rows > kMaxGridSide)
    throw EQxError("Navigation bar grid of " + std::to_string(m_columns) + " x " + std::to_string(m_rows) +
                   " cells (at most " + std::to_string(kMaxGridSide) + " a side)");
  if (m_columns == 0 || m_rows == 0) {
    // No grid: the bar is the button cell alone.
    m_columns = m_rows = 1;
    m_cells.assign(1, TCell{});
  } else {
    m_cells.assign(static_cast<size_t>(m_columns * m_rows), TCell{});
    for (int32_t i = 0; i < m_columns; ++i)
      for (int32_t j = 0; j < m_rows; ++j) {
        const std::string name = "Cell(" + std::to_string(i) + ":" + std::to_string(j) + ")";
        const TIniSection* section = definition.FindSection(name);
        if (!section)
          continue; // an undefined cell is empty, of no size
        TCell& cell = m_cells[static_cast<size_t>(i * m_rows + j)];
        cell.Defined = true;
        cell.Repeat = LowerCase(section->ReadString("TextureType", "")) == "repeat";
        const auto message = [&name](int) {
          return "Incorrect number of parameters in field \"Bounds\" in [" + name + "]";
        };
        const std::optional<T3DRect> part = ReadNavBounds(*section, "Bounds", message);
        if (!part)
          throw EQxError(message(0));
        cell.Part = *part;
        cell.Picture = m_pictures.Get(section->ReadString("flnm_Texture", ""));
      }
  }

  const TIniSection* holder = definition.FindSection("CellWithObjects");
  std::vector<int32_t> place;
  if (!holder || holder->ReadIntegerList("Cell", place) != 2)
    throw EQxError("Incorrect number of parameters in field \"Cell\"");
  m_cellColumn = place[0];
  m_cellRow = place[1];
  if (m_cells.size() == 1 && !m_cells[0].Defined)
    m_cellColumn = m_cellRow = 0;
  if (m_cellColumn < 0 || m_cellRow < 0 || m_cellColumn >= m_columns || m_cellRow >= m_rows)
    throw EQxError("Navigation bar: the button cell (" + std::to_string(m_cellColumn) + ":" +
                   std::to_string(m_cellRow) + ") is outside the grid of " + std::to_string(m_columns) + " x " +
                   std::to_string(m_rows) + " cells");
  m_offsets = {holder->ReadInteger("LeftOffset", 0), holder->ReadInteger("TopOffset", 0),
               holder->ReadInteger("RightOffset", 0), holder->ReadInteger("BottomOffset", 0)};
  for (int32_t& offset : m_offsets)
    offset = SaneSize(offset);
}

void TNavBar::ReadActions(const TIniStorage& definition) {
  for (const std::string& sectionName : definition.SectionNames()) {
    const std::string lower = LowerCase(sectionName);
    if (!lower.starts_with(kActionPrefix))
      continue;
    std::string name = lower.substr(kActionPrefix.size());
    if (std::find(m_names.begin(), m_names.end(), name) != m_names.end())
      continue; // a repeated section belongs to the first one's group
    m_actions.push_back(ReadAction(*definition.FindSection(sectionName), name));
    m_names.push_back(std::move(name));
  }
}

TNavBar::TAction TNavBar::ReadAction(const TIniIdentList& section, std::string name) {
  TAction action;
  action.Name = std::move(name);
  action.Type = LowerCase(section.ReadString("ActionType", ""));
  action.Text = section.ReadString("Action", "");
  // Reads one state's look; a state without a picture name takes the normal
  // one's, so hover, pressed and disabled fall back to normal.
  const auto readLook = [&](std::string_view kind, int state, std::string_view suffix) -> std::optional<TLook> {
    const std::string word(kStateWords[static_cast<size_t>(state)]);
    const std::string base = std::string(kind) + "Texture" + word;
    const std::string file = section.ReadString("flnm_" + base + std::string(suffix), "");
    const std::optional<T3DRect> bounds = ReadNavBounds(section, base + "Bounds", BoundsMessage);
    if (file.empty())
      return std::nullopt;
    TLook look;
    look.Picture = m_pictures.Get(file);
    look.Part = bounds ? *bounds : RectOfSize(0, 0, look.Picture->Width(), look.Picture->Height());
    return look;
  };
  for (int state = 0; state < kNavButtonStates; ++state) {
    if (std::optional<TLook> look = readLook("Btn", state, ""))
      action.Button[static_cast<size_t>(state)] = *look;
    else if (state != nbsNormal)
      action.Button[static_cast<size_t>(state)] = action.Button[nbsNormal];
    action.ButtonPlay[static_cast<size_t>(state)] = readLook("Btn", state, "Play");
    if (std::optional<TLook> look = readLook("Bg", state, ""))
      action.Background[static_cast<size_t>(state)] = *look;
    else if (state != nbsNormal)
      action.Background[static_cast<size_t>(state)] = action.Background[nbsNormal];
  }
  // A play alternative missing for a state falls back to the normal one's.
  for (int state = 1; state < kNavButtonStates; ++state)
    if (!action.ButtonPlay[static_cast<size_t>(state)])
      action.ButtonPlay[static_cast<size_t>(state)] = action.ButtonPlay[nbsNormal];
  // The normal background's size is the button's size; without one, the
  // normal button image's.
  const TLook& sizing = action.Background[nbsNormal].Picture ? action.Background[nbsNormal] : action.Button[nbsNormal];
  action.Width = SaneSize(sizing.Part.Width());
  action.Height = SaneSize(sizing.Part.Height());
  return action;
}

std::string TNavBar::ActionType(int action) const {
  const TAction& a = m_actions.at(static_cast<size_t>(action));
  return a.Type.empty() ? a.Name : a.Type;
}

std::string TNavBar::ActionText(int action) const { return m_actions.at(static_cast<size_t>(action)).Text; }

void TNavBar::SetButtons(const std::vector<int>& actions) {
  size_t count = actions.size();
  if (m_slotLimit >= 0)
    count = std::min(count, static_cast<size_t>(m_slotLimit));
  count = std::min(count, static_cast<size_t>(kMaxSlots));
  m_slots.clear();
  for (size_t i = 0; i < count; ++i) {
    TSlot slot = m_slotSettings[i];
    slot.Action = actions[i];
    m_slots.push_back(slot);
  }
  m_pressed = -1;
  Layout();
  PaintGrid();
  m_picture = m_background.Clone();
  for (size_t i = 0; i < m_slots.size(); ++i)
    DrawSlot(i);
}

T3DRect TNavBar::CellRect(int32_t column, int32_t row) const {
  return T3DRect{m_columnX[static_cast<size_t>(column)], m_rowY[static_cast<size_t>(row)],
                 m_columnX[static_cast<size_t>(column) + 1], m_rowY[static_cast<size_t>(row) + 1]};
}

void TNavBar::Layout() {
  // The button cell: its width holds the offsets and every button with its
  // gap, its height the offsets and the first button.
  int64_t cellWidth = int64_t{m_offsets[0]} + m_offsets[2];
  for (const TSlot& slot : m_slots)
    cellWidth += m_actions[static_cast<size_t>(slot.Action)].Width + slot.Space;
  const int64_t firstHeight = m_slots.empty() ? 0 : m_actions[static_cast<size_t>(m_slots[0].Action)].Height;
  const int64_t cellHeight = int64_t{m_offsets[1]} + m_offsets[3] + firstHeight;
  CheckSize(cellWidth, cellHeight);

  // Column widths from the button row, row heights from the button column.
  m_columnX.assign(static_cast<size_t>(m_columns) + 1, 0);
  m_rowY.assign(static_cast<size_t>(m_rows) + 1, 0);
  int64_t x = 0;
  for (int32_t i = 0; i < m_columns; ++i) {
    const TCell& cell = m_cells[static_cast<size_t>(i * m_rows + m_cellRow)];
    x += i == m_cellColumn ? std::max<int64_t>(cellWidth, 0) : SaneSize(cell.Part.Width());
    CheckSize(x, 0);
    m_columnX[static_cast<size_t>(i) + 1] = static_cast<int32_t>(x);
  }
  int64_t y = 0;
  for (int32_t j = 0; j < m_rows; ++j) {
    const TCell& cell = m_cells[static_cast<size_t>(m_cellColumn * m_rows + j)];
    y += j == m_cellRow ? std::max<int64_t>(cellHeight, 0) : SaneSize(cell.Part.Height());
    CheckSize(0, y);
    m_rowY[static_cast<size_t>(j) + 1] = static_cast<int32_t>(y);
  }

  CheckSize(m_columnX.back(), m_rowY.back());

  const T3DRect holder = CellRect(m_cellColumn, m_cellRow);
  int32_t left = holder.left + m_offsets[0];
  for (TSlot& slot : m_slots) {
    const TAction& action = m_actions[static_cast<size_t>(slot.Action)];
    slot.Rect = RectOfSize(left, holder.top + m_offsets[1], action.Width, action.Height);
    left += action.Width + slot.Space;
  }
}

void TNavBar::PaintGrid() {
  const int32_t width = m_columnX.back();
  const int32_t height = m_rowY.back();
  m_background = width > 0 && height > 0 ? TBitmap(width, height, TPixelFormat::Bgra32) : TBitmap();
  if (!m_showBackground || m_background.IsEmpty())
    return;
  for (int32_t i = 0; i < m_columns; ++i)
    for (int32_t j = 0; j < m_rows; ++j) {
      const TCell& cell = m_cells[static_cast<size_t>(i * m_rows + j)];
      if (!cell.Picture)
        continue;
      const T3DRect r = CellRect(i, j);
      const TBitmap piece = cell.Repeat ? TilePart(*cell.Picture, cell.Part, r.Width(), r.Height())
                                        : StretchPart(*cell.Picture, cell.Part, r.Width(), r.Height());
      PutPiece(m_background, piece, r.left, r.top);
    }
}

void TNavBar::DrawSlot(size_t index) {
  TSlot& slot = m_slots[index];
  const TAction& action = m_actions[static_cast<size_t>(slot.Action)];
  const size_t state = static_cast<size_t>(slot.State);
  CopyArea(m_picture, m_background, slot.Rect);

  // The play alternative stands for the pause button while the show is
  // paused.
  slot.ShownPlaying = IsPlaying();
  const std::optional<TLook>& play = action.ButtonPlay[state];
  const TLook& look = (play && !slot.ShownPlaying) ? *play : action.Button[state];
  const bool grey = (state == nbsNormal && slot.GrayNormal) || (state == nbsDisabled && slot.GrayDisabled);

  const auto draw = [&](const TLook& part, int32_t x, int32_t y) {
    if (!part.Picture)
      return;
    const T3DRect inside = Intersect(part.Part, RectOfSize(0, 0, part.Picture->Width(), part.Picture->Height()));
    if (inside.IsEmpty())
      return;
    TBitmap piece = part.Picture->CropView(inside.left, inside.top, inside.Width(), inside.Height()).Clone();
    if (grey)
      MakeGrey(piece);
    // Only the slot's own area is drawn, whatever the part's size.
    const T3DRect visible = Intersect(RectOfSize(x, y, piece.Width(), piece.Height()), slot.Rect);
    if (!visible.IsEmpty())
      BlendOver(m_picture, piece.CropView(visible.left - x, visible.top - y, visible.Width(), visible.Height()),
                visible.left, visible.top);
  };
  draw(action.Background[state], slot.Rect.left, slot.Rect.top);
  // The button image is centred on its background; pressed, it moves by
  // "ShiftPressed" pixels right and down, as if pushed in.
  const int32_t shift = state == nbsPressed ? slot.ShiftPressed : 0;
  const int32_t bw = look.Part.Width();
  const int32_t bh = look.Part.Height();
  draw(look, slot.Rect.left + (slot.Rect.Width() - bw) / 2 + shift, slot.Rect.top + (slot.Rect.Height() - bh) / 2 + shift);
  ReportChanged(slot.Rect);
}

void TNavBar::SetState(size_t slot, TNavButtonState state) {
  if (m_slots[slot].State == state || m_slots[slot].State == nbsDisabled)
    return;
  m_slots[slot].State = state;
  DrawSlot(slot);
}

int TNavBar::SlotAt(int32_t x, int32_t y) const {
  for (size_t i = 0; i < m_slots.size(); ++i) {
    const T3DRect& r = m_slots[i].Rect;
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom)
      return static_cast<int>(i);
  }
  return -1;
}

void TNavBar::MouseDown(int32_t x, int32_t y) {
  const int slot = SlotAt(x, y);
  if (slot < 0 || m_slots[static_cast<size_t>(slot)].State == nbsDisabled)
    return;
  m_pressed = slot;
  SetState(static_cast<size_t>(slot), nbsPressed);
}

void TNavBar::MouseMove(int32_t x, int32_t y) {
  const int under = SlotAt(x, y);
  for (size_t i = 0; i < m_slots.size(); ++i) {
    const bool over = static_cast<int>(i) == under;
    const bool pressed = static_cast<int>(i) == m_pressed;
    SetState(i, over ? (pressed ? nbsPressed : nbsHover) : nbsNormal);
  }
}

void TNavBar::MouseUp(int32_t x, int32_t y) {
  const int under = SlotAt(x, y);
  const int pressed = m_pressed;
  m_pressed = -1;
  MouseMove(x, y);
  if (pressed >= 0 && pressed == under && m_events.ButtonClicked)
    m_events.ButtonClicked(m_slots[static_cast<size_t>(pressed)].Action);
}

void TNavBar::SetTime(int64_t) {
  const bool playing = IsPlaying();
  for (size_t i = 0; i < m_slots.size(); ++i) {
    const TAction& action = m_actions[static_cast<size_t>(m_slots[i].Action)];
    if (m_slots[i].ShownPlaying != playing && action.ButtonPlay[static_cast<size_t>(m_slots[i].State)])
      DrawSlot(i);
  }
}

} // namespace qx
