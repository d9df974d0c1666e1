#include "VmoLib2/3DBasics/qx3DTypes.h"

#include "QxLib/qxExceptions.h"

#include <algorithm>
#include <cstring>

namespace qx {

const char* ResultText(T3DResult result) {
  switch (result) {
  case T3DResult::Ok: return "Ok";
  case T3DResult::Pending: return "";
  case T3DResult::InvalidCall: return "InvalidCall";
  case T3DResult::DeviceLost: return "DeviceLost";
  case T3DResult::Other: return "Other";
  }
  return "Other";
}

int VertexCountFor(T3DPrimitive kind, int count) {
  if (count <= 0) {
    return 0;
  }
  switch (kind) {
  case T3DPrimitive::PointList: return count;
  case T3DPrimitive::LineList: return count * 2;
  case T3DPrimitive::LineStrip: return count + 1;
  case T3DPrimitive::TriangleList: return count * 3;
  case T3DPrimitive::TriangleStrip:
  case T3DPrimitive::TriangleFan: return count + 2;
  }
  return 0;
}

T3DMatrix operator*(const T3DMatrix& a, const T3DMatrix& b) {
  T3DMatrix r;
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) {
      float sum = 0;
      for (int k = 0; k < 4; ++k) {
        sum += a.at(i, k) * b.at(k, j);
      }
      r.at(i, j) = sum;
    }
  }
  return r;
}

T3DVertexLayout T3DVertexLayout::Make(uint32_t parts, int texPairs) {
  QX_ASSERT(texPairs >= 0 && texPairs <= kMaxTexCoordPairs, "Texture coordinate pairs out of range");
  T3DVertexLayout layout;
  layout.parts = parts;
  layout.texPairs = texPairs;
  int offset = 12;
  if (parts & kVertexDiffuse) {
    layout.diffuseOffset = offset;
    offset += 4;
  }
  if (parts & kVertexSpecular) {
    layout.specularOffset = offset;
    offset += 4;
  }
  if (parts & kVertexNormal) {
    layout.normalOffset = offset;
    offset += 12;
  }
  if (texPairs > 0) {
    layout.texOffset = offset;
    offset += 8 * texPairs;
  }
  layout.stride = offset;
  return layout;
}

void T3DVertexLayout::Pack(const T3DVertex& vertex, uint8_t* out) const {
  const float position[3] = {vertex.x, vertex.y, vertex.z};
  std::memcpy(out, position, sizeof(position));
  if (diffuseOffset >= 0) {
    std::memcpy(out + diffuseOffset, &vertex.diffuse, 4);
  }
  if (specularOffset >= 0) {
    std::memcpy(out + specularOffset, &vertex.specular, 4);
  }
  if (normalOffset >= 0) {
    const float normal[3] = {vertex.nx, vertex.ny, vertex.nz};
    std::memcpy(out + normalOffset, normal, sizeof(normal));
  }
  if (texOffset >= 0) {
    std::memcpy(out + texOffset, vertex.uv.data(), 8 * static_cast<size_t>(texPairs));
  }
}

int FramePeriodMs(int refreshRate) { return refreshRate > 0 ? 1000 / refreshRate : 0; }

int PresentSleepMs(int refreshRate, int64_t last, int64_t now) {
  const int period = FramePeriodMs(refreshRate);
  if (period <= 0) {
    return 0;
  }
  const int64_t left = std::clamp<int64_t>(period + last - now, 1, period);
  return static_cast<int>(std::max<int64_t>(1, left - 3));
}

bool PrimitivesFit(T3DPrimitive kind, int firstVertex, int primitiveCount, int vertexCount) {
  return firstVertex >= 0 && primitiveCount >= 0 &&
         int64_t{firstVertex} + VertexCountFor(kind, primitiveCount) <= vertexCount;
}

bool FillFits(int firstVertex, size_t sourceSize, int count, int firstSource, int vertexCount) {
  return count >= 0 && firstVertex >= 0 && firstSource >= 0 && int64_t{firstVertex} + count <= vertexCount &&
         static_cast<size_t>(firstSource) + static_cast<size_t>(count) <= sourceSize;
}

int FullMipChainLevels(int width, int height) {
  int levels = 1;
  for (int side = std::max(width, height); side > 1; side >>= 1) {
    ++levels;
  }
  return levels;
}

void BackBufferSize(const T3DRendererParams& params, int& width, int& height) {
  width = params.bounds.Width();
  height = params.bounds.Height();
  if (!params.windowed || width <= 0 || height <= 0) {
    width = params.displayMode.width;
    height = params.displayMode.height;
  }
}

} // namespace qx
