#include "ui/model_view.hpp"

#include <GLFW/glfw3.h>
#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "ui/script_items.hpp"
#include "ui/ui_images.hpp"

#if defined(_WIN32)
#define VINTREL_GL_CALL __stdcall
#else
#define VINTREL_GL_CALL
#endif

namespace {

// OpenGL 1.1 headers (Windows') lack the framebuffer objects: their names and values are those of
// GL_EXT_framebuffer_object, which OpenGL 3.0 took over unchanged.
constexpr GLenum kFramebuffer = 0x8D40;
constexpr GLenum kRenderbuffer = 0x8D41;
constexpr GLenum kColourAttachment = 0x8CE0;
constexpr GLenum kDepthAttachment = 0x8D00;
constexpr GLenum kFramebufferComplete = 0x8CD5;
constexpr GLenum kDepthComponent24 = 0x81A6;

struct FramebufferCalls {
  void(VINTREL_GL_CALL* genFramebuffers)(GLsizei, GLuint*) = nullptr;
  void(VINTREL_GL_CALL* deleteFramebuffers)(GLsizei, const GLuint*) = nullptr;
  void(VINTREL_GL_CALL* bindFramebuffer)(GLenum, GLuint) = nullptr;
  void(VINTREL_GL_CALL* framebufferTexture2D)(GLenum, GLenum, GLenum, GLuint, GLint) = nullptr;
  GLenum(VINTREL_GL_CALL* checkFramebufferStatus)(GLenum) = nullptr;
  void(VINTREL_GL_CALL* genRenderbuffers)(GLsizei, GLuint*) = nullptr;
  void(VINTREL_GL_CALL* deleteRenderbuffers)(GLsizei, const GLuint*) = nullptr;
  void(VINTREL_GL_CALL* bindRenderbuffer)(GLenum, GLuint) = nullptr;
  void(VINTREL_GL_CALL* renderbufferStorage)(GLenum, GLenum, GLsizei, GLsizei) = nullptr;
  void(VINTREL_GL_CALL* framebufferRenderbuffer)(GLenum, GLenum, GLenum, GLuint) = nullptr;
  bool loaded = false;
};

template <typename Call>
bool Load(Call& call, const char* name, const char* suffix) {
  call = reinterpret_cast<Call>(glfwGetProcAddress((std::string(name) + suffix).c_str()));
  return call != nullptr;
}

// The core names where the context has them, else the extension's.
const FramebufferCalls& Framebuffers() {
  static FramebufferCalls calls;
  static bool tried = false;
  if (tried) return calls;
  tried = true;
  for (const char* suffix : {"", "EXT"}) {
    if (*suffix != '\0' && !glfwExtensionSupported("GL_EXT_framebuffer_object")) continue;
    calls.loaded = Load(calls.genFramebuffers, "glGenFramebuffers", suffix) &&
                   Load(calls.deleteFramebuffers, "glDeleteFramebuffers", suffix) &&
                   Load(calls.bindFramebuffer, "glBindFramebuffer", suffix) &&
                   Load(calls.framebufferTexture2D, "glFramebufferTexture2D", suffix) &&
                   Load(calls.checkFramebufferStatus, "glCheckFramebufferStatus", suffix) &&
                   Load(calls.genRenderbuffers, "glGenRenderbuffers", suffix) &&
                   Load(calls.deleteRenderbuffers, "glDeleteRenderbuffers", suffix) &&
                   Load(calls.bindRenderbuffer, "glBindRenderbuffer", suffix) &&
                   Load(calls.renderbufferStorage, "glRenderbufferStorage", suffix) &&
                   Load(calls.framebufferRenderbuffer, "glFramebufferRenderbuffer", suffix);
    if (calls.loaded) break;
  }
  return calls;
}

constexpr float kBackground[3] = {0.19f, 0.20f, 0.23f};
constexpr float kFieldOfView = 40.0f;
constexpr int kMaxTargetSide = 2048;

// Models repeat their textures across the UV square.
unsigned int UploadPicture(const RgbaImage& image) {
  const unsigned int texture = UploadRgbaTexture(image.width, image.height, image.pixels.data());
  if (texture == 0) return 0;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
  return texture;
}

ImTextureID AsImTexture(unsigned int texture) {
  return reinterpret_cast<ImTextureID>(static_cast<std::intptr_t>(texture));
}

}  // namespace

void ModelView::SetScene(std::shared_ptr<const PreviewScene> scene) {
  for (const unsigned int texture : pictures_) glDeleteTextures(1, &texture);
  pictures_.clear();
  scene_ = std::move(scene);
  if (scene_ != nullptr) {
    for (const PreviewImage& picture : scene_->images) pictures_.push_back(UploadPicture(picture.image));
  }
  Frame();
}

void ModelView::Frame() {
  yaw_ = 30;
  pitch_ = 15;
  const float radius = scene_ != nullptr ? scene_->radius : 1.0f;
  // The bounding sphere just fits the narrower side of the view.
  distance_ = radius / std::sin(kFieldOfView * 0.5f * 3.14159265f / 180.0f) * 1.05f;
  dirty_ = true;
}

unsigned int ModelView::PictureTexture(std::size_t index) const {
  return index < pictures_.size() ? pictures_[index] : 0;
}

bool ModelView::EnsureTarget(int width, int height) {
  const FramebufferCalls& gl = Framebuffers();
  if (!gl.loaded) return false;
  if (framebuffer_ != 0 && width == width_ && height == height_) return true;
  if (framebuffer_ == 0) {
    gl.genFramebuffers(1, &framebuffer_);
    gl.genRenderbuffers(1, &depth_);
    glGenTextures(1, &colour_);
  }
  width_ = width;
  height_ = height;
  glBindTexture(GL_TEXTURE_2D, colour_);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
  gl.bindRenderbuffer(kRenderbuffer, depth_);
  gl.renderbufferStorage(kRenderbuffer, kDepthComponent24, width, height);
  gl.bindFramebuffer(kFramebuffer, framebuffer_);
  gl.framebufferTexture2D(kFramebuffer, kColourAttachment, GL_TEXTURE_2D, colour_, 0);
  gl.framebufferRenderbuffer(kFramebuffer, kDepthAttachment, kRenderbuffer, depth_);
  const bool complete = gl.checkFramebufferStatus(kFramebuffer) == kFramebufferComplete;
  gl.bindFramebuffer(kFramebuffer, 0);
  gl.bindRenderbuffer(kRenderbuffer, 0);
  dirty_ = true;
  return complete;
}

void ModelView::Render() {
  const FramebufferCalls& gl = Framebuffers();
  gl.bindFramebuffer(kFramebuffer, framebuffer_);
  glPushAttrib(GL_ALL_ATTRIB_BITS);
  glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
  glViewport(0, 0, width_, height_);
  glDisable(GL_SCISSOR_TEST);
  glClearColor(kBackground[0], kBackground[1], kBackground[2], 1.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDisable(GL_BLEND);
  glDisable(GL_CULL_FACE);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LEQUAL);

  const float radius = scene_->radius;
  const float nearPlane = std::max(distance_ - radius * 1.5f, distance_ * 0.01f);
  const float farPlane = distance_ + radius * 1.5f;
  const float half = nearPlane * std::tan(kFieldOfView * 0.5f * 3.14159265f / 180.0f);
  const float aspect = float(width_) / float(height_);
  const float halfWidth = aspect >= 1 ? half * aspect : half;
  const float halfHeight = aspect >= 1 ? half : half / aspect;
  glMatrixMode(GL_PROJECTION);
  glPushMatrix();
  glLoadIdentity();
  glFrustum(-halfWidth, halfWidth, -halfHeight, halfHeight, nearPlane, farPlane);
  glMatrixMode(GL_MODELVIEW);
  glPushMatrix();
  glLoadIdentity();
  // A light over the viewer's shoulder, fixed to the eye; both faces lit, since hair and cloth are
  // single sheets.
  const GLfloat lightDirection[4] = {0.4f, 0.6f, 1.0f, 0.0f};
  const GLfloat ambient[4] = {0.35f, 0.35f, 0.35f, 1.0f};
  const GLfloat diffuse[4] = {0.75f, 0.75f, 0.75f, 1.0f};
  glLightfv(GL_LIGHT0, GL_POSITION, lightDirection);
  glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
  glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
  glEnable(GL_LIGHTING);
  glEnable(GL_LIGHT0);
  glEnable(GL_NORMALIZE);
  glEnable(GL_COLOR_MATERIAL);
  glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glTranslatef(0, 0, -distance_);
  glRotatef(pitch_, 1, 0, 0);
  glRotatef(yaw_, 0, 1, 0);
  glTranslatef(-scene_->center[0], -scene_->center[1], -scene_->center[2]);

  glDisableClientState(GL_COLOR_ARRAY);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_NORMAL_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  for (const PreviewMesh& mesh : scene_->meshes) {
    glVertexPointer(3, GL_FLOAT, 0, mesh.positions.data());
    glNormalPointer(GL_FLOAT, 0, mesh.normals.data());
    glTexCoordPointer(2, GL_FLOAT, 0, mesh.uvs.data());
    for (const PreviewDraw& draw : mesh.draws) {
      const unsigned int texture = draw.image >= 0 ? PictureTexture(std::size_t(draw.image)) : 0;
      if (texture != 0) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texture);
        glColor4f(1, 1, 1, 1);
      } else {
        glDisable(GL_TEXTURE_2D);
        glColor4f(0.72f, 0.74f, 0.78f, 1);
      }
      glDrawElements(GL_TRIANGLES, GLsizei(draw.indexCount), GL_UNSIGNED_INT,
                     mesh.indices.data() + draw.firstIndex);
    }
  }
  glMatrixMode(GL_PROJECTION);
  glPopMatrix();
  glMatrixMode(GL_MODELVIEW);
  glPopMatrix();
  glPopClientAttrib();
  glPopAttrib();
  gl.bindFramebuffer(kFramebuffer, 0);
  dirty_ = false;
}

bool ModelView::Draw(float width, float height) {
  const ImVec2 size(std::max(width, 16.0f), std::max(height, 16.0f));
  ImGui::InvisibleButton("##model view", size);
  NoteItem("preview view");
  const ImVec2 low = ImGui::GetItemRectMin();
  const ImVec2 high = ImGui::GetItemRectMax();
  ImDrawList* drawList = ImGui::GetWindowDrawList();
  if (scene_ == nullptr || scene_->meshes.empty()) return false;
  const ImGuiIO& io = ImGui::GetIO();
  if (ImGui::IsItemActive() && (io.MouseDelta.x != 0 || io.MouseDelta.y != 0)) {
    yaw_ += io.MouseDelta.x * 0.5f;
    pitch_ = std::clamp(pitch_ + io.MouseDelta.y * 0.5f, -89.0f, 89.0f);
    dirty_ = true;
  }
  if (ImGui::IsItemHovered() && io.MouseWheel != 0) {
    distance_ *= std::pow(0.9f, io.MouseWheel);
    distance_ = std::clamp(distance_, scene_->radius * 0.05f, scene_->radius * 50.0f);
    dirty_ = true;
  }
  const int targetWidth = std::min(int(size.x * io.DisplayFramebufferScale.x), kMaxTargetSide);
  const int targetHeight = std::min(int(size.y * io.DisplayFramebufferScale.y), kMaxTargetSide);
  if (!EnsureTarget(targetWidth, targetHeight)) {
    drawList->AddText(low, IM_COL32(255, 110, 110, 255),
                      "This OpenGL has no framebuffer objects: the model cannot be drawn.");
    return false;
  }
  if (dirty_) Render();
  // The texture's rows run bottom-up.
  drawList->AddImage(AsImTexture(colour_), low, high, ImVec2(0, 1), ImVec2(1, 0));
  return true;
}

void ModelView::Release() {
  for (const unsigned int texture : pictures_) glDeleteTextures(1, &texture);
  pictures_.clear();
  if (framebuffer_ != 0) {
    const FramebufferCalls& gl = Framebuffers();
    gl.deleteFramebuffers(1, &framebuffer_);
    gl.deleteRenderbuffers(1, &depth_);
    glDeleteTextures(1, &colour_);
  }
  framebuffer_ = colour_ = depth_ = 0;
  width_ = height_ = 0;
  scene_.reset();
}
