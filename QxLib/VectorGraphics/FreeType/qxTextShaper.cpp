#include "QxLib/VectorGraphics/FreeType/qxTextShaper.h"

#include <fribidi.h>
#include <hb.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace qx {

namespace {

struct TBufferDeleter {
  void operator()(hb_buffer_t* buffer) const { hb_buffer_destroy(buffer); }
};

struct TRun {
  size_t Start = 0;
  size_t Length = 0;
  FriBidiLevel Level = 0;
  hb_script_t Script = HB_SCRIPT_COMMON;
  TFreeTypeFace* Face = nullptr;
};

// Characters that belong to the one before them and must be shaped with it
// (marks, joiners, variation selectors, controls).
bool FollowsPrevious(char32_t c) {
  switch (hb_unicode_general_category(hb_unicode_funcs_get_default(), c)) {
  case HB_UNICODE_GENERAL_CATEGORY_NON_SPACING_MARK:
  case HB_UNICODE_GENERAL_CATEGORY_SPACING_MARK:
  case HB_UNICODE_GENERAL_CATEGORY_ENCLOSING_MARK:
  case HB_UNICODE_GENERAL_CATEGORY_FORMAT:
  case HB_UNICODE_GENERAL_CATEGORY_CONTROL: return true;
  default: return false;
  }
}

bool IsNeutralScript(hb_script_t script) {
  return script == HB_SCRIPT_COMMON || script == HB_SCRIPT_INHERITED || script == HB_SCRIPT_UNKNOWN;
}

std::vector<FriBidiLevel> EmbeddingLevels(std::u32string_view text) {
  const auto length = static_cast<FriBidiStrIndex>(text.size());
  std::vector<FriBidiChar> chars(text.begin(), text.end());
  std::vector<FriBidiCharType> types(text.size());
  std::vector<FriBidiBracketType> brackets(text.size());
  std::vector<FriBidiLevel> levels(text.size(), 0);
  fribidi_get_bidi_types(chars.data(), length, types.data());
  fribidi_get_bracket_types(chars.data(), length, types.data(), brackets.data());
  FriBidiParType direction = FRIBIDI_PAR_ON;
  if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), length, &direction, levels.data()) == 0)
    std::fill(levels.begin(), levels.end(), FriBidiLevel{0});
  return levels;
}

// Scripts of each character, common ones taking the script around them.
std::vector<hb_script_t> Scripts(std::u32string_view text) {
  hb_unicode_funcs_t* unicode = hb_unicode_funcs_get_default();
  std::vector<hb_script_t> scripts(text.size(), HB_SCRIPT_COMMON);
  hb_script_t current = HB_SCRIPT_COMMON;
  for (const char32_t c : text) {
    const hb_script_t script = hb_unicode_script(unicode, c);
    if (!IsNeutralScript(script)) {
      current = script;
      break;
    }
  }
  for (size_t i = 0; i < text.size(); ++i) {
    const hb_script_t script = hb_unicode_script(unicode, text[i]);
    if (!IsNeutralScript(script))
      current = script;
    scripts[i] = current;
  }
  return scripts;
}

std::vector<TRun> SplitRuns(std::u32string_view text, TFreeTypeFace& primary, const TFallbackFace& fallback) {
  const std::vector<FriBidiLevel> levels = EmbeddingLevels(text);
  const std::vector<hb_script_t> scripts = Scripts(text);
  std::vector<TRun> runs;
  TFreeTypeFace* previousFace = &primary;
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    TFreeTypeFace* face = &primary;
    if (i > 0 && FollowsPrevious(c))
      face = previousFace;
    else if (!primary.HasChar(c) && fallback)
      if (TFreeTypeFace* other = fallback(c))
        face = other;
    previousFace = face;
    if (!runs.empty() && runs.back().Level == levels[i] && runs.back().Script == scripts[i] &&
        runs.back().Face == face) {
      ++runs.back().Length;
      continue;
    }
    runs.push_back({i, 1, levels[i], scripts[i], face});
  }
  return runs;
}

// Reverses every maximal sequence of runs at or above each odd level, from
// the highest level down (rule L2 of the bidirectional algorithm).
void ToVisualOrder(std::vector<TRun>& runs) {
  // Levels are signed chars; the bounds are kept as int so that "no odd
  // level" stays above every level instead of wrapping to -1.
  int highest = 0;
  int lowestOdd = std::numeric_limits<int>::max();
  for (const TRun& run : runs) {
    highest = std::max(highest, int{run.Level});
    if (run.Level % 2 == 1)
      lowestOdd = std::min(lowestOdd, int{run.Level});
  }
  for (int level = highest; level >= lowestOdd && level > 0; --level) {
    size_t i = 0;
    while (i < runs.size()) {
      if (runs[i].Level < level) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < runs.size() && runs[end].Level >= level)
        ++end;
      std::reverse(runs.begin() + static_cast<std::ptrdiff_t>(i), runs.begin() + static_cast<std::ptrdiff_t>(end));
      i = end;
    }
  }
}

} // namespace

std::vector<TPlacedGlyph> ShapeLine(std::u32string_view text, TFreeTypeFace& primary, const TFallbackFace& fallback,
                                    float size) {
  std::vector<TPlacedGlyph> glyphs;
  if (text.empty())
    return glyphs;
  std::vector<TRun> runs = SplitRuns(text, primary, fallback);
  ToVisualOrder(runs);

  const std::unique_ptr<hb_buffer_t, TBufferDeleter> buffer(hb_buffer_create());
  double pen = 0;
  for (const TRun& run : runs) {
    hb_buffer_clear_contents(buffer.get());
    hb_buffer_add_utf32(buffer.get(), reinterpret_cast<const uint32_t*>(text.data()), static_cast<int>(text.size()),
                        static_cast<unsigned>(run.Start), static_cast<int>(run.Length));
    hb_buffer_set_direction(buffer.get(), run.Level % 2 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_set_script(buffer.get(), run.Script);
    hb_buffer_set_language(buffer.get(), hb_language_get_default());
    hb_shape(run.Face->ShapingFont(), buffer.get(), nullptr, 0);

    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer.get(), &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer.get(), &count);
    const double scale = run.Face->Scale(size);
    for (unsigned g = 0; g < count; ++g) {
      if (infos[g].codepoint <= 0xFFFF) {
        const double x = pen + positions[g].x_offset * scale;
        glyphs.push_back({run.Face, static_cast<uint16_t>(infos[g].codepoint), static_cast<int32_t>(std::lround(x))});
      }
      pen += positions[g].x_advance * scale;
    }
  }
  return glyphs;
}

} // namespace qx
