#pragma once
// The OpenGL presenter: decoded 4:2:0 planes (display type 16) go into three textures and a
// shader converts them to RGB while it draws one quad over the window; the zoom rectangle and
// the flips become texture coordinates. The GL work runs in a child QOpenGLWidget on the
// window's thread; Draw (on any thread) only copies the planes.
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <QPointer>
#include <memory>
#include <mutex>
#include <vector>

#include "player/CDraw.h"

namespace kx {

class YuvGlWidget;

class CGlDraw : public CDraw {
  public:
    // displayMutex is the worker's; the GL widget takes it while it reads the planes.
    CGlDraw(QWidget* window, std::mutex& displayMutex);
    ~CGlDraw() override;

    int Resize(int width, int height) override;
    int Init(int width, int height) override;
    bool Draw(const Picture* picture, int flip, bool repaint) override;
    void Clear() override;
    bool Check() override;
    void Show() override;

    YuvGlWidget* glWidget() const { return widget_.data(); }

    // Whether an OpenGL context can be made on this display at all.
    static bool Probe();

  private:
    friend class YuvGlWidget;
    QPointer<QWidget> window_;
    std::mutex& displayMutex_;
    QPointer<YuvGlWidget> widget_;
    // Planes as they were last drawn, tightly packed; guarded by the display mutex.
    std::vector<std::uint8_t> planes_[3];
    int planeWidths_[3] = {0, 0, 0};
    int planeHeights_[3] = {0, 0, 0};
    int flip_ = 0;
    bool dirty_ = false;
};

class YuvGlWidget : public QOpenGLWidget, protected QOpenGLFunctions {
  public:
    YuvGlWidget(CGlDraw& owner, QWidget* parent);
    ~YuvGlWidget() override;
    void Detach() { owner_ = nullptr; }
    bool initialised() const { return initialised_; }

  protected:
    void initializeGL() override;
    void paintGL() override;

  private:
    void UploadLocked();

    CGlDraw* owner_;  // not owned; cleared by the owner before it goes
    std::unique_ptr<QOpenGLShaderProgram> program_;
    GLuint textures_[3] = {0, 0, 0};
    GLfloat coordinates_[4] = {0, 1, 0, 1};  // left, right, top, bottom texture coordinates
    int flip_ = 0;
    bool uploaded_ = false;
    bool initialised_ = false;
};

}  // namespace kx
