// The Preview's orbit view: a PreviewScene drawn with OpenGL's fixed pipeline into a texture of a
// framebuffer object, shown as an ImGui image (drag to turn, wheel to zoom). Needs the window's
// OpenGL context; every call is made on the window's thread.
#pragma once

#include <memory>
#include <vector>

#include "ui/preview_scene.hpp"

class ModelView {
 public:
  ModelView() = default;
  ~ModelView() { Release(); }
  ModelView(const ModelView&) = delete;
  ModelView& operator=(const ModelView&) = delete;

  // Uploads the scene's pictures and frames its model.
  void SetScene(std::shared_ptr<const PreviewScene> scene);
  const PreviewScene* Scene() const { return scene_.get(); }
  // Back to the view that shows the whole model.
  void Frame();
  // The orbit view filling `width` x `height`, or the reason it cannot be drawn. Returns true when
  // a picture of the model was drawn this frame.
  bool Draw(float width, float height);
  // The texture of one of the scene's pictures (0 when it could not be uploaded).
  unsigned int PictureTexture(std::size_t index) const;
  // Frees every GL object; the context must still be current.
  void Release();

 private:
  bool EnsureTarget(int width, int height);
  void Render();

  std::shared_ptr<const PreviewScene> scene_;
  std::vector<unsigned int> pictures_;
  unsigned int framebuffer_ = 0;
  unsigned int colour_ = 0;
  unsigned int depth_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool dirty_ = true;
  float yaw_ = 30;
  float pitch_ = 15;
  float distance_ = 3;
};
