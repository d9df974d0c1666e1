// The classic navigation bar: a background grid of picture cells with one
// cell holding a row of buttons, each button drawn in its state (normal,
// hover, pressed, disabled) from parts of the definition file's pictures.
#pragma once

#include "VmoLib2/NavPanel/qxCustomNavBar.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qx {

class TIniIdentList;
class TIniStorage;

enum TNavButtonState : int32_t { nbsNormal = 0, nbsHover = 1, nbsPressed = 2, nbsDisabled = 3 };
inline constexpr int kNavButtonStates = 4;

// "left,top,width,height"; none when the key is absent. Another count of
// integers raises EQxError with `message(count)`.
std::optional<T3DRect> ReadNavBounds(const TIniIdentList& section, std::string_view key,
                                     const std::function<std::string(int count)>& message);

class TNavBar : public TCustomNavBar {
public:
  // Grids and button rows beyond these are refused.
  static constexpr int32_t kMaxGridSide = 64;
  static constexpr int32_t kMaxSlots = 64;

  // Reads the definition; raises EQxError with the format's messages.
  // `showBackground` paints the grid; without it only the buttons show.
  TNavBar(const TIniStorage& definition, TNavPictures& pictures, bool showBackground);

  double RecommendedScale() const { return m_recommendedScale; }

  const std::vector<std::string>& ActionNames() const override { return m_names; }
  // The word of the panel's action table for an action: its "ActionType",
  // else its name; and its "Action" text.
  std::string ActionType(int action) const override;
  std::string ActionText(int action) const override;
  // Lays the grid and the buttons out and draws the bar.
  void SetButtons(const std::vector<int>& actions) override;
  // The classic bar keeps its own size; the panel scales its picture.
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  void SetZoom(double) override {}

  void MouseDown(int32_t x, int32_t y) override;
  void MouseMove(int32_t x, int32_t y) override;
  void MouseUp(int32_t x, int32_t y) override;
  // Redraws the buttons whose play alternative changes with the play state.
  void SetTime(int64_t ms) override;
  void SetVolume(double) override {}

  // The layout, once SetButtons ran.
  int32_t Columns() const { return m_columns; }
  int32_t Rows() const { return m_rows; }
  T3DRect CellRect(int32_t column, int32_t row) const;
  int32_t SlotCount() const { return static_cast<int32_t>(m_slots.size()); }
  T3DRect SlotRect(int32_t slot) const { return m_slots.at(static_cast<size_t>(slot)).Rect; }
  TNavButtonState SlotState(int32_t slot) const { return m_slots.at(static_cast<size_t>(slot)).State; }

private:
  struct TCell {
    bool Defined = false;
    bool Repeat = false;
    T3DRect Part; // left, top, right, bottom in the picture
    std::shared_ptr<const TBitmap> Picture;
  };
  // One state's look: part of a picture (the whole picture when no bounds).
  struct TLook {
    std::shared_ptr<const TBitmap> Picture;
    T3DRect Part;
  };
  struct TAction {
    std::string Name;
    std::string Type;
    std::string Text;
    std::array<TLook, kNavButtonStates> Button;
    std::array<std::optional<TLook>, kNavButtonStates> ButtonPlay;
    std::array<TLook, kNavButtonStates> Background;
    int32_t Width = 0;
    int32_t Height = 0;
  };
  struct TSlot {
    int Action = 0;
    int32_t Space = 0;
    int32_t ShiftPressed = 0;
    bool GrayNormal = false;
    bool GrayDisabled = false;
    T3DRect Rect;
    TNavButtonState State = nbsNormal;
    bool ShownPlaying = false;
  };

  void ReadGrid(const TIniStorage& definition);
  void ReadActions(const TIniStorage& definition);
  TAction ReadAction(const TIniIdentList& section, std::string name);
  void Layout();
  void PaintGrid();
  void DrawSlot(size_t slot);
  void SetState(size_t slot, TNavButtonState state);
  // The slot under (x, y), or -1.
  int SlotAt(int32_t x, int32_t y) const;

  TNavPictures& m_pictures;
  bool m_showBackground;
  double m_recommendedScale = 8;
  int32_t m_columns = 0;
  int32_t m_rows = 0;
  int32_t m_cellColumn = 0;
  int32_t m_cellRow = 0;
  std::array<int32_t, 4> m_offsets{}; // left, top, right, bottom
  std::vector<TCell> m_cells;         // column-major: column * rows + row
  std::vector<int32_t> m_columnX;     // columns + 1 running sums
  std::vector<int32_t> m_rowY;
  int32_t m_slotLimit = -1;           // "Objects" "Count"; -1 when absent
  std::vector<TSlot> m_slotSettings;  // as read, before SetButtons
  std::vector<TAction> m_actions;
  std::vector<std::string> m_names;
  std::vector<TSlot> m_slots;
  TBitmap m_background;
  int m_pressed = -1;
};

} // namespace qx
