// Frames per second of full-screen tiled pictures (mip maps, feathered
// edges) drawn through the screen on a headless 1920 x 1080 device, against
// a bare GL ES program drawing as many full-screen textured quads with
// mip-mapped textures. The ratio of the two is the layer's overhead. The
// same runs at 90 % of the screen compare the two where both read the mip
// chains.
#include "VmoLib2/3DBasics/GL/qxEglContext.h"
#include "VmoLib2/3DBasics/qxDrawDevice.h"
#include "VmoLib2/3DEngine/qxMultiTexture6.h"
#include "VmoLib2/Backends/qx3DEngines.h"

#include <GLES3/gl3.h>
#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace qx;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr GLenum kMaxAnisotropy = 0x84FE; // GL_TEXTURE_MAX_ANISOTROPY_EXT
constexpr float kAnisotropy = 4.0f;

// Measurements by (picture count, drawn size in percent of the screen).
using TRunKey = std::pair<int, int>;
// Frames per second and process CPU milliseconds (every thread, the
// software rasteriser's included) per frame. On a shared machine the CPU
// figure moves far less with the load than the frame rate does.
struct TRunFigures {
  double fps = 0;
  double cpuMsPerFrame = 0;
};
std::map<TRunKey, TRunFigures> g_screenFps;
std::map<TRunKey, TRunFigures> g_bareFps;

std::vector<uint8_t> NoisePixels(uint32_t seed) {
  std::vector<uint8_t> pixels(static_cast<size_t>(kWidth) * kHeight * 4);
  uint32_t state = seed;
  for (size_t i = 0; i < pixels.size(); i += 4) {
    state = state * 1664525u + 1013904223u;
    pixels[i] = static_cast<uint8_t>(state >> 24);
    pixels[i + 1] = static_cast<uint8_t>(state >> 16);
    pixels[i + 2] = static_cast<uint8_t>(state >> 8);
    pixels[i + 3] = 255;
  }
  return pixels;
}

// Processor time of every thread of the process.
double ProcessCpuMs() { return static_cast<double>(std::clock()) * 1000.0 / CLOCKS_PER_SEC; }

class TFpsTimer {
public:
  TFpsTimer() : m_start(std::chrono::steady_clock::now()), m_cpuStart(ProcessCpuMs()) {}
  TRunFigures Figures(int64_t frames) const {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - m_start;
    if (frames <= 0 || elapsed.count() <= 0) {
      return {};
    }
    return {frames / elapsed.count(), (ProcessCpuMs() - m_cpuStart) / frames};
  }

private:
  std::chrono::steady_clock::time_point m_start;
  double m_cpuStart;
};

void BM_ScreenTiledPictures(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const int percent = static_cast<int>(state.range(1));
  std::string error;
  const std::unique_ptr<T3DEngine> engine = Create3DEngine("gl", nullptr, error);
  if (!engine) {
    state.SkipWithError(error.c_str());
    return;
  }
  TDrawDevice device({0, 0, kWidth, kHeight});
  T3DScreen screen(*engine, nullptr, nullptr);
  screen.AssignDevice(&device);
  if (!screen.BeginScene()) {
    state.SkipWithError("no headless GL ES 3 screen");
    return;
  }
  TTextureManager6 manager(screen);
  std::vector<std::unique_ptr<TMultiTexture6>> pictures;
  for (int i = 0; i < count; ++i) {
    const std::vector<uint8_t> pixels = NoisePixels(static_cast<uint32_t>(i + 1));
    auto bitmap = std::make_shared<TBitmap>(kWidth, kHeight, TPixelFormat::Bgra32);
    for (int y = 0; y < kHeight; ++y) {
      std::copy_n(pixels.data() + static_cast<size_t>(y) * kWidth * 4, kWidth * 4, bitmap->Scanline(y));
    }
    auto picture = std::make_unique<TMultiTexture6>(manager);
    picture->SetSource(bitmap, 1, 1, {0, 0, kWidth, kHeight});
    picture->SetMipMaps(true);
    picture->SetFeather(true);
    picture->SetOpacity(i == 0 ? 255 : 128);
    picture->Preload();
    pictures.push_back(std::move(picture));
  }
  screen.EndScene(false);
  const double marginX = kWidth * (100 - percent) / 200.0;
  const double marginY = kHeight * (100 - percent) / 200.0;
  const TFloatRect placed{marginX, marginY, kWidth - marginX, kHeight - marginY};
  const T3DRect pixel{0, 0, 1, 1};
  const auto frame = [&] {
    if (!screen.BeginScene()) {
      return false;
    }
    screen.Clear(MakeColor(0, 0, 0), false);
    for (auto& picture : pictures) {
      picture->Draw(TPlacement::Flat(placed));
    }
    screen.EndScene(false);
    // Reading a pixel waits until the frame is drawn.
    T3DSurface* back = screen.Renderer()->BackBuffer();
    const bool read = back->Lock(&pixel, T3DLockMode::ReadOnly) != nullptr;
    return back->Unlock() && read;
  };
  frame();
  TFpsTimer timer;
  for (auto _ : state) {
    if (!frame()) {
      state.SkipWithError("frame failed");
      return;
    }
  }
  g_screenFps[{count, percent}] = timer.Figures(state.iterations());
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

const char* const kVertexShader = R"(#version 300 es
layout(location = 0) in vec2 position;
out vec2 uv;
void main() {
  uv = vec2(position.x * 0.5 + 0.5, 0.5 - position.y * 0.5);
  gl_Position = vec4(position, 0.0, 1.0);
})";

const char* const kFragmentShader = R"(#version 300 es
precision mediump float;
uniform sampler2D picture;
uniform float alpha;
in vec2 uv;
out vec4 colour;
void main() {
  vec4 texel = texture(picture, uv);
  colour = vec4(texel.rgb, texel.a * alpha);
})";

GLuint Compile(GLenum kind, const char* source) {
  const GLuint shader = glCreateShader(kind);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  return shader;
}

void BM_BareGLQuads(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const int percent = static_cast<int>(state.range(1));
  std::string error;
  auto context = CreateHeadlessContext(error);
  if (!context || !context->MakeCurrent()) {
    state.SkipWithError(("no headless GL ES 3 context: " + error).c_str());
    return;
  }
  GLuint target = 0;
  GLuint framebuffer = 0;
  glGenTextures(1, &target);
  glBindTexture(GL_TEXTURE_2D, target);
  glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA8, kWidth, kHeight);
  glGenFramebuffers(1, &framebuffer);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, target, 0);

  std::vector<GLuint> textures(static_cast<size_t>(count));
  glGenTextures(count, textures.data());
  for (int i = 0; i < count; ++i) {
    const std::vector<uint8_t> pixels = NoisePixels(static_cast<uint32_t>(i + 1));
    glBindTexture(GL_TEXTURE_2D, textures[static_cast<size_t>(i)]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kWidth, kHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glGenerateMipmap(GL_TEXTURE_2D);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameterf(GL_TEXTURE_2D, kMaxAnisotropy, kAnisotropy);
  }
  glGetError(); // anisotropy may be missing; the draw works without it

  const GLuint program = glCreateProgram();
  glAttachShader(program, Compile(GL_VERTEX_SHADER, kVertexShader));
  glAttachShader(program, Compile(GL_FRAGMENT_SHADER, kFragmentShader));
  glLinkProgram(program);
  glUseProgram(program);
  const GLint alpha = glGetUniformLocation(program, "alpha");
  const float side = percent / 100.0f;
  const float quad[] = {-side, -side, side, -side, -side, side, side, side};
  GLuint vertexArray = 0;
  GLuint buffer = 0;
  glGenVertexArrays(1, &vertexArray);
  glBindVertexArray(vertexArray);
  glGenBuffers(1, &buffer);
  glBindBuffer(GL_ARRAY_BUFFER, buffer);
  glBufferData(GL_ARRAY_BUFFER, sizeof(quad), quad, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
  glViewport(0, 0, kWidth, kHeight);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

  uint8_t pixel[4];
  const auto frame = [&] {
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    for (int i = 0; i < count; ++i) {
      glBindTexture(GL_TEXTURE_2D, textures[static_cast<size_t>(i)]);
      glUniform1f(alpha, i == 0 ? 1.0f : 0.5f);
      glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    }
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
  };
  frame();
  TFpsTimer timer;
  for (auto _ : state) {
    frame();
    benchmark::DoNotOptimize(pixel);
  }
  g_bareFps[{count, percent}] = timer.Figures(state.iterations());
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);

  glDeleteBuffers(1, &buffer);
  glDeleteVertexArrays(1, &vertexArray);
  glDeleteProgram(program);
  glDeleteTextures(count, textures.data());
  glDeleteFramebuffers(1, &framebuffer);
  glDeleteTextures(1, &target);
  context->Release();
}

// Each screen run follows the bare run of the same count at once, so that a
// change in the load of a shared machine touches both sides of a ratio
// alike; each runs for some seconds, so a ratio rests on several frames.
// Full-screen pictures show every texel at its own size; at 90 % both
// sides shrink the pictures and so read their mip chains.
constexpr double kMinSeconds = 2.0;
#define QX_SCREEN_BENCH_PAIR(count, percent) \
  BENCHMARK(BM_BareGLQuads)                  \
      ->Args({count, percent})               \
      ->Unit(benchmark::kMillisecond)        \
      ->UseRealTime()                        \
      ->MinTime(kMinSeconds);                \
  BENCHMARK(BM_ScreenTiledPictures)          \
      ->Args({count, percent})               \
      ->Unit(benchmark::kMillisecond)        \
      ->UseRealTime()                        \
      ->MinTime(kMinSeconds)
QX_SCREEN_BENCH_PAIR(1, 100);
QX_SCREEN_BENCH_PAIR(2, 100);
QX_SCREEN_BENCH_PAIR(4, 100);
QX_SCREEN_BENCH_PAIR(1, 90);
QX_SCREEN_BENCH_PAIR(2, 90);
QX_SCREEN_BENCH_PAIR(4, 90);

} // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const auto& [key, screen] : g_screenFps) {
    const auto bare = g_bareFps.find(key);
    if (bare == g_bareFps.end() || bare->second.fps <= 0 || screen.cpuMsPerFrame <= 0) {
      continue;
    }
    std::printf("%d picture(s) at %d %%: screen %.1f fps, bare GL %.1f fps, ratio %.2f; CPU per frame: screen %.0f ms, "
                "bare GL %.0f ms, ratio %.2f\n",
                key.first, key.second, screen.fps, bare->second.fps, screen.fps / bare->second.fps,
                screen.cpuMsPerFrame, bare->second.cpuMsPerFrame, bare->second.cpuMsPerFrame / screen.cpuMsPerFrame);
  }
  return 0;
}
