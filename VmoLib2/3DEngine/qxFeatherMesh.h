// The feathered quad: a 4 x 4 vertex grid whose outer ring lies one target
// pixel outside each marked edge of the quad and carries alpha 0, so the
// edge fades over one pixel instead of stepping.
#pragma once

#include "VmoLib2/3DEngine/qx3DScreen.h"

#include <span>

namespace qx {

enum TFeatherEdges : uint8_t {
  kFeatherLeft = 1,
  kFeatherTop = 2,
  kFeatherRight = 4,
  kFeatherBottom = 8,
  kFeatherAll = 15,
};

// The grid of `quad` as the screen's current projection shows it.
// `uvRects` gives, per texture, the texture coordinates of the quad's
// corners; the outer ring's coordinates continue them outward. An edge
// that is not marked, or that is a point on the screen, gets no extra
// pixel.
TMeshGrid FeatherMesh(const T3DScreen& screen, const TPlacement& quad, std::span<const TFloatRect> uvRects,
                      uint8_t edges);

} // namespace qx
