#include "VmoLib2/3DBasics/GL/qxGLShaders.h"

#include <algorithm>
#include <string>
#include <vector>

namespace qx {

namespace {

// Positions come in the layer's clip convention (row vectors through
// world * view * projection, depth 0..1, y up on the target). Targets are
// stored with their top row first, so y is mirrored here, and depth is
// moved to GL's -w..w range.
const char* const kVertexShader = R"(#version 300 es
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec4 a_color;
layout(location = 2) in vec2 a_tex0;
layout(location = 3) in vec2 a_tex1;
layout(location = 4) in vec2 a_tex2;
layout(location = 5) in vec2 a_tex3;
uniform mat4 u_matrix;
out vec4 v_color;
out vec2 v_tex0;
out vec2 v_tex1;
out vec2 v_tex2;
out vec2 v_tex3;
void main() {
  vec4 p = u_matrix * vec4(a_position, 1.0);
  gl_Position = vec4(p.x, -p.y, 2.0 * p.z - p.w, p.w);
  v_color = a_color.zyxw; // colours are stored as B, G, R, A bytes
  v_tex0 = a_tex0;
  v_tex1 = a_tex1;
  v_tex2 = a_tex2;
  v_tex3 = a_tex3;
}
)";

const char* const kFragmentHeader = R"(#version 300 es
precision highp float;
in vec4 v_color;
in vec2 v_tex0;
in vec2 v_tex1;
in vec2 v_tex2;
in vec2 v_tex3;
uniform sampler2D u_s0;
uniform sampler2D u_s1;
uniform sampler2D u_s2;
uniform sampler2D u_s3;
out vec4 o_color;
)";

// Chroma bytes are centred on 128, which a byte texture reads as 128/255:
// subtracting exactly that keeps grey input free of a colour cast.
const char* const kYuvCommon = R"(
uniform vec4 c[8];
const float kChromaCentre = 128.0 / 255.0;
vec4 YuvToRgb(float Y, float U, float V) {
  float y = c[4].x * (Y - 0.0625);
  float u = U - kChromaCentre;
  float v = V - kChromaCentre;
  vec3 rgb = vec3(y + c[0].x * v, y - c[1].x * v - c[2].x * u, y + c[3].x * u);
  return vec4(clamp(rgb, 0.0, 1.0), v_color.a);
}
)";

const char* const kYuv = R"(
void main() {
  o_color = YuvToRgb(texture(u_s0, v_tex0).r, texture(u_s1, v_tex1).r, texture(u_s2, v_tex2).r);
}
)";

// Luma from the two nearest rows of one field: c5 = (plane height,
// 1 / plane height), c6 = (field row offset, row shift).
const char* const kYuvField = R"(
void main() {
  float r = v_tex0.y * c[5].x + c[6].y;
  float b = 2.0 * floor(r / 2.0);
  float y1 = texture(u_s0, vec2(v_tex0.x, (b + c[6].x + 0.5) * c[5].y)).r;
  float y2 = texture(u_s0, vec2(v_tex0.x, (b + c[6].x + 2.5) * c[5].y)).r;
  float Y = mix(y1, y2, (r - (b + 0.5)) / 2.0);
  o_color = YuvToRgb(Y, texture(u_s1, v_tex1).r, texture(u_s2, v_tex2).r);
}
)";

// Unsharp mask: c0 = texel size, c1.x = threshold, c2.x = amount.
const char* const kSharpen = R"(
uniform vec4 c[8];
vec4 At(float dx, float dy) { return texture(u_s0, v_tex0 + vec2(dx, dy) * c[0].xy); }
void main() {
  vec4 centre = At(0.0, 0.0);
  vec4 blur = (At(-1.0, -1.0) + 2.0 * At(0.0, -1.0) + At(1.0, -1.0) +
               2.0 * At(-1.0, 0.0) + 4.0 * centre + 2.0 * At(1.0, 0.0) +
               At(-1.0, 1.0) + 2.0 * At(0.0, 1.0) + At(1.0, 1.0)) / 16.0;
  vec3 detail = centre.rgb - blur.rgb;
  vec3 sharpened = centre.rgb + c[2].x * detail;
  vec3 rgb = mix(centre.rgb, sharpened, step(vec3(c[1].x), abs(detail)));
  o_color = vec4(clamp(rgb, 0.0, 1.0), centre.a);
}
)";

// The fixed-function stages written out for one setup: only the stages in
// use are sampled and every choice is made here rather than per pixel.
std::string FixedFunctionSource(const TGLStageSetup& setup) {
  std::string source = "uniform float u_lodBias[4];\nvoid main() {\n  vec4 c = v_color;\n  vec4 t;\n";
  for (int i = 0; i < setup.stages; ++i) {
    const std::string stage = std::to_string(i);
    source += "  t = texture(u_s" + stage + ", v_tex" + stage;
    source += setup.HasLodBias(i) ? ", u_lodBias[" + stage + "]);\n" : ");\n";
    const std::string rgb = setup.modulateColor ? "t.rgb * c.rgb" : "t.rgb";
    const std::string alpha = !setup.modulateAlpha ? "t.a" : (setup.KeepsAlpha(i) ? "c.a" : "t.a * c.a");
    source += "  c = vec4(" + rgb + ", " + alpha + ");\n";
  }
  return source + "  o_color = c;\n}\n";
}

GLuint Compile(GLenum type, const std::string& source, std::string& error) {
  const GLuint shader = glCreateShader(type);
  const char* text = source.c_str();
  glShaderSource(shader, 1, &text, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (ok == GL_TRUE) {
    return shader;
  }
  GLint length = 0;
  glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
  std::vector<char> log(static_cast<size_t>(std::max(length, 1)));
  glGetShaderInfoLog(shader, length, nullptr, log.data());
  error = std::string("shader compile error: ") + log.data();
  glDeleteShader(shader);
  return 0;
}

bool Link(const std::string& fragmentBody, TGLProgram& out, std::string& error) {
  const GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader, error);
  if (!vs) {
    return false;
  }
  const GLuint fs = Compile(GL_FRAGMENT_SHADER, std::string(kFragmentHeader) + fragmentBody, error);
  if (!fs) {
    glDeleteShader(vs);
    return false;
  }
  const GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, fs);
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(fs);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (ok != GL_TRUE) {
    error = "program link error";
    glDeleteProgram(program);
    return false;
  }
  out.program = program;
  out.matrix = glGetUniformLocation(program, "u_matrix");
  out.lodBias = glGetUniformLocation(program, "u_lodBias");
  out.constants = glGetUniformLocation(program, "c");
  glUseProgram(program);
  const char* const samplers[] = {"u_s0", "u_s1", "u_s2", "u_s3"};
  for (int i = 0; i < kGLMaxStages; ++i) {
    glUniform1i(glGetUniformLocation(program, samplers[i]), i);
  }
  return true;
}

} // namespace

TGLProgram::~TGLProgram() {
  if (program) {
    glDeleteProgram(program);
  }
}

uint32_t TGLStageSetup::Key() const {
  return static_cast<uint32_t>(stages) | (modulateColor ? 1u << 3 : 0u) | (modulateAlpha ? 1u << 4 : 0u) |
         uint32_t{keepAlphaMask} << 5 | uint32_t{lodBiasMask} << 9;
}

bool BuildFixedFunctionProgram(const TGLStageSetup& setup, TGLProgram& out, std::string& error) {
  if (setup.stages < 0 || setup.stages > kGLMaxStages) {
    error = "stage count out of range";
    return false;
  }
  return Link(FixedFunctionSource(setup), out, error);
}

bool BuildPixelShaderProgram(TPixelShaderKind kind, TGLProgram& out, std::string& error) {
  switch (kind) {
  case TPixelShaderKind::Yuv: return Link(std::string(kYuvCommon) + kYuv, out, error);
  case TPixelShaderKind::YuvField: return Link(std::string(kYuvCommon) + kYuvField, out, error);
  case TPixelShaderKind::Sharpen: return Link(kSharpen, out, error);
  }
  error = "unknown pixel shader";
  return false;
}

} // namespace qx
