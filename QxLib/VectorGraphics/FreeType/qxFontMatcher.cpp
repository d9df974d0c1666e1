#include "QxLib/VectorGraphics/FreeType/qxFontMatcher.h"

#include "QxLib/qxExceptions.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fcfreetype.h>

#include <mutex>
#include <optional>

namespace qx {

namespace {

struct TPatternDeleter {
  void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using TPattern = std::unique_ptr<FcPattern, TPatternDeleter>;

struct TFontSetDeleter {
  void operator()(FcFontSet* set) const { FcFontSetDestroy(set); }
};
using TFontSetPtr = std::unique_ptr<FcFontSet, TFontSetDeleter>;

// The pattern of a request, with fontconfig's substitutions applied (the
// aliases that turn "sans-serif" or an unknown family into installed ones).
TPattern RequestPattern(const TFontRequest& request) {
  TPattern pattern(FcPatternCreate());
  if (!request.Name.empty())
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(request.Name.c_str()));
  FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>("sans-serif"));
  FcPatternAddInteger(pattern.get(), FC_WEIGHT, request.Bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
  FcPatternAddInteger(pattern.get(), FC_SLANT, request.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern.get(), FC_OUTLINE, FcTrue);
  FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
  FcDefaultSubstitute(pattern.get());
  return pattern;
}

std::optional<TFontFile> FileOf(const FcPattern* font) {
  FcChar8* file = nullptr;
  if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file)
    return std::nullopt;
  FcBool outline = FcTrue;
  if (FcPatternGetBool(font, FC_OUTLINE, 0, &outline) == FcResultMatch && !outline)
    return std::nullopt;
  TFontFile result;
  result.Path = reinterpret_cast<const char*>(file);
  int index = 0;
  if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch)
    result.Index = index;
  return result;
}

std::string Key(const TFontRequest& request) {
  return request.Name + (request.Bold ? "|b" : "|") + (request.Italic ? "i" : "");
}

} // namespace

struct TFontMatcher::TSortedSet {
  TFontSetPtr Fonts;
};

namespace {

// fontconfig's configuration is loaded while any matcher lives and freed
// with the last one, so that nothing of it is left at exit.
std::mutex& ConfigLock() {
  static std::mutex lock;
  return lock;
}
int g_matchers = 0;

} // namespace

TFontMatcher::TFontMatcher() {
  const std::lock_guard lock(ConfigLock());
  if (g_matchers++ == 0)
    FcInit();
}

TFontMatcher::~TFontMatcher() {
  m_sorted.clear();
  const std::lock_guard lock(ConfigLock());
  if (--g_matchers == 0)
    FcFini();
}

TFontFile TFontMatcher::Match(const TFontRequest& request) {
  const std::string key = Key(request);
  if (const auto found = m_matches.find(key); found != m_matches.end())
    return found->second;
  TFontFile file = FindMatch(request);
  m_matches.emplace(key, file);
  return file;
}

TFontFile TFontMatcher::FindMatch(const TFontRequest& request) {
  TPattern pattern = RequestPattern(request);
  FcResult result = FcResultNoMatch;
  TPattern match(FcFontMatch(nullptr, pattern.get(), &result));
  std::optional<TFontFile> file = match ? FileOf(match.get()) : std::nullopt;
  if (!file)
    throw EQxError("No installed font for \"" + request.Name + "\"");
  // The match reports the requested style; the file's own style says
  // whether the face has it.
  int weight = FC_WEIGHT_REGULAR;
  int slant = FC_SLANT_ROMAN;
  int count = 0;
  const TPattern own(FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file->Path.c_str()),
                                     static_cast<unsigned>(file->Index), nullptr, &count));
  if (own) {
    FcPatternGetInteger(own.get(), FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(own.get(), FC_SLANT, 0, &slant);
  }
  file->Embolden = request.Bold && weight < FC_WEIGHT_DEMIBOLD;
  file->Oblique = request.Italic && slant == FC_SLANT_ROMAN;
  return *file;
}

TFontMatcher::TSortedSet& TFontMatcher::SortedFor(const TFontRequest& request) {
  std::unique_ptr<TSortedSet>& entry = m_sorted[Key(request)];
  if (!entry) {
    entry = std::make_unique<TSortedSet>();
    TPattern pattern = RequestPattern(request);
    FcResult result = FcResultNoMatch;
    // Trimmed: fonts that add no characters to those before them are left
    // out, which keeps the walk short.
    entry->Fonts.reset(FcFontSort(nullptr, pattern.get(), FcTrue, nullptr, &result));
  }
  return *entry;
}

std::optional<TFontFile> TFontMatcher::Fallback(const TFontRequest& request, char32_t c) {
  const TSortedSet& sorted = SortedFor(request);
  if (!sorted.Fonts)
    return std::nullopt;
  for (int i = 0; i < sorted.Fonts->nfont; ++i) {
    const FcPattern* font = sorted.Fonts->fonts[i];
    FcCharSet* charset = nullptr;
    if (FcPatternGetCharSet(font, FC_CHARSET, 0, &charset) != FcResultMatch || !FcCharSetHasChar(charset, c))
      continue;
    if (std::optional<TFontFile> file = FileOf(font))
      return file;
  }
  return std::nullopt;
}

} // namespace qx
