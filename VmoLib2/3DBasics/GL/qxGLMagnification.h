// Whether a draw shrinks a texture anywhere on the target. A draw that
// only shows a texture at its own size or larger reads level 0 alone, as
// the magnification filter would; finding that on the CPU spares the
// sampler the level-of-detail work of a mip chain (and, on software
// rasterisers, a second level whose weight is only the rounding error of
// the interpolated coordinates).
#pragma once

#include "VmoLib2/3DBasics/qx3DTypes.h"

#include <span>

namespace qx {

// The texture of one stage as the check sees it.
struct TGLStageTexels {
  int pair = 0; // the vertices' texture-coordinate pair the stage reads
  int width = 0;
  int height = 0;
};

// True when some triangle of `primitives` primitives of `kind` from vertex
// `first` of `vertices`, taken through `matrix` (row vectors) onto a
// viewport of viewportWidth x viewportHeight pixels, maps more than one
// texel of `stage` onto a pixel step (beyond a rounding tolerance). Points,
// lines, triangles behind the eye or with a perspective change across them
// count as shrinking; triangles of no area are skipped.
bool DrawShrinksTexture(std::span<const T3DVertex> vertices, T3DPrimitive kind, int first, int primitives,
                        const T3DMatrix& matrix, int viewportWidth, int viewportHeight, const TGLStageTexels& stage);

} // namespace qx
