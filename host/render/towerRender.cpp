#include "towerRender.h"

#define EGL_NO_X11
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GLES3/gl3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace towerrender {
namespace {

const char* EglErrorName(EGLint code) {
  switch (code) {
    case EGL_SUCCESS: return "EGL_SUCCESS";
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    case EGL_BAD_SURFACE: return "EGL_BAD_SURFACE";
    default: return "unknown EGL error";
  }
}

std::string EglFailure(const char* what) {
  return std::string(what) + " failed (" + EglErrorName(eglGetError()) + ")";
}

bool HasExtension(const char* list, const char* name) {
  if (!list) return false;
  const size_t n = std::strlen(name);
  for (const char* p = std::strstr(list, name); p; p = std::strstr(p + 1, name)) {
    const bool startOk = p == list || p[-1] == ' ';
    if (startOk && (p[n] == ' ' || p[n] == '\0')) return true;
  }
  return false;
}

// --- EGL display, shared by every renderer of the process -----------------------------
// The display is initialised once and kept for the life of the process: eglTerminate
// would end the contexts of every other renderer, and unloading and reloading the driver
// for each renderer is slow.
std::mutex gDisplayMutex;
EGLDisplay gDisplay = EGL_NO_DISPLAY;

EGLDisplay AcquireDisplay(std::string* error) {
  std::lock_guard lock(gDisplayMutex);
  if (gDisplay != EGL_NO_DISPLAY) return gDisplay;
  const char* clientExtensions = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
  if (!HasExtension(clientExtensions, "EGL_MESA_platform_surfaceless") ||
      !HasExtension(clientExtensions, "EGL_EXT_platform_base")) {
    *error =
        "EGL offers no surfaceless platform (EGL_MESA_platform_surfaceless); "
        "Mesa's EGL and drivers are needed (Debian libegl-mesa0, libgl1-mesa-dri)";
    return EGL_NO_DISPLAY;
  }
  auto getPlatformDisplay =
      reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!getPlatformDisplay) {
    *error = "EGL lacks eglGetPlatformDisplayEXT";
    return EGL_NO_DISPLAY;
  }
  EGLDisplay display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (display == EGL_NO_DISPLAY) {
    *error = EglFailure("eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA)");
    return EGL_NO_DISPLAY;
  }
  EGLint major = 0, minor = 0;
  if (!eglInitialize(display, &major, &minor)) {
    *error = EglFailure("eglInitialize on the surfaceless platform");
    return EGL_NO_DISPLAY;
  }
  gDisplay = display;
  return display;
}

// --- Column-major 4x4 matrices, as GL reads them ---------------------------------------
struct Vec3 {
  float x, y, z;
};
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
Vec3 Normalize(Vec3 a, Vec3 fallback) {
  const float len = Length(a);
  if (!(len > 1e-12f) || !std::isfinite(len)) return fallback;
  return {a.x / len, a.y / len, a.z / len};
}

// The camera's frame: right, true up and forward, all unit length, whatever the input.
struct ViewBasis {
  Vec3 eye, right, up, forward;
};

ViewBasis MakeBasis(const Camera& c) {
  ViewBasis b;
  b.eye = {c.eye[0], c.eye[1], c.eye[2]};
  b.forward = Normalize(Sub({c.target[0], c.target[1], c.target[2]}, b.eye), {0.0f, 0.0f, -1.0f});
  Vec3 up = Normalize({c.up[0], c.up[1], c.up[2]}, {0.0f, 1.0f, 0.0f});
  // An up along the view line gives no right vector: fall back to another axis.
  if (std::fabs(Dot(up, b.forward)) > 0.9999f) up = std::fabs(b.forward.y) < 0.9f ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
  b.right = Normalize(Cross(b.forward, up), {1.0f, 0.0f, 0.0f});
  b.up = Cross(b.right, b.forward);
  return b;
}

struct Mat4 {
  float m[16];  // column-major
};

Mat4 Multiply(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int col = 0; col < 4; ++col)
    for (int row = 0; row < 4; ++row) {
      float s = 0.0f;
      for (int k = 0; k < 4; ++k) s += a.m[k * 4 + row] * b.m[col * 4 + k];
      r.m[col * 4 + row] = s;
    }
  return r;
}

Mat4 ViewMatrix(const ViewBasis& b) {
  const Vec3 s = b.right, u = b.up, f = b.forward;
  return {{s.x, u.x, -f.x, 0.0f, s.y, u.y, -f.y, 0.0f, s.z, u.z, -f.z, 0.0f, -Dot(s, b.eye), -Dot(u, b.eye),
           Dot(f, b.eye), 1.0f}};
}

Mat4 Perspective(float tanHalfY, float aspect, float n, float f) {
  Mat4 p{};
  p.m[0] = 1.0f / (tanHalfY * aspect);
  p.m[5] = 1.0f / tanHalfY;
  p.m[10] = (f + n) / (n - f);
  p.m[11] = -1.0f;
  p.m[14] = 2.0f * f * n / (n - f);
  return p;
}

// --- Shaders -------------------------------------------------------------------------
// Sky and ground behind everything: each pixel's view ray either meets the ground plane
// y = 0 (a checker that fades with distance so it does not shimmer) or the sky.
const char* kBackgroundVs = R"(#version 300 es
out vec2 v_ndc;
void main() {
  vec2 p = vec2(float((gl_VertexID << 1) & 2), float(gl_VertexID & 2)) * 2.0 - 1.0;
  v_ndc = p;
  gl_Position = vec4(p, 0.0, 1.0);
})";

const char* kBackgroundFs = R"(#version 300 es
precision highp float;
in vec2 v_ndc;
uniform vec3 u_eye, u_right, u_up, u_forward;
uniform vec2 u_tanHalf;
out vec4 o_color;
const vec3 kSkyHorizon = vec3(0.80, 0.87, 0.95);
const vec3 kSkyZenith = vec3(0.33, 0.52, 0.84);
const vec3 kGroundA = vec3(0.40, 0.50, 0.30);
const vec3 kGroundB = vec3(0.34, 0.44, 0.26);
void main() {
  vec3 ray = normalize(u_forward + v_ndc.x * u_tanHalf.x * u_right + v_ndc.y * u_tanHalf.y * u_up);
  if (ray.y < 0.0) {
    vec3 ground = kGroundA;
    if (u_eye.y > 0.0) {
      float t = -u_eye.y / ray.y;
      vec2 p = u_eye.xz + t * ray.xz;
      float checker = mod(floor(p.x / 10.0) + floor(p.y / 10.0), 2.0);
      ground = mix(kGroundA, kGroundB, checker * (1.0 - smoothstep(60.0, 400.0, t)));
    }
    o_color = vec4(ground, 1.0);
  } else {
    o_color = vec4(mix(kSkyHorizon, kSkyZenith, pow(ray.y, 0.6)), 1.0);
  }
})";

// Models: one directional light plus a hemisphere ambient term.
const char* kMeshVs = R"(#version 300 es
layout(location = 0) in vec3 a_position;
layout(location = 1) in vec3 a_normal;
uniform mat4 u_world;
uniform mat4 u_viewProj;
out vec3 v_normal;
void main() {
  v_normal = transpose(inverse(mat3(u_world))) * a_normal;
  gl_Position = u_viewProj * (u_world * vec4(a_position, 1.0));
})";

const char* kMeshFs = R"(#version 300 es
precision highp float;
in vec3 v_normal;
uniform vec4 u_color;
uniform vec3 u_lightDir;
out vec4 o_color;
void main() {
  vec3 n = normalize(v_normal);
  float diffuse = max(dot(n, u_lightDir), 0.0);
  float ambient = mix(0.28, 0.45, n.y * 0.5 + 0.5);
  o_color = vec4(u_color.rgb * (ambient + 0.70 * diffuse), 1.0);
})";

GLuint CompileShader(GLenum type, const char* source, std::string* error) {
  GLuint shader = glCreateShader(type);
  glShaderSource(shader, 1, &source, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetShaderInfoLog(shader, sizeof log, nullptr, log);
    *error = std::string("shader compilation failed: ") + log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

GLuint LinkProgram(const char* vs, const char* fs, std::string* error) {
  GLuint v = CompileShader(GL_VERTEX_SHADER, vs, error);
  if (!v) return 0;
  GLuint f = CompileShader(GL_FRAGMENT_SHADER, fs, error);
  if (!f) {
    glDeleteShader(v);
    return 0;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, v);
  glAttachShader(program, f);
  glLinkProgram(program);
  glDeleteShader(v);
  glDeleteShader(f);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    char log[1024] = {};
    glGetProgramInfoLog(program, sizeof log, nullptr, log);
    *error = std::string("shader link failed: ") + log;
    glDeleteProgram(program);
    return 0;
  }
  return program;
}

// Vertex normals from the triangles, for meshes that come without any.
std::vector<float> SmoothNormals(const kivQModelMesh& mesh) {
  std::vector<float> normals(static_cast<size_t>(mesh.vertexCount) * 3, 0.0f);
  for (uint32_t t = 0; t < mesh.triangleCount; ++t) {
    const uint32_t* tri = &mesh.indices[static_cast<size_t>(t) * 3];
    auto vertex = [&](uint32_t i) {
      const float* p = &mesh.positions[static_cast<size_t>(i) * 3];
      return Vec3{p[0], p[1], p[2]};
    };
    const Vec3 a = vertex(tri[0]);
    const Vec3 n = Cross(Sub(vertex(tri[1]), a), Sub(vertex(tri[2]), a));
    for (int k = 0; k < 3; ++k) {
      float* dst = &normals[static_cast<size_t>(tri[k]) * 3];
      dst[0] += n.x;
      dst[1] += n.y;
      dst[2] += n.z;
    }
  }
  return normals;
}

// One model's geometry on the GPU, with what identifies the geometry it was made from.
struct GpuMesh {
  const float* positions = nullptr;
  const float* normals = nullptr;
  const uint32_t* indices = nullptr;
  uint32_t vertexCount = 0;
  uint32_t triangleCount = 0;
  bool usable = false;
  GLuint vao = 0;
  GLuint buffers[3] = {0, 0, 0};

  bool SameSource(const kivQModelMesh& m) const {
    return positions == m.positions && normals == m.normals && indices == m.indices &&
           vertexCount == m.vertexCount && triangleCount == m.triangleCount;
  }
  void Release() {
    if (vao) glDeleteVertexArrays(1, &vao);
    glDeleteBuffers(3, buffers);
    vao = 0;
    std::fill(std::begin(buffers), std::end(buffers), 0u);
  }
};

bool MeshIsSound(const kivQModelMesh& m) {
  if (m.triangleCount == 0) return true;
  if (!m.positions || !m.indices || m.vertexCount == 0) return false;
  if (m.triangleCount > static_cast<uint32_t>(INT32_MAX / 3)) return false;  // glDrawElements takes an int count
  const size_t count = static_cast<size_t>(m.triangleCount) * 3;
  return std::all_of(m.indices, m.indices + count, [&](uint32_t i) { return i < m.vertexCount; });
}

GpuMesh Upload(const kivQModelMesh& m) {
  GpuMesh g;
  g.positions = m.positions;
  g.normals = m.normals;
  g.indices = m.indices;
  g.vertexCount = m.vertexCount;
  g.triangleCount = m.triangleCount;
  g.usable = MeshIsSound(m);
  if (!g.usable || m.triangleCount == 0) return g;

  const auto vertexBytes = static_cast<GLsizeiptr>(static_cast<size_t>(m.vertexCount) * 3 * sizeof(float));
  std::vector<float> computed;
  const float* normals = m.normals;
  if (!normals) {
    computed = SmoothNormals(m);
    normals = computed.data();
  }
  glGenVertexArrays(1, &g.vao);
  glGenBuffers(3, g.buffers);
  glBindVertexArray(g.vao);
  glBindBuffer(GL_ARRAY_BUFFER, g.buffers[0]);
  glBufferData(GL_ARRAY_BUFFER, vertexBytes, m.positions, GL_STATIC_DRAW);
  glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glEnableVertexAttribArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, g.buffers[1]);
  glBufferData(GL_ARRAY_BUFFER, vertexBytes, normals, GL_STATIC_DRAW);
  glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
  glEnableVertexAttribArray(1);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, g.buffers[2]);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER,
               static_cast<GLsizeiptr>(static_cast<size_t>(m.triangleCount) * 3 * sizeof(uint32_t)), m.indices,
               GL_STATIC_DRAW);
  glBindVertexArray(0);
  return g;
}

constexpr int kMaxSize = 8192;
constexpr int kWantedSamples = 4;

}  // namespace

struct Renderer::State {
  int width = 0;
  int height = 0;
  MeshSource meshes;
  std::string description;

  EGLDisplay display = EGL_NO_DISPLAY;
  EGLContext context = EGL_NO_CONTEXT;
  EGLSurface surface = EGL_NO_SURFACE;  // a 1x1 pbuffer only when surfaceless contexts are missing

  // Drawing goes to drawFbo; when it is multisampled it is resolved into readFbo.
  GLuint drawFbo = 0, readFbo = 0;
  GLuint renderbuffers[3] = {0, 0, 0};
  GLint samples = 0;

  GLuint backgroundProgram = 0, meshProgram = 0;
  GLuint emptyVao = 0;
  GLint bgEye = -1, bgRight = -1, bgUp = -1, bgForward = -1, bgTanHalf = -1;
  GLint uWorld = -1, uViewProj = -1, uColor = -1, uLightDir = -1;

  std::unordered_map<void*, GpuMesh> cache;

  bool MakeCurrent() const { return eglMakeCurrent(display, surface, surface, context) == EGL_TRUE; }

  bool InitEgl(std::string* error) {
    display = AcquireDisplay(error);
    if (display == EGL_NO_DISPLAY) return false;
    if (!eglBindAPI(EGL_OPENGL_ES_API)) {
      *error = EglFailure("eglBindAPI(EGL_OPENGL_ES_API)");
      return false;
    }
    const bool surfaceless = HasExtension(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context");
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_ES3_BIT, EGL_SURFACE_TYPE,
                                    surfaceless ? 0 : EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                    EGL_BLUE_SIZE, 8, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configCount = 0;
    if (!eglChooseConfig(display, configAttribs, &config, 1, &configCount) || configCount < 1) {
      *error = "EGL has no configuration for OpenGL ES 3 (" + std::string(EglErrorName(eglGetError())) + ")";
      return false;
    }
    const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 0, EGL_NONE};
    context = eglCreateContext(display, config, EGL_NO_CONTEXT, contextAttribs);
    if (context == EGL_NO_CONTEXT) {
      *error = EglFailure("eglCreateContext for OpenGL ES 3.0");
      return false;
    }
    if (!surfaceless) {
      const EGLint pbufferAttribs[] = {EGL_WIDTH, 1, EGL_HEIGHT, 1, EGL_NONE};
      surface = eglCreatePbufferSurface(display, config, pbufferAttribs);
      if (surface == EGL_NO_SURFACE) {
        *error = EglFailure("eglCreatePbufferSurface");
        return false;
      }
    }
    if (!MakeCurrent()) {
      *error = EglFailure("eglMakeCurrent");
      return false;
    }
    return true;
  }

  bool InitFramebuffers(std::string* error) {
    GLint maxSize = 0, maxSamples = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &maxSize);
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    if (width > maxSize || height > maxSize) {
      *error = "the frame size " + std::to_string(width) + "x" + std::to_string(height) +
               " exceeds the driver's limit of " + std::to_string(maxSize);
      return false;
    }
    samples = std::min(kWantedSamples, maxSamples);
    if (samples < 2) samples = 0;

    glGenRenderbuffers(3, renderbuffers);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, width, height);
    glGenFramebuffers(1, &drawFbo);
    glBindFramebuffer(GL_FRAMEBUFFER, drawFbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers[0]);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, renderbuffers[1]);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
      *error = "the offscreen framebuffer is incomplete";
      return false;
    }
    readFbo = drawFbo;
    if (samples > 0) {
      glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[2]);
      glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
      glGenFramebuffers(1, &readFbo);
      glBindFramebuffer(GL_FRAMEBUFFER, readFbo);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, renderbuffers[2]);
      if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        *error = "the offscreen resolve framebuffer is incomplete";
        return false;
      }
    }
    return true;
  }

  bool InitPrograms(std::string* error) {
    backgroundProgram = LinkProgram(kBackgroundVs, kBackgroundFs, error);
    if (!backgroundProgram) return false;
    meshProgram = LinkProgram(kMeshVs, kMeshFs, error);
    if (!meshProgram) return false;
    bgEye = glGetUniformLocation(backgroundProgram, "u_eye");
    bgRight = glGetUniformLocation(backgroundProgram, "u_right");
    bgUp = glGetUniformLocation(backgroundProgram, "u_up");
    bgForward = glGetUniformLocation(backgroundProgram, "u_forward");
    bgTanHalf = glGetUniformLocation(backgroundProgram, "u_tanHalf");
    uWorld = glGetUniformLocation(meshProgram, "u_world");
    uViewProj = glGetUniformLocation(meshProgram, "u_viewProj");
    uColor = glGetUniformLocation(meshProgram, "u_color");
    uLightDir = glGetUniformLocation(meshProgram, "u_lightDir");
    glGenVertexArrays(1, &emptyVao);
    return true;
  }

  // The cached mesh of a handle, uploaded now if it is new or its geometry changed.
  const GpuMesh* MeshFor(void* model, kivQModelMesh& mesh) {
    if (!model || !meshes || !meshes(model, mesh)) return nullptr;
    auto it = cache.find(model);
    if (it != cache.end() && !it->second.SameSource(mesh)) {
      it->second.Release();
      cache.erase(it);
      it = cache.end();
    }
    if (it == cache.end()) it = cache.emplace(model, Upload(mesh)).first;
    return it->second.usable ? &it->second : nullptr;
  }

  void DrawMesh(const GpuMesh& g, const kivQModelMesh& mesh, const kivQModelDraw& draw) {
    if (g.triangleCount == 0) return;
    glUniformMatrix4fv(uWorld, 1, GL_FALSE, draw.world);
    glUniform4fv(uColor, 1, mesh.color);
    glBindVertexArray(g.vao);
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(static_cast<size_t>(g.triangleCount) * 3), GL_UNSIGNED_INT,
                   nullptr);
  }

  void ForgetAll() {
    for (auto& [model, g] : cache) g.Release();
    cache.clear();
  }

  void Destroy() {
    if (display == EGL_NO_DISPLAY) return;
    if (context != EGL_NO_CONTEXT && MakeCurrent()) {
      ForgetAll();
      glDeleteVertexArrays(1, &emptyVao);
      glDeleteProgram(backgroundProgram);
      glDeleteProgram(meshProgram);
      if (readFbo != drawFbo) glDeleteFramebuffers(1, &readFbo);
      glDeleteFramebuffers(1, &drawFbo);
      glDeleteRenderbuffers(3, renderbuffers);
    }
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (surface != EGL_NO_SURFACE) eglDestroySurface(display, surface);
    if (context != EGL_NO_CONTEXT) eglDestroyContext(display, context);
    display = EGL_NO_DISPLAY;
  }
};

std::unique_ptr<Renderer> Renderer::Create(int width, int height, MeshSource meshes, std::string* error) {
  std::string ignored;
  std::string& message = error ? *error : ignored;
  if (width < 1 || height < 1 || width > kMaxSize || height > kMaxSize) {
    message = "the frame size " + std::to_string(width) + "x" + std::to_string(height) + " is outside 1x1 to " +
              std::to_string(kMaxSize) + "x" + std::to_string(kMaxSize);
    return nullptr;
  }
  auto state = std::make_unique<State>();
  state->width = width;
  state->height = height;
  state->meshes = std::move(meshes);
  if (!state->InitEgl(&message)) {
    state->Destroy();
    return nullptr;
  }
  const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
  const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  if (!version || std::strncmp(version, "OpenGL ES 3", 11) != 0) {
    message = std::string("the context is not OpenGL ES 3 (") + (version ? version : "no version") + ")";
    state->Destroy();
    return nullptr;
  }
  state->description = std::string(version) + " | " + (renderer ? renderer : "unknown renderer");
  if (!state->InitFramebuffers(&message) || !state->InitPrograms(&message)) {
    state->Destroy();
    return nullptr;
  }
  return std::unique_ptr<Renderer>(new Renderer(std::move(state)));
}

Renderer::Renderer(std::unique_ptr<State> state) : state_(std::move(state)) {}

Renderer::~Renderer() { state_->Destroy(); }

int Renderer::width() const { return state_->width; }
int Renderer::height() const { return state_->height; }
const std::string& Renderer::description() const { return state_->description; }
size_t Renderer::cachedMeshCount() const { return state_->cache.size(); }

void Renderer::ForgetMeshes() {
  if (state_->MakeCurrent()) state_->ForgetAll();
}

FrameStats Renderer::Render(std::span<const kivQModelDraw> draws, const Camera& camera, Image* image) {
  State& s = *state_;
  FrameStats stats;
  if (!s.MakeCurrent()) return stats;

  const ViewBasis basis = MakeBasis(camera);
  const float aspect = static_cast<float>(s.width) / static_cast<float>(s.height);
  const float fov = std::clamp(camera.fovYDegrees, 1.0f, 170.0f);
  const float tanHalfY = std::tan(fov * 3.14159265f / 360.0f);
  const float nearPlane = std::max(camera.nearPlane, 1e-4f);
  const float farPlane = std::max(camera.farPlane, nearPlane * 2.0f);
  const Mat4 viewProj = Multiply(Perspective(tanHalfY, aspect, nearPlane, farPlane), ViewMatrix(basis));

  glBindFramebuffer(GL_FRAMEBUFFER, s.drawFbo);
  glViewport(0, 0, s.width, s.height);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);

  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);
  glUseProgram(s.backgroundProgram);
  glUniform3f(s.bgEye, basis.eye.x, basis.eye.y, basis.eye.z);
  glUniform3f(s.bgRight, basis.right.x, basis.right.y, basis.right.z);
  glUniform3f(s.bgUp, basis.up.x, basis.up.y, basis.up.z);
  glUniform3f(s.bgForward, basis.forward.x, basis.forward.y, basis.forward.z);
  glUniform2f(s.bgTanHalf, tanHalfY * aspect, tanHalfY);
  glBindVertexArray(s.emptyVao);
  glDrawArrays(GL_TRIANGLES, 0, 3);

  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  glClearDepthf(1.0f);
  glClear(GL_DEPTH_BUFFER_BIT);
  glUseProgram(s.meshProgram);
  glUniformMatrix4fv(s.uViewProj, 1, GL_FALSE, viewProj.m);
  const Vec3 light = Normalize({-0.45f, 0.80f, 0.40f}, {0, 1, 0});
  glUniform3f(s.uLightDir, light.x, light.y, light.z);
  for (const kivQModelDraw& draw : draws) {
    kivQModelMesh mesh{};
    const GpuMesh* g = s.MeshFor(draw.model, mesh);
    if (!g) {
      ++stats.skipped;
      continue;
    }
    s.DrawMesh(*g, mesh, draw);
    ++stats.draws;
    stats.triangles += g->triangleCount;
  }
  glBindVertexArray(0);

  if (s.readFbo != s.drawFbo) {
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.drawFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.readFbo);
    glBlitFramebuffer(0, 0, s.width, s.height, 0, 0, s.width, s.height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
  }
  if (image) {
    Image frame(s.width, s.height);
    std::vector<uint8_t> bottomUp(frame.rgba.size());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, s.readFbo);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, s.width, s.height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
    const size_t row = static_cast<size_t>(s.width) * 4;
    for (int y = 0; y < s.height; ++y) {
      std::memcpy(&frame.rgba[static_cast<size_t>(y) * row], &bottomUp[static_cast<size_t>(s.height - 1 - y) * row],
                  row);
    }
    *image = std::move(frame);
  }
  glBindFramebuffer(GL_FRAMEBUFFER, 0);
  return stats;
}

}  // namespace towerrender
